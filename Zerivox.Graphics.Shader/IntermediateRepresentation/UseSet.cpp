#include "Zerivox.Graphics.Shader/IntermediateRepresentation/UseSet.h"

#include <algorithm>
#include <new>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {
// Below this many entries a linear scan beats hashing; most locals have one
// or two readers.
constexpr std::size_t IndexThreshold = 16;
// The first block: the reader the word held, the one that pushed it out and
// room for two more (on real shaders four grows less often than two).
constexpr uint32_t FirstCapacity = 4;

// Fibonacci hashing of the address: the low bits of a pointer are mostly
// alignment, so the high bits of the product pick the slot.
std::size_t Home(const INode* key, uint32_t mask) {
    const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(mixed >> 32) & mask;
}
}  // namespace

static_assert(sizeof(UseSet) == sizeof(void*));
static_assert(alignof(INode) > 1, "the low bit of a node address tags a reader kept in the set's word");

void UseSet::Grow(INode* node, uint32_t capacity) {
    if (capacity > UINT32_MAX / 4) throw Common::OverflowException("An operand has too many readers.");
    static_assert(alignof(Block) >= alignof(Entry) && sizeof(Block) % alignof(Entry) == 0);
    void* memory = node->Arena().Bytes().Allocate(sizeof(Block) + std::size_t{capacity} * sizeof(Entry), alignof(Block));
    auto* grown = ::new (memory) Block{0, capacity, 0, 0, nullptr};
    if (IsInline()) {
        // The word's entry moves out as it is, blank or not.
        INode* inlineNode = InlineNode();
        grown->Entries()[0] = Entry{inlineNode, 1};
        grown->Size = 1;
        grown->Live = inlineNode != nullptr ? 1 : 0;
        _word = reinterpret_cast<uintptr_t>(grown);
        return;
    }
    Block* old = GetBlock();
    if (old != nullptr) {
        grown->Size = old->Size;
        grown->Live = old->Live;
        std::copy(old->Entries(), old->Entries() + old->Size, grown->Entries());
    }
    // The old block stays in the arena: it is never touched again.
    const bool indexed = old != nullptr && old->Index != nullptr;
    _word = reinterpret_cast<uintptr_t>(grown);
    if (indexed) BuildIndex(node);
}

std::size_t UseSet::IndexProbe(const INode* key) const {
    const Block* block = GetBlock();
    const uint32_t mask = block->IndexMask;
    const uint32_t* index = block->Index;
    const Entry* entries = block->Entries();
    std::size_t slot = Home(key, mask);
    while (index[slot] != EmptySlot && entries[index[slot]].Node != key) slot = (slot + 1) & mask;
    return slot;
}

void UseSet::BuildIndex(INode* node) {
    Block* block = GetBlock();
    const std::size_t slots = std::size_t{block->Capacity} * 2;
    if (block->Index == nullptr || block->IndexMask + 1 != slots) {
        block->Index = node->Arena().Bytes().AllocateArray<uint32_t>(slots);
        block->IndexMask = static_cast<uint32_t>(slots - 1);
    }
    std::fill(block->Index, block->Index + slots, EmptySlot);
    const Entry* entries = block->Entries();
    for (uint32_t k = 0; k < block->Size; k++) {
        if (entries[k].Node != nullptr) block->Index[IndexProbe(entries[k].Node)] = k;
    }
}

void UseSet::IndexErase(const INode* key) {
    Block* block = GetBlock();
    uint32_t* index = block->Index;
    const Entry* entries = block->Entries();
    const uint32_t mask = block->IndexMask;
    std::size_t hole = IndexProbe(key);
    if (index[hole] == EmptySlot) return;
    // Pull later entries of the probe run back into the hole unless their
    // home slot lies cyclically in (hole, next].
    for (std::size_t next = (hole + 1) & mask; index[next] != EmptySlot; next = (next + 1) & mask) {
        const std::size_t home = Home(entries[index[next]].Node, mask);
        const bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (stays) continue;
        index[hole] = index[next];
        hole = next;
    }
    index[hole] = EmptySlot;
}

int UseSet::Find(const INode* node) const {
    if (node == nullptr || _word == 0) return -1;
    if (IsInline()) return InlineNode() == node ? 0 : -1;
    const Block* block = GetBlock();
    if (block->Index != nullptr) {
        const uint32_t pos = block->Index[IndexProbe(node)];
        return pos == EmptySlot ? -1 : static_cast<int>(pos);
    }
    const Entry* entries = block->Entries();
    for (uint32_t i = 0; i < block->Size; i++) {
        if (entries[i].Node == node) return static_cast<int>(i);
    }
    return -1;
}

// A set with a live reader in its word, or with a block.
bool UseSet::AddSlow(INode* node) {
    if (IsInline()) {
        // A second reference from the one reader needs a count: out to a block.
        const bool isNew = InlineNode() != node;
        Grow(node, FirstCapacity);
        if (!isNew) {
            GetBlock()->Entries()[0].Refs++;
            return false;
        }
    } else {
        Block* block = GetBlock();
        int i = Find(node);
        if (i >= 0) {
            block->Entries()[static_cast<std::size_t>(i)].Refs++;
            return false;
        }
        // Compaction only happens here, never in Remove, so a walk that
        // removes entries keeps valid positions.
        std::size_t blanks = block->Size - block->Live;
        if (blanks > IndexThreshold && blanks > block->Live) Compact();
        if (block->Live == 0 && block->Size != 0) {
            block->Size = 0;
            if (block->Index != nullptr) {
                std::fill(block->Index, block->Index + block->IndexMask + 1, EmptySlot);
            }
        }
        if (block->Size == block->Capacity) Grow(node, block->Capacity * 2);
    }
    Block* block = GetBlock();
    const uint32_t pos = block->Size++;
    block->Entries()[pos] = Entry{node, 1};
    block->Live++;
    if (block->Index != nullptr) {
        block->Index[IndexProbe(node)] = pos;
    } else if (block->Size > IndexThreshold) {
        BuildIndex(node);
    }
    return true;
}

bool UseSet::RemoveFromBlock(INode* node) {
    int i = Find(node);
    if (i < 0) return false;
    Block* block = GetBlock();
    Entry& e = block->Entries()[static_cast<std::size_t>(i)];
    if (--e.Refs != 0) return false;
    // The index finds a node through its entry: out of the index first.
    if (block->Index != nullptr) IndexErase(node);
    e.Node = nullptr;
    block->Live--;
    return true;
}

uint32_t UseSet::RefCount(const INode* node) const {
    int i = Find(node);
    if (i < 0) return 0;
    return IsInline() ? 1 : GetBlock()->Entries()[static_cast<std::size_t>(i)].Refs;
}

INode* UseSet::First() const {
    const std::size_t size = Size();
    for (std::size_t i = 0; i < size; i++) {
        if (INode* node = NodeAt(i)) return node;
    }
    return nullptr;
}

std::vector<INode*> UseSet::ToVector() const {
    std::vector<INode*> result;
    if (_word == 0) return result;
    result.reserve(static_cast<std::size_t>(Count()));
    const std::size_t size = Size();
    for (std::size_t i = 0; i < size; i++) {
        if (INode* node = NodeAt(i)) result.push_back(node);
    }
    return result;
}

void UseSet::Compact() {
    Block* block = GetBlock();
    Entry* entries = block->Entries();
    uint32_t w = 0;
    for (uint32_t r = 0; r < block->Size; r++) {
        if (entries[r].Node != nullptr) entries[w++] = entries[r];
    }
    block->Size = w;
    if (block->Index != nullptr) {
        std::fill(block->Index, block->Index + block->IndexMask + 1, EmptySlot);
        for (uint32_t k = 0; k < w; k++) block->Index[IndexProbe(entries[k].Node)] = k;
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
