#pragma once

// Qt
#include <QByteArrayView>
#include <QImage>

namespace glimmora {

// Reads a stored thumbnail (a complete BMP file image) into an image, as QImage reads it. The
// uncompressed 24-bit images that thumbnails almost always are are read here directly, which is
// several times faster than going through an image reader for each of thousands of records;
// every other BMP goes to Qt's reader. Anything that is not a readable BMP gives a null image, and
// so does a 24-bit image whose pixels are cut short.
QImage decodeBmpThumbnail(QByteArrayView bmp);

} // namespace glimmora
