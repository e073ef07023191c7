#include "store/Cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glimmora::store {
namespace {

std::vector<std::uint8_t> bytes(std::size_t size, std::uint8_t value = 7)
{
    return std::vector<std::uint8_t>(size, value);
}

bool cached(const TCacheList& cache, const char* key)
{
    std::int32_t position = 0;
    return cache.find(key, position);
}

// What the store's GetItem does with the cache: serve a hit, or read the item and offer it.
std::vector<std::uint8_t> getThroughCache(TCacheList& cache, const char* key, const std::vector<std::uint8_t>& item)
{
    std::int32_t position = 0;
    if (cache.find(key, position))
        return cache.hit(position);
    cache.offer(item, key);
    return item;
}

TEST(TCacheList, EvictsTheLeastRecentlyUsedToMakeRoom)
{
    TCacheList cache;
    cache.setLimit(100);
    cache.offer(bytes(60), "A");
    cache.offer(bytes(60), "B");
    EXPECT_FALSE(cached(cache, "A"));
    EXPECT_TRUE(cached(cache, "B"));
    EXPECT_EQ(cache.bytes(), 60);
    EXPECT_EQ(cache.evictions(), 1);

    cache.offer(bytes(100), "C"); // the limit's size is never cached
    EXPECT_FALSE(cached(cache, "C"));
    EXPECT_EQ(cache.bytes(), 60);
    cache.offer(bytes(99), "C"); // one byte less is, after dropping B
    EXPECT_TRUE(cached(cache, "C"));
    EXPECT_EQ(cache.bytes(), 99);
}

TEST(TCacheList, AHitMakesAnEntryTheMostRecentlyUsed)
{
    TCacheList cache;
    cache.setLimit(100);
    cache.offer(bytes(30, 1), "A");
    cache.offer(bytes(30, 2), "B");
    cache.offer(bytes(30, 3), "C");
    std::int32_t position = 0;
    ASSERT_TRUE(cache.find("A", position));
    EXPECT_EQ(cache.hit(position), bytes(30, 1));
    cache.offer(bytes(30, 4), "D"); // B is now the oldest
    EXPECT_TRUE(cached(cache, "A"));
    EXPECT_FALSE(cached(cache, "B"));
    EXPECT_TRUE(cached(cache, "C"));
    EXPECT_TRUE(cached(cache, "D"));
}

TEST(TCacheList, KeysAreComparedWithCase)
{
    TCacheList cache;
    cache.offer(bytes(5), "abc");
    EXPECT_TRUE(cached(cache, "abc"));
    EXPECT_FALSE(cached(cache, "ABC"));
}

TEST(TCacheList, StatisticsAndHitPercentage)
{
    TCacheList cache;
    const auto item = bytes(10);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(getThroughCache(cache, "000001", item), item);
    EXPECT_EQ(cache.requests(), 3);
    EXPECT_EQ(cache.hits(), 2);
    EXPECT_EQ(cache.hitPercentage(), 67);

    // A second offer of a cached key changes nothing and is no request.
    cache.offer(bytes(10, 9), "000001");
    EXPECT_EQ(cache.requests(), 3);
    std::int32_t position = 0;
    ASSERT_TRUE(cache.find("000001", position));
    EXPECT_EQ(cache.object(position).Stream, item);

    cache.resetStatistics();
    EXPECT_EQ(cache.hitPercentage(), 0);
    EXPECT_EQ(cache.requests(), 0);
    EXPECT_TRUE(cached(cache, "000001")); // resetting keeps the entries
    EXPECT_EQ(cache.bytes(), 10);

    cache.remove("000001");
    EXPECT_EQ(cache.bytes(), 0);
    cache.remove("000001"); // not cached: nothing happens
    EXPECT_EQ(cache.count(), 0);
}

TEST(TCacheList, HitPercentageRoundsHalvesToEven)
{
    struct Case {
        int requests;
        int hits;
        int percent;
    };
    // 1 of 8 is 12.5 %, 3 of 8 is 37.5 %, 1 of 200 is 0.5 %, 3 of 200 is 1.5 %.
    const Case cases[] = {{3, 2, 67},  {3, 1, 33},  {8, 1, 12}, {8, 3, 38},
                          {200, 1, 0}, {200, 3, 2}, {5, 4, 80}, {7, 0, 0}};
    for (const auto& c : cases) {
        TCacheList cache;
        for (int i = 0; i < c.requests - c.hits; ++i)
            cache.offer(bytes(1), std::to_string(i));
        for (int i = 0; i < c.hits; ++i)
            cache.hit(0);
        ASSERT_EQ(cache.requests(), c.requests);
        EXPECT_EQ(cache.hitPercentage(), c.percent) << c.hits << " of " << c.requests;
    }
}

TEST(TCacheList, SetLimitAndClearEmptyTheCache)
{
    TCacheList cache;
    EXPECT_EQ(cache.limit(), 65536);
    cache.offer(bytes(10), "A");
    cache.setLimit(1000);
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(cache.bytes(), 0);
    EXPECT_EQ(cache.requests(), 0);
    EXPECT_EQ(cache.limit(), 1000);
    cache.setLimit(0);
    cache.offer(bytes(0), "empty"); // nothing fits below a zero limit
    EXPECT_EQ(cache.count(), 0);
}

} // namespace
} // namespace glimmora::store
