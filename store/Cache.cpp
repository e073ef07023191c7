#include "store/Cache.h"

#include "store/QDBErrors.h"

#include <new>

namespace glimmora::store {

const std::vector<std::uint8_t>& TCacheList::hit(std::int32_t position)
{
    TCache& entry = object(position);
    entry.stamp = nextStamp();
    ++hits_;
    ++requests_;
    return entry.Stream;
}

void TCacheList::offer(std::span<const std::uint8_t> content, std::string_view key)
{
    const auto size = static_cast<std::int64_t>(content.size());
    if (size >= limit_)
        return;
    while (size + bytes_ > limit_ && count() > 0)
        evict();
    try {
        std::int32_t position = 0;
        if (find(key, position))
            return;
        add(key, TCache{nextStamp(), std::vector<std::uint8_t>(content.begin(), content.end())});
    } catch (const std::bad_alloc&) {
        return;
    } catch (const EQDBListError&) {
        return; // no room in the list: the item just stays uncached
    }
    bytes_ += size;
    ++requests_;
}

void TCacheList::remove(std::string_view key)
{
    std::int32_t position = 0;
    if (find(key, position))
        dropAt(position);
}

void TCacheList::evict()
{
    if (count() == 0)
        return;
    std::int32_t oldest = 0;
    for (std::int32_t i = 1; i < count(); ++i)
        if (object(i).stamp < object(oldest).stamp)
            oldest = i;
    dropAt(oldest);
    ++evictions_;
}

void TCacheList::clear()
{
    TQDBStringList<TCache>::clear();
    bytes_ = 0;
    requests_ = 0;
    evictions_ = 0;
    hits_ = 0;
    stampCounter_ = 0;
}

void TCacheList::setLimit(std::int32_t limit)
{
    clear();
    limit_ = limit;
}

void TCacheList::resetStatistics()
{
    hits_ = 0;
    requests_ = 0;
    evictions_ = 0;
}

int TCacheList::hitPercentage() const
{
    if (requests_ == 0)
        return 0;
    const std::int64_t scaled = hits_ * 100;
    std::int64_t percent = scaled / requests_;
    const std::int64_t twiceRest = 2 * (scaled % requests_);
    if (twiceRest > requests_ || (twiceRest == requests_ && percent % 2 == 1))
        ++percent;
    return static_cast<int>(percent);
}

std::int64_t TCacheList::nextStamp() { return ++stampCounter_; }

void TCacheList::dropAt(std::int32_t position)
{
    bytes_ -= static_cast<std::int64_t>(object(position).Stream.size());
    TQDBStringList<TCache>::remove(position);
}

} // namespace glimmora::store
