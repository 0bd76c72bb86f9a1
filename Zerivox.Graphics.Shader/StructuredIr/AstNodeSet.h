#pragma once
// Insertion-ordered set of node pointers with constant-time add, remove and
// lookup. The AST's use/definition sets and a function's locals shrink one
// element at a time while the optimiser rewrites the tree, so removal must not
// be linear in the set's size. Removed entries leave a hole that iteration
// skips; holes are compacted away once they outnumber live entries.
#include <cstddef>
#include <unordered_map>
#include <vector>

namespace Zerivox::Graphics::Shader::StructuredIr {

template <typename T>
class AstNodeSet {
public:
    class const_iterator {
    public:
        using value_type = T*;
        using difference_type = std::ptrdiff_t;

        const_iterator() = default;
        const_iterator(const std::vector<T*>* items, std::size_t pos) : _items(items), _pos(pos) { Skip(); }
        T* operator*() const { return (*_items)[_pos]; }
        const_iterator& operator++() {
            ++_pos;
            Skip();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator& other) const { return _pos == other._pos; }

    private:
        void Skip() {
            while (_pos < _items->size() && (*_items)[_pos] == nullptr) ++_pos;
        }
        const std::vector<T*>* _items = nullptr;
        std::size_t _pos = 0;
    };

    // Adds the node; adding it twice keeps one entry (at its first place).
    bool Add(T* node) {
        auto [it, inserted] = _index.try_emplace(node, _items.size());
        if (inserted) _items.push_back(node);
        return inserted;
    }

    bool Remove(T* node) {
        auto it = _index.find(node);
        if (it == _index.end()) return false;
        _items[it->second] = nullptr;
        _index.erase(it);
        if (_items.size() > 16 && _index.size() * 2 < _items.size()) Compact();
        return true;
    }

    bool Contains(T* node) const { return _index.find(node) != _index.end(); }
    std::size_t Count() const { return _index.size(); }
    bool empty() const { return _index.empty(); }

    // The live entries in insertion order, as a copy that stays valid while the
    // set is edited.
    std::vector<T*> Snapshot() const {
        std::vector<T*> result;
        result.reserve(_index.size());
        for (T* node : _items) {
            if (node != nullptr) result.push_back(node);
        }
        return result;
    }

    // First live entry, or nullptr.
    T* First() const {
        for (T* node : _items) {
            if (node != nullptr) return node;
        }
        return nullptr;
    }

    const_iterator begin() const { return const_iterator(&_items, 0); }
    const_iterator end() const { return const_iterator(&_items, _items.size()); }

private:
    void Compact() {
        std::size_t out = 0;
        for (T* node : _items) {
            if (node == nullptr) continue;
            _index[node] = out;
            _items[out++] = node;
        }
        _items.resize(out);
    }

    std::vector<T*> _items;
    std::unordered_map<T*, std::size_t> _index;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
