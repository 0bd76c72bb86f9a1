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
using InstEmitHelper::ReadCbufPair;
using InstEmitHelper::ReadDoubleImm20;
using InstEmitHelper::ReadFloatImm20;
using InstEmitHelper::ReadRegister;
using InstEmitHelper::ReadRegisterPair;

namespace {

Operand* AbsNeg(EmitterContext& context, Operand* value, bool abs, bool neg, Instruction fpType) {
    if (abs) value = Ins::FPAbsolute(context, value, fpType);
    if (neg) value = Ins::FPNegate(context, value, fpType);
    return value;
}

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

void EmitFset(EmitterContext& context, FComp cond, BoolOp bop, Operand* srcA, Operand* srcB, int srcPred,
              bool srcPredInv, int rd, bool absoluteA, bool absoluteB, bool negateA, bool negateB, bool boolFloat,
              bool writeCC, bool isFP64) {
    const Instruction fpType = isFP64 ? Instruction::FP64 : Instruction::FP32;
    srcA = AbsNeg(context, srcA, absoluteA, negateA, fpType);
    srcB = AbsNeg(context, srcB, absoluteB, negateB, fpType);

    Operand* compare = GetFPComparison(context, cond, srcA, srcB, fpType);
    Operand* pred = GetPredicate(context, srcPred, srcPredInv);
    Operand* result = GetPredLogicalOp(context, bop, compare, pred);

    Operand* dest = InstEmitHelper::GetDest(context, rd);
    if (boolFloat) {
        Operand* one = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* value = Ins::ConditionalSelect(context, result, one, zero);
        Ins::Copy(context, dest, value);
        InstEmitAluHelper::SetFPZnFlags(context, value, writeCC, Instruction::FP32);
    } else {
        Ins::Copy(context, dest, result);
        InstEmitAluHelper::SetZnFlags(context, result, writeCC, false);
    }
}

void EmitFsetp(EmitterContext& context, FComp cond, BoolOp bop, Operand* srcA, Operand* srcB, int srcPred,
               bool srcPredInv, int destPred, int destPredInv, bool absoluteA, bool absoluteB, bool negateA,
               bool negateB, bool isFP64) {
    const Instruction fpType = isFP64 ? Instruction::FP64 : Instruction::FP32;
    srcA = AbsNeg(context, srcA, absoluteA, negateA, fpType);
    srcB = AbsNeg(context, srcB, absoluteB, negateB, fpType);

    Operand* compare = GetFPComparison(context, cond, srcA, srcB, fpType);
    Operand* notCompare = Ins::BitwiseNot(context, compare);
    Operand* pred = GetPredicate(context, srcPred, srcPredInv);

    Operand* first = GetPredLogicalOp(context, bop, compare, pred);
    Operand* firstDest = InstEmitHelper::GetPredDest(context, destPred);
    Ins::Copy(context, firstDest, first);
    Operand* second = GetPredLogicalOp(context, bop, notCompare, pred);
    Operand* secondDest = InstEmitHelper::GetPredDest(context, destPredInv);
    Ins::Copy(context, secondDest, second);
}

void EmitFcmp(EmitterContext& context, FComp cond, Operand* srcA, Operand* srcB, Operand* srcC, int rd) {
    Operand* zero = OH::MakeFloatConstant(context.Arena(), 0.0f);
    Operand* compare = GetFPComparison(context, cond, srcC, zero, Instruction::FP32);
    Operand* result = Ins::ConditionalSelect(context, compare, srcA, srcB);
    Operand* dest = InstEmitHelper::GetDest(context, rd);
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

void FsetR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFsetR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    EmitFset(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.AbsA(),
             op.AbsB(), op.NegA(), op.NegB(), op.BVal(), op.WriteCC(), false);
}

void FsetI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFsetI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    EmitFset(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.AbsA(),
             op.AbsB(), op.NegA(), op.NegB(), op.BVal(), op.WriteCC(), false);
}

void FsetC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFsetC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFset(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.AbsA(),
             op.AbsB(), op.NegA(), op.NegB(), op.BVal(), op.WriteCC(), false);
}

void DsetR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDsetR>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rb());
    EmitFset(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.AbsA(),
             op.AbsB(), op.NegA(), op.NegB(), op.BVal(), op.WriteCC(), true);
}

void DsetI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDsetI>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadDoubleImm20(context, op.Imm20());
    EmitFset(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.AbsA(),
             op.AbsB(), op.NegA(), op.NegB(), op.BVal(), op.WriteCC(), true);
}

void DsetC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDsetC>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    EmitFset(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.AbsA(),
             op.AbsB(), op.NegA(), op.NegB(), op.BVal(), op.WriteCC(), true);
}

// FSETP, DSETP

void FsetpR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFsetpR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    EmitFsetp(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
              op.AbsA(), op.AbsB(), op.NegA(), op.NegB(), false);
}

void FsetpI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFsetpI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    EmitFsetp(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
              op.AbsA(), op.AbsB(), op.NegA(), op.NegB(), false);
}

void FsetpC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFsetpC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFsetp(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
              op.AbsA(), op.AbsB(), op.NegA(), op.NegB(), false);
}

void DsetpR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDsetpR>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rb());
    EmitFsetp(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
              op.AbsA(), op.AbsB(), op.NegA(), op.NegB(), true);
}

void DsetpI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDsetpI>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadDoubleImm20(context, op.Imm20());
    EmitFsetp(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
              op.AbsA(), op.AbsB(), op.NegA(), op.NegB(), true);
}

void DsetpC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDsetpC>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    EmitFsetp(context, op.FComp(), op.BoolOp(), srcA, srcB, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(),
              op.AbsA(), op.AbsB(), op.NegA(), op.NegB(), true);
}

// FCMP

void FcmpR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFcmpR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    Operand* srcC = ReadRegister(context, op.Rc());
    EmitFcmp(context, op.FComp(), srcA, srcB, srcC, op.Rd());
}

void FcmpI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFcmpI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    Operand* srcC = ReadRegister(context, op.Rc());
    EmitFcmp(context, op.FComp(), srcA, srcB, srcC, op.Rd());
}

void FcmpC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFcmpC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* srcC = ReadRegister(context, op.Rc());
    EmitFcmp(context, op.FComp(), srcA, srcB, srcC, op.Rd());
}

void FcmpRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFcmpRc>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rc());
    Operand* srcC = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFcmp(context, op.FComp(), srcA, srcB, srcC, op.Rd());
}

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
