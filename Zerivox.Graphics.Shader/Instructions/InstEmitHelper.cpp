#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"

#include <bit>
#include <charconv>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmitHelper {

namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using Decoders::HalfSwizzle;
using Decoders::OFmt;
using Decoders::RegisterType;

namespace {

std::string EnumText(std::string_view name, int32_t value) {
    if (!name.empty())
        return std::string(name);
    return std::to_string(value);
}

Operand* HalfConstant(EmitterContext& context, uint16_t half) {
    return OH::MakeConstant(context.Arena(), static_cast<int32_t>(HalfToSingleBits(half)));
}

} // namespace

Operand* ReadRegister(EmitterContext& context, int reg) {
    return OH::Register(context.Arena(), reg, RegisterType::Gpr);
}

Operand* GetDest(EmitterContext& context, int rd) { return ReadRegister(context, rd); }

Operand* GetPredDest(EmitterContext& context, int pred) {
    return OH::Register(context.Arena(), pred, RegisterType::Predicate);
}

Operand* ReadRegisterPair(EmitterContext& context, int reg) {
    Operand* low = ReadRegister(context, reg);
    Operand* high = ReadRegister(context, reg | 1);
    return Ins::PackDouble2x32(context, low, high);
}

Operand* ReadImm20(EmitterContext& context, int imm20) {
    const uint32_t field = static_cast<uint32_t>(imm20) & 0xFFFFFu;
    const int32_t value = static_cast<int32_t>((field ^ 0x80000u) - 0x80000u);
    return OH::MakeConstant(context.Arena(), value);
}

Operand* ReadFloatImm20(EmitterContext& context, int imm20) {
    const uint32_t bits = (static_cast<uint32_t>(imm20) & 0xFFFFFu) << 12;
    return OH::MakeConstant(context.Arena(), static_cast<int32_t>(bits));
}

Operand* ReadDoubleImm20(EmitterContext& context, int imm20) {
    const uint32_t high = (static_cast<uint32_t>(imm20) & 0xFFFFFu) << 12;
    Operand* lowWord = OH::MakeConstant(context.Arena(), 0);
    Operand* highWord = OH::MakeConstant(context.Arena(), static_cast<int32_t>(high));
    return Ins::PackDouble2x32(context, lowWord, highWord);
}

Operand* ReadImm32(EmitterContext& context, int imm32) { return OH::MakeConstant(context.Arena(), imm32); }

Operand* ReadCbuf(EmitterContext& context, int slot, int offset) {
    return OH::MakeConstantBufferOperand(context.Arena(), slot, offset);
}

Operand* ReadCbufPair(EmitterContext& context, int slot, int offset) {
    Operand* low = ReadCbuf(context, slot, offset);
    Operand* high = ReadCbuf(context, slot, offset + 1);
    return Ins::PackDouble2x32(context, low, high);
}

void SetDest(EmitterContext& context, Operand* value, int rd, bool isFP64) {
    if (!isFP64) {
        Operand* dest = GetDest(context, rd);
        Ins::Copy(context, dest, value);
        return;
    }
    Operand* low = Ins::UnpackDouble2x32(context, value, 0);
    Operand* lowDest = GetDest(context, rd);
    Ins::Copy(context, lowDest, low);
    Operand* high = Ins::UnpackDouble2x32(context, value, 1);
    Operand* highDest = GetDest(context, rd | 1);
    Ins::Copy(context, highDest, high);
}

Operand* GetPredicate(EmitterContext& context, int pred, bool invert) {
    Operand* value = OH::Register(context.Arena(), pred, RegisterType::Predicate);
    return invert ? Ins::BitwiseNot(context, value) : value;
}

Operand* ZeroExtendTo32(EmitterContext& context, Operand* value, int bits) {
    // bits == 32 must keep every bit; a plain (1 << 32) - 1 would be undefined.
    const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (bits <= 0 ? 0u : (1u << bits) - 1u);
    Operand* maskOperand = OH::MakeConstant(context.Arena(), static_cast<int32_t>(mask));
    return Ins::BitwiseAnd(context, value, maskOperand);
}

HalfOperands& FPAbsNeg(EmitterContext& context, HalfOperands& operands, bool abs, bool neg) {
    for (Operand*& operand : operands) {
        if (abs)
            operand = Ins::FPAbsolute(context, operand);
        if (neg)
            operand = Ins::FPNegate(context, operand);
    }
    return operands;
}

Operand* FPAbsNeg(EmitterContext& context, Operand* value, bool abs, bool neg,
                  IntermediateRepresentation::Instruction fpType) {
    if (abs) value = Ins::FPAbsolute(context, value, fpType);
    if (neg) value = Ins::FPNegate(context, value, fpType);
    return value;
}

HalfOperands GetHalfSrc(EmitterContext& context, int imm0, int imm1) {
    const auto h0 = static_cast<uint16_t>(static_cast<uint32_t>(imm0) << 6);
    const auto h1 = static_cast<uint16_t>(static_cast<uint32_t>(imm1) << 6);
    Operand* lane0 = HalfConstant(context, h0);
    Operand* lane1 = HalfConstant(context, h1);
    return {lane0, lane1};
}

HalfOperands GetHalfSrc(EmitterContext& context, int imm32) {
    const uint32_t bits = static_cast<uint32_t>(imm32);
    Operand* lane0 = HalfConstant(context, static_cast<uint16_t>(bits & 0xFFFFu));
    Operand* lane1 = HalfConstant(context, static_cast<uint16_t>(bits >> 16));
    return {lane0, lane1};
}

HalfOperands GetHalfUnpacked(EmitterContext& context, Operand* value, HalfSwizzle swizzle) {
    switch (swizzle) {
    case HalfSwizzle::F16: {
        Operand* low = Ins::UnpackHalf2x16(context, value, 0);
        Operand* high = Ins::UnpackHalf2x16(context, value, 1);
        return {low, high};
    }
    case HalfSwizzle::F32:
        return {value, value};
    case HalfSwizzle::H0H0: {
        Operand* a = Ins::UnpackHalf2x16(context, value, 0);
        Operand* b = Ins::UnpackHalf2x16(context, value, 0);
        return {a, b};
    }
    case HalfSwizzle::H1H1: {
        Operand* a = Ins::UnpackHalf2x16(context, value, 1);
        Operand* b = Ins::UnpackHalf2x16(context, value, 1);
        return {a, b};
    }
    }
    throw Common::ArgumentException("Invalid swizzle \"" +
                                    EnumText(Decoders::ToString(swizzle), static_cast<int32_t>(swizzle)) + "\".");
}

Operand* GetHalfPacked(EmitterContext& context, OFmt ofmt, const HalfOperands& results, int rd) {
    switch (ofmt) {
    case OFmt::F16:
        return Ins::PackHalf2x16(context, results[0], results[1]);
    case OFmt::F32:
        return results[0];
    case OFmt::MrgH0: {
        Operand* dest = GetDest(context, rd);
        Operand* oldHigh = Ins::UnpackHalf2x16(context, dest, 1);
        return Ins::PackHalf2x16(context, results[0], oldHigh);
    }
    case OFmt::MrgH1: {
        Operand* dest = GetDest(context, rd);
        Operand* oldLow = Ins::UnpackHalf2x16(context, dest, 0);
        return Ins::PackHalf2x16(context, oldLow, results[1]);
    }
    }
    throw Common::ArgumentException("Invalid swizzle \"" +
                                    EnumText(Decoders::ToString(ofmt), static_cast<int32_t>(ofmt)) + "\".");
}

uint32_t HalfToSingleBits(uint16_t half) {
    const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
    const uint32_t exponent = (half >> 10) & 0x1Fu;
    uint32_t mantissa = half & 0x3FFu;
    if (exponent == 0x1F) {
        // Infinity or NaN: keep the payload in the top mantissa bits.
        return sign | 0x7F800000u | (mantissa << 13);
    }
    if (exponent != 0)
        return sign | ((exponent + 112u) << 23) | (mantissa << 13);
    if (mantissa == 0)
        return sign;
    // Subnormal half: normalise; every half subnormal is a normal single.
    int shift = 0;
    while ((mantissa & 0x400u) == 0) {
        mantissa <<= 1;
        ++shift;
    }
    mantissa &= 0x3FFu;
    const uint32_t singleExponent = static_cast<uint32_t>(113 - shift);
    return sign | (singleExponent << 23) | (mantissa << 13);
}

std::string ToHexUpper(uint64_t value) { return Common::ToHex(value); }

void ThrowNotInStage(EmitterContext& context, const char* name, const char* reason) {
    throw Common::InvalidOperationException(std::string(name) + " at 0x" + ToHexUpper(context.CurrOp.Address) +
                                            " cannot run in a " + ShaderStageName(context.Definitions().Stage) +
                                            " shader: " + reason + ".");
}

void ThrowUntranslatable(EmitterContext& context, const char* name, const char* reason) {
    throw Common::NotImplementedException(std::string(name) + " at 0x" + ToHexUpper(context.CurrOp.Address) +
                                          " cannot be translated: " + reason + ".");
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmitHelper
