#pragma once

// The key lists of the store: TQDBList, a growable list whose capacity runs 4, 16, 64, ... up
// to 4^13 entries; TQDBStringList, keys with an object each, kept in ascending key order while
// the list is sorted; TIndexList, the key list of index entries (one for the items, one for
// the admin entries of a store).

#include "store/KeyCompare.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimmora::store {

// The capacity a list gets when asked for room for n entries while holding count: the smallest
// 4^r (r >= 1) above n. Raises EQDBListError "The list index is out of bounds" when that is
// below count or beyond 4^13.
std::int32_t listCapacityFor(std::int64_t n, std::int32_t count);

inline constexpr std::int32_t kMaxListCapacity = 67108864; // 4^13

// Raise EQDBListError with the list's messages (kept out of line so the templates stay small).
[[noreturn]] void raiseListOutOfBounds();
[[noreturn]] void raiseListDuplicateKey();
[[noreturn]] void raiseListNoMemory();

template <typename T>
class TQDBList {
public:
    std::int32_t capacity() const { return capacity_; }
    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }

    // See listCapacityFor; the entries held stay as they are.
    void setCapacity(std::int64_t n) { capacity_ = listCapacityFor(n, count()); }

    // Makes room in memory for n entries that are really at hand (unlike setCapacity, which
    // only promises room).
    void reserve(std::int32_t n)
    {
        setCapacity(n);
        try {
            items_.reserve(static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            raiseListNoMemory();
        }
    }

    // Inserts before index (0 to count); a full list first grows to the next capacity.
    void insert(std::int32_t index, T item)
    {
        if (index < 0 || index > count())
            raiseListOutOfBounds();
        if (count() == capacity_)
            setCapacity(std::int64_t(capacity_) + 1);
        try {
            items_.insert(items_.begin() + index, std::move(item));
        } catch (const std::bad_alloc&) {
            raiseListNoMemory();
        }
    }

    void remove(std::int32_t index) { items_.erase(items_.begin() + checked(index)); }
    T& get(std::int32_t index) { return items_[checked(index)]; }
    const T& get(std::int32_t index) const { return items_[checked(index)]; }
    void put(std::int32_t index, T item) { items_[checked(index)] = std::move(item); }
    void swap(std::int32_t i, std::int32_t j) { std::swap(items_[checked(i)], items_[checked(j)]); }

    // Back to the state of a new list: no entries, capacity 4.
    void clear()
    {
        items_.clear();
        items_.shrink_to_fit();
        capacity_ = 4;
    }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::size_t checked(std::int32_t index) const
    {
        if (index < 0 || index >= count())
            raiseListOutOfBounds();
        return static_cast<std::size_t>(index);
    }

    // Storage grows by itself as entries arrive; the capacity is the list's promise of room,
    // so a count read from a damaged file never allocates more than the entries really held.
    std::vector<T> items_;
    std::int32_t capacity_ = 4;
};

// Keys (cut by storeKey) with one object each. While the sorted mark is set, add keeps the keys
// in ascending order (KeyCompare.h, with or without case) and refuses duplicates; while it is
// clear, add appends without any test (for reading an index, which is written in descending
// order and turned round once by reverseOnce).
template <typename Object>
class TQDBStringList {
public:
    struct Entry {
        std::string key;
        Object object;
    };

    explicit TQDBStringList(bool sorted = true, bool caseSensitive = false)
        : caseSensitive_(caseSensitive),
          sorted_(sorted)
    {}

    // Binary search: true and the first entry with an equal key, or false and the position
    // where the key belongs. Meaningful only while the keys are in order.
    bool find(std::string_view key, std::int32_t& position) const;

    // Sorted: inserts at the key's place, raising EQDBListError "Duplicate keys are not allowed"
    // when it is there already. Unsorted: appends. Returns the position of the new entry.
    std::int32_t add(std::string_view key, Object object);

    void remove(std::int32_t position) { entries_.remove(position); }

    const std::string& key(std::int32_t position) const { return entries_.get(position).key; }
    Object& object(std::int32_t position) { return entries_.get(position).object; }
    const Object& object(std::int32_t position) const { return entries_.get(position).object; }
    std::int32_t count() const { return entries_.count(); }
    std::int32_t capacity() const { return entries_.capacity(); }
    void setCapacity(std::int64_t n) { entries_.setCapacity(n); }
    void reserve(std::int32_t n) { entries_.reserve(n); }

    bool sorted() const { return sorted_; }
    void setSorted(bool sorted) { sorted_ = sorted; }

    // When the sorted mark is clear: reverses the order of all entries and sets the mark.
    // Otherwise does nothing.
    void reverseOnce();

    bool caseSensitive() const { return caseSensitive_; }
    // Becoming case-insensitive drops every entry whose key equals the one before it ignoring
    // case (walking from the last entry to the second), so that the keys stay unique.
    void setCaseSensitive(bool caseSensitive);

    void clear() { entries_.clear(); }

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    int compare(std::string_view a, std::string_view b) const { return compareKeys(a, b, caseSensitive_); }

    bool caseSensitive_;
    TQDBList<Entry> entries_;
    bool sorted_;
};

// Where one value lies in the data section.
struct TIndex {
    std::int32_t Position = 0;
    std::int32_t Length = 0;
    std::uint32_t Flags = 0; // format::ifAdmin, format::ifCompressed

    bool operator==(const TIndex&) const = default;
};

class TIndexList : public TQDBStringList<TIndex> {
public:
    TIndexList() : TQDBStringList<TIndex>(true, false) {}
};

// ---- implementation of the templates ----

template <typename Object>
bool TQDBStringList<Object>::find(std::string_view key, std::int32_t& position) const
{
    key = storeKey(key);
    std::int32_t lo = 0;
    std::int32_t hi = count() - 1;
    bool found = false;
    while (lo <= hi) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        const int order = compare(entries_.get(mid).key, key);
        if (order < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            found = found || order == 0;
        }
    }
    position = lo;
    return found;
}

template <typename Object>
std::int32_t TQDBStringList<Object>::add(std::string_view key, Object object)
{
    key = storeKey(key);
    std::int32_t position = count();
    if (sorted_ && find(key, position))
        raiseListDuplicateKey();
    try {
        entries_.insert(position, Entry{std::string(key), std::move(object)});
    } catch (const std::bad_alloc&) {
        raiseListNoMemory();
    }
    return position;
}

template <typename Object>
void TQDBStringList<Object>::reverseOnce()
{
    if (sorted_)
        return;
    for (std::int32_t i = 0, j = count() - 1; i < j; ++i, --j)
        entries_.swap(i, j);
    sorted_ = true;
}

template <typename Object>
void TQDBStringList<Object>::setCaseSensitive(bool caseSensitive)
{
    if (caseSensitive == caseSensitive_)
        return;
    caseSensitive_ = caseSensitive;
    if (caseSensitive_)
        return;
    for (std::int32_t i = count() - 1; i >= 1; --i)
        if (compareKeysIgnoringCase(key(i), key(i - 1)) == 0)
            remove(i);
}

} // namespace glimmora::store
