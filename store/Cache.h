#pragma once

// The store's memory cache of recently read items: copies of item contents as callers see them
// (never compressed), under their keys (compared with case), dropped least recently used first
// so that the copies never hold more than the limit in bytes.

#include "store/KeyLists.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace glimmora::store {

struct TCache {
    std::int64_t stamp = 0;           // when the entry was last used (64 bits: never wraps)
    std::vector<std::uint8_t> Stream; // the item's content
};

class TCacheList : public TQDBStringList<TCache> {
public:
    static constexpr std::int32_t kDefaultLimit = 65536;

    TCacheList() : TQDBStringList<TCache>(true, true) {}

    // The cached content at a position found by find(), counted as a hit: the entry becomes the
    // most recently used, hits and requests grow by one.
    const std::vector<std::uint8_t>& hit(std::int32_t position);

    // Caches a copy of the content when it is smaller than the limit, first dropping the least
    // recently used entries until it fits. A key cached already, or no memory, leaves the
    // content uncached; an offer never raises. A successful offer counts as a request.
    void offer(std::span<const std::uint8_t> content, std::string_view key);

    // Drops the key's copy, when cached.
    void remove(std::string_view key);

    // Drops the least recently used entry (the first in key order among equal stamps).
    void evict();

    // Drops every entry and zeroes the statistics and the stamps.
    void clear();

    // Empties the cache and sets its limit in bytes (the store's CacheSize).
    void setLimit(std::int32_t limit);
    std::int32_t limit() const { return limit_; }

    // Hits, requests and evictions back to 0 (assigning the store's CacheFrequency).
    void resetStatistics();

    // Hits × 100 / requests rounded to the nearest whole number, halves to even; 0 without
    // requests (reading the store's CacheFrequency).
    int hitPercentage() const;

    std::int64_t requests() const { return requests_; }
    std::int64_t hits() const { return hits_; }
    std::int64_t evictions() const { return evictions_; }
    std::int64_t bytes() const { return bytes_; }

private:
    std::int64_t nextStamp();
    void dropAt(std::int32_t position);

    std::int64_t requests_ = 0;
    std::int64_t bytes_ = 0;
    std::int64_t evictions_ = 0;
    std::int32_t limit_ = kDefaultLimit;
    std::int64_t stampCounter_ = 0;
    std::int64_t hits_ = 0;
};

} // namespace glimmora::store
