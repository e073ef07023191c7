#include "store/IndexSection.h"

#include "store/FileFormat.h"

#include <algorithm>
#include <cstring>

namespace glimmora::store {

namespace {

void appendInt32(std::vector<std::uint8_t>& section, std::int32_t value)
{
    unsigned char bytes[format::kInt32Size];
    format::writeInt32(bytes, value);
    section.insert(section.end(), bytes, bytes + sizeof bytes);
}

} // namespace

std::optional<std::int32_t> IndexSectionReader::count() const
{
    if (section_.size() < format::kInt32Size)
        return std::nullopt;
    const std::int32_t count = format::readInt32(section_.data());
    // Every entry takes at least a zero byte and three int32 values: a count the section cannot
    // hold is damage, found before any memory is spent on it.
    constexpr std::size_t kSmallestEntry = 1 + format::kEntryFixedSize;
    if (count < 0 || std::size_t(count) > (section_.size() - format::kInt32Size) / kSmallestEntry)
        return std::nullopt;
    return count;
}

bool IndexSectionReader::next(std::string_view& key, TIndex& entry)
{
    if (at_ >= section_.size())
        return false;
    const auto* start = section_.data() + at_;
    const auto* zero = static_cast<const std::uint8_t*>(std::memchr(start, 0, section_.size() - at_));
    if (!zero)
        return false;
    const auto keyLength = static_cast<std::size_t>(zero - start);
    at_ += keyLength + 1;
    if (section_.size() - at_ < format::kEntryFixedSize)
        return false;
    key = std::string_view(reinterpret_cast<const char*>(start), std::min(keyLength, format::kMaxKeyLength));
    const auto* numbers = section_.data() + at_;
    entry.Position = format::readInt32(numbers);
    entry.Length = format::readInt32(numbers + format::kInt32Size);
    entry.Flags = static_cast<std::uint32_t>(format::readInt32(numbers + 2 * format::kInt32Size));
    at_ += format::kEntryFixedSize;
    return true;
}

void appendIndexCount(std::vector<std::uint8_t>& section, std::int32_t count) { appendInt32(section, count); }

void appendIndexEntry(std::vector<std::uint8_t>& section, std::string_view key, const TIndex& entry)
{
    key = storeKey(key);
    section.insert(section.end(), key.begin(), key.end());
    section.push_back(0);
    appendInt32(section, entry.Position);
    appendInt32(section, entry.Length);
    appendInt32(section, static_cast<std::int32_t>(entry.Flags));
}

} // namespace glimmora::store
