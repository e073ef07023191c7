#pragma once

#include "picturecontrol/MetafileFormat.h"

// Qt
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <cstring>

class QIODevice;

// A picture written as a Windows Metafile or an Enhanced Metafile: one bitmap record that draws
// it at its own size at 96 pixels per inch. The headers of both formats and the bitmap they
// carry are encoded here once, for these writers and for the tests' record writers.
namespace glimmora::metafile {

// Little-endian bytes.
class LeBytes {
public:
    LeBytes& u8(uint8_t v)
    {
        bytes_.append(static_cast<char>(v));
        return *this;
    }
    LeBytes& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    LeBytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    LeBytes& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    LeBytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    LeBytes& f32(float v)
    {
        uint32_t bits;
        static_assert(sizeof bits == sizeof v);
        std::memcpy(&bits, &v, sizeof v);
        return u32(bits);
    }
    LeBytes& color(const QColor& c) { return u8(c.red()).u8(c.green()).u8(c.blue()).u8(0); }
    LeBytes& raw(const QByteArray& b)
    {
        bytes_.append(b);
        return *this;
    }
    LeBytes& pad(int multiple)
    {
        while (bytes_.size() % multiple != 0)
            bytes_.append('\0');
        return *this;
    }
    const QByteArray& bytes() const { return bytes_; }
    qsizetype size() const { return bytes_.size(); }

private:
    QByteArray bytes_;
};

// The 22-byte placeable header of a WMF: its bounding box in logical units, unitsPerInch of them
// to the inch, and its checksum.
QByteArray placeableHeader(const QRect& bounds, uint16_t unitsPerInch);

// The 18-byte standard header of a WMF (the memory type office programs write).
QByteArray wmfStandardHeader(uint32_t fileWords, uint16_t objects, uint32_t largestRecordWords);

// The 108-byte header record of an EMF: its bounds in device units (inclusive), its frame in
// hundredths of a millimetre, and a reference device of devicePixels on deviceMm millimetres.
struct EmfHeaderFields {
    QRect bounds;
    QRect frameHundredthsMm;
    uint32_t fileBytes = 0;
    uint32_t records = 0;
    uint16_t handles = 1;
    QSize devicePixels;
    QSize deviceMm;
};
inline constexpr uint32_t emfHeaderBytes = 108;
QByteArray emfHeader(const EmfHeaderFields& fields);

// The EMF's closing record.
QByteArray emfEofRecord();

// A device-independent bitmap of 24 bits a pixel, without colour table: its 40-byte info header
// and the size of its pixel rows, each padded to four bytes.
QByteArray dibInfoHeader(QSize size, bool bottomUp = true);
qint64 dibPixelBytes(QSize size);
// The pixel rows of the picture in that layout (bottom-up unless told otherwise).
QByteArray dibPixels(const QImage& picture, bool bottomUp = true);

// A packed bitmap: the info header followed by the rows.
QByteArray packedDib(const QImage& picture, bool bottomUp = true);

// The largest side a WMF can hold: its coordinates are 16-bit.
inline constexpr int maxWmfSide = 32767;

// Writes the picture as a WMF with a placeable header at 96 units per inch, or as an EMF whose
// frame is the picture's size at 96 pixels per inch. False when the device failed or the
// picture is too large for the format (WMF: a side above maxWmfSide; EMF: 4 GiB).
bool writeWindowsMetafile(const QImage& picture, QIODevice& out);
bool writeEnhancedMetafile(const QImage& picture, QIODevice& out);

} // namespace glimmora::metafile
