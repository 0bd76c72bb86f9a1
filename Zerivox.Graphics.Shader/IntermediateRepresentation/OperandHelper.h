#pragma once
#include <bit>
#include <cstdint>

#include "Zerivox.Graphics.Shader/Decoders/Register.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation::OperandHelper {

// Every factory makes a new operand in the arena (no interning) and sets no
// Definition.

// The only way guest registers become operands: the zero register reads as
// Constant 0 and the true predicate as Constant -1, so the IR never reads or
// writes them as registers (and Copy into a constant is dropped).
inline Operand* Register(IrArena& arena, Decoders::Register reg) {
    if (reg.IsRZ()) return arena.NewOperand(OperandType::Constant, 0);
    if (reg.IsPT()) return arena.NewOperand(OperandType::Constant, -1);
    return arena.NewOperand(reg);
}
inline Operand* Register(IrArena& arena, int index, Decoders::RegisterType type) {
    return Register(arena, Decoders::Register(index, type));
}

inline Operand* MakeConstant(IrArena& arena, int32_t value) { return arena.NewOperand(OperandType::Constant, value); }
inline Operand* MakeFloatConstant(IrArena& arena, float value) {
    return arena.NewOperand(OperandType::Constant, std::bit_cast<int32_t>(value));
}
// slot in bits 27-31, word offset in bits 0-26.
inline Operand* MakeConstantBufferOperand(IrArena& arena, int slot, int offset) {
    uint32_t v = (static_cast<uint32_t>(slot) << 27) | (static_cast<uint32_t>(offset) & 0x7FFFFFFu);
    return arena.NewOperand(OperandType::ConstantBuffer, static_cast<int32_t>(v));
}
inline Operand* MakeLabel(IrArena& arena) { return arena.NewOperand(OperandType::Label); }
inline Operand* MakeLocal(IrArena& arena) { return arena.NewOperand(OperandType::LocalVariable); }
inline Operand* MakeArgument(IrArena& arena, int index) { return arena.NewOperand(OperandType::Argument, index); }
inline Operand* MakeUndefined(IrArena& arena) { return arena.NewOperand(OperandType::Undefined); }

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation::OperandHelper
