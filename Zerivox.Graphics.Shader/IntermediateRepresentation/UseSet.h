#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class INode;

// The nodes that read an operand, in first-insertion order (the order reaches
// output through the passes that walk uses).
//
// A node that reads the operand through several sources is listed once but
// counted once per source: Add and Remove are called once per source slot, so
// replacing one of two identical sources keeps the node listed. A plain set
// would forget the second reader and later passes would miss a use.
//
// Walking while removing (including the walked node) is safe: removal only
// blanks an entry. Adding during a walk is not: take ToVector() first.
//
// Storage: the set itself is one pointer, null while nothing was ever added:
// every operand carries a set, and most operands (constants, registers) never
// get a reader entered. The entries, their counts and the hash index of a
// large set live in one block in the IR arena of the nodes added (every node
// knows its arena); a set that outgrows its block moves to a bigger one and
// leaves the old one in the arena. Nothing here is freed on its own, so an
// operand needs no destructor and a translation's operands go with its arena
// at once.
class UseSet {
public:
    UseSet() = default;
    UseSet(const UseSet&) = delete;
    UseSet& operator=(const UseSet&) = delete;

    // One more reference from node; true when node was not listed before.
    bool Add(INode* node);
    // One reference less from node; true when node is no longer listed.
    // False when node was not listed at all.
    bool Remove(INode* node);
    bool Contains(const INode* node) const { return Find(node) >= 0; }
    // References that node holds (number of its sources that are this operand).
    uint32_t RefCount(const INode* node) const;

    // Number of distinct nodes listed.
    int Count() const { return _block != nullptr ? static_cast<int>(_block->Live) : 0; }
    bool empty() const { return _block == nullptr || _block->Live == 0; }

    // First listed node, null when empty.
    INode* First() const;
    std::vector<INode*> ToVector() const;

    class const_iterator {
    public:
        using value_type = INode*;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        const_iterator(const UseSet* set, std::size_t pos) : _set(set), _pos(pos) { Skip(); }
        INode* operator*() const { return _set->_block->Entries()[_pos].Node; }
        const_iterator& operator++() {
            ++_pos;
            Skip();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator t = *this;
            ++*this;
            return t;
        }
        bool operator==(const const_iterator& o) const { return _pos == o._pos; }

    private:
        void Skip() {
            if (_set == nullptr || _set->_block == nullptr) return;
            const Block* block = _set->_block;
            while (_pos < block->Size && block->Entries()[_pos].Node == nullptr) ++_pos;
        }
        const UseSet* _set = nullptr;
        std::size_t _pos = 0;
    };

    const_iterator begin() const { return const_iterator(this, 0); }
    // End is taken at call time: a walk that removes entries still ends correctly.
    const_iterator end() const { return const_iterator(this, _block != nullptr ? _block->Size : 0); }

private:
    struct Entry {
        INode* Node;
        uint32_t Refs;
    };
    // Node -> position in the entry list, open addressing with linear
    // probing; twice the entry list's capacity, so never more than half full.
    // A slot holds only the position (the entry there has the node): a
    // quarter of the room of a node and position, and an operand read by
    // thousands of nodes keeps an index of each size it grew through.
    static constexpr uint32_t EmptySlot = UINT32_MAX;
    // Header of the entries, which follow it in the same block.
    struct Block {
        uint32_t Size;      // entries used, blanks included (insertion order)
        uint32_t Capacity;  // entries the block holds
        uint32_t Live;      // entries not blanked
        uint32_t IndexMask; // slots - 1 while there is an index
        uint32_t* Index;    // built once the set grows past a scan
        Entry* Entries() { return reinterpret_cast<Entry*>(this + 1); }
        const Entry* Entries() const { return reinterpret_cast<const Entry*>(this + 1); }
    };

    int Find(const INode* node) const;
    void Compact();
    // A block of the given capacity with the current entries, from node's arena.
    void Grow(INode* node, uint32_t capacity);
    // (Re)builds the index over the live entries, in storage from node's arena.
    void BuildIndex(INode* node);
    std::size_t IndexProbe(const INode* key) const;
    void IndexErase(const INode* key);

    Block* _block = nullptr;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
