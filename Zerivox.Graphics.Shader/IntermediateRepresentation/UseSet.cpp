#include "Zerivox.Graphics.Shader/IntermediateRepresentation/UseSet.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {
// Below this many entries a linear scan beats hashing; most locals have one
// or two readers.
constexpr std::size_t IndexThreshold = 16;
}  // namespace

int UseSet::Find(const INode* node) const {
    if (node == nullptr) return -1;
    if (_index) {
        auto it = _index->find(node);
        return it == _index->end() ? -1 : static_cast<int>(it->second);
    }
    for (std::size_t i = 0; i < _entries.size(); i++) {
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
    std::size_t blanks = _entries.size() - _live;
    if (blanks > IndexThreshold && blanks > _live) Compact();
    if (_live == 0 && !_entries.empty()) {
        _entries.clear();
        if (_index) _index->clear();
    }
    _entries.push_back(Entry{node, 1});
    _live++;
    if (_index) {
        (*_index)[node] = static_cast<uint32_t>(_entries.size() - 1);
    } else if (_entries.size() > IndexThreshold) {
        _index = std::make_unique<std::unordered_map<const INode*, uint32_t>>();
        for (std::size_t k = 0; k < _entries.size(); k++) {
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
    for (const Entry& e : _entries) {
        if (e.Node != nullptr) return e.Node;
    }
    return nullptr;
}

std::vector<INode*> UseSet::ToVector() const {
    std::vector<INode*> result;
    result.reserve(_live);
    for (const Entry& e : _entries) {
        if (e.Node != nullptr) result.push_back(e.Node);
    }
    return result;
}

void UseSet::Compact() {
    std::size_t w = 0;
    for (std::size_t r = 0; r < _entries.size(); r++) {
        if (_entries[r].Node != nullptr) _entries[w++] = _entries[r];
    }
    _entries.resize(w);
    if (_index) {
        _index->clear();
        for (std::size_t k = 0; k < _entries.size(); k++) (*_index)[_entries[k].Node] = static_cast<uint32_t>(k);
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
