#include "store/StoreFile.h"

#include "store/FileFormat.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace glimmora::store {

namespace {

std::optional<std::int32_t> int32At(SeamFile& file, std::int64_t offset, std::int64_t fileSize)
{
    unsigned char bytes[format::kInt32Size];
    if (offset + std::int64_t(sizeof bytes) > fileSize)
        return std::nullopt;
    file.seek(offset);
    if (!file.readExact(bytes, sizeof bytes))
        return std::nullopt;
    return format::readInt32(bytes);
}

// A marker is read as text up to its first zero byte.
bool markerAt(SeamFile& file, std::int64_t offset, std::int64_t fileSize, const format::Marker& marker)
{
    unsigned char bytes[format::kMarkerSize];
    if (offset + std::int64_t(sizeof bytes) > fileSize)
        return false;
    file.seek(offset);
    return file.readExact(bytes, sizeof bytes) && std::memcmp(bytes, marker.data(), marker.size()) == 0;
}

// The layout from the data length at lengthOffset on: a data section, the "QIX" marker and an
// index section, all within the file.
std::optional<StoreLayout> layoutFrom(SeamFile& file, std::int64_t lengthOffset, std::int64_t fileSize)
{
    const auto dataLength = int32At(file, lengthOffset, fileSize);
    if (!dataLength || *dataLength < 0)
        return std::nullopt;
    StoreLayout layout;
    layout.dataOffset = lengthOffset + std::int64_t(format::kInt32Size);
    layout.dataLength = *dataLength;
    const auto indexMarker = layout.dataOffset + *dataLength;
    if (!markerAt(file, indexMarker, fileSize, format::kIndexSignature))
        return std::nullopt;
    const auto indexLength = int32At(file, indexMarker + std::int64_t(format::kMarkerSize), fileSize);
    layout.indexOffset = indexMarker + std::int64_t(format::kMarkerSize + format::kInt32Size);
    if (!indexLength || *indexLength < 0 || layout.indexOffset + *indexLength > fileSize)
        return std::nullopt;
    layout.indexLength = *indexLength;
    return layout;
}

void writeInt32(SeamFile& file, std::int32_t value)
{
    unsigned char bytes[format::kInt32Size];
    format::writeInt32(bytes, value);
    file.write(bytes, sizeof bytes);
}

void writeMarker(SeamFile& file, const format::Marker& marker) { file.write(marker.data(), marker.size()); }

} // namespace

std::optional<StoreLayout> readStoreLayout(SeamFile& file)
{
    const auto fileSize = file.size();
    if (!markerAt(file, format::kSignatureOffset, fileSize, format::kFileSignature))
        return std::nullopt;
    // The four bytes after the signature read "QPW" in a protected store, and also in a plain
    // store whose data section is exactly kAmbiguousDataLength bytes long. The layout decides:
    // the store is taken as protected unless only the plain reading of it holds together.
    const auto plain = layoutFrom(file, format::kDataLengthOffsetPlain, fileSize);
    if (!markerAt(file, format::kPasswordBlockOffset, fileSize, format::kPasswordSignature))
        return plain;
    auto secured = layoutFrom(file, format::kDataLengthOffsetProtected, fileSize);
    if (!secured) {
        if (plain)
            return plain;
        return std::nullopt;
    }
    secured->protectedStore = true;
    file.seek(format::kPasswordBlockOffset + format::kMarkerSize);
    if (!file.readExact(secured->checkValue.data(), secured->checkValue.size()))
        return std::nullopt;
    return secured;
}

bool readSection(SeamFile& file, std::int64_t offset, std::int32_t length, const std::optional<Sha1Digest>& key,
                 std::vector<std::uint8_t>& section)
{
    section.resize(static_cast<std::size_t>(length));
    file.seek(offset);
    if (!file.readExact(section.data(), section.size()))
        return false;
    if (key)
        scrambleSection(section, *key);
    return true;
}

// --- StoreFileWriter ------------------------------------------------------------------------

StoreFileWriter::StoreFileWriter(SeamFile& out, const std::optional<Sha1Digest>& key, std::int32_t dataLength,
                                 SeamFile* plainCopy)
    : out_(out),
      key_(key),
      dataLength_(dataLength),
      deadByte_(!key && dataLength == kAmbiguousDataLength),
      plainCopy_(key ? plainCopy : nullptr)
{
    writeMarker(out_, format::kFileSignature);
    if (key_) {
        writeMarker(out_, format::kPasswordSignature);
        const auto check = passwordCheckValue(*key_);
        out_.write(check.data(), check.size());
        chunk_.reserve(static_cast<std::size_t>(format::copyBufferLength(dataLength)));
    }
    writeInt32(out_, deadByte_ ? dataLength + 1 : dataLength);
}

bool StoreFileWriter::appendData(SeamFile& source, std::int64_t offset, std::int64_t length)
{
    source.seek(offset);
    if (!key_) {
        // Plain bytes are copied by the kernel, without passing through this process.
        const auto copied = out_.copyFrom(source, length);
        written_ += copied;
        return copied == length;
    }
    const auto chunkLength = static_cast<std::size_t>(format::copyBufferLength(dataLength_));
    while (length > 0) {
        const auto start = chunk_.size();
        const auto take = std::min<std::int64_t>(length, std::int64_t(chunkLength - start));
        chunk_.resize(start + static_cast<std::size_t>(take));
        if (!source.readExact(chunk_.data() + start, static_cast<std::size_t>(take)))
            return false;
        length -= take;
        written_ += take;
        if (chunk_.size() == chunkLength)
            flushChunk();
    }
    return true;
}

// Scrambling restarts at every chunk, so a protected section is written in the chunks that a
// reader will cut it into.
void StoreFileWriter::flushChunk()
{
    if (chunk_.empty())
        return;
    if (plainCopy_)
        plainCopy_->write(chunk_.data(), chunk_.size());
    scramble(chunk_, *key_);
    out_.write(chunk_.data(), chunk_.size());
    chunk_.clear();
}

void StoreFileWriter::finish(std::span<const std::uint8_t> index)
{
    if (written_ != dataLength_)
        throw std::logic_error("store file writer: the data section is not of its announced length");
    if (!key_) {
        if (deadByte_)
            out_.write("", 1);
        appendIndexSection(out_, index);
        return;
    }
    flushChunk();
    std::vector<std::uint8_t> scrambled(index.begin(), index.end());
    scrambleSection(scrambled, *key_);
    appendIndexSection(out_, scrambled);
}

// --- a save by appending ----------------------------------------------------------------------

void appendIndexSection(SeamFile& file, std::span<const std::uint8_t> index)
{
    writeMarker(file, format::kIndexSignature);
    writeInt32(file, static_cast<std::int32_t>(index.size()));
    file.write(index.data(), index.size());
}

void writeDataLength(SeamFile& file, std::int32_t dataLength)
{
    file.seek(format::kDataLengthOffsetPlain);
    writeInt32(file, dataLength);
}

} // namespace glimmora::store
