// The image record decoder on any bytes: it must throw EImageItemError or give a record, and a
// record it gives must encode again.

#include "catalog/ImageItemFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const glimmora::TImageElement record =
            glimmora::decodeImageItem(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
        (void)glimmora::encodeImageItem(record);
    } catch (const glimmora::EImageItemError&) {
    }
    return 0;
}
