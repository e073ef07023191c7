#pragma once

// How the store orders and matches keys. The order is part of the file format (the index is
// written in descending key order and read back by reversing it), so it must be the same on
// every machine: it never depends on the locale.
//
// Keys are byte strings. Ignoring case, the ASCII letters A to Z are folded to a to z and the
// folded keys are compared byte by byte as unsigned values; a key that is a prefix of another
// sorts first. With case, the keys are first compared ignoring case; only when that finds them
// equal do they differ in case alone, and then at the first position where the case differs
// the lower-case letter sorts first: "a" < "A" < "b" < "B", "ab" < "aB" < "Ab" < "AB".
// Keys made of digits only, as the image store's are, sort in plain character order either way.

#include <string>
#include <string_view>

namespace glimmora::store {

// The key as the store keeps it: up to the first zero byte (which the index uses as the
// key's terminator) and at most format::kMaxKeyLength (255) bytes.
std::string_view storeKey(std::string_view key);

// Negative, zero or positive as a sorts before, equal to or after b.
int compareKeysIgnoringCase(std::string_view a, std::string_view b);
int compareKeysWithCase(std::string_view a, std::string_view b);
int compareKeys(std::string_view a, std::string_view b, bool caseSensitive);

// The byte with A to Z turned to a to z.
unsigned char asciiLower(unsigned char c);

// The key with the ASCII letters A to Z turned to lower or to upper case.
std::string foldedToLower(std::string_view key);
std::string foldedToUpper(std::string_view key);

} // namespace glimmora::store
