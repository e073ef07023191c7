#pragma once

// Every file access of the store goes through this seam: opening, reading, writing, seeking,
// syncing, truncating, renaming, deleting and inspecting files, following symbolic links, and
// making unique temporary files. Tests install a FaultHook to make any of these fail with a
// chosen errno at a chosen moment.
//
// Files are held with an advisory lock (flock) while open, the Linux form of "no sharing": a
// file opened for writing is held exclusively, one opened for reading shared with other
// readers; a lock that cannot be had is the "in use by another program" failure.
// Failures raise FileSystemError, an EQDBFileError whose message is that of the store's
// file-failure table for the errno, so an unexpected failure still reads sensibly.

#include "store/QDBErrors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace glimmora::store {

enum class FileOperation { Open, Read, Write, Seek, Sync, Truncate, Rename, Remove, Status, Copy, ReadLink };

// Returns 0 to let the operation run, or an errno value to make it fail with.
using FaultHook = std::function<int(FileOperation operation, const std::string& path)>;

// Installs a fault hook for its lifetime (tests only; one at a time).
class ScopedFaultHook {
public:
    explicit ScopedFaultHook(FaultHook hook);
    ~ScopedFaultHook();
    ScopedFaultHook(const ScopedFaultHook&) = delete;
    ScopedFaultHook& operator=(const ScopedFaultHook&) = delete;

private:
    FaultHook previous_;
};

class FileSystemError : public EQDBFileError {
public:
    FileSystemError(int error, const std::string& path);
    int error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    int error_;
    std::string path_;
};

// What the store needs to know of a file on disk.
struct FileStatus {
    std::int64_t size = 0;
    // Compared for equality only: modification time in nanoseconds, with the file's identity,
    // so that a replacement by rename is noticed even when it keeps the time.
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    unsigned mode = 0;          // permission bits
    bool ownerWritable = false; // its absence is the read-only attribute
    bool regular = false;

    bool sameVersionAs(const FileStatus& other) const;
};

// An open, locked file. Move-only; closing releases the lock.
class SeamFile {
public:
    enum class Mode {
        Read,      // existing file, read only, lock shared with other readers
        ReadWrite, // existing file
        CreateNew, // must not exist yet (O_EXCL), read and write, mode 0600
    };
    enum class Origin { Begin, Current, End };

    SeamFile() = default;
    ~SeamFile();
    SeamFile(SeamFile&& other) noexcept;
    SeamFile& operator=(SeamFile&& other) noexcept;
    SeamFile(const SeamFile&) = delete;
    SeamFile& operator=(const SeamFile&) = delete;

    // Never follows a symbolic link in the last component.
    static SeamFile open(const std::string& path, Mode mode);

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // Reads up to count bytes; fewer only at the end of the file.
    std::size_t read(void* buffer, std::size_t count);
    // Reads exactly count bytes or returns false (the end of the file came first).
    bool readExact(void* buffer, std::size_t count);
    // Writes all count bytes or raises.
    void write(const void* buffer, std::size_t count);
    std::int64_t seek(std::int64_t offset, Origin origin = Origin::Begin);
    std::int64_t position() const;
    std::int64_t size() const;
    // What the file on disk looks like now (it may have been renamed or deleted meanwhile).
    FileStatus status() const;
    void truncate(std::int64_t length);
    // Sets the permission bits (so that a rebuilt file keeps those of the file it replaces).
    void setMode(unsigned mode);
    void sync();
    // Copies count bytes from source's position to this file's position, advancing both.
    // Returns the bytes copied (fewer only when the source ends first).
    std::int64_t copyFrom(SeamFile& source, std::int64_t count);
    // Renames the file, replacing whatever `to` named; the file goes by its new name.
    void renameTo(const std::string& to);
    void close();

private:
    SeamFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_ = -1;
    std::string path_;
};

namespace seam {

// Status of the file at path (following links), or nothing when it does not exist.
std::optional<FileStatus> status(const std::string& path);
bool exists(const std::string& path);
bool isDirectory(const std::string& path);

void renameFile(const std::string& from, const std::string& to);
void removeFile(const std::string& path);
// Removes a file when it exists; failures are ignored (clean-up of work files).
void removeFileQuietly(const std::string& path) noexcept;
// Makes a directory's entries durable (after a rename into it).
void syncDirectoryOf(const std::string& path);

// The process-wide temporary directory of the store: the one set, when it names an existing
// directory, else $TMPDIR, else /tmp.
void setTemporaryDirectory(const std::string& directory);
std::string temporaryDirectory();

// Creates a new, empty, exclusively locked file named prefix + 4 hex digits + ".TMP" in the
// directory. Raises FileSystemError; EEXIST means that no unique name could be had.
SeamFile createUniqueFile(const std::string& directory, const std::string& prefix);

// The file a name leads to: the name itself, or, when it is a symbolic link, the end of its
// chain of links (which need not exist yet). Raises FileSystemError (ELOOP for a cycle).
std::string resolveLinks(const std::string& path);

// Closes a file on a thread of its own: when its name is already gone, closing frees all its
// blocks, which for a large file takes a while that the caller need not wait for.
void closeInBackground(SeamFile file);

// Deletes stale work files of the store in a directory: regular files whose names start with
// "qdb" or "qix" (any case) and have an extension, unless another process holds them locked
// (they belong to a running store). Returns the number deleted.
int deleteStaleWorkFiles(const std::string& directory);
// Deletes the unfinished store files ("QDD" names ending ".TMP", any case) that a process killed
// while it rebuilt a store left beside it in `directory`, and beside the files that the symbolic
// links in `directory` lead to (a store reached through a link is rebuilt beside its target),
// unless a running store holds them. Returns the number deleted.
int deleteStaleBuildFiles(const std::string& directory);

// Directory part of a path including the final '/', or empty; and the name after it.
std::string directoryPart(const std::string& path);
std::string namePart(const std::string& path);
// An absolute, lexically normalised form of a path (the current directory in front of a
// relative one; "." and ".." resolved; links are left alone).
std::string absolutePath(const std::string& path);

} // namespace seam

} // namespace glimmora::store
