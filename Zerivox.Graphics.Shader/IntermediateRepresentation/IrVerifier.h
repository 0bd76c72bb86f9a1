#pragma once
#include <cstdint>
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
//    slot, and every node in a local's Uses is in these blocks and reads it;
//  - dominance: the definition of every local an operation reads is in
//    these blocks and comes before it in its block or in a block that
//    dominates it; a phi's local source is defined in the edge's block or
//    in one that dominates it. A local without a definition is a value from
//    outside (hand-built IR's inputs); a call's source that the call
//    defines is a helper's out argument; a definition nobody reads may have
//    withdrawn its reads (the optimiser removes it later), which then do
//    not count. Dominators come from the edges as they are
//    now, not from the blocks' ImmediateDominator (which passes do not keep
//    up to date); reads in blocks the entry does not reach are not checked.
// Costs time near-linear in the size of the function.
class IrVerifier {
public:
    static void Verify(std::span<BasicBlock* const> blocks);

    // Verify, with the failure reading "IR invalid after <pass>: ...".
    static void VerifyAfter(const char* pass, std::span<BasicBlock* const> blocks);

    // A digest of everything a pass can change in the blocks: edges,
    // predecessors, the nodes in order with their instruction, fields,
    // destination and source objects and the kind and value of each operand.
    // Equal before and after a pass when the pass left the IR as it was
    // (node and operand identities count, so it compares only within one
    // translation). Linear in the size of what it covers.
    static uint64_t Fingerprint(std::span<BasicBlock* const> blocks);
    static uint64_t Fingerprint(const BasicBlock& block);
};

// Whether the translation pipeline verifies each function's IR after every
// pass, and checks that a pass reporting no change left the IR identical.
// Fixed when the library is built (CMake option ZV_VERIFY_IR, on for Debug,
// sanitizer, fuzzing and test builds): the release tool pays nothing, and a
// build that runs the tests checks every translation any test makes,
// including those of the tool itself.
#if defined(ZV_VERIFY_IR) && ZV_VERIFY_IR
inline constexpr bool VerifyIrAfterPasses = true;
#else
inline constexpr bool VerifyIrAfterPasses = false;
#endif

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
