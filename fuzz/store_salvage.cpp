// The salvage reader of damaged image stores on any bytes: it reads what it can and never
// crashes, hangs or reads outside the file.

#include "catalog/ImageStoreSalvage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    glimmora::salvageStoreLayout(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
