#pragma once

// Qt
#include <QImage>
#include <QString>

class QIODevice;

namespace glimmora {

// Writes the picture as a baseline JPEG with libjpeg: quality 100, colour, the accurate integer
// DCT, not progressive, at 96 dots per inch. Returns an empty text, or libjpeg's or the device's
// message when it failed.
QString writeJpeg(const QImage& picture, QIODevice& out);

} // namespace glimmora
