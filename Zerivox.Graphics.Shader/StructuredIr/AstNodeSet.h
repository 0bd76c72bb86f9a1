#pragma once
// Insertion-ordered set of node pointers with constant-time add, remove and
// lookup. The AST's use/definition sets and a function's locals shrink one
// element at a time while the optimiser rewrites the tree, so removal must not
// be linear in the set's size. Removed entries leave a hole that iteration
// skips; holes are compacted away once they outnumber live entries.
// Most sets hold one or two nodes: up to ScanLimit entries a scan replaces the
// hash index, so building the AST allocates no index per local.
#include <cstddef>
#include <memory>
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
        if (Find(node) != NotFound) return false;
        _items.push_back(node);
        _live++;
        if (_index) {
            (*_index)[node] = _items.size() - 1;
        } else if (_items.size() > ScanLimit) {
            _index = std::make_unique<std::unordered_map<T*, std::size_t>>();
            for (std::size_t i = 0; i < _items.size(); i++) {
                if (_items[i] != nullptr) (*_index)[_items[i]] = i;
            }
        }
        return true;
    }

    bool Remove(T* node) {
        std::size_t pos = Find(node);
        if (pos == NotFound) return false;
        _items[pos] = nullptr;
        _live--;
        if (_index) _index->erase(node);
        if (_items.size() > 16 && _live * 2 < _items.size()) Compact();
        return true;
    }

    bool Contains(T* node) const { return Find(node) != NotFound; }
    std::size_t Count() const { return _live; }
    bool empty() const { return _live == 0; }

    // The live entries in insertion order, as a copy that stays valid while the
    // set is edited.
    std::vector<T*> Snapshot() const {
        std::vector<T*> result;
        result.reserve(_live);
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
    static constexpr std::size_t ScanLimit = 8;
    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);

    // Position of a live node (null is never a member).
    std::size_t Find(T* node) const {
        if (node == nullptr) return NotFound;
        if (_index) {
            auto it = _index->find(node);
            return it == _index->end() ? NotFound : it->second;
        }
        for (std::size_t i = 0; i < _items.size(); i++) {
            if (_items[i] == node) return i;
        }
        return NotFound;
    }

    void Compact() {
        std::size_t out = 0;
        for (T* node : _items) {
            if (node == nullptr) continue;
            if (_index) (*_index)[node] = out;
            _items[out++] = node;
        }
        _items.resize(out);
    }

    std::vector<T*> _items;
    std::size_t _live = 0;
    std::unique_ptr<std::unordered_map<T*, std::size_t>> _index; // built once the set outgrows a scan
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
