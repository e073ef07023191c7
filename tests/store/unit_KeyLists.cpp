#include "store/KeyLists.h"

#include "store/QDBErrors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glimmora::store {
namespace {

std::vector<std::string> keysOf(const TIndexList& list)
{
    std::vector<std::string> keys;
    for (const auto& entry : list)
        keys.push_back(entry.key);
    return keys;
}

TIndexList listOf(std::initializer_list<const char*> keys, bool sorted = true)
{
    TIndexList list;
    list.setSorted(sorted);
    std::int32_t n = 0;
    for (const char* key : keys)
        list.add(key, TIndex{n++, 0, 0});
    return list;
}

TEST(KeyOrder, FoldsAsciiLettersAndPutsLowerCaseFirst)
{
    struct Case {
        const char* a;
        const char* b;
        int ignoringCase; // sign of the comparison
        int withCase;
    };
    const Case cases[] = {
        {"000001", "000002", -1, -1},
        {"abc", "ABC", 0, -1},
        {"a", "A", 0, -1},
        {"A", "b", -1, -1},
        {"B", "a", 1, 1},
        {"ab", "aB", 0, -1},
        {"aB", "Ab", 0, -1},
        {"Ab", "AB", 0, -1},
        {"ab", "abc", -1, -1},
        {"", "a", -1, -1},
        {"_", "a", -1, -1},
        {"Z", "_", 1, 1},
        {"\xe9", "z", 1, 1},
        {"MAX_SEQ_NO", "max_seq_no", 0, 1},
    };
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(sign(compareKeysIgnoringCase(c.a, c.b)), c.ignoringCase);
        EXPECT_EQ(sign(compareKeysIgnoringCase(c.b, c.a)), -c.ignoringCase);
        EXPECT_EQ(sign(compareKeysWithCase(c.a, c.b)), c.withCase);
        EXPECT_EQ(sign(compareKeysWithCase(c.b, c.a)), -c.withCase);
    }
}

TEST(KeyOrder, StoreKeyStopsAtZeroByteAnd255Characters)
{
    EXPECT_EQ(storeKey(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(storeKey(std::string(300, 'k')), std::string(255, 'k'));
    EXPECT_EQ(storeKey(std::string(255, 'k')), std::string(255, 'k'));
}

TEST(TQDBList, CapacityGrowsByFourOnInsertIntoAFullList)
{
    TQDBList<int> list;
    EXPECT_EQ(list.capacity(), 4);
    const std::pair<int, int> afterInserts[] = {{4, 4}, {5, 16}, {16, 16}, {17, 64}, {65, 256}};
    int inserted = 0;
    for (const auto& [count, capacity] : afterInserts) {
        while (inserted < count)
            list.insert(list.count(), inserted++);
        EXPECT_EQ(list.capacity(), capacity) << "after " << count << " inserts";
    }
    for (int i = 0; i < list.count(); ++i)
        ASSERT_EQ(list.get(i), i);
}

TEST(TQDBList, SetCapacityRoundsUpToAPowerOfFourAboveTheRequest)
{
    const std::pair<std::int64_t, int> cases[] = {
        {0, 4},       {3, 4},   {4, 16},
        {15, 16},     {16, 64}, {1000, 1024},
        {1024, 4096}, {-5, 4},  {kMaxListCapacity - 1, kMaxListCapacity},
    };
    for (const auto& [n, capacity] : cases) {
        TQDBList<int> list;
        list.setCapacity(n);
        EXPECT_EQ(list.capacity(), capacity) << "n = " << n;
    }
}

TEST(TQDBList, CapacityBeyondTheLimitOrBelowTheCountIsOutOfBounds)
{
    TQDBList<int> list;
    for (const std::int64_t n : {std::int64_t(kMaxListCapacity), std::int64_t(1) << 31, std::int64_t(1) << 40}) {
        try {
            list.setCapacity(n);
            ADD_FAILURE() << "no error for " << n;
        } catch (const EQDBListError& error) {
            EXPECT_STREQ(error.what(), "The list index is out of bounds");
        }
    }
    for (int i = 0; i < 10; ++i)
        list.insert(0, i);
    EXPECT_THROW(list.setCapacity(2), EQDBListError);
    list.setCapacity(5); // 16 still holds the 10 entries
    EXPECT_EQ(list.capacity(), 16);
    EXPECT_EQ(list.count(), 10);
}

TEST(TQDBList, InsertDeleteAndSwapKeepTheOrder)
{
    TQDBList<int> list;
    for (int i = 0; i < 20; ++i)
        list.insert(list.count(), i);
    list.insert(0, -1);
    list.insert(10, 100);
    list.remove(5);
    list.swap(0, 1);
    list.put(2, 42);
    const std::vector<int> expected = {0, -1, 42, 2, 3, 5, 6, 7, 8, 100, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    ASSERT_EQ(list.count(), static_cast<int>(expected.size()));
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(list.get(i), expected[i]) << "at " << i;
    EXPECT_THROW(list.get(list.count()), EQDBListError);
    EXPECT_THROW(list.get(-1), EQDBListError);
    EXPECT_THROW(list.insert(list.count() + 1, 0), EQDBListError);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.capacity(), 4);
}

TEST(TQDBStringList, FindGivesTheFirstMatchOrTheInsertionPoint)
{
    struct Case {
        std::vector<const char*> keys;
        const char* key;
        bool found;
        int position;
    };
    const Case cases[] = {
        {{}, "A", false, 0},
        {{"A", "C"}, "B", false, 1},
        {{"A", "C"}, "0", false, 0},
        {{"A", "C"}, "D", false, 2},
        {{"A", "C"}, "c", true, 1}, // the item index ignores case
        {{"A", "B", "B"}, "B", true, 1},
        {{"A", "B", "B", "B", "B", "B", "C"}, "B", true, 1},
        {{"B", "B", "B", "B", "B"}, "B", true, 0},
        {{"000001", "000002", "000003"}, "000003", true, 2},
    };
    for (const auto& c : cases) {
        TIndexList list;
        list.setSorted(false);
        for (const char* key : c.keys)
            list.add(key, {});
        std::int32_t position = -1;
        EXPECT_EQ(list.find(c.key, position), c.found) << c.key;
        EXPECT_EQ(position, c.position) << c.key;
    }
}

TEST(TQDBStringList, SortedAddKeepsOrderAndRefusesDuplicates)
{
    TIndexList list = listOf({"m", "c", "x", "a", "Q"});
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"a", "c", "m", "Q", "x"}));
    EXPECT_EQ(list.object(list.count() - 1).Position, 2); // objects travel with their keys
    try {
        list.add("q", {});
        ADD_FAILURE() << "duplicate accepted";
    } catch (const EQDBListError& error) {
        EXPECT_STREQ(error.what(), "Duplicate keys are not allowed");
    }
    EXPECT_EQ(list.count(), 5);
}

TEST(TQDBStringList, AppendModeThenReverseOnce)
{
    TIndexList list = listOf({"c", "b", "a"}, false);
    EXPECT_EQ(list.add("b", {}), 3); // no test in append mode
    list.remove(3);
    list.reverseOnce();
    EXPECT_TRUE(list.sorted());
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_THROW(list.add("b", {}), EQDBListError);
    list.reverseOnce(); // sorted already: nothing happens
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"a", "b", "c"}));

    const std::pair<std::vector<const char*>, std::vector<std::string>> shortLists[] = {
        {{}, {}}, {{"x"}, {"x"}}, {{"y", "x"}, {"x", "y"}}};
    for (const auto& [keys, reversed] : shortLists) {
        TIndexList small;
        small.setSorted(false);
        for (const char* key : keys)
            small.add(key, {});
        small.reverseOnce();
        EXPECT_EQ(keysOf(small), reversed);
    }
}

TEST(TQDBStringList, CaseSensitivity)
{
    TIndexList list;
    list.setCaseSensitive(true);
    for (const char* key : {"B", "a", "A", "b", "c"})
        list.add(key, {});
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"a", "A", "b", "B", "c"}));
    std::int32_t position = 0;
    EXPECT_TRUE(list.find("B", position));
    EXPECT_EQ(position, 3);
    EXPECT_FALSE(list.find("C", position));
    EXPECT_EQ(position, 5);

    // Turning insensitive keeps the first of each group of keys equal but for case.
    list.setCaseSensitive(false);
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(list.find("C", position));
    EXPECT_EQ(position, 2);
}

TEST(TQDBStringList, KeysAreCutTo255Characters)
{
    TIndexList list;
    list.add(std::string(300, 'k'), {});
    EXPECT_EQ(list.key(0), std::string(255, 'k'));
    std::int32_t position = 0;
    EXPECT_TRUE(list.find(std::string(256, 'k'), position));
    EXPECT_THROW(list.add(std::string(255, 'k') + "zzz", {}), EQDBListError);
}

} // namespace
} // namespace glimmora::store
