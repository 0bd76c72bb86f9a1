#include "Zerivox.Graphics.Shader/IntermediateRepresentation/UseSet.h"

#include <algorithm>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {
// Below this many entries a linear scan beats hashing; most locals have one
// or two readers.
constexpr std::size_t IndexThreshold = 16;

// Fibonacci hashing of the address: the low bits of a pointer are mostly
// alignment, so the high bits of the product pick the slot.
std::size_t Home(const INode* key, uint32_t mask) {
    const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(mixed >> 32) & mask;
}
}  // namespace

void UseSet::Grow(INode* node) {
    if (_capacity > UINT32_MAX / 4) throw Common::OverflowException("An operand has too many readers.");
    uint32_t capacity = _capacity * 2;
    Entry* grown = node->Arena().Bytes().AllocateArray<Entry>(capacity);
    std::copy(_entries, _entries + _size, grown);
    // The old array stays in the arena: it is never touched again.
    _entries = grown;
    _capacity = capacity;
    if (_index != nullptr) BuildIndex(node);
}

std::size_t UseSet::IndexProbe(const INode* key) const {
    std::size_t slot = Home(key, _indexMask);
    while (_index[slot].Key != nullptr && _index[slot].Key != key) slot = (slot + 1) & _indexMask;
    return slot;
}

void UseSet::BuildIndex(INode* node) {
    const std::size_t slots = std::size_t{_capacity} * 2;
    if (_index == nullptr || _indexMask + 1 != slots) {
        _index = node->Arena().Bytes().AllocateArray<IndexSlot>(slots);
        _indexMask = static_cast<uint32_t>(slots - 1);
    }
    std::fill(_index, _index + slots, IndexSlot{nullptr, 0});
    for (uint32_t k = 0; k < _size; k++) {
        if (_entries[k].Node != nullptr) _index[IndexProbe(_entries[k].Node)] = IndexSlot{_entries[k].Node, k};
    }
}

void UseSet::IndexErase(const INode* key) {
    std::size_t hole = IndexProbe(key);
    if (_index[hole].Key != key) return;
    // Pull later entries of the probe run back into the hole unless their
    // home slot lies cyclically in (hole, next].
    for (std::size_t next = (hole + 1) & _indexMask; _index[next].Key != nullptr; next = (next + 1) & _indexMask) {
        const std::size_t home = Home(_index[next].Key, _indexMask);
        const bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (stays) continue;
        _index[hole] = _index[next];
        hole = next;
    }
    _index[hole] = IndexSlot{nullptr, 0};
}

int UseSet::Find(const INode* node) const {
    if (node == nullptr) return -1;
    if (_index != nullptr) {
        const IndexSlot& slot = _index[IndexProbe(node)];
        return slot.Key == node ? static_cast<int>(slot.Pos) : -1;
    }
    for (uint32_t i = 0; i < _size; i++) {
        if (_entries[i].Node == node) return static_cast<int>(i);
    }
    return -1;
}

bool UseSet::Add(INode* node) {
    int i = Find(node);
    if (i >= 0) {
        _entries[static_cast<std::size_t>(i)].Refs++;
        return false;
    }
    // Compaction only happens here, never in Remove, so a walk that removes
    // entries keeps valid positions.
    std::size_t blanks = _size - _live;
    if (blanks > IndexThreshold && blanks > _live) Compact();
    if (_live == 0 && _size != 0) {
        _size = 0;
        if (_index != nullptr) std::fill(_index, _index + _indexMask + 1, IndexSlot{nullptr, 0});
    }
    if (_size == _capacity) Grow(node);
    _entries[_size++] = Entry{node, 1};
    _live++;
    if (_index != nullptr) {
        _index[IndexProbe(node)] = IndexSlot{node, _size - 1};
    } else if (_size > IndexThreshold) {
        BuildIndex(node);
    }
    return true;
}

bool UseSet::Remove(INode* node) {
    int i = Find(node);
    if (i < 0) return false;
    Entry& e = _entries[static_cast<std::size_t>(i)];
    if (--e.Refs != 0) return false;
    e.Node = nullptr;
    _live--;
    if (_index != nullptr) IndexErase(node);
    return true;
}

uint32_t UseSet::RefCount(const INode* node) const {
    int i = Find(node);
    return i < 0 ? 0 : _entries[static_cast<std::size_t>(i)].Refs;
}

INode* UseSet::First() const {
    for (uint32_t i = 0; i < _size; i++) {
        if (_entries[i].Node != nullptr) return _entries[i].Node;
    }
    return nullptr;
}

std::vector<INode*> UseSet::ToVector() const {
    std::vector<INode*> result;
    result.reserve(_live);
    for (uint32_t i = 0; i < _size; i++) {
        if (_entries[i].Node != nullptr) result.push_back(_entries[i].Node);
    }
    return result;
}

void UseSet::Compact() {
    uint32_t w = 0;
    for (uint32_t r = 0; r < _size; r++) {
        if (_entries[r].Node != nullptr) _entries[w++] = _entries[r];
    }
    _size = w;
    if (_index != nullptr) {
        std::fill(_index, _index + _indexMask + 1, IndexSlot{nullptr, 0});
        for (uint32_t k = 0; k < _size; k++) _index[IndexProbe(_entries[k].Node)] = IndexSlot{_entries[k].Node, k};
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
