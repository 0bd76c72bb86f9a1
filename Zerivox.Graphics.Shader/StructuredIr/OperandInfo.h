#pragma once
// Declared type of an operand as the back ends read it.
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandType.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstOperand;

struct OperandInfo {
    // VarType for a local variable, else the type of its operand kind.
    static Translation::AggregateType GetVarType(const AstOperand& operand);
    // S32 for Argument, Constant and Undefined; ArgumentException
    // "Invalid operand type \"{type}\"." for any other kind.
    static Translation::AggregateType GetVarType(IntermediateRepresentation::OperandType type);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
