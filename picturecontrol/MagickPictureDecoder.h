#pragma once

// Qt
#include <QByteArray>
#include <QImage>
#include <QString>

namespace glimmora {

// Starts ImageMagick once, confined: it reads only the types the picture control gives it,
// runs no helper program and reads no file a picture names. False when it cannot be confined,
// and it is then not used at all.
bool initializeMagick();

// Decodes a file image with the named ImageMagick coder ("SUN", "PNM", "PICT", …) and no
// other: the content never chooses a different coder. The size its header gives is checked
// before decoding, so a hostile header cannot exhaust the machine. `path` is where the bytes
// came from, for the coders that read a companion file beside the picture (a Dr. Halo palette).
// Throws EGvboxError with ImageMagick's message.
QImage decodeWithMagick(const QByteArray& bytes, const char* coder, const QString& path);

} // namespace glimmora
