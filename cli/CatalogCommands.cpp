// The catalogue commands of the tool: categories, list, search and memo.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElement.h"
#include "catalog/ImageElementForm.h"

// Qt
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace glimmora::cli {

namespace {

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

// Prints records one by one as they are read, so that a listing holds one record at a time
// however large the scrapbook; a JSON array is printed on one line, like the tool's others.
class RecordPrinter {
public:
    explicit RecordPrinter(bool json) : json_(json) {}

    void print(const TImageElement& record)
    {
        if (!json_) {
            printLine(QStringLiteral("%1\t%2\t%3\t%4")
                          .arg(record.IT_SeqNo)
                          .arg(typeName(record.IT_FileType), displayPath(record.IT_Path), record.IT_Memo.trimmed()));
            return;
        }
        write((printed_ ? QByteArray(",") : QByteArray("["))
              + QJsonDocument(recordJson(record)).toJson(QJsonDocument::Compact));
        printed_ = true;
    }

    // Ends a JSON listing (an empty one too).
    void finish()
    {
        if (json_)
            write(printed_ ? QByteArray("]\n") : QByteArray("[]\n"));
    }

private:
    static void write(const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout); }

    bool json_;
    bool printed_ = false;
};

int runCategories(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = takeJsonOption(arguments);
    if (!arguments.isEmpty())
        return usageError(kCategoriesUsage);
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadOnly);
        const TCorrespondences& memberships = scrapbook->memberships();
        QJsonArray array;
        for (TCategory* category : scrapbook->categories().FillCategoryList()) {
            // Opening the scrapbook dropped every membership of a missing image.
            const int images = memberships.CategoryImageCount(category->CategoryId);
            if (json)
                array.append(QJsonObject{{QStringLiteral("id"), category->CategoryId},
                                         {QStringLiteral("name"), category->CategoryName},
                                         {QStringLiteral("images"), images}});
            else
                printLine(
                    QStringLiteral("%1\t%2\t%3").arg(category->CategoryId).arg(category->CategoryName).arg(images));
        }
        if (json)
            printJson(array);
        return kSuccess;
    });
}

// Every record in store order, or a category's in membership order (as its window lists them).
void listRecords(TScrapbook& scrapbook, const TCategory* category, RecordPrinter& printer)
{
    TImageElementForm& images = scrapbook.images();
    if (!category) {
        for (auto record = images.FirstImage(); record; record = images.NextImage())
            printer.print(*record);
    } else {
        for (const Membership& pair : scrapbook.memberships().pairs()) {
            if (pair.categoryId != category->CategoryId)
                continue;
            const std::unique_ptr<TImageElement> record = images.ReadImage(pair.seqNo);
            if (record && !record->IT_Path.isEmpty())
                printer.print(*record);
        }
    }
    images.EndReadPass();
}

int runList(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = takeJsonOption(arguments);
    if (arguments.size() > 1)
        return usageError(kListUsage);
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadOnly);
        const TCategory* category = nullptr;
        if (!arguments.isEmpty()) {
            category = scrapbook->categories().FindOrAddCategory(arguments.first(), true).first;
            if (!category) {
                printError(QStringLiteral("no category named '%1'").arg(arguments.first()));
                return kFailure;
            }
        }
        RecordPrinter printer(json);
        listRecords(*scrapbook, category, printer);
        printer.finish();
        return kSuccess;
    });
}

int runSearch(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = takeJsonOption(arguments);
    if (arguments.size() != 1)
        return usageError(kSearchUsage);
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadOnly);
        const auto found = scrapbook->images().SearchMemos(arguments.first());
        if (found.empty() && !json)
            printLine(QStringLiteral("Sorry, no images were found with the selected memo string."));
        RecordPrinter printer(json);
        for (const auto& record : found)
            printer.print(*record);
        printer.finish();
        return kSuccess;
    });
}

int runMemo(const Invocation& invocation)
{
    const QStringList& arguments = invocation.arguments;
    bool isNumber = false;
    const int seqNo = arguments.value(0).toInt(&isNumber);
    if (arguments.size() != 2 || !isNumber)
        return usageError(kMemoUsage);
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        std::unique_ptr<TImageElement> record = scrapbook->images().ReadImage(seqNo);
        if (!record) {
            printError(QStringLiteral("no image with sequence number %1").arg(seqNo));
            return kFailure;
        }
        record->IT_Memo = MemoText(QString(), arguments.at(1));
        scrapbook->images().WriteImage(*record);
        return saveScrapbook(*scrapbook);
    });
}

const CommandRegistration categoriesCommand({"categories", kCategoriesUsage, true, runCategories});
const CommandRegistration listCommand({"list", kListUsage, true, runList});
const CommandRegistration searchCommand({"search", kSearchUsage, true, runSearch});
const CommandRegistration memoCommand({"memo", kMemoUsage, true, runMemo});

} // namespace

} // namespace glimmora::cli
