#pragma once

// The index section of a store file (FileFormat.h) as bytes in memory: the entry count, then
// each entry as its key characters and a zero byte followed by Position, Length and Flags.

#include "store/KeyLists.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace glimmora::store {

// Reads the entries of a section in file order; bytes after the last entry are ignored.
class IndexSectionReader {
public:
    explicit IndexSectionReader(std::span<const std::uint8_t> section) : section_(section) {}

    // The entry count, or nothing when the section is damaged: a count below zero or larger
    // than the section can hold.
    std::optional<std::int32_t> count() const;

    // The next entry, its key cut to 255 characters (a view into the section); false when the
    // section ends inside it. Call it count() times.
    bool next(std::string_view& key, TIndex& entry);

private:
    std::span<const std::uint8_t> section_;
    std::size_t at_ = sizeof(std::int32_t);
};

// Appends the entry count, or one entry (its key cut by storeKey), to a section being written.
void appendIndexCount(std::vector<std::uint8_t>& section, std::int32_t count);
void appendIndexEntry(std::vector<std::uint8_t>& section, std::string_view key, const TIndex& entry);

} // namespace glimmora::store
