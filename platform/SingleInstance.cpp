#include "platform/SingleInstance.h"

// Qt
#include <QDir>
#include <QStandardPaths>

namespace glimmora {

QString SingleInstanceLock::lockFilePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/Glimmora.lock");
}

SingleInstanceLock::SingleInstanceLock() : lock_(lockFilePath())
{
    // A lock file is stale only when its process is gone; never by age.
    lock_.setStaleLockTime(0);
}

bool SingleInstanceLock::tryLock() { return lock_.tryLock(0); }

} // namespace glimmora
