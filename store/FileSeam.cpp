#include "store/FileSeam.h"

#include "store/FileFormat.h"

// POSIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

namespace glimmora::store {

namespace {

FaultHook& faultHook()
{
    static FaultHook hook;
    return hook;
}

// Gives the fault hook its say; an injected failure looks exactly like a real one.
void consultHook(FileOperation operation, const std::string& path)
{
    if (const auto& hook = faultHook()) {
        if (const int error = hook(operation, path); error != 0)
            throw FileSystemError(error, path);
    }
}

[[noreturn]] void fail(const std::string& path) { throw FileSystemError(errno, path); }

FileStatus statusOf(const struct stat& info)
{
    FileStatus result;
    result.size = info.st_size;
    result.modifiedNanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    result.device = info.st_dev;
    result.inode = info.st_ino;
    result.mode = info.st_mode & 07777;
    result.ownerWritable = (info.st_mode & S_IWUSR) != 0;
    result.regular = S_ISREG(info.st_mode);
    return result;
}

std::string& configuredTemporaryDirectory()
{
    static std::string directory;
    return directory;
}

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Only the data and index work files are stale once their store is gone; "QDT" and "QDD"
// files are left alone, and any name with an extension counts ("q*.*").
bool isStaleWorkFileName(const std::string& name)
{
    static const char* const prefixes[] = {format::kDataWorkPrefix, format::kIndexWorkPrefix};
    return name.find('.') != std::string::npos
           && std::any_of(std::begin(prefixes), std::end(prefixes),
                          [&](const char* prefix) { return startsWithIgnoringCase(name, prefix); });
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && startsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// Deletes the regular files of a directory whose names `isStale` accepts, unless another
// process holds them locked.
int deleteUnlockedFiles(const std::string& directory, const std::function<bool(const std::string& name)>& isStale)
{
    DIR* folder = ::opendir(directory.c_str());
    if (!folder)
        return 0;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(folder)) {
        if (isStale(entry->d_name))
            candidates.emplace_back(entry->d_name);
    }
    ::closedir(folder);

    const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + '/';
    int deleted = 0;
    for (const auto& name : candidates) {
        const auto path = prefix + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        // Deleting while holding the lock: a running store cannot take the file in between.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0)
            ++deleted;
        ::close(fd);
    }
    return deleted;
}

// Whether the name still leads to the open file (nobody deleted or replaced it meanwhile).
bool isStillNamed(const SeamFile& file, const std::string& path)
{
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0)
        return false;
    const auto held = file.status();
    return held.device == named.st_dev && held.inode == named.st_ino;
}

// The directories holding the files that the symbolic links in a directory lead to.
std::vector<std::string> directoriesLinkedFrom(const std::string& directory)
{
    std::vector<std::string> linked;
    DIR* folder = ::opendir(directory.c_str());
    if (!folder)
        return linked;
    const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + '/';
    while (const dirent* entry = ::readdir(folder)) {
        const std::string path = prefix + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            continue;
        try {
            linked.push_back(seam::directoryPart(seam::resolveLinks(path)));
        } catch (const FileSystemError&) {
            // a broken chain of links leads nowhere to clean up
        }
    }
    ::closedir(folder);
    return linked;
}

} // namespace

ScopedFaultHook::ScopedFaultHook(FaultHook hook) : previous_(std::move(faultHook())) { faultHook() = std::move(hook); }

ScopedFaultHook::~ScopedFaultHook() { faultHook() = std::move(previous_); }

FileSystemError::FileSystemError(int error, const std::string& path)
    : EQDBFileError(fileFailureMessage(failureCodeForErrno(error), path)),
      error_(error),
      path_(path)
{}

// --- SeamFile -------------------------------------------------------------------------------

SeamFile::~SeamFile() { close(); }

SeamFile::SeamFile(SeamFile&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

SeamFile& SeamFile::operator=(SeamFile&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

SeamFile SeamFile::open(const std::string& path, Mode mode)
{
    consultHook(FileOperation::Open, path);
    int flags = O_CLOEXEC | O_NOFOLLOW;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0)
        fail(path);
    if (::flock(fd, (mode == Mode::Read ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        throw FileSystemError(error, path);
    }
    return SeamFile(fd, path);
}

std::size_t SeamFile::read(void* buffer, std::size_t count)
{
    consultHook(FileOperation::Read, path_);
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto got = ::read(fd_, bytes + done, count - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(path_);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool SeamFile::readExact(void* buffer, std::size_t count) { return read(buffer, count) == count; }

void SeamFile::write(const void* buffer, std::size_t count)
{
    consultHook(FileOperation::Write, path_);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto put = ::write(fd_, bytes + done, count - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            fail(path_);
        }
        done += static_cast<std::size_t>(put);
    }
}

std::int64_t SeamFile::seek(std::int64_t offset, Origin origin)
{
    consultHook(FileOperation::Seek, path_);
    const int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    const auto at = ::lseek(fd_, offset, whence);
    if (at < 0)
        fail(path_);
    return at;
}

std::int64_t SeamFile::position() const
{
    const auto at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0)
        fail(path_);
    return at;
}

std::int64_t SeamFile::size() const
{
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        fail(path_);
    return info.st_size;
}

FileStatus SeamFile::status() const
{
    consultHook(FileOperation::Status, path_);
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        fail(path_);
    return statusOf(info);
}

void SeamFile::truncate(std::int64_t length)
{
    consultHook(FileOperation::Truncate, path_);
    if (::ftruncate(fd_, length) != 0)
        fail(path_);
}

void SeamFile::setMode(unsigned mode)
{
    if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0)
        fail(path_);
}

void SeamFile::sync()
{
    consultHook(FileOperation::Sync, path_);
    if (::fsync(fd_) != 0)
        fail(path_);
}

std::int64_t SeamFile::copyFrom(SeamFile& source, std::int64_t count)
{
    // Large copies in slices, so that an injected fault can strike in the middle of one.
    constexpr std::int64_t kSlice = 8 << 20;
    std::int64_t done = 0;
    std::vector<unsigned char> buffer;
    while (done < count) {
        consultHook(FileOperation::Copy, path_);
        const auto want = std::min(kSlice, count - done);
        auto copied = ::copy_file_range(source.fd_, nullptr, fd_, nullptr, static_cast<std::size_t>(want), 0);
        if (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            buffer.resize(static_cast<std::size_t>(std::min<std::int64_t>(want, 1 << 20)));
            copied = static_cast<ssize_t>(source.read(buffer.data(), buffer.size()));
            write(buffer.data(), static_cast<std::size_t>(copied));
        } else if (copied < 0) {
            if (errno == EINTR)
                continue;
            fail(path_);
        }
        if (copied == 0)
            break;
        done += copied;
    }
    return done;
}

void SeamFile::renameTo(const std::string& to)
{
    seam::renameFile(path_, to);
    path_ = to;
}

void SeamFile::close()
{
    if (fd_ >= 0) {
        ::close(fd_); // also releases the lock
        fd_ = -1;
    }
}

// --- FileStatus -----------------------------------------------------------------------------

bool FileStatus::sameVersionAs(const FileStatus& other) const
{
    return size == other.size && modifiedNanoseconds == other.modifiedNanoseconds && device == other.device
           && inode == other.inode;
}

// --- seam -----------------------------------------------------------------------------------

namespace seam {

std::optional<FileStatus> status(const std::string& path)
{
    consultHook(FileOperation::Status, path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        fail(path);
    }
    return statusOf(info);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void renameFile(const std::string& from, const std::string& to)
{
    consultHook(FileOperation::Rename, to);
    if (::rename(from.c_str(), to.c_str()) != 0)
        throw FileSystemError(errno, to);
}

void removeFile(const std::string& path)
{
    consultHook(FileOperation::Remove, path);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        fail(path);
}

void removeFileQuietly(const std::string& path) noexcept
{
    if (!path.empty())
        ::unlink(path.c_str());
}

void syncDirectoryOf(const std::string& path)
{
    auto directory = directoryPart(absolutePath(path));
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // durability of the entry is best effort; the rename itself has happened
    ::fsync(fd);
    ::close(fd);
}

void setTemporaryDirectory(const std::string& directory) { configuredTemporaryDirectory() = directory; }

std::string temporaryDirectory()
{
    std::string directory = configuredTemporaryDirectory();
    if (directory.empty() || !isDirectory(directory)) {
        const char* fromEnvironment = std::getenv("TMPDIR");
        directory = fromEnvironment && *fromEnvironment && isDirectory(fromEnvironment) ? fromEnvironment : "/tmp";
    }
    if (directory.back() != '/')
        directory += '/';
    return directory;
}

SeamFile createUniqueFile(const std::string& directory, const std::string& prefix)
{
    constexpr unsigned kNames = 0x10000;
    std::string folder = directory;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    static std::mt19937 generator{std::random_device{}()};
    const unsigned start = generator() % kNames;
    for (unsigned step = 0; step < kNames; ++step) {
        char digits[5];
        std::snprintf(digits, sizeof digits, "%04X", (start + step) % kNames);
        const std::string path = folder + prefix + digits + format::kTemporarySuffix;
        SeamFile file;
        try {
            file = SeamFile::open(path, SeamFile::Mode::CreateNew);
        } catch (const FileSystemError& error) {
            // A lock that a clean-up took first, between creating and locking, makes that
            // clean-up delete the new file: the name is as good as taken.
            if (error.error() != EEXIST && error.error() != EWOULDBLOCK)
                throw;
            continue;
        }
        // The clean-up may also have deleted the file just before the lock was had.
        try {
            if (isStillNamed(file, path))
                return file;
        } catch (...) {
            file.close();
            removeFileQuietly(path);
            throw;
        }
    }
    throw FileSystemError(EEXIST, folder + prefix);
}

std::string resolveLinks(const std::string& path)
{
    constexpr int kMaxLinks = 40; // the kernel's own limit
    std::string name = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        consultHook(FileOperation::ReadLink, name);
        struct stat info {};
        if (::lstat(name.c_str(), &info) != 0) {
            if (errno == ENOENT)
                return name; // a link to a file yet to be made leads here
            fail(name);
        }
        if (!S_ISLNK(info.st_mode))
            return name;
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        const auto length = ::readlink(name.c_str(), target.data(), target.size());
        if (length < 0)
            fail(name);
        if (static_cast<std::size_t>(length) >= target.size())
            continue; // the link changed while being read: read it again
        const std::string next(target.data(), static_cast<std::size_t>(length));
        // A relative target is relative to the link's directory; ".." is left to the kernel,
        // which resolves it after any linked directory on the way.
        name = !next.empty() && next.front() == '/' ? next : directoryPart(name) + next;
    }
    throw FileSystemError(ELOOP, path);
}

void closeInBackground(SeamFile file)
{
    // Small files are freed at once; a thread pays off only where many blocks are to be freed.
    constexpr std::int64_t kLargeFile = 64 << 20;
    if (!file.isOpen())
        return;
    std::int64_t size = 0;
    try {
        size = file.size();
    } catch (const FileSystemError&) {
    }
    if (size < kLargeFile) {
        file.close();
        return;
    }
    try {
        std::thread([file = std::move(file)]() mutable { file.close(); }).detach();
    } catch (const std::system_error&) {
        // no thread to be had: the file is closed here, when the caller's copy goes
    }
}

int deleteStaleWorkFiles(const std::string& directory) { return deleteUnlockedFiles(directory, isStaleWorkFileName); }

int deleteStaleBuildFiles(const std::string& directory)
{
    const auto isBuildFile = [](const std::string& name) {
        return startsWithIgnoringCase(name, format::kBuildTempPrefix)
               && endsWithIgnoringCase(name, format::kTemporarySuffix);
    };
    // Each directory once, told by its identity: names of one directory can differ.
    std::set<std::pair<dev_t, ino_t>> done;
    int deleted = 0;
    std::vector<std::string> folders{directory};
    const auto linked = directoriesLinkedFrom(directory);
    folders.insert(folders.end(), linked.begin(), linked.end());
    for (const auto& folder : folders) {
        struct stat info {};
        const auto name = folder.empty() ? std::string(".") : folder;
        if (::stat(name.c_str(), &info) == 0 && done.insert({info.st_dev, info.st_ino}).second)
            deleted += deleteUnlockedFiles(name, isBuildFile);
    }
    return deleted;
}

std::string directoryPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string namePart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string absolutePath(const std::string& path)
{
    std::string full = path;
    if (full.empty() || full.front() != '/') {
        std::vector<char> buffer(4096);
        while (!::getcwd(buffer.data(), buffer.size())) {
            if (errno != ERANGE)
                return path;
            buffer.resize(buffer.size() * 2);
        }
        full = std::string(buffer.data()) + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= full.size()) {
        const auto next = std::min(full.find('/', at), full.size());
        const auto part = full.substr(at, next - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = next + 1;
    }
    std::string result;
    for (const auto& part : parts)
        result += "/" + part;
    if (result.empty())
        return "/";
    if (full.back() == '/' && !parts.empty())
        result += '/';
    return result;
}

} // namespace seam

} // namespace glimmora::store
