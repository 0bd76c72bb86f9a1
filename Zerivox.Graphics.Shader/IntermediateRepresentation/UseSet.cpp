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
// The first block: one or two readers are the common case.
constexpr uint32_t FirstCapacity = 2;

// Fibonacci hashing of the address: the low bits of a pointer are mostly
// alignment, so the high bits of the product pick the slot.
std::size_t Home(const INode* key, uint32_t mask) {
    const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(mixed >> 32) & mask;
}
}  // namespace

static_assert(sizeof(UseSet) == sizeof(void*));

void UseSet::Grow(INode* node, uint32_t capacity) {
    if (capacity > UINT32_MAX / 4) throw Common::OverflowException("An operand has too many readers.");
    static_assert(alignof(Block) >= alignof(Entry) && sizeof(Block) % alignof(Entry) == 0);
    void* memory = node->Arena().Bytes().Allocate(sizeof(Block) + std::size_t{capacity} * sizeof(Entry), alignof(Block));
    auto* grown = ::new (memory) Block{0, capacity, 0, 0, nullptr};
    if (_block != nullptr) {
        grown->Size = _block->Size;
        grown->Live = _block->Live;
        std::copy(_block->Entries(), _block->Entries() + _block->Size, grown->Entries());
    }
    // The old block stays in the arena: it is never touched again.
    const bool indexed = _block != nullptr && _block->Index != nullptr;
    _block = grown;
    if (indexed) BuildIndex(node);
}

std::size_t UseSet::IndexProbe(const INode* key) const {
    const uint32_t mask = _block->IndexMask;
    const uint32_t* index = _block->Index;
    const Entry* entries = _block->Entries();
    std::size_t slot = Home(key, mask);
    while (index[slot] != EmptySlot && entries[index[slot]].Node != key) slot = (slot + 1) & mask;
    return slot;
}

void UseSet::BuildIndex(INode* node) {
    const std::size_t slots = std::size_t{_block->Capacity} * 2;
    if (_block->Index == nullptr || _block->IndexMask + 1 != slots) {
        _block->Index = node->Arena().Bytes().AllocateArray<uint32_t>(slots);
        _block->IndexMask = static_cast<uint32_t>(slots - 1);
    }
    std::fill(_block->Index, _block->Index + slots, EmptySlot);
    const Entry* entries = _block->Entries();
    for (uint32_t k = 0; k < _block->Size; k++) {
        if (entries[k].Node != nullptr) _block->Index[IndexProbe(entries[k].Node)] = k;
    }
}

void UseSet::IndexErase(const INode* key) {
    uint32_t* index = _block->Index;
    const Entry* entries = _block->Entries();
    const uint32_t mask = _block->IndexMask;
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
    if (node == nullptr || _block == nullptr) return -1;
    if (_block->Index != nullptr) {
        const uint32_t pos = _block->Index[IndexProbe(node)];
        return pos == EmptySlot ? -1 : static_cast<int>(pos);
    }
    const Entry* entries = _block->Entries();
    for (uint32_t i = 0; i < _block->Size; i++) {
        if (entries[i].Node == node) return static_cast<int>(i);
    }
    return -1;
}

bool UseSet::Add(INode* node) {
    if (_block == nullptr) {
        Grow(node, FirstCapacity);
    } else {
        int i = Find(node);
        if (i >= 0) {
            _block->Entries()[static_cast<std::size_t>(i)].Refs++;
            return false;
        }
        // Compaction only happens here, never in Remove, so a walk that
        // removes entries keeps valid positions.
        std::size_t blanks = _block->Size - _block->Live;
        if (blanks > IndexThreshold && blanks > _block->Live) Compact();
        if (_block->Live == 0 && _block->Size != 0) {
            _block->Size = 0;
            if (_block->Index != nullptr) {
                std::fill(_block->Index, _block->Index + _block->IndexMask + 1, EmptySlot);
            }
        }
        if (_block->Size == _block->Capacity) Grow(node, _block->Capacity * 2);
    }
    const uint32_t pos = _block->Size++;
    _block->Entries()[pos] = Entry{node, 1};
    _block->Live++;
    if (_block->Index != nullptr) {
        _block->Index[IndexProbe(node)] = pos;
    } else if (_block->Size > IndexThreshold) {
        BuildIndex(node);
    }
    return true;
}

bool UseSet::Remove(INode* node) {
    int i = Find(node);
    if (i < 0) return false;
    Entry& e = _block->Entries()[static_cast<std::size_t>(i)];
    if (--e.Refs != 0) return false;
    // The index finds a node through its entry: out of the index first.
    if (_block->Index != nullptr) IndexErase(node);
    e.Node = nullptr;
    _block->Live--;
    return true;
}

uint32_t UseSet::RefCount(const INode* node) const {
    int i = Find(node);
    return i < 0 ? 0 : _block->Entries()[static_cast<std::size_t>(i)].Refs;
}

INode* UseSet::First() const {
    if (_block == nullptr) return nullptr;
    const Entry* entries = _block->Entries();
    for (uint32_t i = 0; i < _block->Size; i++) {
        if (entries[i].Node != nullptr) return entries[i].Node;
    }
    return nullptr;
}

std::vector<INode*> UseSet::ToVector() const {
    std::vector<INode*> result;
    if (_block == nullptr) return result;
    result.reserve(_block->Live);
    const Entry* entries = _block->Entries();
    for (uint32_t i = 0; i < _block->Size; i++) {
        if (entries[i].Node != nullptr) result.push_back(entries[i].Node);
    }
    return result;
}

void UseSet::Compact() {
    Entry* entries = _block->Entries();
    uint32_t w = 0;
    for (uint32_t r = 0; r < _block->Size; r++) {
        if (entries[r].Node != nullptr) entries[w++] = entries[r];
    }
    _block->Size = w;
    if (_block->Index != nullptr) {
        std::fill(_block->Index, _block->Index + _block->IndexMask + 1, EmptySlot);
        for (uint32_t k = 0; k < w; k++) _block->Index[IndexProbe(entries[k].Node)] = k;
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
