#include "picturecontrol/EmbeddedThumbnail.h"

#include "picturecontrol/JpegReader.h"
#include "picturecontrol/PictureDecoder.h"

#include <algorithm>
#include <cstdlib>

namespace glimmora {

namespace {

constexpr int kLongestStoredSide = 1024; // cameras store 160 × 120, a few up to 640 × 480
constexpr int kBarLevel = 32;            // no channel of a pixel of a black bar is brighter

bool isJpeg(const QByteArray& bytes) { return bytes.startsWith("\xFF\xD8"); }

bool standsForThePicture(QSize stored, QSize pictureSize, int thumbnailSize)
{
    const int longer = std::max(stored.width(), stored.height());
    if (longer < 2 * thumbnailSize || longer > kLongestStoredSide)
        return false;
    const QSize storedInBox = thumbnailSizeFor(stored, thumbnailSize);
    const QSize pictureInBox = thumbnailSizeFor(pictureSize, thumbnailSize);
    return std::abs(storedInBox.width() - pictureInBox.width()) <= 1
           && std::abs(storedInBox.height() - pictureInBox.height()) <= 1;
}

bool isDark(QRgb pixel) { return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) <= kBarLevel; }

// `count` pixels from `start` on, a `step` apart, all dark.
bool isDarkLine(const QImage& image, QPoint start, QPoint step, int count)
{
    for (QPoint at = start; count > 0; at += step, --count) {
        if (!isDark(image.pixel(at)))
            return false;
    }
    return true;
}

bool hasBars(const QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    const bool barsAboveAndBelow = isDarkLine(image, QPoint(0, 0), QPoint(1, 0), width)
                                   && isDarkLine(image, QPoint(0, height - 1), QPoint(1, 0), width);
    const bool barsLeftAndRight = isDarkLine(image, QPoint(0, 0), QPoint(0, 1), height)
                                  && isDarkLine(image, QPoint(width - 1, 0), QPoint(0, 1), height);
    return barsAboveAndBelow || barsLeftAndRight;
}

} // namespace

QImage embeddedThumbnail(const QByteArray& thumbnail, QSize pictureSize, int pictureComponents, int thumbnailSize)
{
    if (!isJpeg(thumbnail))
        return QImage();
    JpegReader stored(thumbnail);
    if (!stored.readHeader() || stored.warned() || stored.isCmyk() || stored.components() != pictureComponents
        || !standsForThePicture(stored.size(), pictureSize, thumbnailSize))
        return QImage();
    QImage decoded;
    if (!stored.decodeForThumbnail(thumbnailSize, &decoded) || stored.warned() || hasBars(decoded))
        return QImage();
    return decoded.scaled(thumbnailSizeFor(pictureSize, thumbnailSize), Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
}

} // namespace glimmora
