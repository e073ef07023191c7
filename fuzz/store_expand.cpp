// Arbitrary bytes as a stored compressed item and as one block: the expander must refuse what
// is damaged without leaving its bounds. The same bytes as an item must compress and expand
// back to themselves.

#include "store/Compression.h"

#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace glimmora::store;
    const std::span<const std::uint8_t> bytes(data, size);

    std::vector<std::uint8_t> out;
    expandItem(bytes, out);
    out.clear();
    if (expandBlock(bytes, out) && out.size() > kPieceLength)
        std::abort();

    std::vector<std::uint8_t> stored;
    if (compressItem(bytes, stored) != stored.size())
        std::abort();
    if (!expandItem(stored, out) || out != std::vector<std::uint8_t>(bytes.begin(), bytes.end()))
        std::abort();
    return 0;
}
