#include "Zerivox.Graphics.Shader/Translation/Dominance.h"

#include <algorithm>
#include <limits>
#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::Translation::Dominance {

using IntermediateRepresentation::BasicBlock;

void FindDominators(ControlFlowGraph& cfg) {
    if (cfg.Blocks.empty()) return;
    BasicBlock* entry = cfg.Blocks[0];
    entry->ImmediateDominator = entry;

    auto po = [&](const BasicBlock* b) { return cfg.PostOrderMap[static_cast<std::size_t>(b->Index)]; };

    auto intersect = [&](BasicBlock* b1, BasicBlock* b2) {
        while (b1 != b2) {
            while (po(b1) < po(b2)) b1 = b1->ImmediateDominator;
            while (po(b2) < po(b1)) b2 = b2->ImmediateDominator;
        }
        return b1;
    };

    bool modified;
    do {
        modified = false;
        for (int i = static_cast<int>(cfg.PostOrderBlocks.size()) - 2; i >= 0; i--) {
            BasicBlock* block = cfg.PostOrderBlocks[static_cast<std::size_t>(i)];
            BasicBlock* newIDom = nullptr;
            for (BasicBlock* pred : block->Predecessors) {
                if (pred->ImmediateDominator == nullptr) continue;
                newIDom = newIDom == nullptr ? pred : intersect(pred, newIDom);
            }
            if (block->ImmediateDominator != newIDom) {
                block->ImmediateDominator = newIDom;
                modified = true;
            }
        }
    } while (modified);
}

void FindDominanceFrontiers(std::span<BasicBlock* const> blocks) {
    for (BasicBlock* block : blocks) {
        if (block->Predecessors.size() < 2) continue;
        for (BasicBlock* pred : block->Predecessors) {
            // A predecessor the entry does not reach has no dominator chain,
            // and a merge the entry does not reach has no dominator to stop
            // at: the walk also stops at a block without a dominator and
            // after the entry, so it always ends.
            BasicBlock* current = pred;
            while (current != nullptr && current != block->ImmediateDominator) {
                current->DominanceFrontiers.Add(block);
                BasicBlock* up = current->ImmediateDominator;
                current = up == current ? nullptr : up;
            }
        }
    }
}

} // namespace Zerivox::Graphics::Shader::Translation::Dominance

namespace Zerivox::Graphics::Shader::Translation::Dominance {

namespace {

// Root level of a walk from a block the entry does not reach: its frontier
// is every join it branches to, since no block dominates it.
constexpr int32_t UnreachableRootLevel = std::numeric_limits<int32_t>::max() - 1;
constexpr int32_t Never = std::numeric_limits<int32_t>::max();

} // namespace

IteratedFrontier::IteratedFrontier(std::span<BasicBlock* const> blocks) {
    const std::size_t count = blocks.size();
    auto indexOf = [&](const BasicBlock* block) -> int32_t {
        auto index = static_cast<std::size_t>(block->Index);
        if (block->Index < 0 || index >= count || blocks[index] != block) {
            throw Common::InvalidOperationException("An edge or dominator leaves the function's blocks.");
        }
        return block->Index;
    };

    // Per block: level, threshold, two successors, children start (one
    // more), children, walked level, and the immediate dominator and a fill
    // cursor while building.
    _ints.assign(count * 9 + 1, -1);
    int32_t* cursor = _ints.data();
    auto take = [&](std::size_t n) {
        std::span<int32_t> part(cursor, n);
        cursor += n;
        return part;
    };
    _level = take(count);
    _threshold = take(count);
    _successors = take(count * 2);
    _childStart = take(count + 1);
    _children = take(count);
    _walkedLevel = take(count);
    std::span<int32_t> idom = take(count);
    std::span<int32_t> fill = take(count);
    _queries.assign(count * 2, 0u);
    _inResult = std::span<uint32_t>(_queries.data(), count);
    _walkedQuery = std::span<uint32_t>(_queries.data() + count, count);
    // A walk's stack holds each block at most once (every block has one
    // dominator), so this is all the room it ever takes.
    _stack.reserve(count);
    for (std::size_t i = 0; i < count; i++) {
        const BasicBlock* block = blocks[i];
        if (block->Index != static_cast<int32_t>(i)) {
            throw Common::InvalidOperationException("Block at position " + std::to_string(i) + " has index " +
                                                    std::to_string(block->Index) + ".");
        }
        if (block->Next() != nullptr) _successors[2 * i] = indexOf(block->Next());
        if (block->Branch() != nullptr) _successors[2 * i + 1] = indexOf(block->Branch());
        if (block->ImmediateDominator == nullptr) {
            _level[i] = 0;
        } else if (block->ImmediateDominator == block) {
            _level[i] = 1;
        } else {
            idom[i] = indexOf(block->ImmediateDominator);
        }
    }

    // Levels down the dominator tree; each block's chain is climbed once.
    for (std::size_t i = 0; i < count; i++) {
        int32_t b = static_cast<int32_t>(i);
        while (_level[static_cast<std::size_t>(b)] < 0) {
            _stack.push_back(b);
            b = idom[static_cast<std::size_t>(b)];
            if (_stack.size() > count) {
                throw Common::InvalidOperationException("The immediate dominators form a cycle.");
            }
        }
        int32_t level = _level[static_cast<std::size_t>(b)];
        if (level == 0 && !_stack.empty()) {
            throw Common::InvalidOperationException("A block's immediate dominator is unreachable.");
        }
        while (!_stack.empty()) {
            _level[static_cast<std::size_t>(_stack.back())] = ++level;
            _stack.pop_back();
        }
    }

    // A walk from a root of level L reaches a join Y exactly when Y is in the
    // frontier of some block of the root's subtree: when Y's immediate
    // dominator lies above the root, which is when Y's level is at most L. A
    // join the entry does not reach is in the frontier of every block with
    // an edge to it and of all their dominators; the entry (and any block
    // that dominates itself) is in no frontier of its own.
    std::fill(_threshold.begin(), _threshold.end(), Never);
    for (std::size_t i = 0; i < count; i++) {
        if (blocks[i]->Predecessors.size() < 2) continue;
        _threshold[i] = _level[i] == 0 ? 1 : (idom[i] < 0 ? 2 : _level[i]);
    }

    std::fill(_childStart.begin(), _childStart.end(), 0);
    for (std::size_t i = 0; i < count; i++) {
        if (idom[i] >= 0) _childStart[static_cast<std::size_t>(idom[i]) + 1]++;
    }
    for (std::size_t i = 0; i < count; i++) _childStart[i + 1] += _childStart[i];
    // Each block but the roots is one child.
    _children = _children.first(static_cast<std::size_t>(_childStart[count]));
    std::copy(_childStart.begin(), _childStart.end() - 1, fill.begin());
    for (std::size_t i = 0; i < count; i++) {
        if (idom[i] >= 0) _children[static_cast<std::size_t>(fill[static_cast<std::size_t>(idom[i])]++)] = static_cast<int32_t>(i);
    }
    std::fill(_walkedLevel.begin(), _walkedLevel.end(), 0);
}

std::span<const int32_t> IteratedFrontier::Compute(std::span<const int32_t> defs) {
    if (++_query == 0) {
        std::fill(_inResult.begin(), _inResult.end(), 0u);
        std::fill(_walkedQuery.begin(), _walkedQuery.end(), 0u);
        _query = 1;
    }
    _result.clear();
    _heap.clear();
    for (int32_t d : defs) {
        if (d < 0 || static_cast<std::size_t>(d) >= _level.size()) {
            throw Common::ArgumentOutOfRangeException("Block position " + std::to_string(d) +
                                                      " is outside the function.");
        }
        const int32_t level = _level[static_cast<std::size_t>(d)];
        _heap.emplace_back(level == 0 ? UnreachableRootLevel : level, d);
        std::push_heap(_heap.begin(), _heap.end());
    }
    // Deepest roots first: a shallower root's walk then stops at blocks a
    // deeper one has passed, whose joins it would take in only if the deeper
    // walk did. Roots found on the way are never deeper than the walk that
    // found them, except after a walk from a block the entry does not reach;
    // the level kept per block makes the walk correct in any order.
    while (!_heap.empty()) {
        std::pop_heap(_heap.begin(), _heap.end());
        const auto [level, root] = _heap.back();
        _heap.pop_back();
        Walk(root);
    }
    return _result;
}

void IteratedFrontier::Walk(int32_t root) {
    const int32_t rootLevel = _level[static_cast<std::size_t>(root)];
    const int32_t level = rootLevel == 0 ? UnreachableRootLevel : rootLevel;
    _stack.clear();
    _stack.push_back(root);
    while (!_stack.empty()) {
        const auto n = static_cast<std::size_t>(_stack.back());
        _stack.pop_back();
        if (_walkedQuery[n] == _query && _walkedLevel[n] >= level) continue;
        _walkedQuery[n] = _query;
        _walkedLevel[n] = level;
        for (std::size_t k = 0; k < 2; k++) {
            const int32_t s = _successors[2 * n + k];
            if (s >= 0 && _threshold[static_cast<std::size_t>(s)] <= level) Reach(s);
        }
        for (int32_t c = _childStart[n]; c < _childStart[n + 1]; c++) {
            _stack.push_back(_children[static_cast<std::size_t>(c)]);
        }
    }
}

void IteratedFrontier::Reach(int32_t block) {
    const auto b = static_cast<std::size_t>(block);
    if (_inResult[b] == _query) return;
    _inResult[b] = _query;
    _result.push_back(block);
    _heap.emplace_back(_level[b] == 0 ? UnreachableRootLevel : _level[b], block);
    std::push_heap(_heap.begin(), _heap.end());
}

} // namespace Zerivox::Graphics::Shader::Translation::Dominance
