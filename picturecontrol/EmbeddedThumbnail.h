#pragma once

// Qt
#include <QByteArray>
#include <QImage>
#include <QSize>

namespace glimmora {

// What a picture's thumbnail looks like when it is made from the small JPEG a camera stored in
// the EXIF block (ExifBlock::thumbnail) instead of from the picture: that small picture scaled
// to the size the picture takes in the thumbnailSize box, as it is stored (the caller turns it
// by the picture's orientation).
//
// The stored thumbnail is taken only when it plainly stands for the picture; anything doubtful
// gives a null image, and the picture itself is decoded instead:
// - it is a whole JPEG that libjpeg reads without a warning, with the picture's number of
//   colour components;
// - its longer side is at least twice the box, so it is only ever scaled down, and no longer
//   than any thumbnail a camera stores (a larger claim is damage);
// - its size in the box is the picture's within one pixel each way (a 4:3 thumbnail of a
//   16:9 picture, letterboxed, or a stale one of a picture since cropped or turned, is not);
// - it has no black bars along two opposite edges.
QImage embeddedThumbnail(const QByteArray& thumbnail, QSize pictureSize, int pictureComponents, int thumbnailSize);

} // namespace glimmora
