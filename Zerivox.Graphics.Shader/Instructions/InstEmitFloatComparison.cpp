// Floating-point compare emitters: FSET/DSET (result in a register),
// FSETP/DSETP (two predicates), FCMP (select by comparing a third operand
// with zero) and the packed half-float HSET2/HSETP2.
//
// IR float comparisons are ordered (false when either operand is NaN); the
// guest's unordered codes are built here from IsNan terms.
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFloatComparison.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::BoolOp;
using Decoders::FComp;
using Decoders::HalfSwizzle;
using InstEmitHelper::HalfOperands;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitAluHelper::GetPredLogicalOp;
using InstEmitHelper::GetPredicate;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadRegister;
using InstEmitOperands::FpType;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcC;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

namespace {

// Truth value (-1 or 0) of srcA <cond> srcB in fpType.
Operand* GetFPComparison(EmitterContext& context, FComp cond, Operand* srcA, Operand* srcB, Instruction fpType) {
    const int code = static_cast<int>(cond);
    if (code < 0 || code > 15) {
        throw Common::ArgumentException("Unexpected condition \"" + std::to_string(code) + "\".");
    }
    if (cond == FComp::T) return OH::MakeConstant(context.Arena(), -1);
    if (cond == FComp::F) return OH::MakeConstant(context.Arena(), 0);

    if (cond == FComp::Num || cond == FComp::Nan) {
        Operand* nanA = Ins::IsNan(context, srcA, fpType);
        Operand* nanB = Ins::IsNan(context, srcB, fpType);
        Operand* anyNan = Ins::BitwiseOr(context, nanA, nanB);
        return cond == FComp::Nan ? anyNan : Ins::BitwiseNot(context, anyNan);
    }

    // Codes 9-14 are the unordered forms of 1-6.
    Instruction inst;
    switch (code & 7) {
    case 1:
        inst = Instruction::CompareLess;
        break;
    case 2:
        inst = Instruction::CompareEqual;
        break;
    case 3:
        inst = Instruction::CompareLessOrEqual;
        break;
    case 4:
        inst = Instruction::CompareGreater;
        break;
    case 5:
        inst = Instruction::CompareNotEqual;
        break;
    default:
        inst = Instruction::CompareGreaterOrEqual;
        break;
    }
    Operand* result = OH::MakeLocal(context.Arena());
    context.Add(inst | fpType, result, {srcA, srcB});

    if (code >= 9) {
        Operand* nanA = Ins::IsNan(context, srcA, fpType);
        Operand* withA = Ins::BitwiseOr(context, result, nanA);
        Operand* nanB = Ins::IsNan(context, srcB, fpType);
        result = Ins::BitwiseOr(context, withA, nanB);
    }
    return result;
}

// FSET, DSET: (A <FComp> B) combined with the source predicate by BoolOp,
// written as -1/0, or as 1.0/0.0 with BVal.
template <typename Op, SrcForm F, ValueType T> void Fset(EmitterContext& context) {
    constexpr Instruction fpType = FpType(T);
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<T>(context, op);
    Operand* srcB = SrcB<F, T>(context, op);
    srcA = InstEmitHelper::FPAbsNeg(context, srcA, op.AbsA(), op.NegA(), fpType);
    srcB = InstEmitHelper::FPAbsNeg(context, srcB, op.AbsB(), op.NegB(), fpType);

    Operand* compare = GetFPComparison(context, op.FComp(), srcA, srcB, fpType);
    Operand* pred = GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* result = GetPredLogicalOp(context, op.BoolOp(), compare, pred);

    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    if (op.BVal()) {
        Operand* one = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* value = Ins::ConditionalSelect(context, result, one, zero);
        Ins::Copy(context, dest, value);
        InstEmitAluHelper::SetFPZnFlags(context, value, op.WriteCC(), Instruction::FP32);
    } else {
        Ins::Copy(context, dest, result);
        InstEmitAluHelper::SetZnFlags(context, result, op.WriteCC(), false);
    }
}

// FSETP, DSETP: Pd := (A <FComp> B) BoolOp the source predicate, Pdn := the
// negated comparison BoolOp the source predicate.
template <typename Op, SrcForm F, ValueType T> void Fsetp(EmitterContext& context) {
    constexpr Instruction fpType = FpType(T);
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<T>(context, op);
    Operand* srcB = SrcB<F, T>(context, op);
    srcA = InstEmitHelper::FPAbsNeg(context, srcA, op.AbsA(), op.NegA(), fpType);
    srcB = InstEmitHelper::FPAbsNeg(context, srcB, op.AbsB(), op.NegB(), fpType);

    Operand* compare = GetFPComparison(context, op.FComp(), srcA, srcB, fpType);
    Operand* notCompare = Ins::BitwiseNot(context, compare);
    Operand* pred = GetPredicate(context, op.SrcPred(), op.SrcPredInv());

    Operand* first = GetPredLogicalOp(context, op.BoolOp(), compare, pred);
    Operand* firstDest = InstEmitHelper::GetPredDest(context, op.Pd());
    Ins::Copy(context, firstDest, first);
    Operand* second = GetPredLogicalOp(context, op.BoolOp(), notCompare, pred);
    Operand* secondDest = InstEmitHelper::GetPredDest(context, op.Pdn());
    Ins::Copy(context, secondDest, second);
}

// FCMP: A when (C <FComp> 0.0), else B.
template <typename Op, SrcForm F> void Fcmp(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::F32>(context, op);
    Operand* srcB = SrcB<F, ValueType::F32>(context, op);
    Operand* srcC = SrcC<F, ValueType::F32>(context, op);
    Operand* zero = OH::MakeFloatConstant(context.Arena(), 0.0f);
    Operand* compare = GetFPComparison(context, op.FComp(), srcC, zero, Instruction::FP32);
    Operand* result = Ins::ConditionalSelect(context, compare, srcA, srcB);
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, result);
}

// Per-lane comparisons, each combined with the source predicate.
void EmitHset2(EmitterContext& context, FComp cond, BoolOp bop, const HalfOperands& srcA, const HalfOperands& srcB,
               int srcPred, bool srcPredInv, int rd, bool boolFloat) {
    Operand* compare0 = GetFPComparison(context, cond, srcA[0], srcB[0], Instruction::FP32);
    Operand* compare1 = GetFPComparison(context, cond, srcA[1], srcB[1], Instruction::FP32);
    Operand* pred = GetPredicate(context, srcPred, srcPredInv);
    compare0 = GetPredLogicalOp(context, bop, compare0, pred);
    compare1 = GetPredLogicalOp(context, bop, compare1, pred);

    Operand* result;
    if (boolFloat) {
        // 1.0 or 0.0 per half.
        Operand* one0 = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero0 = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* lane0 = Ins::ConditionalSelect(context, compare0, one0, zero0);
        Operand* one1 = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero1 = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* lane1 = Ins::ConditionalSelect(context, compare1, one1, zero1);
        result = Ins::PackHalf2x16(context, lane0, lane1);
    } else {
        // 0xFFFF or 0 per half.
        Operand* mask = OH::MakeConstant(context.Arena(), 0xFFFF);
        Operand* low = Ins::BitwiseAnd(context, compare0, mask);
        Operand* sixteen = OH::MakeConstant(context.Arena(), 16);
        Operand* high = Ins::ShiftLeft(context, compare1, sixteen);
        result = Ins::BitwiseOr(context, low, high);
    }
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, result);
}

// Without hAnd, Pd takes lane 0's comparison and Pdn lane 1's; with it, Pd
// takes "both lanes" and Pdn its negation.
void EmitHsetp2(EmitterContext& context, FComp cond, BoolOp bop, const HalfOperands& srcA, const HalfOperands& srcB,
                int srcPred, bool srcPredInv, int destPred, int destPredInv, bool hAnd) {
    Operand* compare0 = GetFPComparison(context, cond, srcA[0], srcB[0], Instruction::FP32);
    Operand* compare1 = GetFPComparison(context, cond, srcA[1], srcB[1], Instruction::FP32);
    if (hAnd) {
        compare0 = Ins::BitwiseAnd(context, compare0, compare1);
        compare1 = Ins::BitwiseNot(context, compare0);
    }
    Operand* pred = GetPredicate(context, srcPred, srcPredInv);
    Operand* first = GetPredLogicalOp(context, bop, compare0, pred);
    Operand* firstDest = InstEmitHelper::GetPredDest(context, destPred);
    Ins::Copy(context, firstDest, first);
    Operand* second = GetPredLogicalOp(context, bop, compare1, pred);
    Operand* secondDest = InstEmitHelper::GetPredDest(context, destPredInv);
    Ins::Copy(context, secondDest, second);
}

HalfOperands HalfReg(EmitterContext& context, int reg, HalfSwizzle swizzle, bool abs, bool neg) {
    Operand* value = ReadRegister(context, reg);
    HalfOperands lanes = InstEmitHelper::GetHalfUnpacked(context, value, swizzle);
    InstEmitHelper::FPAbsNeg(context, lanes, abs, neg);
    return lanes;
}

HalfOperands HalfCbuf(EmitterContext& context, int slot, int offset, bool abs, bool neg) {
    Operand* value = ReadCbuf(context, slot, offset);
    HalfOperands lanes = InstEmitHelper::GetHalfUnpacked(context, value, HalfSwizzle::F32);
    InstEmitHelper::FPAbsNeg(context, lanes, abs, neg);
    return lanes;
}

} // namespace

// FSET, DSET

void FsetR(EmitterContext& context) { Fset<Decoders::InstFsetR, SrcForm::R, ValueType::F32>(context); }
void FsetI(EmitterContext& context) { Fset<Decoders::InstFsetI, SrcForm::I, ValueType::F32>(context); }
void FsetC(EmitterContext& context) { Fset<Decoders::InstFsetC, SrcForm::C, ValueType::F32>(context); }
void DsetR(EmitterContext& context) { Fset<Decoders::InstDsetR, SrcForm::R, ValueType::F64>(context); }
void DsetI(EmitterContext& context) { Fset<Decoders::InstDsetI, SrcForm::I, ValueType::F64>(context); }
void DsetC(EmitterContext& context) { Fset<Decoders::InstDsetC, SrcForm::C, ValueType::F64>(context); }

// FSETP, DSETP

void FsetpR(EmitterContext& context) { Fsetp<Decoders::InstFsetpR, SrcForm::R, ValueType::F32>(context); }
void FsetpI(EmitterContext& context) { Fsetp<Decoders::InstFsetpI, SrcForm::I, ValueType::F32>(context); }
void FsetpC(EmitterContext& context) { Fsetp<Decoders::InstFsetpC, SrcForm::C, ValueType::F32>(context); }
void DsetpR(EmitterContext& context) { Fsetp<Decoders::InstDsetpR, SrcForm::R, ValueType::F64>(context); }
void DsetpI(EmitterContext& context) { Fsetp<Decoders::InstDsetpI, SrcForm::I, ValueType::F64>(context); }
void DsetpC(EmitterContext& context) { Fsetp<Decoders::InstDsetpC, SrcForm::C, ValueType::F64>(context); }

// FCMP

void FcmpR(EmitterContext& context) { Fcmp<Decoders::InstFcmpR, SrcForm::R>(context); }
void FcmpI(EmitterContext& context) { Fcmp<Decoders::InstFcmpI, SrcForm::I>(context); }
void FcmpC(EmitterContext& context) { Fcmp<Decoders::InstFcmpC, SrcForm::C>(context); }
void FcmpRc(EmitterContext& context) { Fcmp<Decoders::InstFcmpRc, SrcForm::Rc>(context); }

// HSET2, HSETP2

void Hset2R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHset2R>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfReg(context, op.Rb(), op.BSwizzle(), op.AbsB(), op.NegB());
    EmitHset2(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.Bval());
}

void Hset2I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHset2I>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.BimmH0(), op.BimmH1());
    EmitHset2(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.Bval());
}

void Hset2C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHset2C>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), false, op.NegB());
    EmitHset2(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.Bval());
}

void Hsetp2R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHsetp2R>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfReg(context, op.Rb(), op.BSwizzle(), op.AbsB(), op.NegB());
    EmitHsetp2(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
               op.HAnd());
}

void Hsetp2I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHsetp2I>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = InstEmitHelper::GetHalfSrc(context, op.BimmH0(), op.BimmH1());
    EmitHsetp2(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
               op.HAnd());
}

void Hsetp2C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstHsetp2C>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), op.AbsB(), op.NegB());
    EmitHsetp2(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
               op.HAnd());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
