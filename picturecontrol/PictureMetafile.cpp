#include "picturecontrol/PictureMetafile.h"

// Qt
#include <QIODevice>

#include <cmath>
#include <functional>
#include <limits>

namespace glimmora::metafile {

namespace {

// A picture is written at 96 pixels per inch, on a reference device of 96 pixels per inch whose
// size is a whole number of millimetres both ways (1920 x 1440 pixels, 508 x 381 mm).
constexpr uint16_t kPixelsPerInch = 96;
constexpr QSize kDevicePixels(1920, 1440);
constexpr QSize kDeviceMm(508, 381);

constexpr int kDibHeaderWords = bitmapInfoHeaderBytes / 2;

qint64 dibRowBytes(int width) { return (qint64(width) * 3 + 3) / 4 * 4; }

// One row of 24-bit pixels, blue, green, red, padded with zeros to four bytes.
void encodeDibRow(const QImage& rgb, int y, QByteArray& row)
{
    const auto* pixels = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    char* out = row.data();
    for (int x = 0; x < rgb.width(); ++x) {
        *out++ = static_cast<char>(qBlue(pixels[x]));
        *out++ = static_cast<char>(qGreen(pixels[x]));
        *out++ = static_cast<char>(qRed(pixels[x]));
    }
}

// Hands the rows to `write` in the order the bitmap stores them; false as soon as it fails.
bool forEachDibRow(const QImage& picture, bool bottomUp, const std::function<bool(const QByteArray&)>& write)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QByteArray row(dibRowBytes(rgb.width()), '\0');
    for (int i = 0; i < rgb.height(); ++i) {
        encodeDibRow(rgb, bottomUp ? rgb.height() - 1 - i : i, row);
        if (!write(row))
            return false;
    }
    return true;
}

bool writeAll(QIODevice& out, const QByteArray& bytes) { return out.write(bytes) == bytes.size(); }

int hundredthsMm(int pixels) { return int(std::lround(pixels * 2540.0 / kPixelsPerInch)); }

} // namespace

QByteArray placeableHeader(const QRect& bounds, uint16_t unitsPerInch)
{
    LeBytes head;
    head.u32(wmf::placeableKey).u16(0).i16(bounds.left()).i16(bounds.top());
    head.i16(bounds.left() + bounds.width()).i16(bounds.top() + bounds.height()).u16(unitsPerInch).u32(0);
    uint16_t checksum = 0;
    for (qsizetype i = 0; i + 1 < head.size(); i += 2)
        checksum ^= static_cast<uint8_t>(head.bytes()[i]) | static_cast<uint8_t>(head.bytes()[i + 1]) << 8;
    return head.u16(checksum).bytes();
}

QByteArray wmfStandardHeader(uint32_t fileWords, uint16_t objects, uint32_t largestRecordWords)
{
    LeBytes header;
    header.u16(wmf::typeMemory).u16(wmf::standardHeaderWords).u16(wmf::version300).u32(fileWords);
    header.u16(objects).u32(largestRecordWords).u16(0);
    return header.bytes();
}

QByteArray emfHeader(const EmfHeaderFields& fields)
{
    const QRect& bounds = fields.bounds;
    const QRect& frame = fields.frameHundredthsMm;
    LeBytes out;
    out.u32(emf::Header).u32(emfHeaderBytes);
    out.i32(bounds.left()).i32(bounds.top()).i32(bounds.right()).i32(bounds.bottom());
    out.i32(frame.left()).i32(frame.top()).i32(frame.left() + frame.width()).i32(frame.top() + frame.height());
    out.u32(emf::signature).u32(0x10000).u32(fields.fileBytes).u32(fields.records);
    out.u16(fields.handles).u16(0).u32(0).u32(0).u32(0); // reserved, no description, no palette
    out.i32(fields.devicePixels.width()).i32(fields.devicePixels.height());
    out.i32(fields.deviceMm.width()).i32(fields.deviceMm.height());
    out.u32(0).u32(0).u32(0);                                                     // no pixel format, no OpenGL
    out.i32(fields.deviceMm.width() * 1000).i32(fields.deviceMm.height() * 1000); // micrometres
    return out.bytes();
}

QByteArray emfEofRecord()
{
    constexpr uint32_t eofBytes = 20;
    // No palette entries; their offset, and the record's size repeated at its end.
    return LeBytes().u32(emf::Eof).u32(eofBytes).u32(0).u32(16).u32(eofBytes).bytes();
}

QByteArray dibInfoHeader(QSize size, bool bottomUp)
{
    constexpr int32_t kPixelsPerMetre = 3780; // 96 per inch
    LeBytes header;
    header.u32(bitmapInfoHeaderBytes).i32(size.width()).i32(bottomUp ? size.height() : -size.height());
    header.u16(1).u16(24).u32(DibRgb).u32(uint32_t(dibPixelBytes(size)));
    header.i32(kPixelsPerMetre).i32(kPixelsPerMetre).u32(0).u32(0);
    return header.bytes();
}

qint64 dibPixelBytes(QSize size) { return dibRowBytes(size.width()) * size.height(); }

QByteArray dibPixels(const QImage& picture, bool bottomUp)
{
    QByteArray pixels;
    pixels.reserve(dibPixelBytes(picture.size()));
    forEachDibRow(picture, bottomUp, [&pixels](const QByteArray& row) {
        pixels.append(row);
        return true;
    });
    return pixels;
}

QByteArray packedDib(const QImage& picture, bool bottomUp)
{
    return dibInfoHeader(picture.size(), bottomUp) + dibPixels(picture, bottomUp);
}

bool writeWindowsMetafile(const QImage& picture, QIODevice& out)
{
    const int width = picture.width();
    const int height = picture.height();
    if (width <= 0 || height <= 0 || width > maxWmfSide || height > maxWmfSide)
        return false;
    // StretchDIB: rop, usage, source height, width, y, x, destination height, width, y, x.
    constexpr uint32_t kStretchParameterWords = 2 + 1 + 8;
    constexpr uint32_t kWindowRecordWords = 5;
    const qint64 stretchWords = 3 + kStretchParameterWords + kDibHeaderWords + dibPixelBytes(picture.size()) / 2;
    const qint64 fileWords = wmf::standardHeaderWords + 2 * kWindowRecordWords + stretchWords + 3;
    if (fileWords > std::numeric_limits<uint32_t>::max())
        return false;

    LeBytes head;
    head.raw(placeableHeader(QRect(0, 0, width, height), kPixelsPerInch));
    head.raw(wmfStandardHeader(uint32_t(fileWords), 0, uint32_t(stretchWords)));
    head.u32(kWindowRecordWords).u16(wmf::SetWindowOrg).i16(0).i16(0);
    head.u32(kWindowRecordWords).u16(wmf::SetWindowExt).i16(int16_t(height)).i16(int16_t(width));
    head.u32(uint32_t(stretchWords)).u16(wmf::StretchDib).u32(RopSrcCopy).u16(DibRgbColors);
    head.i16(int16_t(height)).i16(int16_t(width)).i16(0).i16(0);
    head.i16(int16_t(height)).i16(int16_t(width)).i16(0).i16(0);
    head.raw(dibInfoHeader(picture.size()));
    return writeAll(out, head.bytes())
           && forEachDibRow(picture, true, [&out](const QByteArray& row) { return writeAll(out, row); })
           && writeAll(out, LeBytes().u32(3).u16(wmf::Eof).bytes());
}

bool writeEnhancedMetafile(const QImage& picture, QIODevice& out)
{
    const int width = picture.width();
    const int height = picture.height();
    if (width <= 0 || height <= 0)
        return false;
    // The record header, bounds, destination and source corners, source size, the offsets and
    // sizes of the bitmap's header and bits, usage, rop and destination size.
    constexpr uint32_t kStretchFixedBytes = 80;
    const qint64 stretchBytes = kStretchFixedBytes + bitmapInfoHeaderBytes + dibPixelBytes(picture.size());
    const qint64 fileBytes = emfHeaderBytes + stretchBytes + emfEofRecord().size();
    if (fileBytes > std::numeric_limits<uint32_t>::max())
        return false;

    const QRect bounds(0, 0, width, height);
    LeBytes head;
    head.raw(emfHeader({bounds, QRect(0, 0, hundredthsMm(width), hundredthsMm(height)), uint32_t(fileBytes), 3, 1,
                        kDevicePixels, kDeviceMm}));
    head.u32(emf::StretchDiBits).u32(uint32_t(stretchBytes));
    head.i32(bounds.left()).i32(bounds.top()).i32(bounds.right()).i32(bounds.bottom());
    head.i32(0).i32(0).i32(0).i32(0).i32(width).i32(height);
    head.u32(kStretchFixedBytes).u32(bitmapInfoHeaderBytes);
    head.u32(kStretchFixedBytes + bitmapInfoHeaderBytes).u32(uint32_t(dibPixelBytes(picture.size())));
    head.u32(DibRgbColors).u32(RopSrcCopy).i32(width).i32(height);
    head.raw(dibInfoHeader(picture.size()));
    return writeAll(out, head.bytes())
           && forEachDibRow(picture, true, [&out](const QByteArray& row) { return writeAll(out, row); })
           && writeAll(out, emfEofRecord());
}

} // namespace glimmora::metafile
