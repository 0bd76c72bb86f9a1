#pragma once
// Insertion-ordered set of node pointers with constant-time add, remove and
// lookup. The AST's use/definition sets and a function's locals shrink one
// element at a time while the optimiser rewrites the tree, so removal must not
// be linear in the set's size. Removed entries leave a hole that iteration
// skips; holes are compacted away once they outnumber live entries.
// Up to ScanLimit entries a scan replaces the hash index. The index is built
// when a lookup first needs it: a set filled by AddNew alone (a function's
// locals while the structurer runs) never pays for one until something is
// looked up or removed.
//
// Storage: the set itself is one pointer, null until the first node arrives:
// every AST operand carries two sets and most operands (constants) never use
// them. The entries and the index of a larger set live in one block taken
// from the AST arena of the nodes added (a set of locals and the sets that
// AstHelper keeps take their owner's arena), so the sets of a program need no
// destructor and go with its arena. A set that meets no arena (nodes made
// outside one, or pointers of another type) keeps its blocks on the heap and
// frees them itself.
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"

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
        T* operator*() const { return _set->_block->Items()[_pos]; }
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
            if (_set == nullptr || _set->_block == nullptr) return;
            T* const* items = _set->_block->Items();
            const std::size_t size = _set->_block->Size;
            while (_pos < size && items[_pos] == nullptr) ++_pos;
        }
        const AstNodeSet* _set = nullptr;
        std::size_t _pos = 0;
    };

    AstNodeSet() = default;
    AstNodeSet(const AstNodeSet&) = delete;
    AstNodeSet& operator=(const AstNodeSet&) = delete;
    ~AstNodeSet() {
        if (_block != nullptr && _block->Arena == nullptr) {
            ::operator delete(_block->Index);
            ::operator delete(_block);
        }
    }

    // Adds the node; adding it twice keeps one entry (at its first place).
    bool Add(T* node) { return Add(node, ArenaOf(node)); }
    // The same; a set without storage yet takes it from arena (the heap when
    // null).
    bool Add(T* node, AstArena* arena) {
        if (Find(node) != NotFound) return false;
        Append(node, arena);
        return true;
    }

    // Appends a node the caller knows is not in the set (a node just made),
    // without the lookup Add does first.
    void AddNew(T* node, AstArena* arena) { Append(node, arena); }

    bool Remove(T* node) {
        std::size_t pos = Find(node);
        if (pos == NotFound) return false;
        // The index finds a node through its entry: out of the index first.
        if (_block->Index != nullptr) Erase(node);
        _block->Items()[pos] = nullptr;
        _block->Live--;
        if (_block->Size > 16 && std::size_t{_block->Live} * 2 < _block->Size) Compact();
        return true;
    }

    bool Contains(T* node) const { return Find(node) != NotFound; }
    std::size_t Count() const { return _block != nullptr ? _block->Live : 0; }
    bool empty() const { return Count() == 0; }

    // The live entries in insertion order, as a copy that stays valid while the
    // set is edited.
    std::vector<T*> Snapshot() const {
        std::vector<T*> result;
        result.reserve(Count());
        for (T* node : *this) result.push_back(node);
        return result;
    }

    // First live entry, or nullptr.
    T* First() const {
        const_iterator it = begin();
        return it == end() ? nullptr : *it;
    }

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, _block != nullptr ? _block->Size : 0); }

private:
    static constexpr std::size_t ScanLimit = 8;
    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);
    static constexpr uint32_t FirstCapacity = 2;
    static constexpr uint32_t FirstHeapCapacity = 32;

    // Node -> position in the entry list. Linear probing, twice the entry
    // list's capacity so at most half full, with backward-shift removal.
    // Only looked up, never iterated: hashing pointers cannot reach the output.
    // A slot holds only the position (the entry there has the node): a
    // quarter of the room of a node and position, and a set that grows keeps
    // an index of each size it passed through.
    static constexpr uint32_t EmptySlot = UINT32_MAX;
    // Header of the entries, which follow it in the same block.
    struct Block {
        AstArena* Arena;     // null: the block and index are heap memory of the set
        uint32_t Size;       // entries used, holes included
        uint32_t Capacity;   // entries the block holds
        uint32_t Live;       // entries that are not holes
        uint32_t IndexMask;  // slots - 1 while there is an index
        uint32_t* Index;
        T** Items() { return reinterpret_cast<T**>(this + 1); }
        T* const* Items() const { return reinterpret_cast<T* const*>(this + 1); }
    };

    static AstArena* ArenaOf(T* node) {
        if constexpr (std::is_base_of_v<IAstNode, T>) {
            return node != nullptr ? node->Arena() : nullptr;
        } else {
            return nullptr;
        }
    }

    static void* Allocate(AstArena* arena, std::size_t bytes) {
        return arena != nullptr ? arena->Allocate(bytes, alignof(Block)) : ::operator new(bytes);
    }

    // Moves the entries to a block of the given capacity; the index is rebuilt
    // for it. An arena block left behind is never touched again. Out of line
    // (as BuildIndex): the rare paths kept apart leave Append small enough to
    // inline into every node constructor that records a use.
    [[gnu::noinline]] void Grow(uint32_t capacity, AstArena* arena) {
        void* memory = Allocate(arena, sizeof(Block) + std::size_t{capacity} * sizeof(T*));
        auto* grown = ::new (memory) Block{arena, 0, capacity, 0, 0, nullptr};
        Block* old = _block;
        if (old != nullptr) {
            grown->Size = old->Size;
            grown->Live = old->Live;
            T* const* from = old->Items();
            T** to = grown->Items();
            for (uint32_t i = 0; i < old->Size; i++) to[i] = from[i];
        }
        _block = grown;
        if (old != nullptr) {
            const bool indexed = old->Index != nullptr;
            if (old->Arena == nullptr) {
                ::operator delete(old->Index);
                ::operator delete(old);
            }
            if (indexed) BuildIndex();
        }
    }

    // Appends without looking for the node; keeps an existing index current.
    void Append(T* node, AstArena* arena) {
        if (_block == nullptr) {
            // The first entry (most sets never get a second): a fresh block
            // that holds it, with nothing to copy or index. A heap set is a
            // function's locals, which grow to the size of the shader, so it
            // starts larger and reallocates less often.
            const uint32_t capacity = arena != nullptr ? FirstCapacity : FirstHeapCapacity;
            void* memory = Allocate(arena, sizeof(Block) + std::size_t{capacity} * sizeof(T*));
            _block = ::new (memory) Block{arena, 1, capacity, 1, 0, nullptr};
            _block->Items()[0] = node;
            return;
        }
        if (_block->Size == _block->Capacity) {
            if (_block->Capacity > UINT32_MAX / 4) throw Common::OverflowException("An AST node set is too large.");
            Grow(_block->Capacity * 2, _block->Arena);
        }
        const uint32_t pos = _block->Size++;
        _block->Items()[pos] = node;
        _block->Live++;
        if (_block->Index != nullptr) _block->Index[Probe(node)] = pos;
    }

    std::size_t Home(const T* key) const {
        // Fibonacci hashing: the high bits of the product mix every bit of
        // the address, including those above its alignment.
        const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(mixed >> 32) & _block->IndexMask;
    }

    // The key's slot, or the empty slot where it would go.
    std::size_t Probe(const T* key) const {
        const uint32_t mask = _block->IndexMask;
        const uint32_t* index = _block->Index;
        T* const* items = _block->Items();
        std::size_t slot = Home(key);
        while (index[slot] != EmptySlot && items[index[slot]] != key) slot = (slot + 1) & mask;
        return slot;
    }

    [[gnu::noinline]] void BuildIndex() {
        const std::size_t slots = std::size_t{_block->Capacity} * 2;
        void* memory = Allocate(_block->Arena, slots * sizeof(uint32_t));
        if (_block->Arena == nullptr) ::operator delete(_block->Index);
        _block->Index = static_cast<uint32_t*>(memory);
        _block->IndexMask = static_cast<uint32_t>(slots - 1);
        for (std::size_t i = 0; i < slots; i++) _block->Index[i] = EmptySlot;
        T* const* items = _block->Items();
        for (uint32_t i = 0; i < _block->Size; i++) {
            if (items[i] != nullptr) _block->Index[Probe(items[i])] = i;
        }
    }

    void Erase(const T* key) {
        uint32_t* index = _block->Index;
        T* const* items = _block->Items();
        const uint32_t mask = _block->IndexMask;
        std::size_t hole = Probe(key);
        if (index[hole] == EmptySlot) return;
        // Pull later entries of the probe run back into the hole unless
        // their home slot lies cyclically in (hole, next].
        for (std::size_t next = (hole + 1) & mask; index[next] != EmptySlot; next = (next + 1) & mask) {
            const std::size_t home = Home(items[index[next]]);
            const bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
            if (stays) continue;
            index[hole] = index[next];
            hole = next;
        }
        index[hole] = EmptySlot;
    }

    // Position of a live node (null is never a member).
    std::size_t Find(const T* node) const {
        if (node == nullptr || _block == nullptr) return NotFound;
        // The block is the set's own storage, not its observable state:
        // indexing it here changes no answer.
        if (_block->Index == nullptr && _block->Size > ScanLimit) const_cast<AstNodeSet*>(this)->BuildIndex();
        if (_block->Index != nullptr) {
            const uint32_t pos = _block->Index[Probe(node)];
            return pos == EmptySlot ? NotFound : pos;
        }
        T* const* items = _block->Items();
        for (uint32_t i = 0; i < _block->Size; i++) {
            if (items[i] == node) return i;
        }
        return NotFound;
    }

    void Compact() {
        T** items = _block->Items();
        uint32_t out = 0;
        for (uint32_t i = 0; i < _block->Size; i++) {
            T* node = items[i];
            if (node == nullptr) continue;
            if (_block->Index != nullptr) _block->Index[Probe(node)] = out;
            items[out++] = node;
        }
        _block->Size = out;
    }

    Block* _block = nullptr;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
