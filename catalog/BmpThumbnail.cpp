#include "catalog/BmpThumbnail.h"

// Qt
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

namespace glimmora {

namespace {

// The parts of a BMP file image read here: the file header (14 bytes) and the first 40 bytes of
// the info header that follows it, whatever its version.
constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kPixelOffsetAt = 10;
constexpr qsizetype kInfoSizeAt = 14;
constexpr qsizetype kWidthAt = 18;
constexpr qsizetype kHeightAt = 22;
constexpr qsizetype kPlanesAt = 26;
constexpr qsizetype kBitCountAt = 28;
constexpr qsizetype kCompressionAt = 30;
constexpr qsizetype kDotsPerMeterXAt = 38;
constexpr qsizetype kDotsPerMeterYAt = 42;
constexpr std::uint32_t kMinInfoSize = 40;
constexpr std::uint32_t kUncompressed = 0; // BI_RGB
// Larger images are no thumbnails; Qt's reader may have them.
constexpr std::int32_t kMaxSide = 4096;

template <typename T>
T at(QByteArrayView bytes, qsizetype offset)
{
    return qFromLittleEndian<T>(bytes.data() + offset);
}

// Whether `bmp` declares an uncompressed 24-bit image of a thumbnail's size.
bool isUncompressed24(QByteArrayView bmp)
{
    if (bmp.size() < kFileHeaderSize + qsizetype(kMinInfoSize) || bmp[0] != 'B' || bmp[1] != 'M')
        return false;
    const auto width = at<std::int32_t>(bmp, kWidthAt);
    const auto height = at<std::int32_t>(bmp, kHeightAt);
    return at<std::uint32_t>(bmp, kInfoSizeAt) >= kMinInfoSize && at<std::uint16_t>(bmp, kPlanesAt) == 1
           && at<std::uint16_t>(bmp, kBitCountAt) == 24 && at<std::uint32_t>(bmp, kCompressionAt) == kUncompressed
           && width >= 1 && width <= kMaxSide && height != 0 && height >= -kMaxSide && height <= kMaxSide;
}

// An uncompressed 24-bit image; null when its pixels do not lie whole in the bytes (Qt's reader
// would hand back rows it never read).
QImage decodeUncompressed24(QByteArrayView bmp)
{
    const auto pixelOffset = at<std::uint32_t>(bmp, kPixelOffsetAt);
    const auto infoSize = at<std::uint32_t>(bmp, kInfoSizeAt);
    const auto width = at<std::int32_t>(bmp, kWidthAt);
    const auto height = at<std::int32_t>(bmp, kHeightAt);
    const int rows = std::abs(height);
    const qint64 stride = (qint64(width) * 3 + 3) & ~qint64(3);
    if (qint64(pixelOffset) < kFileHeaderSize + qint64(infoSize) || qint64(pixelOffset) + stride * rows > bmp.size())
        return {};

    QImage image(width, rows, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const bool topDown = height < 0;
    for (int y = 0; y < rows; ++y) {
        const auto* source =
            reinterpret_cast<const uchar*>(bmp.data() + pixelOffset + (topDown ? y : rows - 1 - y) * stride);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, source += 3)
            target[x] = qRgb(source[2], source[1], source[0]);
    }
    if (const auto dpm = at<std::int32_t>(bmp, kDotsPerMeterXAt); dpm > 0)
        image.setDotsPerMeterX(dpm);
    if (const auto dpm = at<std::int32_t>(bmp, kDotsPerMeterYAt); dpm > 0)
        image.setDotsPerMeterY(dpm);
    return image;
}

} // namespace

QImage decodeBmpThumbnail(QByteArrayView bmp)
{
    if (bmp.isEmpty())
        return {};
    if (isUncompressed24(bmp))
        return decodeUncompressed24(bmp);
    QImage image;
    image.loadFromData(bmp, "BMP");
    return image;
}

} // namespace glimmora
