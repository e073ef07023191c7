#include "files/FileCopy.h"

// Qt
#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmora {

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

// A descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; false (errno set) when the close reports a failed write.
    bool close()
    {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// A name beside `target` that no file has: "." + its name + a tag + 8 hexadecimal digits. The
// leading dot keeps a leftover of a killed copy out of sight.
QByteArray sideName(const QByteArray& target, const char* tag)
{
    for (;;) {
        const QByteArray candidate = directoryPart(target) + '.' + fileNameBytes(target) + tag
                                     + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        if (!pathExists(candidate))
            return candidate;
    }
}

bool writeAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies the bytes of `in` into `out`; false with errno set.
bool copyContents(int in, int out)
{
    std::vector<char> buffer(kCopyBlock);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (!writeAll(out, buffer.data(), got))
            return false;
    }
}

// Makes a rename or a deletion in a directory last: without it a crash may undo it.
bool syncDirectoryOf(const QByteArray& path)
{
    QByteArray directory = directoryPart(path);
    if (directory.isEmpty())
        directory = ".";
    const Descriptor fd(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

} // namespace

QString systemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool pathExists(const QByteArray& path)
{
    struct stat status;
    return ::lstat(path.constData(), &status) == 0;
}

bool isSameFile(const QByteArray& a, const QByteArray& b)
{
    struct stat first;
    struct stat second;
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

bool clearReadOnly(const QByteArray& path, QString* errorText)
{
    struct stat status;
    if (::stat(path.constData(), &status) == 0 && ::chmod(path.constData(), (status.st_mode & 07777) | S_IWUSR) == 0)
        return true;
    *errorText = systemErrorText(errno);
    return false;
}

bool deleteFile(const QByteArray& path, QString* errorText)
{
    if (::unlink(path.constData()) != 0) {
        *errorText = systemErrorText(errno);
        return false;
    }
    syncDirectoryOf(path); // the file is gone either way; a crash may at worst bring it back
    return true;
}

QByteArray directoryPart(const QByteArray& path) { return path.left(path.lastIndexOf('/') + 1); }

QByteArray fileNameBytes(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

TFileCopy::TFileCopy(QByteArray source, QByteArray target) : source_(std::move(source)), target_(std::move(target)) {}

TFileCopy::~TFileCopy()
{
    if (committed_)
        Undo();
    removeTemporary();
}

bool TFileCopy::fail(int error)
{
    errorText_ = systemErrorText(error);
    return false;
}

void TFileCopy::removeTemporary()
{
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
}

bool TFileCopy::Prepare()
{
    const Descriptor in(::open(source_.constData(), O_RDONLY | O_CLOEXEC));
    struct stat status;
    if (!in.valid() || ::fstat(in.get(), &status) != 0)
        return fail(errno);
    if (!S_ISREG(status.st_mode))
        return fail(EISDIR);
    temporary_ = sideName(target_, ".copy-");
    Descriptor out(::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) {
        temporary_.clear();
        return fail(errno);
    }
    const std::array<timespec, 2> times = {status.st_atim, status.st_mtim};
    if (!copyContents(in.get(), out.get()) || ::fchmod(out.get(), status.st_mode & 07777) != 0
        || ::futimens(out.get(), times.data()) != 0 || ::fsync(out.get()) != 0 || !out.close()) {
        const int error = errno;
        removeTemporary();
        return fail(error);
    }
    return true;
}

bool TFileCopy::Commit(bool keepOldTarget)
{
    if (keepOldTarget && pathExists(target_)) {
        const QByteArray aside = sideName(target_, ".old-");
        if (::rename(target_.constData(), aside.constData()) != 0)
            return fail(errno);
        oldTarget_ = aside;
    }
    if (::rename(temporary_.constData(), target_.constData()) != 0) {
        const int error = errno;
        if (!oldTarget_.isEmpty() && ::rename(oldTarget_.constData(), target_.constData()) == 0)
            oldTarget_.clear();
        return fail(error);
    }
    temporary_.clear();
    committed_ = true;
    if (!syncDirectoryOf(target_))
        return fail(errno);
    return true;
}

void TFileCopy::Finish()
{
    if (!oldTarget_.isEmpty())
        ::unlink(oldTarget_.constData());
    oldTarget_.clear();
    committed_ = false;
}

bool TFileCopy::Undo()
{
    committed_ = false;
    if (::unlink(target_.constData()) != 0 && errno != ENOENT)
        return fail(errno);
    if (!oldTarget_.isEmpty() && ::rename(oldTarget_.constData(), target_.constData()) != 0)
        return fail(errno);
    oldTarget_.clear();
    syncDirectoryOf(target_);
    return true;
}

} // namespace glimmora
