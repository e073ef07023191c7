#include "picturecontrol/MetafileDib.h"

#include "picturecontrol/MetafileFormat.h"

// Qt
#include <QByteArray>

#include <cstdlib>

namespace glimmora::metafile {

namespace {

constexpr int bmpFileHeaderBytes = 14;
constexpr uint32_t maxColorEntries = 4096;

struct DibHeader {
    uint32_t headerBytes = 0;
    int64_t width = 0;
    int64_t height = 0; // negative: top-down
    uint16_t bitCount = 0;
    uint32_t compression = DibRgb;
    uint32_t colorsUsed = 0;
};

bool readHeader(ByteView info, DibHeader& header)
{
    header.headerBytes = info.u32();
    if (header.headerBytes == bitmapCoreHeaderBytes) {
        header.width = info.u16();
        header.height = info.u16();
        info.u16(); // planes
        header.bitCount = info.u16();
    } else if (header.headerBytes >= bitmapInfoHeaderBytes && header.headerBytes <= 1024) {
        header.width = info.i32();
        header.height = info.i32();
        info.u16(); // planes
        header.bitCount = info.u16();
        header.compression = info.u32();
        info.skip(12); // image size, resolution
        header.colorsUsed = info.u32();
    } else {
        return false;
    }
    const int64_t rows = std::llabs(header.height);
    return info.ok() && header.width > 0 && rows > 0 && header.width <= maxDibSide && rows <= maxDibSide
           && header.width * rows <= maxDibPixels && header.colorsUsed <= maxColorEntries;
}

uint32_t colorEntries(const DibHeader& header)
{
    if (header.colorsUsed != 0)
        return header.colorsUsed;
    return header.bitCount >= 1 && header.bitCount <= 8 ? 1u << header.bitCount : 0;
}

uint32_t colorEntryBytes(const DibHeader& header, uint32_t colorUsage)
{
    if (colorUsage == DibPalColors)
        return 2;
    return header.headerBytes == bitmapCoreHeaderBytes ? 3 : 4;
}

// Bitfield masks follow a plain 40-byte header; larger headers hold them inside.
uint32_t maskBytes(const DibHeader& header)
{
    return header.headerBytes == bitmapInfoHeaderBytes && header.compression == DibBitfields ? 12 : 0;
}

uint32_t infoBytes(const DibHeader& header, uint32_t colorUsage)
{
    return header.headerBytes + maskBytes(header) + colorEntries(header) * colorEntryBytes(header, colorUsage);
}

// Without the logical palette the indices point into, each index is shown as a grey level.
QByteArray greyTableFor(const DibHeader& header)
{
    QByteArray table;
    const uint32_t entries = colorEntries(header);
    const uint32_t entryBytes = colorEntryBytes(header, DibRgbColors);
    for (uint32_t i = 0; i < entries; ++i) {
        const char level = static_cast<char>(entries > 1 ? i * 255 / (entries - 1) : 0);
        table.append(static_cast<qsizetype>(entryBytes - 1), level);
        if (entryBytes == 4)
            table.append('\0');
    }
    return table;
}

void appendU32(QByteArray& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Qt's BMP reader does the pixel work (every bit depth, RLE, bitfields, top-down rows) once the
// bitmap is given the file header it expects.
QImage decodeAsBmpFile(std::string_view header, std::string_view table, std::string_view bits)
{
    QByteArray file("BM");
    const size_t offBits = bmpFileHeaderBytes + header.size() + table.size();
    appendU32(file, static_cast<uint32_t>(offBits + bits.size()));
    appendU32(file, 0);
    appendU32(file, static_cast<uint32_t>(offBits));
    file.append(header.data(), static_cast<qsizetype>(header.size()));
    file.append(table.data(), static_cast<qsizetype>(table.size()));
    file.append(bits.data(), static_cast<qsizetype>(bits.size()));
    return QImage::fromData(file, "BMP");
}

Dib decode(const DibHeader& header, ByteView info, ByteView bits, uint32_t colorUsage)
{
    Dib dib;
    dib.bottomUp = header.height > 0;
    const std::string_view pixels(bits.data(), bits.size());
    if (header.compression == DibJpeg || header.compression == DibPng) {
        dib.image = QImage::fromData(QByteArrayView(pixels.data(), static_cast<qsizetype>(pixels.size())));
        return dib;
    }
    const uint32_t headAndMasks = header.headerBytes + maskBytes(header);
    if (!info.contains(0, infoBytes(header, colorUsage)))
        return dib;
    const std::string_view head(info.data(), headAndMasks);
    if (colorUsage == DibPalColors) {
        const QByteArray table = greyTableFor(header);
        dib.image = decodeAsBmpFile(head, std::string_view(table.constData(), table.size()), pixels);
    } else {
        const std::string_view table(info.data() + headAndMasks, infoBytes(header, colorUsage) - headAndMasks);
        dib.image = decodeAsBmpFile(head, table, pixels);
    }
    return dib;
}

} // namespace

Dib decodeDib(ByteView info, ByteView bits, uint32_t colorUsage)
{
    DibHeader header;
    if (!readHeader(info, header))
        return {};
    return decode(header, info, bits, colorUsage);
}

Dib decodePackedDib(ByteView packed, uint32_t colorUsage)
{
    DibHeader header;
    if (!readHeader(packed, header))
        return {};
    const uint32_t infoSize = infoBytes(header, colorUsage);
    if (!packed.contains(0, infoSize))
        return {};
    return decode(header, packed.sub(0, infoSize), packed.sub(infoSize, packed.size() - infoSize), colorUsage);
}

} // namespace glimmora::metafile
