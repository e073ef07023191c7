#pragma once

// Qt
#include <QByteArray>
#include <QImage>

namespace glimmora {

// Decodes a JPEG file image for a thumbnail with libjpeg's DCT scaling: the largest of the
// scales 1/8, 1/4, 1/2 and 1 that still yields at least the thumbnail's size, so a photo is
// never decoded at full size. Returns a null image for colour spaces it leaves to the general
// reader (CMYK, YCCK); throws EGvboxError with libjpeg's message for a broken file, and for a
// file of several scans whose coefficient buffer would exceed picturelimits::kMaxDecodeBytes.
QImage decodeJpegThumbnail(const QByteArray& bytes, int thumbnailSize);

} // namespace glimmora
