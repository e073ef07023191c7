#pragma once

// The key filters of store navigation.
//
// Simple matcher: a filter accepts keys that begin and end with it ("ab" accepts "ab" and
// "abxab"); a leading "<" lifts the start condition ("<ab": keys ending in "ab"), a trailing
// ">" lifts the end condition ("ab>": keys beginning with "ab"), "<ab>" accepts keys containing
// "ab". A "<" or ">" elsewhere lifts its condition but stays part of the text searched for.
//
// Grep-style matcher: a pattern of single-character elements tried at every start position:
//   "^" first: start at the key's start; "%" first: start at the key's start or after a blank
//   or a character with code 64 or below; "$" last: end at the key's end; "&" last: end at the
//   key's end or before a blank or a character with code below 64; "." any character but
//   CR, LF and zero; ":a" a letter; ":d" a digit; ":n" a letter or digit; ": " a character other
//   than blank with code 64 or below; "[...]" one of the listed characters, "[^...]" one not
//   listed, "x-y" inside brackets a range; "\\x" the character x literally; anything else itself.
// An invalid pattern (a misplaced anchor, ":" with an unknown class letter or at the end, a
// "[" without "]") accepts every key; an empty key or pattern is never accepted.
//
// In a case-insensitive store both matchers fold ASCII letters on both sides.

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace glimmora::store {

class TSimpleMatcher {
public:
    TSimpleMatcher(std::string_view filter, bool caseSensitive);
    bool matches(std::string_view key) const;

private:
    std::string text_; // the filter without the dropped anchors, folded when case-insensitive
    bool anchoredStart_ = true;
    bool anchoredEnd_ = true;
    bool acceptsAll_ = false;
    bool caseSensitive_;
};

class TGrepMatcher {
public:
    TGrepMatcher(std::string_view pattern, bool caseSensitive);
    bool matches(std::string_view key) const;
    bool valid() const { return valid_; }

private:
    using Element = std::bitset<256>; // the bytes one pattern element accepts
    enum class Start { Anywhere, KeyStart, WordStart };
    enum class End { Anywhere, KeyEnd, WordEnd };

    bool compile(std::string_view pattern);
    Element literal(unsigned char c) const;
    Element setElement(std::string_view listed) const;
    bool matchesAt(std::string_view key, std::size_t start) const;
    bool startHolds(std::string_view key, std::size_t start) const;
    bool endHolds(std::string_view key, std::size_t end) const;

    std::vector<Element> elements_;
    Start start_ = Start::Anywhere;
    End end_ = End::Anywhere;
    bool valid_ = false;
    bool emptyPattern_ = false;
    bool caseSensitive_;
};

// Whether the filter accepts the key, with the grep-style matcher when useGrep is set.
bool keyMatches(std::string_view key, std::string_view filter, bool useGrep, bool caseSensitive);

} // namespace glimmora::store
