#pragma once
#include <span>

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

} // namespace Zerivox::Graphics::Shader::Translation::Dominance
