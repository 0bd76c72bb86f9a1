#pragma once
// Use/definition bookkeeping of local variables and small tree helpers.
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;
class AstOperation;

struct AstHelper {
    // Only local-variable operands keep use and definition sets; for any
    // other node (or nullptr) these do nothing. Adding twice keeps one entry.
    static void AddUse(IAstNode* node, IAstNode* user);
    static void AddDef(IAstNode* node, IAstNode* definer);
    static void RemoveUse(IAstNode* node, IAstNode* user);
    static void RemoveDef(IAstNode* node, IAstNode* definer);

    // A new LogicalNot of cond.
    static AstOperation* InverseCond(AstArena& arena, IAstNode* cond);

    // Neighbours in the parent's list; nullptr at either end or when detached.
    static IAstNode* Next(const IAstNode* node) { return node->_next; }
    static IAstNode* Previous(const IAstNode* node) { return node->_prev; }
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
