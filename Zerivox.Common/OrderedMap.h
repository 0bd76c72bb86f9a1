#pragma once
// Insertion-ordered map and set. Iteration follows first insertion; replacing
// the value of an existing key keeps its place. Used wherever iteration order
// reaches output, so that the same job always gives the same bytes.
//
// Entries live in one vector; lookups go through an open-addressing table of
// positions into it (none at all while the container is small: a scan is
// faster then). Neither allocates per entry, which matters because these
// containers are built afresh for every translation.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Common {

namespace Detail {

// Table of positions into an ordered entry vector. KeyAt(i) gives the key of
// entry i; the table holds position + 1 per used slot (0 = free).
template <typename K, typename Hash, typename Eq>
class PositionIndex {
public:
    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);
    // Up to this many entries a linear scan replaces the table.
    static constexpr std::size_t ScanLimit = 8;

    template <typename KeyAt>
    std::size_t Find(const K& key, std::size_t count, KeyAt keyAt) const {
        if (_slots.empty()) {
            for (std::size_t i = 0; i < count; i++) {
                if (Eq{}(keyAt(i), key)) return i;
            }
            return NotFound;
        }
        std::size_t mask = _slots.size() - 1;
        for (std::size_t slot = Home(key); ; slot = (slot + 1) & mask) {
            uint32_t entry = _slots[slot];
            if (entry == 0) return NotFound;
            if (Eq{}(keyAt(entry - 1), key)) return entry - 1;
        }
    }

    // Entry count - 1 was just appended.
    template <typename KeyAt>
    void Appended(std::size_t count, KeyAt keyAt) {
        if (_slots.empty() && count <= ScanLimit) return;
        if (count * 2 > _slots.size()) {
            Rebuild(count, keyAt);
        } else {
            Place(keyAt(count - 1), count - 1);
        }
    }

    // Positions or keys changed wholesale (removal, renamed key).
    template <typename KeyAt>
    void Rebuild(std::size_t count, KeyAt keyAt) {
        _slots.clear();
        if (count <= ScanLimit) return;
        if (count > UINT32_MAX / 4) throw OverflowException("Too many entries in an ordered map.");
        _slots.assign(std::bit_ceil(count * 4), 0u);
        for (std::size_t i = 0; i < count; i++) Place(keyAt(i), i);
    }

    void Clear() noexcept { _slots.clear(); }

    // Room for `expected` entries (count are there now) without rebuilding.
    template <typename KeyAt>
    void Reserve(std::size_t count, std::size_t expected, KeyAt keyAt) {
        if (expected <= ScanLimit || expected * 2 <= _slots.size()) return;
        if (expected > UINT32_MAX / 4) throw OverflowException("Too many entries in an ordered map.");
        _slots.assign(std::bit_ceil(expected * 4), 0u);
        for (std::size_t i = 0; i < count; i++) Place(keyAt(i), i);
    }

private:
    std::size_t Home(const K& key) const {
        // Spread identity-like hashes (small integers, aligned pointers)
        // over the table.
        uint64_t h = static_cast<uint64_t>(Hash{}(key)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(h >> 32) & (_slots.size() - 1);
    }

    void Place(const K& key, std::size_t position) {
        std::size_t mask = _slots.size() - 1;
        std::size_t slot = Home(key);
        while (_slots[slot] != 0) slot = (slot + 1) & mask;
        _slots[slot] = static_cast<uint32_t>(position + 1);
    }

    std::vector<uint32_t> _slots;
};

} // namespace Detail

template <typename K, typename V, typename Hash = std::hash<K>, typename Eq = std::equal_to<K>>
class OrderedMap {
public:
    using value_type = std::pair<K, V>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    // Inserts or replaces; returns true if the key was new.
    bool Set(const K& key, V value) {
        std::size_t pos = IndexOf(key);
        if (pos != NotFound) {
            _items[pos].second = std::move(value);
            return false;
        }
        Append(key, std::move(value));
        return true;
    }

    // Inserts only when absent; returns true if inserted.
    bool TryAdd(const K& key, V value) {
        if (IndexOf(key) != NotFound) return false;
        Append(key, std::move(value));
        return true;
    }

    V& operator[](const K& key) {
        std::size_t pos = IndexOf(key);
        if (pos != NotFound) return _items[pos].second;
        Append(key, V{});
        return _items.back().second;
    }

    V* Find(const K& key) {
        std::size_t pos = IndexOf(key);
        return pos == NotFound ? nullptr : &_items[pos].second;
    }
    const V* Find(const K& key) const {
        std::size_t pos = IndexOf(key);
        return pos == NotFound ? nullptr : &_items[pos].second;
    }
    bool TryGetValue(const K& key, V& out) const {
        const V* v = Find(key);
        if (v == nullptr) return false;
        out = *v;
        return true;
    }
    const V& At(const K& key) const {
        const V* v = Find(key);
        if (v == nullptr) throw KeyNotFoundException("The given key was not present in the dictionary.");
        return *v;
    }
    V& At(const K& key) {
        V* v = Find(key);
        if (v == nullptr) throw KeyNotFoundException("The given key was not present in the dictionary.");
        return *v;
    }
    bool Contains(const K& key) const { return IndexOf(key) != NotFound; }

    // Renames a key in place: the entry keeps its position and value. False when
    // oldKey is absent; ArgumentException when newKey is already another entry.
    bool ReplaceKey(const K& oldKey, const K& newKey) {
        std::size_t pos = IndexOf(oldKey);
        if (pos == NotFound) return false;
        if (Eq{}(oldKey, newKey)) return true;
        if (IndexOf(newKey) != NotFound) {
            throw ArgumentException("An item with the same key has already been added.");
        }
        _items[pos].first = newKey;
        _index.Rebuild(_items.size(), KeyAt());
        return true;
    }

    // Removal is O(n): it keeps the order of the remaining entries.
    bool Remove(const K& key) {
        std::size_t pos = IndexOf(key);
        if (pos == NotFound) return false;
        _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(pos));
        _index.Rebuild(_items.size(), KeyAt());
        return true;
    }

    void Clear() {
        _items.clear();
        _index.Clear();
    }
    // Room for count entries in all, so that adding them allocates nothing more.
    void Reserve(std::size_t count) {
        _items.reserve(count);
        _index.Reserve(_items.size(), count, KeyAt());
    }
    std::size_t Count() const { return _items.size(); }
    std::size_t size() const { return _items.size(); }
    bool empty() const { return _items.empty(); }
    iterator begin() { return _items.begin(); }
    iterator end() { return _items.end(); }
    const_iterator begin() const { return _items.begin(); }
    const_iterator end() const { return _items.end(); }
    const value_type& ItemAt(std::size_t i) const { return _items[i]; }

private:
    using Index = Detail::PositionIndex<K, Hash, Eq>;
    static constexpr std::size_t NotFound = Index::NotFound;

    auto KeyAt() const {
        return [this](std::size_t i) -> const K& { return _items[i].first; };
    }
    std::size_t IndexOf(const K& key) const { return _index.Find(key, _items.size(), KeyAt()); }
    void Append(const K& key, V value) {
        _items.emplace_back(key, std::move(value));
        _index.Appended(_items.size(), KeyAt());
    }

    std::vector<value_type> _items;
    Index _index;
};

template <typename K, typename Hash = std::hash<K>, typename Eq = std::equal_to<K>>
class OrderedSet {
public:
    using const_iterator = typename std::vector<K>::const_iterator;

    bool Add(const K& key) {
        if (IndexOf(key) != NotFound) return false;
        _items.push_back(key);
        _index.Appended(_items.size(), KeyAt());
        return true;
    }
    bool Contains(const K& key) const { return IndexOf(key) != NotFound; }
    bool Remove(const K& key) {
        std::size_t pos = IndexOf(key);
        if (pos == NotFound) return false;
        _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(pos));
        _index.Rebuild(_items.size(), KeyAt());
        return true;
    }
    void Clear() {
        _items.clear();
        _index.Clear();
    }
    std::size_t Count() const { return _items.size(); }
    std::size_t size() const { return _items.size(); }
    bool empty() const { return _items.empty(); }
    const_iterator begin() const { return _items.begin(); }
    const_iterator end() const { return _items.end(); }
    const K& ItemAt(std::size_t i) const { return _items[i]; }

private:
    using Index = Detail::PositionIndex<K, Hash, Eq>;
    static constexpr std::size_t NotFound = Index::NotFound;

    auto KeyAt() const {
        return [this](std::size_t i) -> const K& { return _items[i]; };
    }
    std::size_t IndexOf(const K& key) const { return _index.Find(key, _items.size(), KeyAt()); }

    std::vector<K> _items;
    Index _index;
};

} // namespace Zerivox::Common
