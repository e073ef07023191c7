#include "store/Matchers.h"

#include <gtest/gtest.h>

#include <string>

namespace glimmora::store {
namespace {

struct MatchCase {
    const char* filter;
    const char* key;
    bool caseSensitive;
    bool accepted;
};

TEST(SimpleMatcher, AnchorsAndCase)
{
    const MatchCase cases[] = {
        // Without marks: the key begins and ends with the filter.
        {"ab", "ab", true, true},
        {"ab", "abxab", true, true},
        {"ab", "abx", true, false},
        {"ab", "xab", true, false},
        {"ab", "a", true, false},
        {"aba", "aba", true, true},
        {"aa", "aaa", true, true}, // occurrences overlap
        // ">" at the end lifts the end condition, "<" at the start the start condition.
        {"ab>", "abx", true, true},
        {"ab>", "xab", true, false},
        {"<bx", "abx", true, true},
        {"<bx", "bxa", true, false},
        {"<b>", "abx", true, true},
        {"<b>", "acx", true, false},
        // A mark elsewhere lifts its condition but stays in the text searched for.
        {"a<b", "xa<bx", true, false},
        {"a<b", "a<bx", true, false},
        {"a<b", "xa<b", true, true},
        {"a>b>", "a>bcd", true, false}, // the first ">" lifts the end; the last one stays
        {"a>b>", "a>b>cd", true, true},
        {"a>b", "xa>by", true, false},
        {"a>b", "a>by", true, true},
        // Nothing left to search for accepts every key.
        {"", "anything", true, true},
        {"<", "anything", true, true},
        {">", "anything", true, true},
        {"<>", "", true, true},
        // Case.
        {"AB>", "abx", false, true},
        {"AB>", "abx", true, false},
        {"<x", "ABX", false, true},
        {"ab", "Ab", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TSimpleMatcher(c.filter, c.caseSensitive).matches(c.key), c.accepted)
            << "filter '" << c.filter << "' key '" << c.key << "' case " << c.caseSensitive;
}

TEST(GrepMatcher, Elements)
{
    const MatchCase cases[] = {
        {"ab", "xxabyy", true, true},
        {"ab", "xxa", true, false},
        {"^ab", "abx", true, true},
        {"^ab", "xab", true, false},
        {"^ab", "abab", true, true},
        {"b$", "bab", true, true},
        {"b$", "ba", true, false},
        {"^ab$", "ab", true, true},
        {"^ab$", "abb", true, false},
        {"%cat", "dog cat", true, true},
        {"%cat", "dog_cat", true, false}, // "_" is code 95
        {"%cat", "dog-cat", true, true},
        {"%cat", "bobcat", true, false},
        {"cat&", "cat food", true, true},
        {"cat&", "cat@x", true, false}, // "@" is code 64: not below 64
        {"cat&", "cats", true, false},
        {"a.c", "abc", true, true},
        {"a.c", "a\nc", true, false},
        {":a:d", "x7", true, true},
        {":a:d", "X7", true, true},
        {":a:d", "77", true, false},
        {":A:D", "q1", true, true},
        {":n:n", "a1", true, true},
        {":n", "--", true, false},
        {"x: y", "x-y", true, true},
        {"x: y", "x y", true, false},
        {"x: y", "xay", true, false},
        {"[abc]z", "cz", true, true},
        {"[abc]z", "dz", true, false},
        {"[^abc]z", "dz", true, true},
        {"[^abc]z", "az", true, false},
        {"[a-f]9", "e9", true, true},
        {"[a-f]9", "g9", true, false},
        {"[-a]", "-", true, true},
        {"\\\\.", "a.", true, true},
        {"\\\\.", "ab", true, false},
        {"\\\\$x", "$x", true, true},
        {"\\", "a\\b", true, true},
        // Case.
        {"AB", "xab", false, true},
        {"AB", "xab", true, false},
        {"[A-C]", "b", false, true},
        {"[^A]", "a", false, false},
        // Empty key or pattern.
        {"", "abc", true, false},
        {"a", "", true, false},
        // Longer than the key.
        {"abcd", "abc", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TGrepMatcher(c.filter, c.caseSensitive).matches(c.key), c.accepted)
            << "pattern '" << c.filter << "' key '" << c.key << "' case " << c.caseSensitive;
}

TEST(GrepMatcher, InvalidPatternsAcceptEveryKey)
{
    for (const char* pattern : {"a^b", "a%b", "a$b", "a&b", ":x", "ab:", "[abc", "x\\\\", "$$", "^^a"}) {
        const TGrepMatcher matcher(pattern, true);
        EXPECT_FALSE(matcher.valid()) << pattern;
        EXPECT_TRUE(matcher.matches("anything")) << pattern;
        EXPECT_TRUE(matcher.matches("")) << pattern;
    }
    EXPECT_TRUE(TGrepMatcher("^a$", true).valid());
}

TEST(KeyMatches, ChoosesTheMatcher)
{
    EXPECT_TRUE(keyMatches("000123", "<12>", false, false));
    EXPECT_FALSE(keyMatches("000123", "<12>", true, false)); // "<" and ">" are plain characters there
    EXPECT_TRUE(keyMatches("000123", "12", true, false));
    EXPECT_FALSE(keyMatches("000123", "12", false, false));
}

} // namespace
} // namespace glimmora::store
