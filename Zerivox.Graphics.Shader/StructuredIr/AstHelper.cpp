#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"

#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::OperandType;

static AstOperand* AsLocal(IAstNode* node) {
    AstOperand* operand = As<AstOperand>(node);
    return operand != nullptr && operand->Type == OperandType::LocalVariable ? operand : nullptr;
}

// The sets take their storage from the local's own arena: the user may be a
// node still under construction, which has no arena yet.
void AstHelper::AddUse(IAstNode* node, IAstNode* user) {
    if (AstOperand* local = AsLocal(node)) local->Uses.Add(user, local->Arena());
}

void AstHelper::AddDef(IAstNode* node, IAstNode* definer) {
    if (AstOperand* local = AsLocal(node)) local->Defs.Add(definer, local->Arena());
}

void AstHelper::RemoveUse(IAstNode* node, IAstNode* user) {
    if (AstOperand* local = AsLocal(node)) local->Uses.Remove(user);
}

void AstHelper::RemoveDef(IAstNode* node, IAstNode* definer) {
    if (AstOperand* local = AsLocal(node)) local->Defs.Remove(definer);
}

AstOperation* AstHelper::InverseCond(AstArena& arena, IAstNode* cond) {
    IAstNode* sources[] = {cond};
    return arena.New<AstOperation>(Instruction::LogicalNot, std::span<IAstNode* const>(sources));
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
