#include "Zerivox.Graphics.Shader/Translation/Optimizations/ConstantFolding.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

namespace {

constexpr uint32_t I(Instruction inst) { return static_cast<uint32_t>(inst); }

int32_t Src(const Operation* op, int index) { return op->GetSource(index)->Value; }
uint32_t SrcU(const Operation* op, int index) { return static_cast<uint32_t>(op->GetSource(index)->Value); }
float SrcF(const Operation* op, int index) { return std::bit_cast<float>(op->GetSource(index)->Value); }

void ReplaceWith(Operation* op, int32_t value) {
    Operand* constant = OperandHelper::MakeConstant(op->Arena(), value);
    Utils::TurnInto(op, Instruction::Copy, constant);
}
void ReplaceWithU(Operation* op, uint32_t value) { ReplaceWith(op, static_cast<int32_t>(value)); }
void ReplaceWithBool(Operation* op, bool value) { ReplaceWith(op, value ? -1 : 0); }
void ReplaceWithF(Operation* op, float value) { ReplaceWith(op, std::bit_cast<int32_t>(value)); }

template <typename T> std::string ToDecimal(T value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

template <typename T> [[noreturn]] void ThrowClampRange(T min, T max) {
    throw Common::ArgumentException("'" + ToDecimal(min) + "' cannot be greater than " + ToDecimal(max) + ".");
}

void FoldClamp(Operation* op) {
    int32_t value = Src(op, 0), min = Src(op, 1), max = Src(op, 2);
    if (min > max)
        ThrowClampRange(min, max);
    ReplaceWith(op, value < min ? min : (value > max ? max : value));
}

void FoldClampU32(Operation* op) {
    uint32_t value = SrcU(op, 0), min = SrcU(op, 1), max = SrcU(op, 2);
    if (min > max)
        ThrowClampRange(min, max);
    ReplaceWithU(op, value < min ? min : (value > max ? max : value));
}

void FoldFPClamp(Operation* op) {
    float value = SrcF(op, 0), min = SrcF(op, 1), max = SrcF(op, 2);
    if (min > max)
        ThrowClampRange(min, max);
    // A NaN value compares false both ways and stays.
    ReplaceWithF(op, value < min ? min : (value > max ? max : value));
}

void FoldDivide(Operation* op) {
    int32_t a = Src(op, 0), b = Src(op, 1);
    if (b == 0) {
        ReplaceWith(op, 0);
    } else if (a == std::numeric_limits<int32_t>::min() && b == -1) {
        // The quotient does not fit; the two's complement wrap is what the
        // hardware division gives.
        ReplaceWith(op, a);
    } else {
        ReplaceWith(op, a / b);
    }
}

void FoldLoadConstantBuffer(ResourceManager& resourceManager, Operation* op) {
    if (op->StorageKind != StorageKind::ConstantBuffer || op->SourcesCount() != 4)
        return;

    int32_t binding = Src(op, 0);
    int32_t fieldIndex = Src(op, 1);
    int32_t slot;
    if (!resourceManager.TryGetConstantBufferSlot(binding, slot) || fieldIndex != 0)
        return;

    uint32_t vecIndex = SrcU(op, 2);
    uint32_t elemIndex = SrcU(op, 3);
    uint32_t offset = vecIndex * 4u + elemIndex;
    Operand* word = OperandHelper::MakeConstantBufferOperand(op->Arena(), slot, static_cast<int>(offset & 0x7FFFFFFu));
    Utils::TurnInto(op, Instruction::Copy, word);
}

} // namespace

void ConstantFolding::Fold(ResourceManager& resourceManager, Operation* operation) {
    Operation* op = operation;
    switch (static_cast<uint32_t>(op->Inst)) {
    case I(Instruction::Add):
        ReplaceWithU(op, SrcU(op, 0) + SrcU(op, 1));
        break;
    case I(Instruction::BitCount):
        ReplaceWith(op, BitCount(Src(op, 0)));
        break;
    case I(Instruction::BitfieldExtractS32):
        BitfieldExtractS32(op);
        break;
    case I(Instruction::BitfieldExtractU32):
        BitfieldExtractU32(op);
        break;
    case I(Instruction::BitwiseAnd):
        ReplaceWith(op, Src(op, 0) & Src(op, 1));
        break;
    case I(Instruction::BitwiseExclusiveOr):
        ReplaceWith(op, Src(op, 0) ^ Src(op, 1));
        break;
    case I(Instruction::BitwiseNot):
        ReplaceWith(op, ~Src(op, 0));
        break;
    case I(Instruction::BitwiseOr):
        ReplaceWith(op, Src(op, 0) | Src(op, 1));
        break;
    case I(Instruction::Clamp):
        FoldClamp(op);
        break;
    case I(Instruction::ClampU32):
        FoldClampU32(op);
        break;
    case I(Instruction::CompareEqual):
        ReplaceWithBool(op, Src(op, 0) == Src(op, 1));
        break;
    case I(Instruction::CompareGreater):
        ReplaceWithBool(op, Src(op, 0) > Src(op, 1));
        break;
    case I(Instruction::CompareGreaterOrEqual):
        ReplaceWithBool(op, Src(op, 0) >= Src(op, 1));
        break;
    case I(Instruction::CompareGreaterOrEqualU32):
        ReplaceWithBool(op, SrcU(op, 0) >= SrcU(op, 1));
        break;
    case I(Instruction::CompareGreaterU32):
        ReplaceWithBool(op, SrcU(op, 0) > SrcU(op, 1));
        break;
    case I(Instruction::CompareLess):
        ReplaceWithBool(op, Src(op, 0) < Src(op, 1));
        break;
    case I(Instruction::CompareLessOrEqual):
        ReplaceWithBool(op, Src(op, 0) <= Src(op, 1));
        break;
    case I(Instruction::CompareLessOrEqualU32):
        ReplaceWithBool(op, SrcU(op, 0) <= SrcU(op, 1));
        break;
    case I(Instruction::CompareLessU32):
        ReplaceWithBool(op, SrcU(op, 0) < SrcU(op, 1));
        break;
    case I(Instruction::CompareNotEqual):
        ReplaceWithBool(op, Src(op, 0) != Src(op, 1));
        break;
    case I(Instruction::Divide):
        FoldDivide(op);
        break;
    case I(Instruction::IsNan):
        ReplaceWithBool(op, std::isnan(SrcF(op, 0)));
        break;
    case I(Instruction::Load):
        FoldLoadConstantBuffer(resourceManager, op);
        break;
    case I(Instruction::Maximum):
        ReplaceWith(op, std::max(Src(op, 0), Src(op, 1)));
        break;
    case I(Instruction::MaximumU32):
        ReplaceWithU(op, std::max(SrcU(op, 0), SrcU(op, 1)));
        break;
    case I(Instruction::Minimum):
        ReplaceWith(op, std::min(Src(op, 0), Src(op, 1)));
        break;
    case I(Instruction::MinimumU32):
        ReplaceWithU(op, std::min(SrcU(op, 0), SrcU(op, 1)));
        break;
    case I(Instruction::Multiply):
        ReplaceWithU(op, SrcU(op, 0) * SrcU(op, 1));
        break;
    case I(Instruction::Negate):
        ReplaceWithU(op, 0u - SrcU(op, 0));
        break;
    case I(Instruction::ShiftLeft):
        ReplaceWithU(op, SrcU(op, 0) << (SrcU(op, 1) & 31u));
        break;
    case I(Instruction::ShiftRightS32):
        ReplaceWith(op, Src(op, 0) >> (SrcU(op, 1) & 31u));
        break;
    case I(Instruction::ShiftRightU32):
        ReplaceWithU(op, SrcU(op, 0) >> (SrcU(op, 1) & 31u));
        break;
    case I(Instruction::Subtract):
        ReplaceWithU(op, SrcU(op, 0) - SrcU(op, 1));
        break;
    case I(Instruction::UnpackHalf2x16):
        UnpackHalf2x16(op);
        break;

    case I(Instruction::FP32 | Instruction::Add):
        ReplaceWithF(op, SrcF(op, 0) + SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::Subtract):
        ReplaceWithF(op, SrcF(op, 0) - SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::Multiply):
        ReplaceWithF(op, SrcF(op, 0) * SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::Divide):
        ReplaceWithF(op, SrcF(op, 0) / SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::Negate):
        // Sign flip on the bits: also right for zeros and NaNs.
        ReplaceWithU(op, SrcU(op, 0) ^ 0x80000000u);
        break;
    case I(Instruction::FP32 | Instruction::Clamp):
        FoldFPClamp(op);
        break;
    case I(Instruction::FP32 | Instruction::CompareEqual):
        ReplaceWithBool(op, SrcF(op, 0) == SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::CompareGreater):
        ReplaceWithBool(op, SrcF(op, 0) > SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::CompareGreaterOrEqual):
        ReplaceWithBool(op, SrcF(op, 0) >= SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::CompareLess):
        ReplaceWithBool(op, SrcF(op, 0) < SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::CompareLessOrEqual):
        ReplaceWithBool(op, SrcF(op, 0) <= SrcF(op, 1));
        break;
    case I(Instruction::FP32 | Instruction::CompareNotEqual):
        // Unordered: a NaN on either side counts as different.
        ReplaceWithBool(op, !(SrcF(op, 0) == SrcF(op, 1)));
        break;
    default:
        break;
    }
}

int32_t ConstantFolding::BitCount(int32_t value) { return std::popcount(static_cast<uint32_t>(value)); }

int32_t ConstantFolding::GetBitfieldExtractValue(const Operation* operation) {
    uint32_t value = SrcU(operation, 0);
    uint32_t offset = SrcU(operation, 1);
    uint32_t length = SrcU(operation, 2);
    // An empty field reads as 0 in the generated code; the mask below alone
    // would keep every bit.
    if (length == 0)
        return 0;
    uint32_t shifted = value >> (offset & 31u);
    uint32_t mask = 0xFFFFFFFFu >> ((32u - length) & 31u);
    return static_cast<int32_t>(shifted & mask);
}

void ConstantFolding::BitfieldExtractS32(Operation* operation) {
    uint32_t length = SrcU(operation, 2);
    uint32_t extracted = static_cast<uint32_t>(GetBitfieldExtractValue(operation));
    uint32_t shift = (32u - length) & 31u;
    // Sign-extend from the field's top bit: shift up, then arithmetic shift down.
    int32_t result = static_cast<int32_t>(extracted << shift) >> shift;
    ReplaceWith(operation, result);
}

void ConstantFolding::BitfieldExtractU32(Operation* operation) {
    ReplaceWith(operation, GetBitfieldExtractValue(operation));
}

void ConstantFolding::UnpackHalf2x16(Operation* operation) {
    int32_t value = Src(operation, 0);
    uint32_t shift = (static_cast<uint32_t>(operation->Index) * 16u) & 31u;
    uint16_t half = static_cast<uint16_t>(static_cast<uint32_t>(value >> shift) & 0xFFFFu);
    ReplaceWithF(operation, HalfToFloat(half));
}

float ConstantFolding::HalfToFloat(uint16_t half) {
    uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
    uint32_t exponent = (half >> 10) & 0x1Fu;
    uint32_t mantissa = half & 0x3FFu;
    uint32_t bits;
    if (exponent == 0x1F) {
        // Infinity or NaN; the payload moves to the top of the wider field.
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112u) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign;
    } else {
        // Subnormal half: normalise into the float's wider exponent range.
        int e = -1;
        do {
            e++;
            mantissa <<= 1;
        } while ((mantissa & 0x400u) == 0);
        bits = sign | (static_cast<uint32_t>(112 - e) << 23) | ((mantissa & 0x3FFu) << 13);
    }
    return std::bit_cast<float>(bits);
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
