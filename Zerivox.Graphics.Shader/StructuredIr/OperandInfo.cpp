#include "Zerivox.Graphics.Shader/StructuredIr/OperandInfo.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::OperandType;
using Translation::AggregateType;

AggregateType OperandInfo::GetVarType(const AstOperand& operand) {
    if (operand.Type == OperandType::LocalVariable) return operand.VarType;
    return GetVarType(operand.Type);
}

AggregateType OperandInfo::GetVarType(OperandType type) {
    switch (type) {
    case OperandType::Argument:
    case OperandType::Constant:
    case OperandType::Undefined:
        return AggregateType::S32;
    default: {
        std::string_view name = IntermediateRepresentation::OperandTypeName(type);
        std::string text = name.empty() ? std::to_string(static_cast<int32_t>(type)) : std::string(name);
        throw Common::ArgumentException("Invalid operand type \"" + text + "\".");
    }
    }
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
