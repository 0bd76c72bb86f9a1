#pragma once
// Result and source types of every IR instruction: the structurer declares
// local variables with them, its optimiser asks which instructions are unary,
// and the GLSL back end converts expressions with them.
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

struct InstructionInfo {
    // Type of the result; ArgumentException "Invalid operand for instruction
    // \"{inst}\"." for instructions without one.
    static Translation::AggregateType GetDestVarType(IntermediateRepresentation::Instruction inst);
    // Type of source index; IndexOutOfRangeException beyond the listed sources.
    static Translation::AggregateType GetSrcVarType(IntermediateRepresentation::Instruction inst, int32_t index);
    // Resolves the table's markers: Invalid is the instruction's own scalar
    // type (FP32, FP64 or S32 by its flags); Void throws as GetDestVarType.
    static Translation::AggregateType GetFinalVarType(Translation::AggregateType type,
                                                      IntermediateRepresentation::Instruction inst);
    // Whether the instruction takes exactly one source (Copy does,
    // TextureSample does not).
    static bool IsUnary(IntermediateRepresentation::Instruction inst);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
