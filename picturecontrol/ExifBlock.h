#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QImageIOHandler>

namespace glimmora {

// What a JPEG's EXIF block tells whoever makes a thumbnail of it.
struct ExifBlock {
    // How the stored picture is turned to be seen upright (the orientation tag of the first
    // directory); none when the tag is missing or holds no valid value.
    QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;
    // The small JPEG picture a camera stores beside the main one (the second directory's
    // JPEG interchange format); empty when there is none or it lies outside the block.
    QByteArray thumbnail;
};

// Reads an APP1 block from its "Exif" identifier on, with libexif. The block is untrusted: a
// damaged one gives what could be read of it, which may be nothing.
ExifBlock readExifBlock(QByteArrayView block);

} // namespace glimmora
