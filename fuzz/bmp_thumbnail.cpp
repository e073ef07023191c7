// The stored-thumbnail reader on any bytes: it must give an image or none, never read outside
// them, and a 24-bit image it reads directly must be the one Qt's reader makes of whole bytes.

#include "catalog/BmpThumbnail.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QImage image = glimmora::decodeBmpThumbnail(bytes);
    if (!image.isNull() && (image.width() <= 0 || image.height() <= 0))
        __builtin_trap();
    return 0;
}
