#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"

namespace Zerivox::Graphics::Shader::Translation::Dominance {

// Sets ImmediateDominator of every block reachable from the entry (the entry
// dominates itself); blocks the entry does not reach keep null. The blocks'
// ImmediateDominator must be null on entry.
void FindDominators(ControlFlowGraph& cfg);

// Fills DominanceFrontiers of every block; needs the immediate dominators.
// Walks from a predecessor without immediate dominator (one the entry does
// not reach) add nothing.
void FindDominanceFrontiers(std::span<IntermediateRepresentation::BasicBlock* const> blocks);

// The iterated dominance frontier of sets of blocks of one function: the
// closure of the frontiers FindDominanceFrontiers fills, with the same
// answers for blocks the entry does not reach, but without the frontier sets
// themselves. Those sets grow with the square of the depth of nested loops
// (every block of an inner loop has the heads of all loops around it in its
// frontier), and walking them for every defining block costs as much again.
// Here one query walks each block's dominator subtree and its edges at most
// once (the levels of the dominator tree tell which edges leave a subtree),
// so it costs time linear in the function. Needs the immediate dominators;
// each block's Index is its position in blocks.
class IteratedFrontier {
public:
    explicit IteratedFrontier(std::span<IntermediateRepresentation::BasicBlock* const> blocks);

    // Positions of the blocks in the iterated frontier of the blocks at the
    // positions in defs, in no fixed order. The span is valid until the next
    // call.
    std::span<const int32_t> Compute(std::span<const int32_t> defs);

private:
    void Walk(int32_t root);
    void Reach(int32_t block);

    // The per-block arrays below are views into two buffers allocated once
    // per function instead of a container each.
    std::vector<int32_t> _ints;
    std::vector<uint32_t> _queries;
    std::span<int32_t> _level;      // depth in the dominator tree, entry 1; 0 when unreachable
    std::span<int32_t> _threshold;  // least root level whose walk takes the block in; 0: never
    std::span<int32_t> _successors; // two per block, -1 for none
    std::span<int32_t> _childStart; // dominator-tree children of block i: _children[_childStart[i].._childStart[i+1])
    std::span<int32_t> _children;
    // Per query: the query number when a block is in the result, and the
    // highest root level a walk has passed the block with in this query.
    std::span<uint32_t> _inResult;
    std::span<uint32_t> _walkedQuery;
    std::span<int32_t> _walkedLevel;
    uint32_t _query = 0;
    std::vector<std::pair<int32_t, int32_t>> _heap; // (root level, block), deepest first
    std::vector<int32_t> _stack;
    std::vector<int32_t> _result;
};

} // namespace Zerivox::Graphics::Shader::Translation::Dominance
