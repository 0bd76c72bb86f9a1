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

using Decoders::FComp;
using InstEmitHelper::HalfOperands;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitAluHelper::GetPredLogicalOp;
using InstEmitHelper::GetPredicate;
using InstEmitOperands::FpType;
using InstEmitOperands::HalfReg;
using InstEmitOperands::HalfSrcB;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcC;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

namespace {

// B's modifiers that only some half forms encode; the immediate forms take
// none and HSET2's constant-buffer form has no absolute value.
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(AbsB, false)
ZV_EMIT_OPTIONAL_FIELD(NegB, false)
} // namespace Optional

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

// HSET2: per-lane (A <FComp> B) combined with the source predicate by
// BoolOp, written as 0xFFFF/0 per half, or as 1.0/0.0 per half with Bval.
template <typename Op, SrcForm F> void Hset2(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfSrcB<F>(context, op, Optional::AbsB(op), Optional::NegB(op));
    Operand* compare0 = GetFPComparison(context, op.FComp(), srcA[0], srcB[0], Instruction::FP32);
    Operand* compare1 = GetFPComparison(context, op.FComp(), srcA[1], srcB[1], Instruction::FP32);
    Operand* pred = GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    compare0 = GetPredLogicalOp(context, op.BoolOp(), compare0, pred);
    compare1 = GetPredLogicalOp(context, op.BoolOp(), compare1, pred);

    Operand* result;
    if (op.Bval()) {
        Operand* one0 = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero0 = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* lane0 = Ins::ConditionalSelect(context, compare0, one0, zero0);
        Operand* one1 = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero1 = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* lane1 = Ins::ConditionalSelect(context, compare1, one1, zero1);
        result = Ins::PackHalf2x16(context, lane0, lane1);
    } else {
        Operand* mask = OH::MakeConstant(context.Arena(), 0xFFFF);
        Operand* low = Ins::BitwiseAnd(context, compare0, mask);
        Operand* sixteen = OH::MakeConstant(context.Arena(), 16);
        Operand* high = Ins::ShiftLeft(context, compare1, sixteen);
        result = Ins::BitwiseOr(context, low, high);
    }
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, result);
}

// HSETP2: per-lane (A <FComp> B), each combined with the source predicate.
// Without HAnd, Pd takes lane 0's comparison and Pdn lane 1's; with it, Pd
// takes "both lanes" and Pdn its negation.
template <typename Op, SrcForm F> void Hsetp2(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    const HalfOperands srcA = HalfReg(context, op.Ra(), op.ASwizzle(), op.AbsA(), op.NegA());
    const HalfOperands srcB = HalfSrcB<F>(context, op, Optional::AbsB(op), Optional::NegB(op));
    Operand* compare0 = GetFPComparison(context, op.FComp(), srcA[0], srcB[0], Instruction::FP32);
    Operand* compare1 = GetFPComparison(context, op.FComp(), srcA[1], srcB[1], Instruction::FP32);
    if (op.HAnd()) {
        compare0 = Ins::BitwiseAnd(context, compare0, compare1);
        compare1 = Ins::BitwiseNot(context, compare0);
    }
    Operand* pred = GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* first = GetPredLogicalOp(context, op.BoolOp(), compare0, pred);
    Operand* firstDest = InstEmitHelper::GetPredDest(context, op.Pd());
    Ins::Copy(context, firstDest, first);
    Operand* second = GetPredLogicalOp(context, op.BoolOp(), compare1, pred);
    Operand* secondDest = InstEmitHelper::GetPredDest(context, op.Pdn());
    Ins::Copy(context, secondDest, second);
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

void Hset2R(EmitterContext& context) { Hset2<Decoders::InstHset2R, SrcForm::R>(context); }
void Hset2I(EmitterContext& context) { Hset2<Decoders::InstHset2I, SrcForm::I>(context); }
void Hset2C(EmitterContext& context) { Hset2<Decoders::InstHset2C, SrcForm::C>(context); }
void Hsetp2R(EmitterContext& context) { Hsetp2<Decoders::InstHsetp2R, SrcForm::R>(context); }
void Hsetp2I(EmitterContext& context) { Hsetp2<Decoders::InstHsetp2I, SrcForm::I>(context); }
void Hsetp2C(EmitterContext& context) { Hsetp2<Decoders::InstHsetp2C, SrcForm::C>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
