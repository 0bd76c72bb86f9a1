#pragma once
#include <span>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation {

// Basic blocks of one function with their edges and a post order.
class ControlFlowGraph {
public:
    using BasicBlock = IntermediateRepresentation::BasicBlock;
    using Operation = IntermediateRepresentation::Operation;

    // Blocks in program order (Blocks[i]->Index == i); block 0 is the entry.
    std::vector<BasicBlock*> Blocks;
    // Blocks reachable from the entry in post order of a depth-first walk
    // that tries Next before Branch (the entry is last).
    std::vector<BasicBlock*> PostOrderBlocks;
    // By block Index: position in PostOrderBlocks (0 for unreachable blocks).
    std::vector<int> PostOrderMap;

    // Computes the post order of the given blocks (entry first in the array).
    explicit ControlFlowGraph(std::vector<BasicBlock*> blocks);

    // Cuts a flat operation list into blocks: a MarkLabel starts a block (the
    // MarkLabel itself is dropped), a branch ends one; Return and Discard stop
    // fall-through. Blocks that nothing reaches through predecessor edges are
    // removed (the entry always stays). An empty list gives an empty graph.
    // A branch to a label that is never marked raises InvalidOperationException:
    // its block would sit outside the function with no index.
    static ControlFlowGraph Create(IntermediateRepresentation::IrArena& arena, std::span<Operation* const> operations);

    // True for an Operation whose Inst is Branch, Discard or Return.
    static bool EndsWithUnconditionalInst(const IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation
