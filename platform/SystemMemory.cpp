#include "platform/SystemMemory.h"

// Qt
#include <QFile>

#include <unistd.h>

namespace glimmora {

qint64 availableMemoryBytes()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine()) {
            if (!line.startsWith("MemAvailable:"))
                continue;
            bool ok = false;
            const qint64 kilobytes = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok)
                return kilobytes * 1024;
        }
    }
    return qint64(::sysconf(_SC_AVPHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
}

} // namespace glimmora
