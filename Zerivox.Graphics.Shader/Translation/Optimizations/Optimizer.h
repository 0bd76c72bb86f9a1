#pragma once
#include <span>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"

namespace Zerivox::Graphics::Shader::Translation {
class ResourceManager;
}
namespace Zerivox::Graphics::Shader::Translation::Transforms {
struct TransformContext;
}

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Optimises the blocks of one IR function in place: runs after SSA
// construction and before the transform passes. The blocks stay valid SSA IR.
struct Optimizer {
    using BasicBlock = IntermediateRepresentation::BasicBlock;
    using INode = IntermediateRepresentation::INode;
    using Operation = IntermediateRepresentation::Operation;
    using PhiNode = IntermediateRepresentation::PhiNode;

    static void RunPass(Transforms::TransformContext& context);

    // Folding, simplification, propagation and dead-node removal, repeated
    // until a round changes nothing. Each round is linear in the size of the
    // function: every node is visited at most once (after the first round
    // only those with the revisit mark, see INode::Revisit) and each edit
    // touches only the use lists of the values involved. With
    // onlyMarkedNodes the first round too visits only the marked nodes: for
    // a function already at the clean-up's fixed point whose later edits
    // marked every node they gave work to.
    static void RunOptimizationPasses(std::span<BasicBlock* const> blocks, ResourceManager& resourceManager,
                                      bool onlyMarkedNodes = false);

    // Unlinks node from its block and withdraws its uses. A definition that
    // becomes dead through this (no side effects, every destination a local
    // without uses) stops reading its own sources, and so on up the chain;
    // such definitions stay in their blocks until the clean-up loop meets
    // them. A definition that still has a used destination is left intact,
    // so every node left in a block stays registered with its sources.
    static void RemoveNode(BasicBlock* block, INode* node);
    // RemoveNode for the clean-up loop: the definitions that die with the
    // node leave their blocks at once. cursor is the loop's next node; it is
    // moved past any of them.
    static void RemoveNodeAndDeadDefinitions(BasicBlock* block, INode* node, INode*& cursor);

    // Every reader of the copy's destination reads the copy's source instead.
    static void PropagateCopy(Operation* copy);
    // Replaces the uses of a phi whose sources are all the same operand.
    static bool PropagatePhi(PhiNode* phi);
    // Turns half unpacks of the packed value into copies of the halves.
    static bool PropagatePack(Operation* packOp);
    // Turns the quad shuffle-and-add idiom into Ddx or Ddy.
    static bool MatchDdxOrDdy(Operation* operation);
    // (input * w) * (1.0 / w), w the fragment coordinate's w, becomes the input.
    // Both return whether they rewrote anything.
    static bool EliminateMultiplyByFragmentCoordW(BasicBlock* block);
    static bool EliminateMultiplyByFragmentCoordW(Operation* operation);

    static bool HasSideEffects(const INode* node);
    static bool DestIsLocalVar(const INode* node);
    static bool DestHasNoUses(const INode* node);
    // No side effects, writes locals only, and no destination is read.
    static bool IsDead(const INode* node);

  private:
    static void RemoveNode(BasicBlock* block, INode* node, bool unlinkDead, INode*& cursor);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
