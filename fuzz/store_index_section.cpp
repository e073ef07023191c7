// Arbitrary bytes as an index section, read as opening a store reads it: the reader must end
// without reading outside the bytes and give no key longer than 255 characters, and the entries
// written back must be no longer than the bytes they came from and read back to themselves.

#include "store/FileFormat.h"
#include "store/IndexSection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

namespace {

using namespace glimmora::store;

// The section's entries written anew, or nothing when it is damaged.
std::optional<std::vector<std::uint8_t>> rewritten(std::span<const std::uint8_t> section)
{
    IndexSectionReader reader(section);
    const auto count = reader.count();
    if (!count)
        return std::nullopt;
    std::vector<std::uint8_t> written;
    appendIndexCount(written, *count);
    for (std::int32_t i = 0; i < *count; ++i) {
        std::string_view key;
        TIndex entry;
        if (!reader.next(key, entry))
            return std::nullopt;
        if (key.size() > format::kMaxKeyLength)
            std::abort();
        appendIndexEntry(written, key, entry);
    }
    return written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto written = rewritten(std::span<const std::uint8_t>(data, size));
    if (!written)
        return 0;
    if (written->size() > size || rewritten(*written) != written)
        std::abort();
    return 0;
}
