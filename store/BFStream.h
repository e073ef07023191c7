#pragma once

// Buffered streams for the index section: many small key and int32 reads and writes turned
// into block transfers. Keys are stored as their characters and one zero byte; int32 values as
// four bytes, little-endian.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace glimmora::store {

// The file under a buffered stream; the store's file layer provides it, so that tests can make
// a read or a write fail.
class TBFFile {
public:
    virtual ~TBFFile() = default;
    // Reads up to count bytes at the file position; the number read (0 at the end), -1 on error.
    virtual std::int64_t read(void* buffer, std::size_t count) = 0;
    // Writes all count bytes at the file position; false when that could not be done.
    virtual bool write(const void* data, std::size_t count) = 0;
    // Moves the file position (whence as for lseek); the new position, -1 on error.
    virtual std::int64_t seek(std::int64_t offset, int whence) = 0;
    // Closes the file; false when the close reported an error (an unwritten block, for example).
    virtual bool close() = 0;
    // The file's name, for messages.
    virtual const std::string& name() const = 0;
};

// A TBFFile on a POSIX file descriptor, which it owns and closes.
class TFdFile : public TBFFile {
public:
    TFdFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~TFdFile() override;
    TFdFile(const TFdFile&) = delete;
    TFdFile& operator=(const TFdFile&) = delete;

    std::int64_t read(void* buffer, std::size_t count) override;
    bool write(const void* data, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, int whence) override;
    bool close() override;
    const std::string& name() const override { return name_; }

private:
    int fd_;
    std::string name_;
};

// What a TTempBFStream needs from the store's file layer.
class TBFFileSystem {
public:
    virtual ~TBFFileSystem() = default;
    // A new, empty, uniquely named file whose name starts with prefix, in the store's temporary
    // directory, open for writing; nullptr when no name can be had. Sets name.
    virtual std::unique_ptr<TBFFile> createTemporary(std::string_view prefix, std::string& name) = 0;
    // Moves the temporary file over the target (delete, rename, else copy and delete); raises
    // the store's exceptions on failure.
    virtual void moveOver(const std::string& temporary, const std::string& target) = 0;
    // Deletes a file; no error when it is not there.
    virtual void remove(const std::string& name) = 0;
};

class TBFStream {
public:
    // Buffer length -1: the file's length. The buffer is that length clamped to 1,024 to
    // 524,288 bytes (halved while memory cannot be had); each transfer moves up to one byte
    // less than the buffer.
    static constexpr std::int64_t kFileLength = -1;

    TBFStream(std::unique_ptr<TBFFile> file, std::int64_t bufferLength);
    // Writes out what is buffered and closes the file, reporting nothing; call close() to learn
    // whether the data reached the file.
    virtual ~TBFStream();
    TBFStream(const TBFStream&) = delete;
    TBFStream& operator=(const TBFStream&) = delete;

    // Reads a key up to its zero byte, cut to 255 characters. False at the end of the file
    // (also when the file ends before the key's zero byte); key is then unchanged.
    bool readKey(std::string& key);
    // False when fewer than 4 bytes are left; value is then unchanged.
    bool readInt32(std::int32_t& value);

    // Writes the key (cut by storeKey) and a zero byte.
    void writeKey(std::string_view key);
    void writeInt32(std::int32_t value);

    // Writes out what is buffered, then moves the file position; returns the new position.
    std::int64_t seek(std::int64_t offset, int whence);

    // Writes out what is buffered and closes the file. Raises EQDBFileError "Unable to extend
    // the file %s" when the bytes could not all be written.
    void close();

    std::size_t bufferLength() const { return buffer_.size(); }
    const std::string& fileName() const;

protected:
    // Writes out and closes the file, swallowing failures (for destructors).
    void closeQuietly() noexcept;

private:
    void flush();
    void resetBuffer();
    void refill();
    bool ensureReadable(std::size_t count);
    void makeRoom(std::size_t count);
    void append(const void* data, std::size_t count);
    void raiseWriteError() const;
    void raiseReadError() const;

    std::unique_ptr<TBFFile> file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t limit_ = 0;     // usable bytes of the buffer: its length minus 1
    std::size_t current_ = 0;   // next byte to read or write
    std::size_t valid_ = 0;     // bytes of the buffer read from the file
    bool exhausted_ = false;    // the last read reached the end of the file
    bool dirty_ = false;        // bytes before current_ are not written yet
};

// A buffered writer on a new temporary file (prefix "QDT", buffer 32,768 bytes) that replaces
// its target file when committed. Destroyed without a commit, it deletes the temporary file
// and leaves the target as it was, so a failed write never replaces a good file.
class TTempBFStream : public TBFStream {
public:
    static constexpr std::int64_t kBufferLength = 32768;

    // Raises EQDBIndexError "Could not create a necessary temporary file" when no temporary
    // name can be had.
    TTempBFStream(TBFFileSystem& files, std::string target);
    ~TTempBFStream() override;

    // Writes out and closes the temporary file, then moves it over the target.
    void commit();

    const std::string& temporaryName() const { return temporaryName_; }
    const std::string& target() const { return target_; }

private:
    struct Temporary {
        std::unique_ptr<TBFFile> file;
        std::string name;
    };
    static Temporary makeTemporary(TBFFileSystem& files);
    TTempBFStream(TBFFileSystem& files, std::string target, Temporary temporary);

    TBFFileSystem& files_;
    std::string target_;
    std::string temporaryName_;
    bool committed_ = false;
};

} // namespace glimmora::store
