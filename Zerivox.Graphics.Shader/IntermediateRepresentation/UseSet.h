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
// Storage: the set itself is one word, zero while nothing was ever added:
// every operand carries a set, and most operands (constants, registers) never
// get a reader entered. Most locals that do are read by one node through one
// source, so that reader sits in the word itself, tagged in its low bit (a
// node is pointer-aligned): no block until a second reader or a second
// reference comes. Otherwise the word points at one block in the IR arena of
// the nodes added (every node knows its arena) with the entries, their
// counts and the hash index of a large set; a set that outgrows its block
// moves to a bigger one and leaves the old one in the arena. Nothing here is
// freed on its own, so an operand needs no destructor and a translation's
// operands go with its arena at once.
//
// The word in its own form behaves as a block of one entry: removing the
// reader blanks the entry (the word keeps only the tag), so a walk sees the
// same positions either way.
class UseSet {
public:
    UseSet() = default;
    UseSet(const UseSet&) = delete;
    UseSet& operator=(const UseSet&) = delete;

    // One more reference from node; true when node was not listed before.
    // Inline: a set with no live reader takes its first one in the word.
    bool Add(INode* node) {
        if (_word <= InlineTag) {
            _word = reinterpret_cast<uintptr_t>(node) | InlineTag;
            return true;
        }
        return AddSlow(node);
    }
    // One reference less from node; true when node is no longer listed.
    // False when node was not listed at all.
    bool Remove(INode* node) {
        if (IsInline()) {
            if (node == nullptr || InlineNode() != node) return false;
            _word = InlineTag;
            return true;
        }
        return RemoveFromBlock(node);
    }
    bool Contains(const INode* node) const { return Find(node) >= 0; }
    // References that node holds (number of its sources that are this operand).
    uint32_t RefCount(const INode* node) const;

    // Number of distinct nodes listed.
    int Count() const {
        if (IsInline()) return _word != InlineTag ? 1 : 0;
        return _word != 0 ? static_cast<int>(GetBlock()->Live) : 0;
    }
    bool empty() const { return Count() == 0; }

    // First listed node, null when empty.
    INode* First() const;
    std::vector<INode*> ToVector() const;

    class const_iterator {
    public:
        using value_type = INode*;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        const_iterator(const UseSet* set, std::size_t pos) : _set(set), _pos(pos) { Skip(); }
        INode* operator*() const { return _set->NodeAt(_pos); }
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
            if (_set == nullptr) return;
            const std::size_t size = _set->Size();
            while (_pos < size && _set->NodeAt(_pos) == nullptr) ++_pos;
        }
        const UseSet* _set = nullptr;
        std::size_t _pos = 0;
    };

    const_iterator begin() const { return const_iterator(this, 0); }
    // End is taken at call time: a walk that removes entries still ends correctly.
    const_iterator end() const { return const_iterator(this, Size()); }

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

    // Low bit of the word: the word holds the one reader itself (or, with
    // no other bit set, its blanked entry). Zero: nothing ever added.
    static constexpr uintptr_t InlineTag = 1;

    bool IsInline() const { return (_word & InlineTag) != 0; }
    INode* InlineNode() const { return reinterpret_cast<INode*>(_word & ~InlineTag); }
    Block* GetBlock() const { return reinterpret_cast<Block*>(_word); }
    // Entries walked, blanks included.
    std::size_t Size() const {
        if (IsInline()) return 1;
        return _word != 0 ? GetBlock()->Size : 0;
    }
    // Node at a walk position below Size(); null for a blank.
    INode* NodeAt(std::size_t pos) const { return IsInline() ? InlineNode() : GetBlock()->Entries()[pos].Node; }

    bool AddSlow(INode* node);
    bool RemoveFromBlock(INode* node);
    int Find(const INode* node) const;
    void Compact();
    // A block of the given capacity with the current entries, from node's arena.
    void Grow(INode* node, uint32_t capacity);
    // (Re)builds the index over the live entries, in storage from node's arena.
    void BuildIndex(INode* node);
    std::size_t IndexProbe(const INode* key) const;
    void IndexErase(const INode* key);

    uintptr_t _word = 0;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
