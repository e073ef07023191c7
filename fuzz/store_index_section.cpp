// Arbitrary bytes as an index section, read as opening a store reads it: the reader must end
// without reading outside the bytes, keys must come back at most 255 characters long, and the
// entries written back must be no longer than what they were read from and read the same again.

#include "store/FileFormat.h"
#include "store/IndexSection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace glimmora::store;

struct Record {
    std::string key;
    TIndex entry;
    bool operator==(const Record&) const = default;
};

std::optional<std::vector<Record>> readAll(std::span<const std::uint8_t> section)
{
    IndexSectionReader reader(section);
    const auto count = reader.count();
    if (!count)
        return std::nullopt;
    std::vector<Record> records;
    for (std::int32_t i = 0; i < *count; ++i) {
        std::string_view key;
        TIndex entry;
        if (!reader.next(key, entry))
            return std::nullopt;
        if (key.size() > format::kMaxKeyLength)
            std::abort();
        records.push_back({std::string(key), entry});
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto records = readAll(std::span<const std::uint8_t>(data, size));
    if (!records)
        return 0;
    std::vector<std::uint8_t> written;
    appendIndexCount(written, static_cast<std::int32_t>(records->size()));
    for (const auto& record : *records)
        appendIndexEntry(written, record.key, record.entry);
    if (written.size() > size || readAll(written) != records)
        std::abort();
    return 0;
}
