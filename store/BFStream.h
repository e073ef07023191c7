#pragma once

// Buffered streams for the index section: many small key and int32 reads and writes turned
// into block transfers. Keys are stored as their characters and one zero byte; int32 values as
// four bytes, little-endian. The streams sit on the store's file seam (FileSeam.h), whose
// failures they pass on.

#include "store/FileFormat.h"
#include "store/FileSeam.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glimmora::store {

class TBFStream {
public:
    // Buffer length kFileLength: the file's length. The buffer is that length clamped to 1,024
    // to 524,288 bytes (halved while memory cannot be had); each transfer moves up to one byte
    // less than the buffer.
    static constexpr std::int64_t kFileLength = -1;

    TBFStream(SeamFile file, std::int64_t bufferLength);
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
    std::int64_t seek(std::int64_t offset, SeamFile::Origin origin = SeamFile::Origin::Begin);

    // Writes out what is buffered and closes the file; raises the seam's error when the bytes
    // could not all be written.
    void close();

    std::size_t bufferLength() const { return buffer_.size(); }
    const std::string& fileName() const { return file_.path(); }

protected:
    // Writes out and closes the file, swallowing failures (for destructors).
    void closeQuietly() noexcept;

private:
    void flush();
    void resetBuffer();
    void refill();
    bool ensureReadable(std::size_t count);
    void append(const void* data, std::size_t count);

    SeamFile file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t limit_ = 0;   // usable bytes of the buffer: its length minus 1
    std::size_t current_ = 0; // next byte to read or write
    std::size_t valid_ = 0;   // bytes of the buffer read from the file
    bool exhausted_ = false;  // the last read reached the end of the file
    bool dirty_ = false;      // the bytes before current_ are not written yet
};

// A buffered writer on a new temporary file (prefix "QDT" in the store's temporary directory,
// buffer 32,768 bytes) that replaces its target file when committed. Destroyed without a
// commit, it deletes the temporary file and leaves the target as it was, so that a write that
// failed half-way never replaces a good file.
class TTempBFStream : public TBFStream {
public:
    static constexpr std::int64_t kBufferLength = format::kIndexWriterBuffer;

    // Raises EQDBIndexError "Could not create a necessary temporary file" when no temporary
    // file can be made.
    explicit TTempBFStream(std::string target);
    ~TTempBFStream() override;

    // Writes out and closes the temporary file, then moves it over the target.
    void commit();

    const std::string& temporaryName() const { return temporaryName_; }
    const std::string& target() const { return target_; }

private:
    TTempBFStream(std::string target, SeamFile temporary);

    std::string target_;
    std::string temporaryName_;
    bool committed_ = false;
};

} // namespace glimmora::store
