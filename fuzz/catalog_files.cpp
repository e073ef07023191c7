// The readers of the category, membership and removable-disk files on any bytes: the first byte
// picks the file, the rest is its content. What is read must write back as the same number of
// records (texts of older writers read as Windows-1252 may come back shorter: they are stored as
// UTF-8).

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/RemoveableMediaList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

template <typename Decode, typename Encode>
void roundTrip(QByteArrayView bytes, Decode decode, Encode encode)
{
    const auto first = decode(bytes);
    const auto second = decode(encode(first));
    if (second.size() != first.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView content(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0: roundTrip(content, glimmora::decodeCategoryRecords, glimmora::encodeCategoryRecords); break;
    case 1: roundTrip(content, glimmora::decodeMemberships, glimmora::encodeMemberships); break;
    default: roundTrip(content, glimmora::decodeRemoveableMedia, glimmora::encodeRemoveableMedia); break;
    }
    return 0;
}
