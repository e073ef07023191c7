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
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(int(picturelimits::kMaxPixels * 4 / (1024 * 1024)) + 1);
    });
}

} // namespace

QImage decodeWithQt(const QString& path, const QByteArray& format, int thumbnailSize, int jpegQuality)
{
    raiseQtAllocationLimit();
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    reader.setQuality(jpegQuality);
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
