#include "store/Matchers.h"

#include "store/KeyCompare.h"

namespace glimmora::store {

namespace {

bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The characters of the class ":x"; false for a class letter that does not exist.
bool classElement(unsigned char kind, std::bitset<256>& element)
{
    bool (*test)(unsigned char) = nullptr;
    switch (kind) {
    case 'a':
    case 'A': test = isLetter; break;
    case 'd':
    case 'D': test = isDigit; break;
    case 'n':
    case 'N': test = [](unsigned char c) { return isLetter(c) || isDigit(c); }; break;
    case ' ': test = [](unsigned char c) { return c != ' ' && c <= 64; }; break;
    default: return false;
    }
    for (unsigned c = 1; c < 256; ++c)
        element.set(c, test(static_cast<unsigned char>(c)));
    return true;
}

// "." : any character but carriage return, line feed and the zero byte.
std::bitset<256> anyElement()
{
    std::bitset<256> element;
    element.set();
    element.reset('\r');
    element.reset('\n');
    element.reset(0);
    return element;
}

} // namespace

TSimpleMatcher::TSimpleMatcher(std::string_view filter, bool caseSensitive) : caseSensitive_(caseSensitive)
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
    // The first occurrence at the start is a prefix, the last one at the end a suffix.
    return folded.find(text_) != std::string::npos && (!anchoredStart_ || folded.starts_with(text_))
           && (!anchoredEnd_ || folded.ends_with(text_));
}

TGrepMatcher::TGrepMatcher(std::string_view pattern, bool caseSensitive) : caseSensitive_(caseSensitive)
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

// The inside of "[...]": listed characters and ranges "x-y", all but them after a leading "^".
TGrepMatcher::Element TGrepMatcher::setElement(std::string_view listed) const
{
    const bool negated = !listed.empty() && listed[0] == '^';
    if (negated)
        listed.remove_prefix(1);
    Element set;
    for (std::size_t k = 0; k < listed.size(); ++k) {
        const auto from = static_cast<unsigned char>(listed[k]);
        const bool range = k + 2 < listed.size() && listed[k + 1] == '-';
        const auto to = range ? static_cast<unsigned char>(listed[k + 2]) : from;
        for (unsigned c = from; c <= to; ++c)
            set |= literal(static_cast<unsigned char>(c));
        k += range ? 2 : 0;
    }
    return negated ? set.flip() : set;
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
            elements_.push_back(anyElement());
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
            elements_.push_back(setElement(pattern.substr(i + 1, close - i - 1)));
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
