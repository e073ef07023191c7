#include "store/KeyLists.h"

#include "store/QDBErrors.h"

namespace glimmora::store {

std::int32_t listCapacityFor(std::int64_t n, std::int32_t count)
{
    std::int64_t capacity = 4;
    while (capacity <= n && capacity <= kMaxListCapacity)
        capacity *= 4;
    if (capacity < count || capacity > kMaxListCapacity)
        raiseListOutOfBounds();
    return static_cast<std::int32_t>(capacity);
}

void raiseListOutOfBounds() { throw EQDBListError(messages::kOutOfBounds); }

void raiseListDuplicateKey() { throw EQDBListError(messages::kDuplicateKeys); }

void raiseListNoMemory() { throw EQDBListError(messages::kNoMemoryToCompress); }

} // namespace glimmora::store
