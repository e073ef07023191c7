#include "catalog/DataFile.h"

// Qt
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace glimmora {

namespace {

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

// The replacement keeps the permissions of the file it replaces; a new file gets the usual ones.
mode_t modeFor(const QByteArray& target)
{
    struct stat status {};
    if (::stat(target.constData(), &status) == 0)
        return status.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes the rename itself durable.
void syncDirectoryOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QByteArray readDataFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Written with POSIX calls rather than QSaveFile, which reports success after a write that
// failed part-way (a file-size limit, a full disk) and so would put a cut file in place.
bool writeDataFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool written = writeAll(fd, bytes) && ::fchmod(fd, modeFor(target)) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.constData(), target.constData()) == 0) {
        syncDirectoryOf(path);
        return true;
    }
    ::unlink(temporary.constData());
    return false;
}

} // namespace glimmora
