#include "Zerivox.Graphics.Shader/CodeGen/AssignmentTarget.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::CodeGen {

using IntermediateRepresentation::OperandType;

const StructuredIr::AstOperand& GetAssignmentTarget(const StructuredIr::AstAssignment& assignment) {
    const auto* destination = StructuredIr::As<StructuredIr::AstOperand>(assignment.Destination());
    if (destination == nullptr)
        throw Common::InvalidOperationException("The destination of an assignment must be an operand.");
    if (destination->Type != OperandType::LocalVariable && destination->Type != OperandType::Argument) {
        throw Common::NotImplementedException(
            std::string(IntermediateRepresentation::OperandTypeName(destination->Type)));
    }
    return *destination;
}

} // namespace Zerivox::Graphics::Shader::CodeGen
