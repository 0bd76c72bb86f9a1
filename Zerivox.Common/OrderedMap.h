#pragma once
// Insertion-ordered map and set. Iteration follows first insertion; replacing
// the value of an existing key keeps its place. Used wherever iteration order
// reaches output, so that the same job always gives the same bytes.
#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Common {

template <typename K, typename V, typename Hash = std::hash<K>, typename Eq = std::equal_to<K>>
class OrderedMap {
public:
    using value_type = std::pair<K, V>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    // Inserts or replaces; returns true if the key was new.
    bool Set(const K& key, V value) {
        auto [it, inserted] = _index.try_emplace(key, _items.size());
        if (inserted) {
            _items.emplace_back(key, std::move(value));
        } else {
            _items[it->second].second = std::move(value);
        }
        return inserted;
    }

    // Inserts only when absent; returns true if inserted.
    bool TryAdd(const K& key, V value) {
        auto [it, inserted] = _index.try_emplace(key, _items.size());
        if (inserted) _items.emplace_back(key, std::move(value));
        return inserted;
    }

    V& operator[](const K& key) {
        auto [it, inserted] = _index.try_emplace(key, _items.size());
        if (inserted) _items.emplace_back(key, V{});
        return _items[it->second].second;
    }

    V* Find(const K& key) {
        auto it = _index.find(key);
        return it == _index.end() ? nullptr : &_items[it->second].second;
    }
    const V* Find(const K& key) const {
        auto it = _index.find(key);
        return it == _index.end() ? nullptr : &_items[it->second].second;
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
    bool Contains(const K& key) const { return _index.find(key) != _index.end(); }

    // Renames a key in place: the entry keeps its position and value. False when
    // oldKey is absent; ArgumentException when newKey is already another entry.
    bool ReplaceKey(const K& oldKey, const K& newKey) {
        auto it = _index.find(oldKey);
        if (it == _index.end()) return false;
        if (Eq{}(oldKey, newKey)) return true;
        if (_index.find(newKey) != _index.end()) {
            throw ArgumentException("An item with the same key has already been added.");
        }
        std::size_t pos = it->second;
        _index.erase(it);
        _index.emplace(newKey, pos);
        _items[pos].first = newKey;
        return true;
    }

    // Removal is O(n): it keeps the order of the remaining entries.
    bool Remove(const K& key) {
        auto it = _index.find(key);
        if (it == _index.end()) return false;
        std::size_t pos = it->second;
        _index.erase(it);
        _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(pos));
        for (auto& [k, idx] : _index) {
            if (idx > pos) --idx;
        }
        return true;
    }

    void Clear() {
        _items.clear();
        _index.clear();
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
    std::vector<value_type> _items;
    std::unordered_map<K, std::size_t, Hash, Eq> _index;
};

template <typename K, typename Hash = std::hash<K>, typename Eq = std::equal_to<K>>
class OrderedSet {
public:
    using const_iterator = typename std::vector<K>::const_iterator;

    bool Add(const K& key) {
        auto [it, inserted] = _index.try_emplace(key, _items.size());
        if (inserted) _items.push_back(key);
        return inserted;
    }
    bool Contains(const K& key) const { return _index.find(key) != _index.end(); }
    bool Remove(const K& key) {
        auto it = _index.find(key);
        if (it == _index.end()) return false;
        std::size_t pos = it->second;
        _index.erase(it);
        _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(pos));
        for (auto& [k, idx] : _index) {
            if (idx > pos) --idx;
        }
        return true;
    }
    void Clear() {
        _items.clear();
        _index.clear();
    }
    std::size_t Count() const { return _items.size(); }
    std::size_t size() const { return _items.size(); }
    bool empty() const { return _items.empty(); }
    const_iterator begin() const { return _items.begin(); }
    const_iterator end() const { return _items.end(); }
    const K& ItemAt(std::size_t i) const { return _items[i]; }

private:
    std::vector<K> _items;
    std::unordered_map<K, std::size_t, Hash, Eq> _index;
};

} // namespace Zerivox::Common
