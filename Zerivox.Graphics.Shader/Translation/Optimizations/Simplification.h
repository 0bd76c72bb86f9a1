#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Integer algebraic identities: neutral and absorbing operands, the XOR
// swap, a comparison tested against zero and a select on a constant
// condition. Rewrites only through Utils::TurnInto(Copy, ...); never adds,
// moves or removes nodes. Operations with a float flag are left alone.
struct Simplification {
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;

    static void RunPass(Operation* operation);

    static void TryEliminateBitwiseAnd(Operation* operation);
    static void TryEliminateBitwiseOr(Operation* operation);
    static bool TryEliminateXorSwap(Operation* xCopyOp);
    static void TryEliminateBinaryOpCommutative(Operation* operation, int32_t comparand);
    static void TryEliminateCompareNotEqual(Operation* operation);
    static void TryEliminateConditionalSelect(Operation* operation);

    // A Constant operand holding exactly value.
    static bool IsConstEqual(const Operand* operand, int32_t value);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
