#include "picturecontrol/JpegThumbnailDecoder.h"

#include "picturecontrol/EmbeddedThumbnail.h"
#include "picturecontrol/ExifBlock.h"
#include "picturecontrol/JpegReader.h"
#include "picturecontrol/PictureDecoder.h"
#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"

// Qt
#include <QTransform>

namespace glimmora {

namespace {

// Turns a picture as the camera stored it the way its orientation tag says it is seen, as Qt's
// reader does for the full-size picture.
QImage oriented(QImage image, QImageIOHandler::Transformations transformation)
{
    if (transformation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    image = image.mirrored(transformation & QImageIOHandler::TransformationMirror,
                           transformation & QImageIOHandler::TransformationFlip);
    if (transformation & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// libjpeg takes a read error for the end of the file and fills in the rest, so the stream is
// asked whether that is what happened.
[[noreturn]] void failReading(const QString& path, std::FILE* file, const JpegReader& reader)
{
    if (std::ferror(file))
        throw EGvboxError(QStringLiteral("Cannot read %1.").arg(path));
    throw EGvboxError(QString::fromLocal8Bit(reader.message()));
}

// The picture decoded at a DCT scale and brought to its size in the box: the scales round up,
// so the size comes from the picture's own.
QImage decodedThumbnail(const QString& path, std::FILE* file, JpegReader& picture, int thumbnailSize)
{
    if (picture.coefficientBufferBytes() > picturelimits::kMaxDecodeBytes)
        refuseAsTooLarge(picture.size());
    QImage scaled;
    if (!picture.decodeForThumbnail(thumbnailSize, &scaled) || std::ferror(file))
        failReading(path, file, picture);
    const QSize size = thumbnailSizeFor(picture.size(), thumbnailSize);
    if (size != scaled.size())
        scaled = scaled.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return scaled;
}

} // namespace

QImage decodeJpegThumbnail(const QString& path, int thumbnailSize, bool allowEmbedded)
{
    const PictureStream file = openPictureStream(path);
    JpegReader picture(file.get());
    if (!picture.readHeader())
        failReading(path, file.get(), picture);
    const ExifBlock exif = readExifBlock(picture.exifBlock());
    QImage thumbnail;
    if (allowEmbedded)
        thumbnail = embeddedThumbnail(exif.thumbnail, picture.size(), picture.components(), thumbnailSize);
    if (thumbnail.isNull()) {
        if (picture.isCmyk())
            return QImage();
        thumbnail = decodedThumbnail(path, file.get(), picture, thumbnailSize);
    }
    return oriented(std::move(thumbnail), exif.orientation);
}

} // namespace glimmora
