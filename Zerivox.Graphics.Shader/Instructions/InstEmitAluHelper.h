#pragma once
// Integer ranges, predicate combination, byte/half extraction, condition-code
// flag updates and multiword arithmetic shared by the ALU emitters.
#include <cstdint>
#include <utility>

#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Instructions::InstEmitAluHelper {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;

// Range of an integer format as a signed 64-bit value; callers take its low
// 32 bits as a constant. 64-bit and unnamed formats throw ArgumentException
// "The type \"...\" is not a supported integer type.".
int64_t GetIntMin(Decoders::IDstFmt type);
int64_t GetIntMax(Decoders::IDstFmt type);
int64_t GetIntMin(Decoders::ISrcDstFmt type);
int64_t GetIntMax(Decoders::ISrcDstFmt type);

// a AND/OR/XOR b by boolOp; any other value returns a unchanged.
Operand* GetPredLogicalOp(EmitterContext& context, Decoders::BoolOp boolOp, Operand* a, Operand* b);

// Byte or half of value by select, zero- or sign-extended to 32 bits. The
// whole-word selections (6, 7, 14, 15) emit nothing and return value.
Operand* Extend(EmitterContext& context, Operand* value, Decoders::VectorSelect select);

// With setCC: zero flag := result == 0 (ANDed with the previous zero flag
// when extended, so a multiword value is zero only if every word was), then
// negative flag := result < 0 (signed). Carry and overflow are untouched.
void SetZnFlags(EmitterContext& context, Operand* result, bool setCC, bool extended = false);
// With setCC: zero flag := result == 0.0, negative flag := result < 0.0,
// compared in fpType (FP32 or FP64).
void SetFPZnFlags(EmitterContext& context, Operand* result, bool setCC, Instruction fpType = Instruction::FP32);

// sum := a + b; carry := 1 when the unsigned addition wrapped, else 0.
Operand* AddWithCarry(EmitterContext& context, Operand* a, Operand* b, Operand*& carry);

// Two's-complement negation of the 64-bit value (low, high); returns the new
// (low, high).
std::pair<Operand*, Operand*> NegateLong(EmitterContext& context, Operand* low, Operand* high);

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmitAluHelper
