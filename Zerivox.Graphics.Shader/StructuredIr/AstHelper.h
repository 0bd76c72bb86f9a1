#pragma once
// Use/definition bookkeeping of local variables and small tree helpers.
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;
class AstOperation;

struct AstHelper {
    // Only local-variable operands keep use and definition sets; for any
    // other node (or nullptr) these do nothing. Adding twice keeps one entry.
    // Inline: every source of every node made passes through here, and most
    // sources are constants that only need the test.
    // The sets take their storage from the local's own arena: the user may be
    // a node still under construction, which has no arena yet.
    static void AddUse(IAstNode* node, IAstNode* user) {
        if (AstOperand* local = AsLocal(node)) local->Uses.Add(user, local->Arena());
    }
    static void AddDef(IAstNode* node, IAstNode* definer) {
        if (AstOperand* local = AsLocal(node)) local->Defs.Add(definer, local->Arena());
    }
    static void RemoveUse(IAstNode* node, IAstNode* user) {
        if (AstOperand* local = AsLocal(node)) local->Uses.Remove(user);
    }
    static void RemoveDef(IAstNode* node, IAstNode* definer) {
        if (AstOperand* local = AsLocal(node)) local->Defs.Remove(definer);
    }

    // A new LogicalNot of cond.
    static AstOperation* InverseCond(AstArena& arena, IAstNode* cond);

    // Neighbours in the parent's list; nullptr at either end or when detached.
    static IAstNode* Next(const IAstNode* node) { return node->_next; }
    static IAstNode* Previous(const IAstNode* node) { return node->_prev; }

private:
    static AstOperand* AsLocal(IAstNode* node) {
        AstOperand* operand = As<AstOperand>(node);
        return operand != nullptr && operand->Type == IntermediateRepresentation::OperandType::LocalVariable ? operand
                                                                                                           : nullptr;
    }
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
