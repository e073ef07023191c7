#pragma once

#include "picturecontrol/MetafileBytes.h"

// Qt
#include <QImage>

namespace glimmora::metafile {

// A device-independent bitmap decoded from a metafile record.
struct Dib {
    QImage image;         // null when the bitmap could not be decoded
    bool bottomUp = true; // rows stored bottom row first (source y counts from the bottom)
};

// Largest bitmap a metafile may carry.
constexpr int maxDibSide = 32768;
constexpr qint64 maxDibPixels = 64 * 1024 * 1024;

// A bitmap whose header and colour table (info) and pixels (bits) lie apart, as in EMF records.
// colorUsage is the record's DibRgbColors or DibPalColors.
Dib decodeDib(ByteView info, ByteView bits, uint32_t colorUsage);

// A packed bitmap: header, colour table and pixels one after another, as in WMF records.
Dib decodePackedDib(ByteView packed, uint32_t colorUsage);

} // namespace glimmora::metafile
