#pragma once

// Qt
#include <QByteArray>
#include <QImage>

namespace glimmora {

// Decodes a file image with the named ImageMagick coder ("SUN", "PNM", "PICT", …) and no
// other: the content never chooses a different coder. Memory, size and time are limited so a
// hostile header cannot exhaust the machine. Throws EGvboxError with ImageMagick's message.
QImage decodeWithMagick(const QByteArray& bytes, const char* coder);

} // namespace glimmora
