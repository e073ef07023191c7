// The desktop link reader on any bytes: it must give a local path or nothing, never crash.

#include "platform/Shortcuts.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)glimmora::desktopLinkTarget(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
