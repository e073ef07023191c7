#pragma once

// Qt
#include <QByteArray>

namespace glimmora {

// Whether a WordPerfect graphic holds a raster picture: a bitmap record (or an embedded
// PostScript one, which stands for a picture) anywhere in its record list. A graphic of drawing
// records only has nothing a raster decoder can show. Every read is bounds-checked; a damaged
// record list counts as holding a picture, so that the decoder reports what is wrong with it.
bool wpgHoldsRaster(const QByteArray& bytes);

} // namespace glimmora
