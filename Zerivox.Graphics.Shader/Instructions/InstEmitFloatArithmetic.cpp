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
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::HalfSwizzle;
using Decoders::MultiplyScale;
using Decoders::OFmt;
using InstEmitHelper::HalfOperands;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcC;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;
using InstEmitOperands::FpType;
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

// Modifiers that only some forms encode; a form without one behaves as with
// it clear.
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(Sat, false)
ZV_EMIT_OPTIONAL_FIELD(NegA, false)
ZV_EMIT_OPTIONAL_FIELD(Scale, MultiplyScale::NoScale)
} // namespace Optional

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

// FADD, DADD: (|A| negated) + (|B| negated), each modifier by its own bit.
template <typename Op, SrcForm F, ValueType T> void Fadd(EmitterContext& context) {
    constexpr Instruction fpType = FpType(T);
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<T>(context, op);
    Operand* srcB = SrcB<F, T>(context, op);
    srcA = AbsNeg(context, srcA, op.AbsA(), op.NegA(), fpType);
    srcB = AbsNeg(context, srcB, op.AbsB(), op.NegB(), fpType);
    Operand* result = Ins::FPAdd(context, srcA, srcB, fpType);
    if (Optional::Sat(op)) result = Ins::FPSaturate(context, result, fpType);
    InstEmitHelper::SetDest(context, result, op.Rd(), T == ValueType::F64);
    InstEmitAluHelper::SetFPZnFlags(context, result, op.WriteCC(), fpType);
}

// FFMA, DFMA: A * B + C; the bit named NegA negates B (the product's sign is
// the same either way).
template <typename Op, SrcForm F, ValueType T> void Ffma(EmitterContext& context) {
    constexpr Instruction fpType = FpType(T);
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<T>(context, op);
    Operand* srcB = SrcB<F, T>(context, op);
    Operand* srcC = SrcC<F, T>(context, op);
    if (op.NegA()) srcB = Ins::FPNegate(context, srcB, fpType);
    if (op.NegC()) srcC = Ins::FPNegate(context, srcC, fpType);
    Operand* result = Ins::FPFusedMultiplyAdd(context, srcA, srcB, srcC, fpType);
    if (Optional::Sat(op)) result = Ins::FPSaturate(context, result, fpType);
    InstEmitHelper::SetDest(context, result, op.Rd(), T == ValueType::F64);
    InstEmitAluHelper::SetFPZnFlags(context, result, op.WriteCC(), fpType);
}

// FMUL, DMUL: A * B, A first scaled by the form's factor; the bit named NegA
// negates B.
template <typename Op, SrcForm F, ValueType T> void Fmul(EmitterContext& context) {
    constexpr Instruction fpType = FpType(T);
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<T>(context, op);
    Operand* srcB = SrcB<F, T>(context, op);
    if (Optional::NegA(op)) srcB = Ins::FPNegate(context, srcB, fpType);

    const MultiplyScale scale = Optional::Scale(op);
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

    if (Optional::Sat(op)) result = Ins::FPSaturate(context, result, fpType);
    InstEmitHelper::SetDest(context, result, op.Rd(), T == ValueType::F64);
    InstEmitAluHelper::SetFPZnFlags(context, result, op.WriteCC(), fpType);
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

// FADD, DADD

void FaddR(EmitterContext& context) { Fadd<Decoders::InstFaddR, SrcForm::R, ValueType::F32>(context); }
void FaddI(EmitterContext& context) { Fadd<Decoders::InstFaddI, SrcForm::I, ValueType::F32>(context); }
void FaddC(EmitterContext& context) { Fadd<Decoders::InstFaddC, SrcForm::C, ValueType::F32>(context); }
void Fadd32i(EmitterContext& context) { Fadd<Decoders::InstFadd32i, SrcForm::Imm32, ValueType::F32>(context); }
void DaddR(EmitterContext& context) { Fadd<Decoders::InstDaddR, SrcForm::R, ValueType::F64>(context); }
void DaddI(EmitterContext& context) { Fadd<Decoders::InstDaddI, SrcForm::I, ValueType::F64>(context); }
void DaddC(EmitterContext& context) { Fadd<Decoders::InstDaddC, SrcForm::C, ValueType::F64>(context); }

// FFMA, DFMA

void FfmaR(EmitterContext& context) { Ffma<Decoders::InstFfmaR, SrcForm::R, ValueType::F32>(context); }
void FfmaI(EmitterContext& context) { Ffma<Decoders::InstFfmaI, SrcForm::I, ValueType::F32>(context); }
void FfmaC(EmitterContext& context) { Ffma<Decoders::InstFfmaC, SrcForm::C, ValueType::F32>(context); }
void FfmaRc(EmitterContext& context) { Ffma<Decoders::InstFfmaRc, SrcForm::Rc, ValueType::F32>(context); }
void Ffma32i(EmitterContext& context) { Ffma<Decoders::InstFfma32i, SrcForm::Imm32, ValueType::F32>(context); }
void DfmaR(EmitterContext& context) { Ffma<Decoders::InstDfmaR, SrcForm::R, ValueType::F64>(context); }
void DfmaI(EmitterContext& context) { Ffma<Decoders::InstDfmaI, SrcForm::I, ValueType::F64>(context); }
void DfmaC(EmitterContext& context) { Ffma<Decoders::InstDfmaC, SrcForm::C, ValueType::F64>(context); }
void DfmaRc(EmitterContext& context) { Ffma<Decoders::InstDfmaRc, SrcForm::Rc, ValueType::F64>(context); }

// FMUL, DMUL

void FmulR(EmitterContext& context) { Fmul<Decoders::InstFmulR, SrcForm::R, ValueType::F32>(context); }
void FmulI(EmitterContext& context) { Fmul<Decoders::InstFmulI, SrcForm::I, ValueType::F32>(context); }
void FmulC(EmitterContext& context) { Fmul<Decoders::InstFmulC, SrcForm::C, ValueType::F32>(context); }
void Fmul32i(EmitterContext& context) { Fmul<Decoders::InstFmul32i, SrcForm::Imm32, ValueType::F32>(context); }
void DmulR(EmitterContext& context) { Fmul<Decoders::InstDmulR, SrcForm::R, ValueType::F64>(context); }
void DmulI(EmitterContext& context) { Fmul<Decoders::InstDmulI, SrcForm::I, ValueType::F64>(context); }
void DmulC(EmitterContext& context) { Fmul<Decoders::InstDmulC, SrcForm::C, ValueType::F64>(context); }

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
