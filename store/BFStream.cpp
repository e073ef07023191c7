#include "store/BFStream.h"

#include "store/FileFormat.h"
#include "store/KeyCompare.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace glimmora::store {

namespace {

// The clamped length, halved while that much memory cannot be had.
std::vector<std::uint8_t> allocateBuffer(std::int64_t length)
{
    for (auto size = static_cast<std::size_t>(format::copyBufferLength(length));; size /= 2) {
        try {
            return std::vector<std::uint8_t>(size);
        } catch (const std::bad_alloc&) {
            if (size <= 2)
                throw;
        }
    }
}

std::int64_t bufferLengthFor(const SeamFile& file, std::int64_t bufferLength)
{
    return bufferLength == TBFStream::kFileLength ? file.size() : bufferLength;
}

} // namespace

TBFStream::TBFStream(SeamFile file, std::int64_t bufferLength)
    : file_(std::move(file)),
      buffer_(allocateBuffer(bufferLengthFor(file_, bufferLength))),
      limit_(buffer_.size() - 1)
{}

TBFStream::~TBFStream() { closeQuietly(); }

bool TBFStream::readKey(std::string& key)
{
    std::string text;
    for (;;) {
        const auto* begin = buffer_.data() + current_;
        const auto available = valid_ - current_;
        if (const auto* zero = static_cast<const std::uint8_t*>(std::memchr(begin, 0, available))) {
            text.append(begin, zero);
            key = storeKey(text);
            current_ = static_cast<std::size_t>(zero - buffer_.data()) + 1;
            return true;
        }
        if (exhausted_)
            return false;
        if (available == limit_) {
            // A key longer than the whole buffer (only in a damaged file): keep what a key can
            // hold and skip the rest up to its zero byte.
            text.append(begin, begin + std::min(available, format::kMaxKeyLength));
            text.resize(std::min(text.size(), format::kMaxKeyLength));
            current_ = valid_;
        }
        refill();
    }
}

bool TBFStream::readInt32(std::int32_t& value)
{
    if (!ensureReadable(format::kInt32Size))
        return false;
    value = format::readInt32(buffer_.data() + current_);
    current_ += format::kInt32Size;
    return true;
}

void TBFStream::writeKey(std::string_view key)
{
    key = storeKey(key);
    const char zero = 0;
    append(key.data(), key.size());
    append(&zero, 1);
}

void TBFStream::writeInt32(std::int32_t value)
{
    unsigned char bytes[format::kInt32Size];
    format::writeInt32(bytes, value);
    append(bytes, sizeof bytes);
}

std::int64_t TBFStream::seek(std::int64_t offset, SeamFile::Origin origin)
{
    resetBuffer();
    return file_.seek(offset, origin);
}

void TBFStream::close()
{
    resetBuffer();
    file_.close();
}

void TBFStream::closeQuietly() noexcept
{
    try {
        flush();
    } catch (...) {
        dirty_ = false; // the failure is reported by close(); a destructor can only give up
    }
    try {
        file_.close();
    } catch (...) {
    }
}

void TBFStream::flush()
{
    if (!dirty_)
        return;
    file_.write(buffer_.data(), current_);
    dirty_ = false;
    current_ = 0;
}

// Leaves the stream with nothing buffered and the file position where the caller's next byte
// belongs: written bytes go out, read-ahead bytes not yet consumed are given back.
void TBFStream::resetBuffer()
{
    flush();
    if (valid_ > current_)
        file_.seek(-static_cast<std::int64_t>(valid_ - current_), SeamFile::Origin::Current);
    current_ = 0;
    valid_ = 0;
    exhausted_ = false;
}

void TBFStream::refill()
{
    flush();
    const std::size_t kept = valid_ - current_;
    std::memmove(buffer_.data(), buffer_.data() + current_, kept);
    const std::size_t wanted = limit_ - kept;
    const std::size_t read = file_.read(buffer_.data() + kept, wanted);
    current_ = 0;
    valid_ = kept + read;
    exhausted_ = read < wanted;
}

bool TBFStream::ensureReadable(std::size_t count)
{
    while (valid_ - current_ < count) {
        if (exhausted_)
            return false;
        refill();
    }
    return true;
}

void TBFStream::append(const void* data, std::size_t count)
{
    if (valid_ != 0)
        resetBuffer(); // switching from reading to writing
    if (current_ + count > limit_)
        flush();
    std::memcpy(buffer_.data() + current_, data, count);
    current_ += count;
    dirty_ = true;
}

namespace {

SeamFile createIndexTemporary()
{
    try {
        return seam::createUniqueFile(seam::temporaryDirectory(), format::kIndexTempPrefix);
    } catch (const FileSystemError&) {
        throw EQDBIndexError(messages::kNoTemporaryFile);
    }
}

} // namespace

TTempBFStream::TTempBFStream(std::string target) : TTempBFStream(std::move(target), createIndexTemporary()) {}

TTempBFStream::TTempBFStream(std::string target, SeamFile temporary)
    : TBFStream(std::move(temporary), kBufferLength),
      target_(std::move(target)),
      temporaryName_(fileName())
{}

TTempBFStream::~TTempBFStream()
{
    if (committed_)
        return;
    closeQuietly();
    seam::removeFileQuietly(temporaryName_);
}

void TTempBFStream::commit()
{
    close();
    seam::moveFileOver(temporaryName_, target_);
    committed_ = true;
}

} // namespace glimmora::store
