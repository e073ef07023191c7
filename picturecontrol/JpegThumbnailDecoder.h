#pragma once

// Qt
#include <QImage>
#include <QString>

namespace glimmora {

// The thumbnail of the JPEG file at path: it fits the thumbnailSize box, keeps the picture's
// proportions and is turned the way the EXIF orientation tag says the picture is seen.
//
// Only the file's header is read first (the markers up to the first scan, with the EXIF block
// and the picture's size). With allowEmbedded, the small picture the camera stored in the EXIF
// block is taken when nothing about it is doubtful (EmbeddedThumbnail.h), and nothing more is
// read. Otherwise the picture is decoded with libjpeg's DCT
// scaling (the largest of 1/8, 1/4, 1/2 and 1 that still gives the thumbnail's size), so a
// photo is never decoded at full size.
//
// Returns a null image for colour spaces it leaves to the general reader (CMYK, YCCK); throws
// EGvboxError with libjpeg's message for a broken file, and, before decoding, for a file of
// several scans whose coefficient buffer would exceed picturelimits::kMaxDecodeBytes.
QImage decodeJpegThumbnail(const QString& path, int thumbnailSize, bool allowEmbedded);

} // namespace glimmora
