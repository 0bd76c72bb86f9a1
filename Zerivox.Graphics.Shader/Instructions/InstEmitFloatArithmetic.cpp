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
using InstEmitOperands::HalfCbuf;
using InstEmitOperands::HalfReg;
using InstEmitOperands::HalfSrcB;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

// Modifiers that only some forms encode; a form without one behaves as with
// it clear (the 32-bit immediate half forms write both halves: F16).
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(Sat, false)
ZV_EMIT_OPTIONAL_FIELD(NegA, false)
ZV_EMIT_OPTIONAL_FIELD(NegB, false)
ZV_EMIT_OPTIONAL_FIELD(AbsA, false)
ZV_EMIT_OPTIONAL_FIELD(AbsB, false)
ZV_EMIT_OPTIONAL_FIELD(OFmt, OFmt::F16)
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
    srcA = InstEmitHelper::FPAbsNeg(context, srcA, op.AbsA(), op.NegA(), fpType);
    srcB = InstEmitHelper::FPAbsNeg(context, srcB, op.AbsB(), op.NegB(), fpType);
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

// The bit that negates B of a half product: the constant-buffer and Rc forms
// name it NegA (the product's sign is the same either way).
template <SrcForm F, typename Op> bool ProductNegB(const Op& op) {
    if constexpr (F == SrcForm::R) {
        return op.NegB();
    } else if constexpr (F == SrcForm::C || F == SrcForm::Rc) {
        return op.NegA();
    } else {
        return false;
    }
}

enum class HalfOp { Add, Multiply };

// HADD2, HMUL2: lane-wise A + B or A * B.
template <typename Op, SrcForm F, HalfOp H> void Hadd2Hmul2(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    bool negA;
    bool negB;
    if constexpr (H == HalfOp::Add) {
        negA = Optional::NegA(op);
        negB = Optional::NegB(op);
    } else {
        negA = F == SrcForm::C ? false : Optional::NegA(op);
        negB = ProductNegB<F>(op);
    }
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), Optional::AbsA(op), negA);
    const HalfOperands srcB = HalfSrcB<F>(context, op, Optional::AbsB(op), negB);
    HalfOperands results{};
    for (std::size_t i = 0; i < results.size(); i++) {
        Operand* lane = H == HalfOp::Add ? Ins::FPAdd(context, srcA[i], srcB[i])
                                         : Ins::FPMultiply(context, srcA[i], srcB[i]);
        if (Optional::Sat(op)) lane = Ins::FPSaturate(context, lane);
        results[i] = lane;
    }
    Operand* packed = InstEmitHelper::GetHalfPacked(context, Optional::OFmt(op), results, op.Rd());
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, packed);
}

// HFMA2: lane-wise A * B + C; A takes no modifiers, C only negation.
template <typename Op, SrcForm F> void Hfma2(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), false, false);
    const HalfOperands srcB = HalfSrcB<F>(context, op, false, ProductNegB<F>(op));
    HalfOperands srcC;
    if constexpr (F == SrcForm::Rc) {
        srcC = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), false, op.NegC());
    } else if constexpr (F == SrcForm::Imm32) {
        srcC = HalfReg(context, op.Rd(), HalfSwizzle::F16, false, op.NegC());
    } else {
        srcC = HalfReg(context, op.Rc(), op.CSwizzle(), false, op.NegC());
    }
    HalfOperands results{};
    for (std::size_t i = 0; i < results.size(); i++) {
        Operand* lane = Ins::FPFusedMultiplyAdd(context, srcA[i], srcB[i], srcC[i]);
        if (Optional::Sat(op)) lane = Ins::FPSaturate(context, lane);
        results[i] = lane;
    }
    Operand* packed = InstEmitHelper::GetHalfPacked(context, Optional::OFmt(op), results, op.Rd());
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, packed);
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

// HADD2, HMUL2

void Hadd2R(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHadd2R, SrcForm::R, HalfOp::Add>(context); }
void Hadd2I(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHadd2I, SrcForm::I, HalfOp::Add>(context); }
void Hadd2C(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHadd2C, SrcForm::C, HalfOp::Add>(context); }
void Hadd232i(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHadd232i, SrcForm::Imm32, HalfOp::Add>(context); }
void Hmul2R(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHmul2R, SrcForm::R, HalfOp::Multiply>(context); }
void Hmul2I(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHmul2I, SrcForm::I, HalfOp::Multiply>(context); }
void Hmul2C(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHmul2C, SrcForm::C, HalfOp::Multiply>(context); }
void Hmul232i(EmitterContext& context) { Hadd2Hmul2<Decoders::InstHmul232i, SrcForm::Imm32, HalfOp::Multiply>(context); }

// HFMA2

void Hfma2R(EmitterContext& context) { Hfma2<Decoders::InstHfma2R, SrcForm::R>(context); }
void Hfma2I(EmitterContext& context) { Hfma2<Decoders::InstHfma2I, SrcForm::I>(context); }
void Hfma2C(EmitterContext& context) { Hfma2<Decoders::InstHfma2C, SrcForm::C>(context); }
void Hfma2Rc(EmitterContext& context) { Hfma2<Decoders::InstHfma2Rc, SrcForm::Rc>(context); }
void Hfma232i(EmitterContext& context) { Hfma2<Decoders::InstHfma232i, SrcForm::Imm32>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
