// The picture commands of the tool: convert and wallpaper, over the same model as the category
// window's commands.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "import/LoadPicture.h"
#include "import/PictureConversion.h"
#include "platform/FileDialogs.h"
#include "platform/Wallpaper.h"

// Qt
#include <QDir>
#include <QFileInfo>

#include <optional>

namespace glimmora::cli {

namespace {

constexpr const char* kConvertUsage = "convert SEQ bmp|jpeg|wmf|emf|gif [--out FILE]";
constexpr const char* kWallpaperUsage = "wallpaper SEQ [--tile]";

// The formats the tool names, with the conversion and the extension of each.
struct FormatName {
    const char* name;
    Conversion conversion;
    const char* extension;
};
constexpr FormatName kFormatNames[] = {
    {"bmp", Conversion::Bitmap, "bmp"},   {"jpeg", Conversion::Jpeg, "jpg"}, {"wmf", Conversion::Metafile, "wmf"},
    {"emf", Conversion::Metafile, "emf"}, {"gif", Conversion::Gif, "gif"},
};

struct ConvertRequest {
    std::int32_t seqNo = 0;
    const FormatName* format = nullptr;
    QString out; // empty: the image's name with the format's extension, beside it
};

std::optional<std::int32_t> sequenceNumber(const QString& text)
{
    bool isNumber = false;
    const int seqNo = text.toInt(&isNumber);
    return isNumber && seqNo > 0 ? std::optional<std::int32_t>(seqNo) : std::nullopt;
}

std::optional<ConvertRequest> parseConvert(QStringList arguments)
{
    ConvertRequest request;
    if (const qsizetype out = arguments.indexOf(QStringLiteral("--out")); out >= 0) {
        if (out + 1 >= arguments.size())
            return std::nullopt;
        request.out = arguments.at(out + 1);
        arguments.remove(out, 2);
    }
    const std::optional<std::int32_t> seqNo = sequenceNumber(arguments.value(0));
    if (arguments.size() != 2 || !seqNo)
        return std::nullopt;
    request.seqNo = *seqNo;
    for (const FormatName& format : kFormatNames)
        if (arguments.at(1) == QLatin1String(format.name))
            request.format = &format;
    return request.format ? std::optional<ConvertRequest>(request) : std::nullopt;
}

// The record of a sequence number; none (told) when the scrapbook has no such image.
std::unique_ptr<TImageElement> readRecord(TScrapbook& scrapbook, std::int32_t seqNo)
{
    std::unique_ptr<TImageElement> record = scrapbook.images().ReadImage(seqNo);
    scrapbook.images().EndReadPass();
    if (!record || record->IT_Path.isEmpty()) {
        printError(QStringLiteral("no image with sequence number %1").arg(seqNo));
        return nullptr;
    }
    return record;
}

// The picture as the category window's commands load it (without asking for a missing disk);
// null (told) when it cannot be loaded.
QImage loadPicture(TLoadPictureModule& loader, const TImageElement& record)
{
    QImage picture;
    QString errorText;
    if (loader.LoadFullSize(localPath(record.IT_Path), picture, &record, true, errorText) == kLoadLoaded)
        return picture;
    printError(errorText.isEmpty()
                   ? QStringLiteral("the picture of %1 could not be loaded").arg(displayPath(record.IT_Path))
                   : errorText);
    return QImage();
}

// Where the new file goes, or why it may not go there (the tool has no one to ask whether to
// replace a file, so it replaces none).
struct Target {
    QString path;
    QString refusal;
};

Target targetOf(const ConvertRequest& request, const QString& source)
{
    const QString extension = QLatin1String(request.format->extension);
    const QFileInfo file(request.out.isEmpty() ? QFileInfo(source).dir().filePath(proposedFileName(source, extension))
                                               : withDefaultExtension(request.out, extension));
    Target target{file.absoluteFilePath(), ownFileRefusal(source, file.absoluteFilePath())};
    if (!target.refusal.isEmpty())
        return target;
    const bool windowsMetafile =
        fileFormatOf(request.format->conversion, target.path) == PictureFileFormat::WindowsMetafile;
    if (request.format->conversion == Conversion::Metafile && windowsMetafile != (extension == QLatin1String("wmf")))
        target.refusal = QStringLiteral("%1: a Windows Metafile is named *.wmf, an enhanced metafile any other way.")
                             .arg(target.path);
    else if (file.exists())
        target.refusal = QStringLiteral("%1 already exists; name another file with --out.").arg(target.path);
    return target;
}

// The categories the image is in, which the new file joins as well.
QList<TCategory*> categoriesOf(TScrapbook& scrapbook, const TImageElement& record)
{
    QList<TCategory*> joined;
    for (const std::int32_t id : scrapbook.memberships().CategoriesOfImage(record.IT_SeqNo))
        if (TCategory* category = scrapbook.categories().FindCategory(id))
            joined.append(category);
    return joined;
}

int runConvert(const Invocation& invocation)
{
    const std::optional<ConvertRequest> request = parseConvert(invocation.arguments);
    if (!request)
        return usageError(kConvertUsage);
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        const std::unique_ptr<TImageElement> record = readRecord(*scrapbook, request->seqNo);
        if (!record)
            return kFailure;
        const QString source = localPath(record->IT_Path);
        if (!isConversionOffered(request->format->conversion, source)) {
            printError(
                QStringLiteral("%1 is a %2 file already.").arg(displayPath(record->IT_Path), request->format->name));
            return kFailure;
        }
        const Target target = targetOf(*request, source);
        if (!target.refusal.isEmpty()) {
            printError(target.refusal);
            return kFailure;
        }
        TLoadPictureModule loader(&scrapbook->disks());
        const QImage picture = loadPicture(loader, *record);
        if (picture.isNull())
            return kFailure;

        LabelAsDescription diskPrompt;
        const ConversionOutcome outcome = ConvertPicture(
            {scrapbook->images(), scrapbook->categories(), scrapbook->disks(), loader, diskPrompt}, picture,
            fileFormatOf(request->format->conversion, target.path), target.path, categoriesOf(*scrapbook, *record));
        const int saved = saveScrapbook(*scrapbook);
        if (outcome.failed()) {
            printError(outcome.failure);
            return kFailure;
        }
        if (outcome.added.result == AddFileOutcome::Result::Refused) {
            printError(QStringLiteral("Load Error: %1").arg(outcome.added.loadErrorText()));
            return kFailure;
        }
        printLine(outcome.added.record ? QStringLiteral("%1\t%2").arg(outcome.added.record->IT_SeqNo).arg(target.path)
                                       : target.path);
        return saved;
    });
}

int runWallpaper(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool tiled = arguments.removeAll(QStringLiteral("--tile")) > 0;
    const std::optional<std::int32_t> seqNo = sequenceNumber(arguments.value(0));
    if (arguments.size() != 1 || !seqNo)
        return usageError(kWallpaperUsage);
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadOnly);
        const std::unique_ptr<TImageElement> record = readRecord(*scrapbook, *seqNo);
        if (!record)
            return kFailure;
        TLoadPictureModule loader(&scrapbook->disks());
        const QImage picture = loadPicture(loader, *record);
        if (picture.isNull())
            return kFailure;
        if (const QString failure =
                SetDesktopWallpaper(picture, tiled ? WallpaperStyle::Tiled : WallpaperStyle::Centred);
            !failure.isEmpty()) {
            printError(failure);
            return kFailure;
        }
        printLine(wallpaperBitmapPath());
        return kSuccess;
    });
}

const CommandRegistration convertCommand({"convert", kConvertUsage, true, runConvert});
const CommandRegistration wallpaperCommand({"wallpaper", kWallpaperUsage, true, runWallpaper});

} // namespace

} // namespace glimmora::cli
