#include "store/Password.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

namespace glimmora::store {
namespace {

std::string hex(const Sha1Digest& digest)
{
    std::string text;
    char pair[3];
    for (const auto byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

TEST(Sha1, FipsVectors)
{
    const std::pair<std::string, const char*> cases[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
    };
    for (const auto& [message, digest] : cases)
        EXPECT_EQ(hex(sha1(message)), digest) << message.size() << " bytes";
}

TEST(Password, CheckValueIsTheDigestOfTheKey)
{
    const Sha1Digest key = passwordKey("abc");
    EXPECT_EQ(hex(key), "a9993e364706816aba3e25717850c26c9cd0d89d");
    const std::string keyText(key.begin(), key.end());
    EXPECT_EQ(passwordCheckValue(key), sha1(keyText));
    EXPECT_NE(passwordCheckValue(passwordKey("abd")), passwordCheckValue(key));
}

TEST(Password, OnlyTheFirst255CharactersCount)
{
    // A password holds at most 255 characters; a longer one typed in is cut, so that the store
    // it protects opens wherever the same password is typed.
    const std::string longest(255, 'p');
    EXPECT_EQ(passwordKey(longest + "beyond"), passwordKey(longest));
    EXPECT_EQ(passwordKey(longest), sha1(longest));
    EXPECT_NE(passwordKey(longest.substr(1)), passwordKey(longest));
}

TEST(Scramble, SevenBytesAreOneWordAndThreeSingleBytes)
{
    // With an all-zero key the seed is 0 and the generator runs 0x3C6EF35F, 0x47502932,
    // 0xD1CCF6E9, 0xAAF95334: the word takes the first value, each byte the low byte of one more.
    std::vector<std::uint8_t> buffer(7, 0);
    scramble(buffer, Sha1Digest{});
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x5F, 0xF3, 0x6E, 0x3C, 0x32, 0xE9, 0x34}));
    scramble(buffer, Sha1Digest{});
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(7, 0));
}

TEST(Scramble, TheSeedIsTheXorOfTheKeyWords)
{
    Sha1Digest key{};
    key[0] = 0x01;  // word 0 = 1
    key[4] = 0x01;  // word 1 = 1: they cancel, the seed is 0 again
    key[19] = 0x80; // word 4 = 0x80000000
    std::vector<std::uint8_t> buffer(4, 0);
    scramble(buffer, key);
    const std::uint32_t expected = 0x80000000u * 1664525u + 1013904223u;
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{std::uint8_t(expected), std::uint8_t(expected >> 8),
                                                 std::uint8_t(expected >> 16), std::uint8_t(expected >> 24)}));
}

TEST(Scramble, RoundTripsAnyLength)
{
    const Sha1Digest key = passwordKey("Glimmora secret");
    for (const std::size_t size : {0u, 1u, 3u, 4u, 5u, 1023u, 4096u, 70001u}) {
        std::vector<std::uint8_t> original(size);
        std::iota(original.begin(), original.end(), std::uint8_t(3));
        auto buffer = original;
        scramble(buffer, key);
        if (size >= 4) {
            EXPECT_NE(buffer, original) << size;
        }
        scramble(buffer, key);
        EXPECT_EQ(buffer, original) << size;
    }
}

TEST(ScrambleSection, RestartsAtEveryChunkOfTheClampedSectionLength)
{
    const Sha1Digest key = passwordKey("pw");
    const auto firstWord = [](const std::vector<std::uint8_t>& bytes, std::size_t at) {
        return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4);
    };
    // 100 bytes: one chunk of 100 (the 1,024-byte buffer is never filled).
    std::vector<std::uint8_t> small(100, 0);
    scrambleSection(small, key);
    std::vector<std::uint8_t> alone(100, 0);
    scramble(alone, key);
    EXPECT_EQ(small, alone);

    // 2,000 bytes: one chunk; the generator does not restart at 1,024.
    std::vector<std::uint8_t> medium(2000, 0);
    scrambleSection(medium, key);
    EXPECT_NE(firstWord(medium, 1024), firstWord(medium, 0));

    // Beyond 524,288 bytes: chunks of 524,288, each from the seed, then the remainder.
    std::vector<std::uint8_t> large(2 * 524288 + 10, 0);
    scrambleSection(large, key);
    EXPECT_EQ(firstWord(large, 524288), firstWord(large, 0));
    EXPECT_EQ(firstWord(large, 2 * 524288), firstWord(large, 0));
    EXPECT_NE(firstWord(large, 4), firstWord(large, 0));
    scrambleSection(large, key);
    EXPECT_EQ(large, std::vector<std::uint8_t>(large.size(), 0));
}

} // namespace
} // namespace glimmora::store
