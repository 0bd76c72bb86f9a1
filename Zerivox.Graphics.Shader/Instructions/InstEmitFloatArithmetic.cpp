// Floating-point add, multiply and fused multiply-add emitters: single
// (FADD, FFMA, FMUL), double (DADD, DFMA, DMUL) and packed half precision
// (HADD2, HMUL2, HFMA2), each in all its operand forms.
//
// No rounding-mode, flush-to-zero or precision field is read: every operation
// uses the IR's default rounding and the host's denormal handling. Operands
// are fetched A, B, C first; then the modifiers apply (absolute value before
// negation), the operation, saturation, the write and the flags.
#include <string>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFloatArithmetic.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::HalfSwizzle;
using Decoders::MultiplyScale;
using Decoders::OFmt;
using InstEmitHelper::HalfOperands;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadCbufPair;
using InstEmitHelper::ReadDoubleImm20;
using InstEmitHelper::ReadFloatImm20;
using InstEmitHelper::ReadImm32;
using InstEmitHelper::ReadRegister;
using InstEmitHelper::ReadRegisterPair;

namespace {

Operand* AbsNeg(EmitterContext& context, Operand* value, bool abs, bool neg, Instruction fpType) {
    if (abs) value = Ins::FPAbsolute(context, value, fpType);
    if (neg) value = Ins::FPNegate(context, value, fpType);
    return value;
}

void EmitFadd(EmitterContext& context, Instruction fpType, Operand* srcA, Operand* srcB, int rd, bool absoluteA,
              bool negateA, bool absoluteB, bool negateB, bool saturate, bool writeCC) {
    srcA = AbsNeg(context, srcA, absoluteA, negateA, fpType);
    srcB = AbsNeg(context, srcB, absoluteB, negateB, fpType);
    Operand* result = Ins::FPAdd(context, srcA, srcB, fpType);
    if (saturate) result = Ins::FPSaturate(context, result, fpType);
    InstEmitHelper::SetDest(context, result, rd, fpType == Instruction::FP64);
    InstEmitAluHelper::SetFPZnFlags(context, result, writeCC, fpType);
}

void EmitFfma(EmitterContext& context, Instruction fpType, Operand* srcA, Operand* srcB, Operand* srcC, int rd,
              bool negateB, bool negateC, bool saturate, bool writeCC) {
    if (negateB) srcB = Ins::FPNegate(context, srcB, fpType);
    if (negateC) srcC = Ins::FPNegate(context, srcC, fpType);
    Operand* result = Ins::FPFusedMultiplyAdd(context, srcA, srcB, srcC, fpType);
    if (saturate) result = Ins::FPSaturate(context, result, fpType);
    InstEmitHelper::SetDest(context, result, rd, fpType == Instruction::FP64);
    InstEmitAluHelper::SetFPZnFlags(context, result, writeCC, fpType);
}

// Factor of an FMUL scale; 0 for a value that names none.
float ScaleFactor(MultiplyScale scale) {
    switch (scale) {
    case MultiplyScale::D2:
        return 0.5f;
    case MultiplyScale::D4:
        return 0.25f;
    case MultiplyScale::D8:
        return 0.125f;
    case MultiplyScale::M8:
        return 8.0f;
    case MultiplyScale::M4:
        return 4.0f;
    case MultiplyScale::M2:
        return 2.0f;
    default:
        return 0.0f;
    }
}

void EmitFmul(EmitterContext& context, Instruction fpType, MultiplyScale scale, Operand* srcA, Operand* srcB, int rd,
              bool negateB, bool saturate, bool writeCC) {
    if (negateB) srcB = Ins::FPNegate(context, srcB, fpType);

    Operand* result;
    if (scale == MultiplyScale::NoScale) {
        result = Ins::FPMultiply(context, srcA, srcB, fpType);
    } else {
        float factor = ScaleFactor(scale);
        if (factor == 0.0f) {
            factor = 1.0f;
            context.GpuAccessor().Log("Invalid FP multiply scale \"" + std::to_string(static_cast<int>(scale)) +
                                      "\".");
        }
        Operand* factorOperand = OH::MakeFloatConstant(context.Arena(), factor);
        if (fpType == Instruction::FP64) factorOperand = Ins::FP32ConvertToFP64(context, factorOperand);
        // The scale applies to A before the product.
        Operand* scaledA = Ins::FPMultiply(context, srcA, factorOperand, fpType);
        result = Ins::FPMultiply(context, scaledA, srcB, fpType);
    }

    if (saturate) result = Ins::FPSaturate(context, result, fpType);
    InstEmitHelper::SetDest(context, result, rd, fpType == Instruction::FP64);
    InstEmitAluHelper::SetFPZnFlags(context, result, writeCC, fpType);
}

// Each lane in FP32, each saturated separately, then packed by ofmt.
void EmitHadd2Hmul2(EmitterContext& context, OFmt ofmt, const HalfOperands& srcA, const HalfOperands& srcB, bool isAdd,
                    int rd, bool saturate) {
    HalfOperands results{};
    for (std::size_t i = 0; i < results.size(); i++) {
        Operand* lane = isAdd ? Ins::FPAdd(context, srcA[i], srcB[i]) : Ins::FPMultiply(context, srcA[i], srcB[i]);
        if (saturate) lane = Ins::FPSaturate(context, lane);
        results[i] = lane;
    }
    Operand* packed = InstEmitHelper::GetHalfPacked(context, ofmt, results, rd);
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, packed);
}

void EmitHfma2(EmitterContext& context, OFmt ofmt, const HalfOperands& srcA, const HalfOperands& srcB,
               const HalfOperands& srcC, int rd, bool saturate) {
    HalfOperands results{};
    for (std::size_t i = 0; i < results.size(); i++) {
        Operand* lane = Ins::FPFusedMultiplyAdd(context, srcA[i], srcB[i], srcC[i]);
        if (saturate) lane = Ins::FPSaturate(context, lane);
        results[i] = lane;
    }
    Operand* packed = InstEmitHelper::GetHalfPacked(context, ofmt, results, rd);
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, packed);
}

// A register half operand: split by swizzle, then abs and negate per lane.
HalfOperands HalfReg(EmitterContext& context, int reg, HalfSwizzle swizzle, bool abs, bool neg) {
    Operand* value = ReadRegister(context, reg);
    HalfOperands lanes = InstEmitHelper::GetHalfUnpacked(context, value, swizzle);
    InstEmitHelper::FPAbsNeg(context, lanes, abs, neg);
    return lanes;
}

// A constant-buffer half operand: the word is one FP32 value for both lanes.
HalfOperands HalfCbuf(EmitterContext& context, int slot, int offset, bool abs, bool neg) {
    Operand* value = ReadCbuf(context, slot, offset);
    HalfOperands lanes = InstEmitHelper::GetHalfUnpacked(context, value, HalfSwizzle::F32);
    InstEmitHelper::FPAbsNeg(context, lanes, abs, neg);
    return lanes;
}

} // namespace

// FADD

void FaddR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFaddR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    EmitFadd(context, Instruction::FP32, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), op.Sat(),
             op.WriteCC());
}

void FaddI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFaddI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    EmitFadd(context, Instruction::FP32, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), op.Sat(),
             op.WriteCC());
}

void FaddC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFaddC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFadd(context, Instruction::FP32, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), op.Sat(),
             op.WriteCC());
}

void Fadd32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFadd32i>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadImm32(context, op.Imm32());
    EmitFadd(context, Instruction::FP32, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), false,
             op.WriteCC());
}

// DADD

void DaddR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDaddR>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rb());
    EmitFadd(context, Instruction::FP64, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), false,
             op.WriteCC());
}

void DaddI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDaddI>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadDoubleImm20(context, op.Imm20());
    EmitFadd(context, Instruction::FP64, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), false,
             op.WriteCC());
}

void DaddC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDaddC>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    EmitFadd(context, Instruction::FP64, srcA, srcB, op.Rd(), op.AbsA(), op.NegA(), op.AbsB(), op.NegB(), false,
             op.WriteCC());
}

// FFMA

void FfmaR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFfmaR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    Operand* srcC = ReadRegister(context, op.Rc());
    EmitFfma(context, Instruction::FP32, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), op.Sat(), op.WriteCC());
}

void FfmaI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFfmaI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    Operand* srcC = ReadRegister(context, op.Rc());
    EmitFfma(context, Instruction::FP32, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), op.Sat(), op.WriteCC());
}

void FfmaC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFfmaC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* srcC = ReadRegister(context, op.Rc());
    EmitFfma(context, Instruction::FP32, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), op.Sat(), op.WriteCC());
}

void FfmaRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFfmaRc>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rc());
    Operand* srcC = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFfma(context, Instruction::FP32, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), op.Sat(), op.WriteCC());
}

void Ffma32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFfma32i>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadImm32(context, op.Imm32());
    Operand* srcC = ReadRegister(context, op.Rd()); // the destination is also the addend
    EmitFfma(context, Instruction::FP32, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), op.Sat(), op.WriteCC());
}

// DFMA

void DfmaR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDfmaR>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rb());
    Operand* srcC = ReadRegisterPair(context, op.Rc());
    EmitFfma(context, Instruction::FP64, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), false, op.WriteCC());
}

void DfmaI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDfmaI>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadDoubleImm20(context, op.Imm20());
    Operand* srcC = ReadRegisterPair(context, op.Rc());
    EmitFfma(context, Instruction::FP64, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), false, op.WriteCC());
}

void DfmaC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDfmaC>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    Operand* srcC = ReadRegisterPair(context, op.Rc());
    EmitFfma(context, Instruction::FP64, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), false, op.WriteCC());
}

void DfmaRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDfmaRc>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rc());
    Operand* srcC = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    EmitFfma(context, Instruction::FP64, srcA, srcB, srcC, op.Rd(), op.NegA(), op.NegC(), false, op.WriteCC());
}

// FMUL, DMUL

void FmulR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmulR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    EmitFmul(context, Instruction::FP32, op.Scale(), srcA, srcB, op.Rd(), op.NegA(), op.Sat(), op.WriteCC());
}

void FmulI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmulI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    EmitFmul(context, Instruction::FP32, op.Scale(), srcA, srcB, op.Rd(), op.NegA(), op.Sat(), op.WriteCC());
}

void FmulC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmulC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFmul(context, Instruction::FP32, op.Scale(), srcA, srcB, op.Rd(), op.NegA(), op.Sat(), op.WriteCC());
}

void Fmul32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmul32i>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadImm32(context, op.Imm32());
    EmitFmul(context, Instruction::FP32, MultiplyScale::NoScale, srcA, srcB, op.Rd(), false, op.Sat(), op.WriteCC());
}

void DmulR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDmulR>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rb());
    EmitFmul(context, Instruction::FP64, MultiplyScale::NoScale, srcA, srcB, op.Rd(), op.NegA(), false, op.WriteCC());
}

void DmulI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDmulI>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadDoubleImm20(context, op.Imm20());
    EmitFmul(context, Instruction::FP64, MultiplyScale::NoScale, srcA, srcB, op.Rd(), op.NegA(), false, op.WriteCC());
}

void DmulC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDmulC>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    EmitFmul(context, Instruction::FP64, MultiplyScale::NoScale, srcA, srcB, op.Rd(), op.NegA(), false, op.WriteCC());
}

// HADD2

void Hadd2R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHadd2R>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfReg(context, op.Rb(), op.BSwizzle(), op.AbsB(), op.NegB());
    EmitHadd2Hmul2(context, op.OFmt(), srcA, srcB, true, op.Rd(), op.Sat());
}

void Hadd2I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHadd2I>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.BimmH0(), op.BimmH1());
    EmitHadd2Hmul2(context, op.OFmt(), srcA, srcB, true, op.Rd(), op.Sat());
}

void Hadd2C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHadd2C>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), op.AbsB(), op.NegB());
    EmitHadd2Hmul2(context, op.OFmt(), srcA, srcB, true, op.Rd(), op.Sat());
}

void Hadd232i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHadd232i>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, op.NegA());
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.Imm32());
    EmitHadd2Hmul2(context, OFmt::F16, srcA, srcB, true, op.Rd(), op.Sat());
}

// HMUL2

void Hmul2R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHmul2R>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), false);
    const HalfOperands srcB = HalfReg(context, op.Rb(), op.BSwizzle(), op.AbsB(), op.NegB());
    EmitHadd2Hmul2(context, op.OFmt(), srcA, srcB, false, op.Rd(), op.Sat());
}

void Hmul2I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHmul2I>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.BimmH0(), op.BimmH1());
    EmitHadd2Hmul2(context, op.OFmt(), srcA, srcB, false, op.Rd(), op.Sat());
}

void Hmul2C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHmul2C>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), false);
    const HalfOperands srcB = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), op.AbsB(), op.NegA());
    EmitHadd2Hmul2(context, op.OFmt(), srcA, srcB, false, op.Rd(), op.Sat());
}

void Hmul232i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHmul232i>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.Imm32());
    EmitHadd2Hmul2(context, OFmt::F16, srcA, srcB, false, op.Rd(), op.Sat());
}

// HFMA2

void Hfma2R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHfma2R>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = HalfReg(context, op.Rb(), op.BSwizzle(), false, op.NegB());
    const HalfOperands srcC = HalfReg(context, op.Rc(), op.CSwizzle(), false, op.NegC());
    EmitHfma2(context, op.OFmt(), srcA, srcB, srcC, op.Rd(), op.Sat());
}

void Hfma2I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHfma2I>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.BimmH0(), op.BimmH1());
    const HalfOperands srcC = HalfReg(context, op.Rc(), op.CSwizzle(), false, op.NegC());
    EmitHfma2(context, op.OFmt(), srcA, srcB, srcC, op.Rd(), op.Sat());
}

void Hfma2C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHfma2C>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), false, op.NegA());
    const HalfOperands srcC = HalfReg(context, op.Rc(), op.CSwizzle(), false, op.NegC());
    EmitHfma2(context, op.OFmt(), srcA, srcB, srcC, op.Rd(), op.Sat());
}

void Hfma2Rc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHfma2Rc>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = HalfReg(context, op.Rc(), op.BSwizzle(), false, op.NegA());
    const HalfOperands srcC = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), false, op.NegC());
    EmitHfma2(context, op.OFmt(), srcA, srcB, srcC, op.Rd(), op.Sat());
}

void Hfma232i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHfma232i>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.Imm32());
    const HalfOperands srcC = HalfReg(context, op.Rd(), HalfSwizzle::F16, false, op.NegC());
    EmitHfma2(context, OFmt::F16, srcA, srcB, srcC, op.Rd(), false);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
