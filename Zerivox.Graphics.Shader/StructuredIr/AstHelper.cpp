#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"

#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;

AstOperation* AstHelper::InverseCond(AstArena& arena, IAstNode* cond) {
    IAstNode* sources[] = {cond};
    return arena.New<AstOperation>(Instruction::LogicalNot, std::span<IAstNode* const>(sources));
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
