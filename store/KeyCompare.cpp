#include "store/KeyCompare.h"

#include "store/FileFormat.h"

#include <algorithm>

namespace glimmora::store {

namespace {

unsigned char upper(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c; }

bool isUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

template <typename Fold>
std::string folded(std::string_view key, Fold fold)
{
    std::string result(key);
    std::transform(result.begin(), result.end(), result.begin(),
                   [fold](char c) { return static_cast<char>(fold(static_cast<unsigned char>(c))); });
    return result;
}

} // namespace

unsigned char asciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

std::string_view storeKey(std::string_view key)
{
    key = key.substr(0, key.find('\0'));
    return key.substr(0, format::kMaxKeyLength);
}

int compareKeysIgnoringCase(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = asciiLower(static_cast<unsigned char>(a[i]));
        const unsigned char y = asciiLower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int compareKeysWithCase(std::string_view a, std::string_view b)
{
    if (const int order = compareKeysIgnoringCase(a, b); order != 0)
        return order;
    // Equal ignoring case, so of equal length and differing at most in the case of letters.
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return isUpper(static_cast<unsigned char>(a[i])) ? 1 : -1;
    return 0;
}

int compareKeys(std::string_view a, std::string_view b, bool caseSensitive)
{
    return caseSensitive ? compareKeysWithCase(a, b) : compareKeysIgnoringCase(a, b);
}

std::string foldedToLower(std::string_view key) { return folded(key, asciiLower); }

std::string foldedToUpper(std::string_view key) { return folded(key, upper); }

} // namespace glimmora::store
