#pragma once
#include <span>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class BasicBlock;

// Checks the invariants every pass must keep and throws
// InvalidOperationException naming the first broken one:
//  - Blocks[i]->Index == i; successors lie inside the blocks; every edge
//    appears in the successor's Predecessors once per edge and nothing else
//    does;
//  - operation lists are well linked; phis lead their block;
//  - Branch/BranchIfTrue/BranchIfFalse only end a block, a block ending in
//    one has a Branch successor, a block ending in Branch/Return/Discard has
//    no Next;
//  - local-variable links: a local destination names its node as
//    Definition, each local source lists its node in Uses once per source
//    slot, and every node in a local's Uses is in these blocks and reads it.
// Tests run it after each pass; a pass must leave valid IR behind.
class IrVerifier {
public:
    static void Verify(std::span<BasicBlock* const> blocks);
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
