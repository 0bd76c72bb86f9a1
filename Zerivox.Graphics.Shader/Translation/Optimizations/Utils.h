#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Pattern tests and IR edits shared by the optimisation and transform passes.
struct Utils {
    using BasicBlock = IntermediateRepresentation::BasicBlock;
    using INode = IntermediateRepresentation::INode;
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;

    // The texture operation the node is, else null. Inline, unlike
    // INode::AsTextureOperation: the bindless passes ask it of every node.
    static IntermediateRepresentation::TextureOperation* TextureOperationOf(INode* node) {
        return node->Kind() == IntermediateRepresentation::NodeKind::TextureOperation
                   ? static_cast<IntermediateRepresentation::TextureOperation*>(node)
                   : nullptr;
    }

    // An Operation whose Inst is exactly Load from the Input storage.
    static bool IsInputLoad(const INode* node);
    // The same, with exactly two constant sources naming the variable and component.
    static bool IsInputLoad(const INode* node, IntermediateRepresentation::IoVariable ioVariable, int component);

    // Equal Type and Value, and either one object or both constants (or both
    // constant-buffer words). Two distinct locals are never the same.
    static bool IsSameOperand(const Operand* x, const Operand* y);
    static bool AreAllSourcesEqual(const Operation* x, const Operation* y);
    static bool AreAllSourcesTheSameOperand(const INode* node);

    // The conditional branch that falls through into block, if any.
    static Operation* FindBranchSource(const BasicBlock* block);
    static bool IsSameCondition(const Operand* x, const Operand* y);
    // Both blocks are entered by falling through a conditional branch of the
    // same kind on the same condition.
    static bool BlockConditionsMatch(const BasicBlock* x, const BasicBlock* y);

    // Traces a value that reaches block through phis back to the operand that
    // holds there; the value itself when that cannot be decided.
    static Operand* FindLastOperation(Operand* value, const BasicBlock* block, bool recurse = true);

    // Operation::TurnInto for the rules of the optimiser's clean-up: the
    // rewritten operation and the definitions of the values it no longer
    // reads once rewritten get the revisit mark, so that the clean-up looks
    // at them again (the copy to propagate, the definitions that may now be
    // dead) without walking every node.
    static void TurnInto(Operation* operation, IntermediateRepresentation::Instruction newInst, Operand* source);

    // For the passes between the optimiser's two clean-ups, which edit an
    // operation in place: gives the revisit mark to the operation and to the
    // definitions of the values it reads now, so that the second clean-up,
    // which visits only marked nodes, looks at the operation again and at
    // whatever may die when the edit drops one of those values. Called before
    // the edit.
    static void MarkForCleanUp(Operation* operation);

    // Unlinks the node from its list, drops its sources (withdrawing their
    // uses) and its destinations. Does not cascade to definitions; it gives
    // them the revisit mark, since they may have lost their last reader.
    static void DeleteNode(Operation* operation);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
