#include "catalog/DataFile.h"

// Qt
#include <QFile>
#include <QFileInfo>

// POSIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace glimmora {

namespace {

// Far beyond any real file of these kinds (a membership is 8 bytes), and small enough to hold.
constexpr std::int64_t kLargestDataFile = std::int64_t(256) << 20;
constexpr const char* kTemporarySuffix = ".TMP";

std::string localName(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string reasonOf(const std::exception& error)
{
    if (const auto* failure = dynamic_cast<const store::FileSystemError*>(&error))
        return std::strerror(failure->error());
    return error.what();
}

[[noreturn]] void raise(const char* action, const QString& path, const std::string& reason)
{
    throw EDataFileError(QStringLiteral("Could not %1 %2: %3")
                             .arg(QLatin1String(action), path, QString::fromStdString(reason))
                             .toStdString());
}

// The permissions of the scrapbook's store; of the file itself, or the usual ones, before the
// store exists.
unsigned modeFor(const QString& path, const std::string& target)
{
    const QFileInfo file(path);
    const QString store = file.path() + QLatin1Char('/') + file.completeBaseName() + QStringLiteral(".idb");
    for (const std::string& candidate : {localName(store), target})
        if (const auto status = store::seam::status(candidate))
            return status->mode;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string temporaryPrefix(const std::string& target) { return store::seam::namePart(target) + '.'; }

// The names the seam gives unique files: prefix + 4 upper-case hexadecimal digits + ".TMP".
bool isTemporaryOf(const std::string& name, const std::string& prefix)
{
    constexpr std::size_t kDigits = 4;
    if (name.size() != prefix.size() + kDigits + std::strlen(kTemporarySuffix) || !name.starts_with(prefix)
        || !name.ends_with(kTemporarySuffix))
        return false;
    return std::all_of(name.begin() + qsizetype(prefix.size()), name.begin() + qsizetype(prefix.size() + kDigits),
                       [](char c) { return std::strchr("0123456789ABCDEF", c) != nullptr && c != '\0'; });
}

} // namespace

std::string linkTarget(const QString& path)
{
    try {
        return store::seam::resolveLinks(localName(path));
    } catch (const store::FileSystemError& error) {
        raise("follow the links of", path, std::strerror(error.error()));
    }
}

QByteArray TDataFile::read()
{
    const std::string target = linkTarget(path_);
    try {
        const std::optional<store::FileStatus> status = store::seam::status(target);
        if (!status) {
            known_ = Content{};
            return {};
        }
        auto file = store::SeamFile::open(target, store::SeamFile::Mode::Read);
        const std::int64_t size = file.size();
        if (size > kLargestDataFile)
            raise("read", path_, "the file is too large to be one of the scrapbook's");
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        bytes.resize(qsizetype(file.read(bytes.data(), std::size_t(size))));
        known_ = Content{bytes, status};
        return bytes;
    } catch (const store::EQDBError& error) {
        raise("read", path_, reasonOf(error));
    }
}

bool TDataFile::holds(const QByteArray& bytes) const
{
    if (!known_ || known_->bytes != bytes)
        return false;
    const auto now = store::seam::status(linkTarget(path_));
    return known_->status ? now && now->sameVersionAs(*known_->status) : !now && bytes.isEmpty();
}

void TDataFile::write(const QByteArray& bytes)
{
    std::string temporaryName;
    try {
        if (holds(bytes))
            return;
        const std::string target = linkTarget(path_);
        const unsigned mode = modeFor(path_, target);
        auto temporary = store::seam::createUniqueFile(store::seam::directoryPart(store::seam::absolutePath(target)),
                                                       temporaryPrefix(target));
        temporaryName = temporary.path();
        temporary.write(bytes.constData(), std::size_t(bytes.size()));
        temporary.setMode(mode);
        temporary.sync();
        temporary.close();
        store::seam::renameFile(temporaryName, target);
        temporaryName.clear();
        store::seam::syncDirectoryOf(target);
        known_ = Content{bytes, store::seam::status(target)};
    } catch (const std::exception& error) {
        store::seam::removeFileQuietly(temporaryName);
        if (dynamic_cast<const EDataFileError*>(&error))
            throw;
        raise("save", path_, reasonOf(error));
    }
}

int deleteStaleDataFileTemporaries(const QString& path)
{
    const std::string target = linkTarget(path);
    const std::string directory = store::seam::directoryPart(store::seam::absolutePath(target));
    const std::string prefix = temporaryPrefix(target);
    DIR* folder = ::opendir(directory.c_str());
    if (!folder)
        return 0;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(folder))
        if (isTemporaryOf(entry->d_name, prefix))
            stale.emplace_back(directory + entry->d_name);
    ::closedir(folder);
    int deleted = 0;
    for (const std::string& name : stale) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        // Deleted under the lock, so that a running write cannot be caught half-way.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(name.c_str()) == 0)
            ++deleted;
        ::close(fd);
    }
    return deleted;
}

} // namespace glimmora
