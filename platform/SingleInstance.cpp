#include "platform/SingleInstance.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QSysInfo>

// POSIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace glimmora {

namespace {

// Who holds the lock, for people and for QLockFile::getLockInfo; the flock alone decides.
QByteArray holderLines()
{
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + QCoreApplication::applicationName().toUtf8()
           + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}

// Naming the holder is a courtesy: a full disk or a read-only file leaves the lock as good.
void nameHolder(int fd)
{
    const QByteArray holder = holderLines();
    if (::ftruncate(fd, 0) == 0)
        static_cast<void>(!::write(fd, holder.constData(), size_t(holder.size())));
}

int openLockFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0 || (errno != EACCES && errno != EROFS))
        return fd;
    // A lock file that this user may not write (an unwritable runtime directory) is still
    // locked by reading it.
    return ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

} // namespace

QString SingleInstanceLock::lockFilePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/Glimmora.lock");
}

SingleInstanceLock::SingleInstanceLock(QString path) : path_(std::move(path)) {}

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SingleInstanceLock::tryLock()
{
    if (fd_ >= 0)
        return true;
    heldByAnother_ = false;
    errorText_.clear();
    const int fd = openLockFile(QFile::encodeName(path_));
    if (fd < 0) {
        const int error = errno;
        errorText_ = QStringLiteral("Glimmora cannot make its lock file %1: %2.")
                         .arg(path_, QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        heldByAnother_ = error == EWOULDBLOCK;
        if (!heldByAnother_)
            errorText_ = QStringLiteral("Glimmora cannot lock its lock file %1: %2.")
                             .arg(path_, QString::fromLocal8Bit(std::strerror(error)));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    nameHolder(fd_);
    return true;
}

} // namespace glimmora
