#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

AstOperand::AstOperand(const IntermediateRepresentation::Operand& operand)
    : AstNode(AstNodeKind::Operand), Type(operand.Type), Value(operand.Value) {}

} // namespace Zerivox::Graphics::Shader::StructuredIr
