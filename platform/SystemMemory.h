#pragma once

// Qt
#include <QtGlobal>

namespace glimmora {

// The memory the system can give to new work without swapping: MemAvailable of /proc/meminfo,
// or the free physical pages where that is not known.
qint64 availableMemoryBytes();

} // namespace glimmora
