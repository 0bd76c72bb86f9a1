#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Maxwell builds 32-bit multiplies from 16x16-bit XMAD steps; the emitters
// translate each step literally. This pass finds the IR of a whole 32x32 or
// 32x16 product and replaces its last operation by one Multiply (plus an Add
// of the addend). It runs before any folding, so it looks through the copies
// and additions of zero the emitters leave. Only unsigned half selects match.
struct XmadOptimizer {
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;

    static void RunPass(IntermediateRepresentation::BasicBlock* block);

    // On success a and b are the factors and c the addend (null when none).
    static bool TryMatchXmad32x32Pattern(Operation* operation, Operand*& a, Operand*& b, Operand*& c);
    static bool TryMatchXmad32x16Pattern(Operation* operation, Operand*& a, Operand*& b, Operand*& c);

    static bool TryMatchLowTimesLow(Operation* operation, Operand*& a, Operand*& b, Operand*& c);
    static bool TryMatchLowTimesHigh(Operation* operation, Operand* a, Operand* b);
    static bool TryMatchHighTimesLow(Operation* operation, Operand* a, Operand* b);
    static bool TryMatchHighTimesHigh(Operation* operation, Operand* a, Operand* t);

    // x = BitwiseAnd(y, 0xFFFF) gives y; else null.
    static Operand* GetMasked16Source(Operand* x);
    // x = inst(y, 16) gives y; else null.
    static Operand* GetShifted16Source(Operand* x, IntermediateRepresentation::Instruction inst);
    // Follows Copy and Add(y, 0) back to the first other value.
    static Operand* GetCopySource(Operand* x);
    static bool IsCopy(const Operation* operation);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
