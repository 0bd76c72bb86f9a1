#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Removes a conditional branch whose target is reached anyway: the next
// non-empty block begins with an unconditional branch to the same label.
struct BranchElimination {
    // True when the block's branch target was dropped; the caller then
    // removes the branch operation (the block's last node).
    static bool RunPass(IntermediateRepresentation::BasicBlock* block);
    static bool IsRedundantBranch(const IntermediateRepresentation::Operation* current,
                                  const IntermediateRepresentation::BasicBlock* next);
    // The first non-empty block on the fall-through road, or null. Passing an
    // empty block that has a branch target raises InvalidOperationException.
    static IntermediateRepresentation::BasicBlock* Next(const IntermediateRepresentation::BasicBlock* block);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
