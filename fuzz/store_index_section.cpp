// Arbitrary bytes as an index section, read as opening a store reads it: the reader must end
// without reading outside the bytes, keys must come back at most 255 characters long, and the
// entries written back must be no longer than what they were read from and read the same again.

#include "store/FileFormat.h"
#include "store/IndexSection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace glimmora::store;
    const auto records = readIndexSection(std::span<const std::uint8_t>(data, size));
    if (!records)
        return 0;
    std::vector<std::uint8_t> written;
    appendIndexCount(written, static_cast<std::int32_t>(records->size()));
    for (const auto& record : *records) {
        if (record.key.size() > format::kMaxKeyLength)
            std::abort();
        appendIndexEntry(written, record.key, record.entry);
    }
    if (written.size() > size)
        std::abort();
    const auto again = readIndexSection(written);
    if (!again || again->size() != records->size())
        std::abort();
    for (std::size_t i = 0; i < records->size(); ++i)
        if ((*again)[i].key != (*records)[i].key || !((*again)[i].entry == (*records)[i].entry))
            std::abort();
    return 0;
}
