// The catalogue commands of the tool: categories, list, search and memo.

#include "cli/Command.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElement.h"
#include "catalog/ImageElementForm.h"
#include "platform/Paths.h"

// Qt
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>

namespace glimmora::cli {

namespace {

// The catalogue files of the data directory, opened as the program opens them.
struct Scrapbook {
    explicit Scrapbook(const QString& base)
        : memberships(base + QStringLiteral(".cor")),
          categories(base + QStringLiteral(".cat"), memberships),
          images(base + QStringLiteral(".idb"), categories)
    {
        images.openStore(); // a damaged store is reported here, not read as an empty one
    }

    TCorrespondences memberships;
    TCategories categories;
    TImageElementForm images;
};

// --data has already been turned into GLIMMORA_DATA_DIR, which dataPath() follows.
QString dataBase() { return dataPath(); }

int badUsage(const char* usage)
{
    printError(QStringLiteral("usage: glimmora-cli [--data DIR] %1").arg(QLatin1String(usage)));
    return kBadUsage;
}

constexpr const char* kCategoriesUsage = "categories [--json]";
constexpr const char* kListUsage = "list [CATEGORY] [--json]";
constexpr const char* kSearchUsage = "search TEXT [--json]";
constexpr const char* kMemoUsage = "memo SEQ TEXT";

// Takes "--json" out of the arguments; true when it was there.
bool takeJsonOption(QStringList& arguments) { return arguments.removeAll(QStringLiteral("--json")) > 0; }

QString typeName(int type)
{
    return type < kPictureTypeCount ? QString::fromLatin1(kPictureTypes[type]) : QString::number(type);
}

QJsonObject recordJson(const TImageElement& record)
{
    return {
        {QStringLiteral("seq"), record.IT_SeqNo},
        {QStringLiteral("type"), typeName(record.IT_FileType)},
        {QStringLiteral("path"), displayPath(record.IT_Path)},
        {QStringLiteral("memo"), record.IT_Memo},
        {QStringLiteral("serial"), qint64(record.IT_VolumeSerial)},
        {QStringLiteral("removable"), record.IT_Removable},
        {QStringLiteral("thumbnail"), QJsonArray{record.IT_Bitmap.width(), record.IT_Bitmap.height()}},
    };
}

void printJson(const QJsonArray& array)
{
    printLine(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
}

void printRecords(const std::vector<std::unique_ptr<TImageElement>>& records, bool json)
{
    if (json) {
        QJsonArray array;
        for (const auto& record : records)
            array.append(recordJson(*record));
        printJson(array);
        return;
    }
    for (const auto& record : records)
        printLine(QStringLiteral("%1\t%2\t%3\t%4")
                      .arg(record->IT_SeqNo)
                      .arg(typeName(record->IT_FileType), displayPath(record->IT_Path), record->IT_Memo.trimmed()));
}

// Runs a command body, turning store and record failures into a reported failure.
int reportingFailures(const std::function<int()>& body)
{
    try {
        return body();
    } catch (const std::exception& error) {
        printError(QString::fromUtf8(error.what()));
        return kFailure;
    }
}

// The number of a category's memberships whose image record exists.
int imageCount(Scrapbook& scrapbook, const TCategory& category)
{
    int count = 0;
    for (const Membership& pair : scrapbook.memberships.pairs())
        if (pair.categoryId == category.CategoryId && scrapbook.images.HasImage(pair.seqNo))
            ++count;
    return count;
}

int runCategories(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = takeJsonOption(arguments);
    if (!arguments.isEmpty())
        return badUsage(kCategoriesUsage);
    return reportingFailures([&] {
        Scrapbook scrapbook(dataBase());
        QJsonArray array;
        for (TCategory* category : scrapbook.categories.FillCategoryList()) {
            const int images = imageCount(scrapbook, *category);
            if (json)
                array.append(QJsonObject{{QStringLiteral("id"), category->CategoryId},
                                         {QStringLiteral("name"), category->CategoryName},
                                         {QStringLiteral("images"), images}});
            else
                printLine(
                    QStringLiteral("%1\t%2\t%3").arg(category->CategoryId).arg(category->CategoryName).arg(images));
        }
        scrapbook.images.closeStore();
        if (json)
            printJson(array);
        return kSuccess;
    });
}

int runList(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = takeJsonOption(arguments);
    if (arguments.size() > 1)
        return badUsage(kListUsage);
    return reportingFailures([&] {
        Scrapbook scrapbook(dataBase());
        std::vector<std::unique_ptr<TImageElement>> records;
        if (arguments.isEmpty()) {
            for (auto record = scrapbook.images.FirstImage(); record; record = scrapbook.images.NextImage())
                records.push_back(std::move(record));
            scrapbook.images.closeStore();
        } else {
            TCategory* category = scrapbook.categories.FindOrAddCategory(arguments.first(), true).first;
            if (!category) {
                printError(QStringLiteral("no category named '%1'").arg(arguments.first()));
                return kFailure;
            }
            scrapbook.categories.LoadCategoryImages(*category);
            records = std::move(*category->ImageElementList);
            scrapbook.categories.UnloadCategoryImages(*category);
        }
        printRecords(records, json);
        return kSuccess;
    });
}

int runSearch(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = takeJsonOption(arguments);
    if (arguments.size() != 1)
        return badUsage(kSearchUsage);
    return reportingFailures([&] {
        Scrapbook scrapbook(dataBase());
        const auto found = scrapbook.images.SearchMemos(arguments.first());
        if (found.empty() && !json)
            printLine(QStringLiteral("Sorry, no images were found with the selected memo string."));
        printRecords(found, json);
        return kSuccess;
    });
}

int runMemo(const Invocation& invocation)
{
    const QStringList& arguments = invocation.arguments;
    bool isNumber = false;
    const int seqNo = arguments.value(0).toInt(&isNumber);
    if (arguments.size() != 2 || !isNumber)
        return badUsage(kMemoUsage);
    return reportingFailures([&] {
        Scrapbook scrapbook(dataBase());
        std::unique_ptr<TImageElement> record = scrapbook.images.ReadImage(seqNo);
        if (!record) {
            scrapbook.images.closeStore();
            printError(QStringLiteral("no image with sequence number %1").arg(seqNo));
            return kFailure;
        }
        record->IT_Memo = MemoText(QString(), arguments.at(1));
        scrapbook.images.WriteImage(*record);
        scrapbook.images.EndImagePass();
        return kSuccess;
    });
}

const CommandRegistration categoriesCommand({"categories", kCategoriesUsage, true, runCategories});
const CommandRegistration listCommand({"list", kListUsage, true, runList});
const CommandRegistration searchCommand({"search", kSearchUsage, true, runSearch});
const CommandRegistration memoCommand({"memo", kMemoUsage, true, runMemo});

} // namespace

} // namespace glimmora::cli
