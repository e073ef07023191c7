// The EXIF block of a JPEG on any bytes, and the stored thumbnail it may hold: libexif reads the
// block, and the thumbnail is taken or refused for a picture whose size the first four bytes
// give (two little-endian 16-bit numbers, each one less than the side). A taken thumbnail has
// exactly the picture's size in the 60-pixel box.

#include "picturecontrol/EmbeddedThumbnail.h"
#include "picturecontrol/ExifBlock.h"
#include "picturecontrol/PictureDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const QSize picture(1 + (data[0] | data[1] << 8), 1 + (data[2] | data[3] << 8));
    const glimmora::ExifBlock exif =
        glimmora::readExifBlock(QByteArrayView(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4)));
    const QImage thumbnail = glimmora::embeddedThumbnail(exif.thumbnail, picture, 3, 60);
    if (!thumbnail.isNull() && thumbnail.size() != glimmora::thumbnailSizeFor(picture, 60))
        __builtin_trap();
    return 0;
}
