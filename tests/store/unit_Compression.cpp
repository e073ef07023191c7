#include "store/Compression.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace glimmora::store {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes distinct(std::size_t n)
{
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes randomBytes(std::size_t n, unsigned alphabet, unsigned seed)
{
    std::mt19937 generator(seed);
    Bytes bytes(n);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator() % alphabet);
    return bytes;
}

TEST(Compression, BlocksOfAConformingWriter)
{
    struct Case {
        const char* name;
        Bytes piece;
        Bytes block;
    };
    const Case cases[] = {
        {"10 distinct bytes do not shrink", distinct(10), concat({0x80}, distinct(10))},
        {"100 equal bytes are one run", Bytes(100, 'z'), {0x40, 0x80, 0x00, 0x00, 0x00, 84, 'z'}},
        {"abc is stored", text("abc"), {0x80, 'a', 'b', 'c'}},
        {"a repeat is a match 3 back, 6 long", text("abcabcabc"), {0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x33}},
        {"a run of 4,095 then one more", Bytes(4096, 0), {0x40, 0x80, 0x00, 0x00, 0x0F, 0xEF, 0x00, 0x00}},
        {"the longest run and a second one",
         Bytes(4095 + 20, 1),
         {0x40, 0xC0, 0x00, 0x00, 0x0F, 0xEF, 0x01, 0x00, 0x00, 0x04, 0x01}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compressPiece(c.piece), c.block) << c.name;
}

TEST(Compression, ItemLengthCountsTheBlockLengths)
{
    Bytes stored;
    EXPECT_EQ(compressItem(distinct(10), stored), 13u);
    EXPECT_EQ(stored, concat({11, 0, 0x80}, distinct(10)));

    stored.assign({0xAA}); // blocks are appended after what is there
    EXPECT_EQ(compressItem(Bytes(100, 'z'), stored), 9u);
    EXPECT_EQ(stored, (Bytes{0xAA, 7, 0, 0x40, 0x80, 0x00, 0x00, 0x00, 84, 'z'}));

    stored.clear();
    EXPECT_EQ(compressItem({}, stored), 0u);
    EXPECT_TRUE(stored.empty());
}

TEST(Compression, An32769ByteItemIsTwoBlocksTheSecondForOneByte)
{
    Bytes item = randomBytes(32769, 256, 1);
    item.back() = 0x5A;
    Bytes stored;
    const std::size_t length = compressItem(item, stored);
    ASSERT_EQ(length, stored.size());
    const std::size_t first = stored[0] | stored[1] << 8;
    ASSERT_EQ(first, 32769u); // random bytes do not shrink: stored form of 32,768 bytes
    ASSERT_EQ(stored.size(), 2 + first + 4);
    EXPECT_EQ(Bytes(stored.end() - 4, stored.end()), (Bytes{2, 0, 0x80, 0x5A}));
    Bytes expanded;
    ASSERT_TRUE(expandItem(stored, expanded));
    EXPECT_EQ(expanded, item);
}

TEST(Compression, WorstCaseWorkBufferDoesNotOverflow)
{
    // 128 distinct bytes then 17 equal ones: the compressed attempt reaches 151 bytes for a
    // piece of 145 before it gives way to the stored form.
    const Bytes piece = concat(distinct(128), Bytes(17, 0xEE));
    EXPECT_EQ(compressPiece(piece), concat({0x80}, piece));
    for (std::size_t distinctBytes = 112; distinctBytes <= 160; ++distinctBytes)
        for (std::size_t runLength = 16; runLength <= 20; ++runLength) {
            const Bytes tricky = concat(distinct(distinctBytes), Bytes(runLength, 0xEE));
            Bytes expanded;
            ASSERT_TRUE(expandBlock(compressPiece(tricky), expanded));
            ASSERT_EQ(expanded, tricky);
        }
}

TEST(Compression, RoundTrips)
{
    struct Case {
        std::size_t size;
        unsigned alphabet;
    };
    const Case cases[] = {{1, 256},     {2, 2},     {3, 1},     {17, 1},     {18, 2},
                          {300, 3},     {4095, 1},  {4096, 4},  {5000, 16},  {32767, 2},
                          {32768, 256}, {32768, 1}, {32769, 3}, {100000, 2}, {200000, 40}};
    unsigned seed = 0;
    for (const auto& c : cases) {
        const Bytes item = randomBytes(c.size, c.alphabet, ++seed);
        Bytes stored;
        compressItem(item, stored);
        Bytes expanded{9, 9, 9}; // replaced, not appended to
        ASSERT_TRUE(expandItem(stored, expanded)) << c.size << "/" << c.alphabet;
        ASSERT_EQ(expanded, item) << c.size << "/" << c.alphabet;
        if (c.alphabet <= 4 && c.size > 100) {
            EXPECT_LT(stored.size(), item.size()) << c.size << "/" << c.alphabet;
        }
    }
}

TEST(Expansion, OverlappingCopiesAndRuns)
{
    Bytes out;
    // Literal 'x', then a copy of 18 from 1 back: 19 x's; then a run of 16 'y'.
    ASSERT_TRUE(expandBlock(Bytes{0x40, 0x60, 0x00, 'x', 0x00, 0x1F, 0x00, 0x00, 0x00, 'y'}, out));
    EXPECT_EQ(out, concat(Bytes(19, 'x'), Bytes(16, 'y')));
    out.clear();
    // Blocks shorter than 2 bytes stand for nothing; a 2-byte stored block for one byte.
    EXPECT_TRUE(expandBlock(Bytes{}, out));
    EXPECT_TRUE(expandBlock(Bytes{0x80}, out));
    EXPECT_TRUE(expandBlock(Bytes{0x80, 'q'}, out));
    EXPECT_EQ(out, Bytes{'q'});
}

TEST(Expansion, DamagedBlocksAreRefusedWithoutLeavingTheirBounds)
{
    struct Case {
        const char* name;
        Bytes block;
    };
    Bytes sixteenLiterals = {0x40, 0x00, 0x00};
    sixteenLiterals.insert(sixteenLiterals.end(), 16, 'l');
    Bytes tooManyRuns = {0x40, 0xFF, 0xFF};
    for (int i = 0; i < 16; ++i)
        tooManyRuns.insert(tooManyRuns.end(), {0x00, 0x0F, 0xFF, 'r'});
    const Case cases[] = {
        {"a 2-byte compressed block", {0x40, 0x80}},
        {"a copy before the first byte", {0x40, 0x80, 0x00, 0x00, 0x13}},
        {"a copy reaching one byte too far back", {0x40, 0x20, 0x00, 'a', 'b', 0x00, 0x30}},
        {"a copy cut short", {0x40, 0x80, 0x00, 0x01}},
        {"a run cut short", {0x40, 0x80, 0x00, 0x00, 0x00, 0x05}},
        {"a control word at the very end", concat(sixteenLiterals, {0xFF})},
        {"more than one piece of output", tooManyRuns},
        {"a stored block longer than one piece", concat({0x80}, Bytes(32769, 0))},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_FALSE(expandBlock(c.block, out)) << c.name;
        EXPECT_LE(out.size(), kPieceLength) << c.name;
    }
}

TEST(Expansion, DamagedItemsAreRefused)
{
    Bytes good;
    compressItem(Bytes(100, 'z'), good);
    struct Case {
        const char* name;
        Bytes stored;
        bool valid;
    };
    const Case cases[] = {
        {"the stored item", good, true},
        {"a block longer than the item", Bytes(good.begin(), good.end() - 1), false},
        {"a lone byte after the blocks", concat(good, {0x01}), false},
        {"a block length of 1,000 with 3 bytes", {0xE8, 0x03, 0x80, 1, 2}, false},
        {"an empty item", {}, true},
        {"a damaged second block", concat(good, {2, 0, 0x40, 0x80}), false},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_EQ(expandItem(c.stored, out), c.valid) << c.name;
    }
}

} // namespace
} // namespace glimmora::store
