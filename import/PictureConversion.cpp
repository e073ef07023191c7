#include "import/PictureConversion.h"

#include "catalog/ImageElement.h"
#include "catalog/ImageElementForm.h"
#include "catalog/ThumbnailSource.h"

// Qt
#include <QFile>
#include <QFileInfo>

#include <exception>
#include <filesystem>

namespace glimmora {

namespace {

const ConversionKind kKinds[] = {
    {QStringLiteral("bmp"), QStringLiteral("Bitmap (.bmp)")},
    {QStringLiteral("wmf"), QStringLiteral("Windows Metafile (.wmf)")},
    {QStringLiteral("jpg"), QStringLiteral("JPEG Image (.jpg)")},
    {QStringLiteral("gif"), QStringLiteral("GIF File (.gif)")},
};

std::filesystem::path fileSystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A file that replaced one the scrapbook knew shows the new picture in its record too.
void refreshThumbnail(const FileAdding& scrapbook, TImageElement& record)
{
    const ThumbnailResult thumbnail = scrapbook.thumbnails.loadThumbnail(localPath(record.IT_Path), record);
    if (thumbnail.code != kLoadLoaded)
        return;
    record.IT_Bitmap = thumbnail.thumbnail;
    scrapbook.images.WriteImage(record);
}

} // namespace

const ConversionKind& conversionKind(Conversion conversion) { return kKinds[int(conversion)]; }

bool isConversionOffered(Conversion conversion, const QString& imagePath)
{
    const std::optional<int> own = PictureTypeOf(imagePath);
    return !own || own != PictureTypeOf(conversionKind(conversion).extension);
}

QString proposedFileName(const QString& imagePath, const QString& extension)
{
    return QFileInfo(imagePath).completeBaseName() + QLatin1Char('.') + extension;
}

PictureFileFormat fileFormatOf(Conversion conversion, const QString& fileName)
{
    switch (conversion) {
    case Conversion::Bitmap: return PictureFileFormat::Bitmap;
    case Conversion::Jpeg: return PictureFileFormat::Jpeg;
    case Conversion::Gif: return PictureFileFormat::Gif;
    case Conversion::Metafile: break;
    }
    return QFileInfo(fileName).suffix().compare(QLatin1String("wmf"), Qt::CaseInsensitive) == 0
               ? PictureFileFormat::WindowsMetafile
               : PictureFileFormat::EnhancedMetafile;
}

QString ownFileRefusal(const QString& imagePath, const QString& target)
{
    std::error_code error;
    if (!std::filesystem::equivalent(fileSystemPath(imagePath), fileSystemPath(target), error))
        return QString();
    return QStringLiteral("%1 is the image's own file. A conversion writes a new file: choose another name.")
        .arg(target);
}

ConversionOutcome ConvertPicture(const FileAdding& scrapbook, const QImage& picture, PictureFileFormat format,
                                 const QString& target, const QList<TCategory*>& categories)
{
    ConversionOutcome outcome;
    const bool replacing = QFileInfo::exists(target);
    try {
        writePictureFile(picture, format, target);
    } catch (const EPictureWriteError& error) {
        outcome.failure =
            QStringLiteral("The picture could not be written to %1: %2").arg(target, QString::fromUtf8(error.what()));
        return outcome;
    }
    try {
        for (TCategory* category : categories) {
            outcome.added = AddFileToCategory(scrapbook, *category, target, true);
            if (outcome.added.result != AddFileOutcome::Result::Added)
                break;
        }
        if (replacing && outcome.added.record && !outcome.added.newRecord)
            refreshThumbnail(scrapbook, *outcome.added.record);
    } catch (const std::exception& error) {
        QFile::remove(target);
        outcome.failure = QStringLiteral("%1 could not be added to the scrapbook, so it was not kept: %2")
                              .arg(target, QString::fromUtf8(error.what()));
    }
    return outcome;
}

} // namespace glimmora
