#pragma once
// Insertion-ordered set of node pointers with constant-time add, remove and
// lookup. The AST's use/definition sets and a function's locals shrink one
// element at a time while the optimiser rewrites the tree, so removal must not
// be linear in the set's size. Removed entries leave a hole that iteration
// skips; holes are compacted away once they outnumber live entries.
// Most sets hold one or two nodes: up to ScanLimit entries a scan replaces the
// hash index, so building the AST allocates no index per local, and the first
// InlineCapacity entries live in the set itself, so a local's use and
// definition sets usually allocate nothing at all. Everything a larger set
// needs sits behind one pointer: every AST operand carries two sets, most of
// them empty, so the set's own size is paid for every constant of a shader.
#include <cstddef>
#include <cstdint>
#include <memory>
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
        const_iterator(const AstNodeSet* set, std::size_t pos) : _set(set), _pos(pos) { Skip(); }
        T* operator*() const { return _set->Items()[_pos]; }
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
            T* const* items = _set->Items();
            std::size_t size = _set->Size();
            while (_pos < size && items[_pos] == nullptr) ++_pos;
        }
        const AstNodeSet* _set = nullptr;
        std::size_t _pos = 0;
    };

    // Adds the node; adding it twice keeps one entry (at its first place).
    bool Add(T* node) {
        if (Find(node) != NotFound) return false;
        PushBack(node);
        _live++;
        const std::size_t size = Size();
        if (Indexed()) {
            _spill->Index.Set(node, size - 1);
        } else if (size > ScanLimit) {
            _spill->Indexed = true;
            T* const* items = Items();
            for (std::size_t i = 0; i < size; i++) {
                if (items[i] != nullptr) _spill->Index.Set(items[i], i);
            }
        }
        return true;
    }

    bool Remove(T* node) {
        std::size_t pos = Find(node);
        if (pos == NotFound) return false;
        Items()[pos] = nullptr;
        _live--;
        if (Indexed()) _spill->Index.Erase(node);
        if (Size() > 16 && _live * 2 < Size()) Compact();
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
        for (T* node : *this) result.push_back(node);
        return result;
    }

    // First live entry, or nullptr.
    T* First() const {
        const_iterator it = begin();
        return it == end() ? nullptr : *it;
    }

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, Size()); }

private:
    static constexpr std::size_t ScanLimit = 8;
    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);

    // Node -> position in the entry list. Linear probing in one vector (at
    // most half full) with backward-shift removal, so adding or removing an
    // entry allocates only when the table grows. Only looked up, never
    // iterated: hashing pointers cannot reach the output.
    class PositionIndex {
    public:
        std::size_t Find(T* key) const {
            if (_slots.empty()) return NotFound;
            const Slot& slot = _slots[Probe(key)];
            return slot.Key == key ? slot.Pos : NotFound;
        }

        void Set(T* key, std::size_t pos) {
            if ((_count + 1) * 2 > _slots.size()) Grow();
            Slot& slot = _slots[Probe(key)];
            if (slot.Key == nullptr) _count++;
            slot = Slot{key, pos};
        }

        void Erase(T* key) {
            if (_slots.empty()) return;
            const std::size_t mask = _slots.size() - 1;
            std::size_t hole = Probe(key);
            if (_slots[hole].Key != key) return;
            // Pull later entries of the probe run back into the hole unless
            // their home slot lies cyclically in (hole, next].
            for (std::size_t next = (hole + 1) & mask; _slots[next].Key != nullptr; next = (next + 1) & mask) {
                const std::size_t home = Home(_slots[next].Key);
                const bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
                if (stays) continue;
                _slots[hole] = _slots[next];
                hole = next;
            }
            _slots[hole] = Slot{nullptr, 0};
            _count--;
        }

    private:
        struct Slot {
            T* Key;
            std::size_t Pos;
        };

        std::size_t Home(const T* key) const {
            // Fibonacci hashing: the high bits of the product mix every bit of
            // the address, including those above its alignment.
            const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
            return static_cast<std::size_t>(mixed >> 32) & (_slots.size() - 1);
        }

        // The key's slot, or the empty slot where it would go.
        std::size_t Probe(const T* key) const {
            const std::size_t mask = _slots.size() - 1;
            std::size_t slot = Home(key);
            while (_slots[slot].Key != nullptr && _slots[slot].Key != key) slot = (slot + 1) & mask;
            return slot;
        }

        void Grow() {
            std::vector<Slot> old = std::move(_slots);
            _slots.assign(old.empty() ? 32 : old.size() * 2, Slot{nullptr, 0});
            for (const Slot& entry : old) {
                if (entry.Key != nullptr) _slots[Probe(entry.Key)] = entry;
            }
        }

        std::vector<Slot> _slots; // empty or a power of two in size
        std::size_t _count = 0;
    };
    static constexpr std::size_t InlineCapacity = 3;

    // Position of a live node (null is never a member).
    std::size_t Find(T* node) const {
        if (node == nullptr) return NotFound;
        if (Indexed()) return _spill->Index.Find(node);
        T* const* items = Items();
        const std::size_t size = Size();
        for (std::size_t i = 0; i < size; i++) {
            if (items[i] == node) return i;
        }
        return NotFound;
    }

    // Entries (holes included) in insertion order: the inline slots until the
    // set first outgrows them, the spill vector from then on.
    T* const* Items() const { return _spill ? _spill->Items.data() : _inline; }
    T** Items() { return _spill ? _spill->Items.data() : _inline; }
    std::size_t Size() const { return _spill ? _spill->Items.size() : _inlineSize; }
    bool Indexed() const { return _spill && _spill->Indexed; }

    void PushBack(T* node) {
        if (!_spill) {
            if (_inlineSize < InlineCapacity) {
                _inline[_inlineSize++] = node;
                return;
            }
            auto spill = std::make_unique<Spill>();
            spill->Items.reserve(InlineCapacity * 2);
            spill->Items.assign(_inline, _inline + _inlineSize);
            _spill = std::move(spill);
        }
        _spill->Items.push_back(node);
    }

    void Compact() {
        T** items = Items();
        const std::size_t size = Size();
        std::size_t out = 0;
        for (std::size_t i = 0; i < size; i++) {
            T* node = items[i];
            if (node == nullptr) continue;
            if (Indexed()) _spill->Index.Set(node, out);
            items[out++] = node;
        }
        if (_spill) {
            _spill->Items.resize(out);
        } else {
            _inlineSize = static_cast<uint32_t>(out);
        }
    }

    // A set that has outgrown its inline slots.
    struct Spill {
        std::vector<T*> Items;
        PositionIndex Index; // filled once the set outgrows a scan
        bool Indexed = false;
    };

    T* _inline[InlineCapacity] = {};
    uint32_t _inlineSize = 0;
    std::size_t _live = 0;
    std::unique_ptr<Spill> _spill;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
