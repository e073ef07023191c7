#include "store/IndexSection.h"

#include "store/FileFormat.h"

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

std::optional<std::vector<IndexRecord>> readIndexSection(std::span<const std::uint8_t> section)
{
    if (section.size() < format::kInt32Size)
        return std::nullopt;
    const std::int32_t count = format::readInt32(section.data());
    // Every entry takes at least a zero byte and three int32 values: a count the section cannot
    // hold is damage, found before any memory is spent on it.
    constexpr std::size_t kSmallestEntry = 1 + format::kEntryFixedSize;
    if (count < 0 || std::size_t(count) > (section.size() - format::kInt32Size) / kSmallestEntry)
        return std::nullopt;

    std::vector<IndexRecord> records(static_cast<std::size_t>(count));
    std::size_t at = format::kInt32Size;
    for (auto& record : records) {
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(section.data() + at, 0, section.size() - at));
        if (!zero)
            return std::nullopt;
        const auto keyLength = static_cast<std::size_t>(zero - (section.data() + at));
        record.key.assign(reinterpret_cast<const char*>(section.data() + at),
                          std::min(keyLength, format::kMaxKeyLength));
        at += keyLength + 1;
        if (section.size() - at < format::kEntryFixedSize)
            return std::nullopt;
        record.entry.Position = format::readInt32(section.data() + at);
        record.entry.Length = format::readInt32(section.data() + at + format::kInt32Size);
        record.entry.Flags =
            static_cast<std::uint32_t>(format::readInt32(section.data() + at + 2 * format::kInt32Size));
        at += format::kEntryFixedSize;
    }
    return records;
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
