#include "picturecontrol/QtPictureDecoder.h"

#include "picturecontrol/PictureDecoder.h"
#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"

// Qt
#include <QImageReader>

#include <mutex>

namespace glimmora {

namespace {

// Qt's own limit (128 MB by default) would refuse pictures we accept; ours is checked from
// the header before decoding, so Qt's is set just above it.
void raiseQtAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once,
                   [] { QImageReader::setAllocationLimit(int(picturelimits::kMaxPixels * 4 / (1024 * 1024)) + 1); });
}

// An icon file holds the same picture at several sizes; the largest is the best picture, and
// the one a thumbnail is best scaled down from.
void chooseLargestIcon(QImageReader& reader)
{
    int largest = 0;
    qint64 largestArea = 0;
    for (int index = 0; index < reader.imageCount() && reader.jumpToImage(index); ++index) {
        const QSize size = reader.size();
        if (qint64(size.width()) * size.height() > largestArea) {
            largest = index;
            largestArea = qint64(size.width()) * size.height();
        }
    }
    reader.jumpToImage(largest);
}

} // namespace

QImage decodeWithQt(const QString& path, const QByteArray& format, int thumbnailSize, int jpegQuality)
{
    raiseQtAllocationLimit();
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    reader.setQuality(jpegQuality);
    if (format == "ico" || format == "cur")
        chooseLargestIcon(reader);
    const QSize size = reader.size();
    if (size.isValid()) {
        checkPictureSize(size);
        if (thumbnailSize > 0 && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(thumbnailSizeFor(size, thumbnailSize));
    }
    QImage image;
    if (!reader.read(&image))
        throw EGvboxError(reader.errorString());
    return image;
}

} // namespace glimmora
