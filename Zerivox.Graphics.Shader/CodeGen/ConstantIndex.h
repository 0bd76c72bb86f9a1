#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"

namespace Zerivox::Graphics::Shader::CodeGen {

// Whether an index names, by a constant, an element beyond an array of
// arrayLength elements (0: unsized, never). No such element exists: GLSL
// refuses the index and a module's access would be undefined (local and
// shared memories have no robust access on the host), so both back ends
// let such a load read 0 and such a store or atomic change nothing.
inline bool IsConstantIndexBeyond(const StructuredIr::IAstNode* index, int32_t arrayLength) {
    const auto* operand = StructuredIr::As<StructuredIr::AstOperand>(index);
    return operand != nullptr && operand->Type == IntermediateRepresentation::OperandType::Constant &&
           arrayLength > 0 && (operand->Value < 0 || operand->Value >= arrayLength);
}

} // namespace Zerivox::Graphics::Shader::CodeGen
