#pragma once

// Qt
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

class QIODevice;

namespace glimmora {

// A picture of at most 256 colours: its colour table and one index a pixel, row after row.
struct PalettePicture {
    QList<QRgb> colours;
    QByteArray indexes;
};

// The picture reduced to at most 256 colours. A picture that has no more keeps them exactly;
// any other is reduced by ImageMagick's colour quantisation with Floyd-Steinberg dithering.
// Throws std::runtime_error with ImageMagick's message.
PalettePicture reduceToPalette(const QImage& picture);

// The largest side a GIF can hold.
inline constexpr int kMaxGifSide = 65535;

// Writes the picture as a GIF with giflib, reduced by reduceToPalette. Returns an empty text, or
// the message of what failed.
QString writeGif(const QImage& picture, QIODevice& out);

} // namespace glimmora
