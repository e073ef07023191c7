#pragma once

// The index section of a store file (FileFormat.h) as bytes in memory: the entry count, then
// each entry as its key characters and a zero byte followed by Position, Length and Flags.

#include "store/KeyLists.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glimmora::store {

struct IndexRecord {
    std::string key;
    TIndex entry;
};

// The entries of a section in file order; bytes after the last entry are ignored. Keys are cut
// to 255 characters. Nothing when the section is damaged: a count below zero or larger than the
// section can hold, or a section that ends inside an entry.
std::optional<std::vector<IndexRecord>> readIndexSection(std::span<const std::uint8_t> section);

// Appends the entry count, or one entry (its key cut by storeKey), to a section being written.
void appendIndexCount(std::vector<std::uint8_t>& section, std::int32_t count);
void appendIndexEntry(std::vector<std::uint8_t>& section, std::string_view key, const TIndex& entry);

} // namespace glimmora::store
