#include "store/KeyLists.h"

#include "store/QDBErrors.h"

namespace glimmora::store {

std::int32_t listCapacityFor(std::int64_t n, std::int32_t count)
{
    // The original page layout allowed capacities up to 268,402,689; the first power of 4
    // beyond 4^13 is already past that.
    constexpr std::int64_t kLargestAllowed = 268402689;
    std::int64_t capacity = 4;
    while (capacity <= n && capacity <= kLargestAllowed)
        capacity *= 4;
    if (capacity < count || capacity > kLargestAllowed)
        raiseListOutOfBounds();
    return static_cast<std::int32_t>(capacity);
}

void raiseListOutOfBounds()
{
    throw EQDBListError(messages::kOutOfBounds);
}

void raiseListDuplicateKey()
{
    throw EQDBListError(messages::kDuplicateKeys);
}

void raiseListNoMemory()
{
    throw EQDBListError(messages::kNoMemoryToCompress);
}

} // namespace glimmora::store
