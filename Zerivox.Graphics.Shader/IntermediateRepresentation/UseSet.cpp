#include "Zerivox.Graphics.Shader/IntermediateRepresentation/UseSet.h"

#include <algorithm>
#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {
// Below this many entries a linear scan beats hashing; most locals have one
// or two readers.
constexpr std::size_t IndexThreshold = 16;
}  // namespace

UseSet::~UseSet() {
    if (_entries != _inline) delete[] _entries;
}

void UseSet::Grow() {
    if (_capacity > UINT32_MAX / 2) throw Common::OverflowException("An operand has too many readers.");
    uint32_t capacity = _capacity * 2;
    Entry* grown = new Entry[capacity];
    std::copy(_entries, _entries + _size, grown);
    if (_entries != _inline) delete[] _entries;
    _entries = grown;
    _capacity = capacity;
}

int UseSet::Find(const INode* node) const {
    if (node == nullptr) return -1;
    if (_index) {
        auto it = _index->find(node);
        return it == _index->end() ? -1 : static_cast<int>(it->second);
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
        if (_index) _index->clear();
    }
    if (_size == _capacity) Grow();
    _entries[_size++] = Entry{node, 1};
    _live++;
    if (_index) {
        (*_index)[node] = _size - 1;
    } else if (_size > IndexThreshold) {
        _index = std::make_unique<std::unordered_map<const INode*, uint32_t>>();
        for (uint32_t k = 0; k < _size; k++) {
            if (_entries[k].Node != nullptr) (*_index)[_entries[k].Node] = static_cast<uint32_t>(k);
        }
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
    if (_index) _index->erase(node);
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
    if (_index) {
        _index->clear();
        for (uint32_t k = 0; k < _size; k++) (*_index)[_entries[k].Node] = k;
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
