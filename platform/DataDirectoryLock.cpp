#include "platform/DataDirectoryLock.h"

// Qt
#include <QFile>
#include <QTextStream>

// POSIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace glimmora {

namespace {

// The process holding a flock on the file `fd` is open on, from the system's list of locks
// ("1: FLOCK  ADVISORY  WRITE <pid> <major>:<minor>:<inode> 0 EOF", device numbers in hex);
// 0 when it cannot be told.
qint64 flockHolder(int fd)
{
    struct stat info {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::fstat(fd, &info) != 0 || !locks.open(QIODevice::ReadOnly))
        return 0;
    const QString file = QStringLiteral("%1:%2:%3")
                             .arg(major(info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(minor(info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(info.st_ino);
    QTextStream lines(&locks);
    for (QString line = lines.readLine(); !line.isNull(); line = lines.readLine()) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() > 5 && fields.at(1) == QLatin1String("FLOCK") && fields.at(5) == file)
            return fields.at(4).toLongLong();
    }
    return 0;
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
}

QString holderText(int fd)
{
    const qint64 pid = flockHolder(fd);
    if (pid <= 0)
        return QStringLiteral("another program");
    const QString name = processName(pid);
    return name.isEmpty() ? QStringLiteral("another program (process %1)").arg(pid)
                          : QStringLiteral("another program (process %1, %2)").arg(pid).arg(name);
}

} // namespace

bool DataDirectoryLock::tryLock(const QString& directory)
{
    unlock();
    errorText_.clear();
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        errorText_ = QStringLiteral("The data directory %1 cannot be used: %2.")
                         .arg(directory, QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        errorText_ = error == EWOULDBLOCK
                         ? QStringLiteral("The scrapbook in %1 is in use by %2.").arg(directory, holderText(fd))
                         : QStringLiteral("The data directory %1 cannot be locked: %2.")
                               .arg(directory, QString::fromLocal8Bit(std::strerror(error)));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void DataDirectoryLock::unlock()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace glimmora
