#include "store/Matchers.h"

#include "store/KeyCompare.h"

namespace glimmora::store {

namespace {

// Position (0-based) of every occurrence of text in key, overlapping ones included: the first
// and the last, or npos when there is none.
struct Occurrences {
    std::size_t first = std::string_view::npos;
    std::size_t last = std::string_view::npos;
};

Occurrences occurrences(std::string_view key, std::string_view text)
{
    Occurrences found;
    found.first = key.find(text);
    for (std::size_t at = found.first; at != std::string_view::npos; at = key.find(text, at + 1))
        found.last = at;
    return found;
}

bool isLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// The characters of the class ":x"; false for a class letter that does not exist.
bool classElement(unsigned char kind, std::bitset<256>& element)
{
    bool (*test)(unsigned char) = nullptr;
    switch (kind) {
    case 'a': case 'A': test = isLetter; break;
    case 'd': case 'D': test = isDigit; break;
    case 'n': case 'N': test = [](unsigned char c) { return isLetter(c) || isDigit(c); }; break;
    case ' ': test = [](unsigned char c) { return c != ' ' && c <= 64; }; break;
    default: return false;
    }
    for (unsigned c = 1; c < 256; ++c)
        element.set(c, test(static_cast<unsigned char>(c)));
    return true;
}

} // namespace

TSimpleMatcher::TSimpleMatcher(std::string_view filter, bool caseSensitive)
    : caseSensitive_(caseSensitive)
{
    std::string text = caseSensitive ? std::string(filter) : foldedToUpper(filter);
    const std::size_t startMark = text.find('<');
    anchoredStart_ = startMark == std::string::npos;
    if (startMark == 0)
        text.erase(0, 1);
    const std::size_t endMark = text.find('>');
    anchoredEnd_ = endMark == std::string::npos;
    if (!text.empty() && endMark == text.size() - 1)
        text.pop_back();
    // Nothing left to search for ("", "<", ">", "<>"): every key is accepted.
    acceptsAll_ = text.empty();
    text_ = std::move(text);
}

bool TSimpleMatcher::matches(std::string_view key) const
{
    if (acceptsAll_)
        return true;
    const std::string folded = caseSensitive_ ? std::string(key) : foldedToUpper(key);
    const Occurrences found = occurrences(folded, text_);
    if (found.first == std::string_view::npos)
        return false;
    return (!anchoredStart_ || found.first == 0) && (!anchoredEnd_ || found.last == folded.size() - text_.size());
}

TGrepMatcher::TGrepMatcher(std::string_view pattern, bool caseSensitive)
    : caseSensitive_(caseSensitive)
{
    emptyPattern_ = pattern.empty();
    valid_ = compile(pattern);
}

TGrepMatcher::Element TGrepMatcher::literal(unsigned char c) const
{
    Element element;
    element.set(caseSensitive_ ? c : asciiLower(c));
    return element;
}

bool TGrepMatcher::compile(std::string_view pattern)
{
    std::size_t i = 0;
    if (!pattern.empty() && (pattern[0] == '^' || pattern[0] == '%')) {
        start_ = pattern[0] == '^' ? Start::KeyStart : Start::WordStart;
        i = 1;
    }
    while (i < pattern.size()) {
        const auto c = static_cast<unsigned char>(pattern[i]);
        const bool last = i + 1 == pattern.size();
        if (c == '$' || c == '&') {
            if (!last)
                return false;
            end_ = c == '$' ? End::KeyEnd : End::WordEnd;
            ++i;
        } else if (c == '^' || c == '%') {
            return false;
        } else if (c == '.') {
            Element any;
            any.set();
            any.reset('\r');
            any.reset('\n');
            any.reset(0);
            elements_.push_back(any);
            ++i;
        } else if (c == ':') {
            if (last)
                return false;
            Element cls;
            if (!classElement(static_cast<unsigned char>(pattern[i + 1]), cls))
                return false;
            elements_.push_back(cls);
            i += 2;
        } else if (c == '[') {
            const std::size_t close = pattern.find(']', i + 1);
            if (close == std::string_view::npos)
                return false;
            std::string_view listed = pattern.substr(i + 1, close - i - 1);
            const bool negated = !listed.empty() && listed[0] == '^';
            if (negated)
                listed.remove_prefix(1);
            Element set;
            for (std::size_t k = 0; k < listed.size(); ++k) {
                const auto from = static_cast<unsigned char>(listed[k]);
                if (k + 2 < listed.size() && listed[k + 1] == '-') {
                    const auto to = static_cast<unsigned char>(listed[k + 2]);
                    for (unsigned ch = from; ch <= to; ++ch)
                        set |= literal(static_cast<unsigned char>(ch));
                    k += 2;
                } else {
                    set |= literal(from);
                }
            }
            if (negated)
                set.flip();
            elements_.push_back(set);
            i = close + 1;
        } else if (c == '\\' && i + 1 < pattern.size() && pattern[i + 1] == '\\') {
            if (i + 2 >= pattern.size())
                return false;
            elements_.push_back(literal(static_cast<unsigned char>(pattern[i + 2])));
            i += 3;
        } else {
            elements_.push_back(literal(c));
            ++i;
        }
    }
    return true;
}

bool TGrepMatcher::matches(std::string_view key) const
{
    if (!valid_)
        return true;
    if (key.empty() || emptyPattern_)
        return false;
    const std::string folded = caseSensitive_ ? std::string(key) : foldedToLower(key);
    if (elements_.size() > folded.size())
        return false;
    for (std::size_t start = 0; start + elements_.size() <= folded.size(); ++start)
        if (startHolds(folded, start) && matchesAt(folded, start) && endHolds(folded, start + elements_.size()))
            return true;
    return false;
}

bool TGrepMatcher::matchesAt(std::string_view key, std::size_t start) const
{
    for (std::size_t k = 0; k < elements_.size(); ++k)
        if (!elements_[k].test(static_cast<unsigned char>(key[start + k])))
            return false;
    return true;
}

bool TGrepMatcher::startHolds(std::string_view key, std::size_t start) const
{
    switch (start_) {
    case Start::Anywhere: return true;
    case Start::KeyStart: return start == 0;
    case Start::WordStart: return start == 0 || static_cast<unsigned char>(key[start - 1]) <= 64; // blank included
    }
    return false;
}

bool TGrepMatcher::endHolds(std::string_view key, std::size_t end) const
{
    switch (end_) {
    case End::Anywhere: return true;
    case End::KeyEnd: return end == key.size();
    case End::WordEnd: return end == key.size() || static_cast<unsigned char>(key[end]) < 64; // blank included
    }
    return false;
}

bool keyMatches(std::string_view key, std::string_view filter, bool useGrep, bool caseSensitive)
{
    if (useGrep)
        return TGrepMatcher(filter, caseSensitive).matches(key);
    return TSimpleMatcher(filter, caseSensitive).matches(key);
}

} // namespace glimmora::store
