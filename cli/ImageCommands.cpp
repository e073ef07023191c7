// The commands on images of the tool: copy, move, remove and delete (a category window's
// "Copy/Move to Another Category", "Delete from This Category" and "Delete from the Scrapbook")
// and move-file ("Move File..."/"Copy File..."), over the same model operations, with the same
// refusals and texts, saving before they return.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageCommands.h"
#include "catalog/ImageElementForm.h"
#include "files/FileTransfer.h"
#include "platform/MessageService.h"

// Qt
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <functional>
#include <optional>

namespace glimmora::cli {

namespace {

constexpr const char* kCopyUsage = "copy SEQ... --to CATEGORY";
constexpr const char* kMoveUsage = "move SEQ... --from CATEGORY --to CATEGORY";
constexpr const char* kRemoveUsage = "remove SEQ... --from CATEGORY";
constexpr const char* kDeleteUsage = "delete SEQ...";
constexpr const char* kMoveFileUsage = "move-file SEQ... --to DIR [--copy] [--overwrite]";

// The arguments of a command on images: the sequence numbers in the order given, the options
// with a value, and the flags.
struct ImageArguments {
    QList<std::int32_t> numbers;
    QHash<QString, QString> values;
    QStringList flags;
};

// Numbers first, then options; nothing that the command does not take.
std::optional<ImageArguments> parseImageArguments(QStringList arguments, const QStringList& valueOptions,
                                                  const QStringList& flagOptions)
{
    ImageArguments parsed;
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (valueOptions.contains(argument)) {
            if (arguments.isEmpty() || parsed.values.contains(argument))
                return std::nullopt;
            parsed.values.insert(argument, arguments.takeFirst());
        } else if (flagOptions.contains(argument)) {
            parsed.flags.append(argument);
        } else {
            bool isNumber = false;
            const int number = argument.toInt(&isNumber);
            if (!isNumber || number <= 0 || !parsed.values.isEmpty() || !parsed.flags.isEmpty())
                return std::nullopt;
            parsed.numbers.append(number);
        }
    }
    if (parsed.numbers.isEmpty() || parsed.values.size() != valueOptions.size())
        return std::nullopt;
    return parsed;
}

// A message as a terminal shows it: the line break the boxes make with a carriage return is a
// new line here.
QString consoleText(const QString& text)
{
    QString shown = text;
    return shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

int refused(const QString& text)
{
    printError(consoleText(text));
    return kFailure;
}

// The records of the numbers given, in that order (a number given twice counts once); none when
// a number has no record.
std::optional<QList<TImageElement>> readImages(TImageElementForm& images, const QList<std::int32_t>& numbers)
{
    QList<TImageElement> records;
    QSet<std::int32_t> read;
    for (const std::int32_t number : numbers) {
        if (read.contains(number))
            continue;
        read.insert(number);
        const std::unique_ptr<TImageElement> record = images.ReadImage(number);
        if (!record) {
            images.EndReadPass();
            printError(QStringLiteral("no image with sequence number %1").arg(number));
            return std::nullopt;
        }
        records.append(*record);
    }
    images.EndReadPass();
    return records;
}

TCategory* namedCategory(TCategories& categories, const QString& name)
{
    TCategory* category = categories.FindOrAddCategory(name, true).first;
    if (!category)
        printError(QStringLiteral("no category named '%1'").arg(name));
    return category;
}

// Why the images cannot be taken out of `category`: one of them is not in it.
QString notInCategory(TScrapbook& scrapbook, const TCategory& category, const QList<TImageElement>& images)
{
    for (const TImageElement& image : images)
        if (!scrapbook.memberships().CategoriesOfImage(image.IT_SeqNo).contains(category.CategoryId))
            return QStringLiteral("image %1 is not in the category \"%2\"")
                .arg(image.IT_SeqNo)
                .arg(category.CategoryName);
    return QString();
}

// Opens the scrapbook, reads the images named, runs the command and saves before it prints
// what was done. The command returns its refusal, empty when it went ahead.
int onImages(const QList<std::int32_t>& numbers,
             const std::function<QString(TScrapbook&, const QList<TImageElement>&, QString& done)>& command)
{
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        const std::optional<QList<TImageElement>> images = readImages(scrapbook->images(), numbers);
        if (!images)
            return kFailure;
        QString done;
        if (const QString refusal = command(*scrapbook, *images, done); !refusal.isEmpty())
            return refused(refusal);
        if (const int status = saveScrapbook(*scrapbook); status != kSuccess)
            return status;
        printLine(done);
        return kSuccess;
    });
}

QString imagesText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 image") : QStringLiteral("%1 images").arg(count);
}

int runCopy(const Invocation& invocation)
{
    const auto arguments = parseImageArguments(invocation.arguments, {QStringLiteral("--to")}, {});
    if (!arguments)
        return usageError(kCopyUsage);
    return onImages(arguments->numbers, [&](TScrapbook& scrapbook, const QList<TImageElement>& images, QString& done) {
        TCategories& categories = scrapbook.categories();
        TCategory* target = namedCategory(categories, arguments->values.value(QStringLiteral("--to")));
        if (!target)
            return QStringLiteral("nothing was copied");
        if (QString refusal = targetCategoryRefusal(categories, nullptr, *target, CategoryVerb::Copy);
            !refusal.isEmpty())
            return refusal;
        // Named by number, the images come from no category: like a search's results, they
        // leave "(unassigned)" once they have a real category.
        AssignImagesTo(categories, *target, images, true);
        done = QStringLiteral("%1 copied to \"%2\"").arg(imagesText(images.size()), target->CategoryName);
        return QString();
    });
}

int runMove(const Invocation& invocation)
{
    const auto arguments =
        parseImageArguments(invocation.arguments, {QStringLiteral("--from"), QStringLiteral("--to")}, {});
    if (!arguments)
        return usageError(kMoveUsage);
    return onImages(arguments->numbers, [&](TScrapbook& scrapbook, const QList<TImageElement>& images, QString& done) {
        TCategories& categories = scrapbook.categories();
        TCategory* source = namedCategory(categories, arguments->values.value(QStringLiteral("--from")));
        TCategory* target =
            source ? namedCategory(categories, arguments->values.value(QStringLiteral("--to"))) : nullptr;
        if (!target)
            return QStringLiteral("nothing was moved");
        if (QString refusal = targetCategoryRefusal(categories, source, *target, CategoryVerb::Move);
            !refusal.isEmpty())
            return refusal;
        if (QString refusal = notInCategory(scrapbook, *source, images); !refusal.isEmpty())
            return refusal;
        MoveImages(categories, *source, *target, images);
        done = QStringLiteral("%1 moved from \"%2\" to \"%3\"")
                   .arg(imagesText(images.size()), source->CategoryName, target->CategoryName);
        return QString();
    });
}

int runRemove(const Invocation& invocation)
{
    const auto arguments = parseImageArguments(invocation.arguments, {QStringLiteral("--from")}, {});
    if (!arguments)
        return usageError(kRemoveUsage);
    return onImages(arguments->numbers, [&](TScrapbook& scrapbook, const QList<TImageElement>& images, QString& done) {
        TCategories& categories = scrapbook.categories();
        TCategory* category = namedCategory(categories, arguments->values.value(QStringLiteral("--from")));
        if (!category)
            return QStringLiteral("nothing was deleted");
        if (QString refusal = deleteFromCategoryRefusal(categories, *category); !refusal.isEmpty())
            return refusal;
        if (QString refusal = notInCategory(scrapbook, *category, images); !refusal.isEmpty())
            return refusal;
        DeleteImagesFromCategory(categories, *category, images);
        done = QStringLiteral("%1 deleted from \"%2\"").arg(imagesText(images.size()), category->CategoryName);
        return QString();
    });
}

int runDelete(const Invocation& invocation)
{
    const auto arguments = parseImageArguments(invocation.arguments, {}, {});
    if (!arguments)
        return usageError(kDeleteUsage);
    return onImages(arguments->numbers, [&](TScrapbook& scrapbook, const QList<TImageElement>& images, QString& done) {
        DeleteImagesFromScrapbook(scrapbook.images(), images);
        done = QStringLiteral("%1 deleted from the scrapbook (the picture files stay)").arg(imagesText(images.size()));
        return QString();
    });
}

// The file transfer's messages on the terminal: failures on standard error, the rest on
// standard output; the overwrite question is answered by --overwrite.
class ConsoleMessages : public MessageService {
public:
    explicit ConsoleMessages(bool overwrite) : overwrite_(overwrite) {}

    MessageButton show(const Message& message) override
    {
        if (message.buttons.testFlag(MessageButton::Yes)) {
            printError(consoleText(message.text)
                       + (overwrite_ ? QStringLiteral(" Yes (--overwrite).")
                                     : QStringLiteral(" No (--overwrite would replace it).")));
            return overwrite_ ? MessageButton::Yes : MessageButton::No;
        }
        if (message.icon == MessageIcon::Error)
            printError(consoleText(message.text));
        else
            printLine(consoleText(message.text));
        return MessageButton::Ok;
    }

    void beep(MessageBeep) override {}

private:
    bool overwrite_;
};

int runMoveFile(const Invocation& invocation)
{
    const QString copyFlag = QStringLiteral("--copy");
    const QString overwriteFlag = QStringLiteral("--overwrite");
    const auto arguments =
        parseImageArguments(invocation.arguments, {QStringLiteral("--to")}, {copyFlag, overwriteFlag});
    if (!arguments)
        return usageError(kMoveFileUsage);
    const QFileInfo destination(arguments->values.value(QStringLiteral("--to")));
    if (!destination.isDir()) {
        printError(QStringLiteral("%1 is not a directory").arg(destination.filePath()));
        return kFailure;
    }
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        const std::optional<QList<TImageElement>> images = readImages(scrapbook->images(), arguments->numbers);
        if (!images)
            return kFailure;
        ConsoleMessages messages(arguments->flags.contains(overwriteFlag));
        LabelAsDescription prompt;
        TFileTransfer transfer(*scrapbook, messages, prompt);
        const TransferResult result =
            transfer.TransferImages(*images, destination.absoluteFilePath(),
                                    arguments->flags.contains(copyFlag) ? TransferMode::Copy : TransferMode::Move);
        return result.failed > 0 ? kFailure : kSuccess;
    });
}

const CommandRegistration copyCommand({"copy", kCopyUsage, true, runCopy});
const CommandRegistration moveCommand({"move", kMoveUsage, true, runMove});
const CommandRegistration removeCommand({"remove", kRemoveUsage, true, runRemove});
const CommandRegistration deleteCommand({"delete", kDeleteUsage, true, runDelete});
const CommandRegistration moveFileCommand({"move-file", kMoveFileUsage, true, runMoveFile});

} // namespace

} // namespace glimmora::cli
