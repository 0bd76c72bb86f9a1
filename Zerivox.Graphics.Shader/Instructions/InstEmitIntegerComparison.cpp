// Integer compare and min/max emitters: ICMP (select by comparing with zero),
// ISET (compare into a register), ISETP (compare into predicates) and IMNMX.
#include "Zerivox.Graphics.Shader/Instructions/InstEmitIntegerComparison.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerComparison.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::BoolOp;
using Decoders::IComp;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadImm20;
using InstEmitHelper::ReadRegister;

namespace {

constexpr int ZeroFlag = 0;
constexpr int NegativeFlag = 1;
constexpr int CarryFlag = 2;

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

Operand* Flag(EmitterContext& context, int index) {
    return OH::Register(context.Arena(), index, Decoders::RegisterType::Flag);
}

void WriteRd(EmitterContext& context, int rd, Operand* value) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
}

std::string UnexpectedCondition(IComp cond) {
    return "Unexpected condition \"" + std::to_string(static_cast<int>(cond)) + "\".";
}

void EmitIcmp(EmitterContext& context, IComp cond, Operand* srcA, Operand* srcB, Operand* srcC, int rd, bool isSigned) {
    Operand* zero = Const(context, 0);
    Operand* holds = GetIntComparison(context, cond, srcC, zero, isSigned);
    Operand* result = Ins::ConditionalSelect(context, holds, srcA, srcB);
    WriteRd(context, rd, result);
}

Operand* Compare(EmitterContext& context, IComp cond, Operand* a, Operand* b, bool isSigned, bool extended) {
    return extended ? GetIntComparisonExtended(context, cond, a, b, isSigned)
                    : GetIntComparison(context, cond, a, b, isSigned);
}

void EmitIset(EmitterContext& context, IComp cond, BoolOp boolOp, Operand* srcA, Operand* srcB, int srcPred,
              bool srcPredInv, int rd, bool boolFloat, bool isSigned, bool extended, bool writeCC) {
    Operand* cmp = Compare(context, cond, srcA, srcB, isSigned, extended);
    Operand* pred = InstEmitHelper::GetPredicate(context, srcPred, srcPredInv);
    Operand* res = InstEmitAluHelper::GetPredLogicalOp(context, boolOp, cmp, pred);
    if (!boolFloat) {
        WriteRd(context, rd, res);
        InstEmitAluHelper::SetZnFlags(context, res, writeCC, extended);
        return;
    }
    Operand* one = OH::MakeFloatConstant(context.Arena(), 1.0f);
    Operand* zero = Const(context, 0);
    Operand* value = Ins::ConditionalSelect(context, res, one, zero);
    WriteRd(context, rd, value);
    if (writeCC) {
        Operand* fzero = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* isZero = Ins::FPCompareEqual(context, value, fzero, Instruction::FP32);
        Operand* zeroFlag = Flag(context, ZeroFlag);
        Ins::Copy(context, zeroFlag, isZero);
        Operand* fzero2 = OH::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* isNegative = Ins::FPCompareLess(context, value, fzero2, Instruction::FP32);
        Operand* negativeFlag = Flag(context, NegativeFlag);
        Ins::Copy(context, negativeFlag, isNegative);
    }
}

void EmitIsetp(EmitterContext& context, IComp cond, BoolOp boolOp, Operand* srcA, Operand* srcB, int srcPred,
               bool srcPredInv, int destPred, int destPredInv, bool isSigned, bool extended) {
    Operand* cmp = Compare(context, cond, srcA, srcB, isSigned, extended);
    Operand* pred = InstEmitHelper::GetPredicate(context, srcPred, srcPredInv);
    Operand* p0 = InstEmitAluHelper::GetPredLogicalOp(context, boolOp, cmp, pred);
    Operand* notCmp = Ins::BitwiseNot(context, cmp);
    Operand* p1 = InstEmitAluHelper::GetPredLogicalOp(context, boolOp, notCmp, pred);
    Operand* dest0 = InstEmitHelper::GetPredDest(context, destPred);
    Ins::Copy(context, dest0, p0);
    Operand* dest1 = InstEmitHelper::GetPredDest(context, destPredInv);
    Ins::Copy(context, dest1, p1);
}

// IMNMX steps of a min/max over values wider than a word. The high-word step
// picks by its own words and, with WriteCC, leaves their order in the flags
// instead of the usual zero/negative pair: zero when the words are equal,
// carry when A is not below B (the no-borrow of A - B, in the instruction's
// signedness). The low-word step compares its own words only when the zero
// flag says the higher words tied; otherwise the carry flag decides. That is
// how a 64-bit min/max is built from two IMNMX with the same predicate.
constexpr int ImnmxLowWord = 1;
constexpr int ImnmxHighWord = 3;

void EmitImnmx(EmitterContext& context, Operand* srcA, Operand* srcB, Operand* predicate, int rd, bool isSigned,
               bool writeCC, int mode) {
    Operand* min = isSigned ? Ins::IMinimumS32(context, srcA, srcB) : Ins::IMinimumU32(context, srcA, srcB);
    Operand* max = isSigned ? Ins::IMaximumS32(context, srcA, srcB) : Ins::IMaximumU32(context, srcA, srcB);
    if (mode == ImnmxLowWord) {
        Operand* aNotBelow = Flag(context, CarryFlag);
        Operand* tied = Flag(context, ZeroFlag);
        Operand* minByHigher = Ins::ConditionalSelect(context, aNotBelow, srcB, srcA);
        min = Ins::ConditionalSelect(context, tied, min, minByHigher);
        Operand* maxByHigher = Ins::ConditionalSelect(context, aNotBelow, srcA, srcB);
        max = Ins::ConditionalSelect(context, tied, max, maxByHigher);
    }
    Operand* res = Ins::ConditionalSelect(context, predicate, min, max);

    if (mode == ImnmxHighWord && writeCC) {
        // Compared before Rd is written: Rd may be one of the sources.
        Operand* equal = Ins::ICompareEqual(context, srcA, srcB);
        Operand* below =
            isSigned ? Ins::ICompareLess(context, srcA, srcB) : Ins::ICompareLessUnsigned(context, srcA, srcB);
        Operand* notBelow = Ins::BitwiseNot(context, below);
        WriteRd(context, rd, res);
        Operand* zeroFlag = Flag(context, ZeroFlag);
        Ins::Copy(context, zeroFlag, equal);
        Operand* carryFlag = Flag(context, CarryFlag);
        Ins::Copy(context, carryFlag, notBelow);
        return;
    }
    WriteRd(context, rd, res);
    InstEmitAluHelper::SetZnFlags(context, res, writeCC, false);
}

} // namespace

Operand* GetIntComparison(EmitterContext& context, IComp cond, Operand* a, Operand* b, bool isSigned) {
    Instruction inst;
    switch (cond) {
    case IComp::F:
        return Const(context, 0);
    case IComp::T:
        return Const(context, -1);
    case IComp::Lt:
        inst = isSigned ? Instruction::CompareLess : Instruction::CompareLessU32;
        break;
    case IComp::Eq:
        inst = Instruction::CompareEqual;
        break;
    case IComp::Le:
        inst = isSigned ? Instruction::CompareLessOrEqual : Instruction::CompareLessOrEqualU32;
        break;
    case IComp::Gt:
        inst = isSigned ? Instruction::CompareGreater : Instruction::CompareGreaterU32;
        break;
    case IComp::Ne:
        inst = Instruction::CompareNotEqual;
        break;
    case IComp::Ge:
        inst = isSigned ? Instruction::CompareGreaterOrEqual : Instruction::CompareGreaterOrEqualU32;
        break;
    default:
        throw Common::InvalidOperationException(UnexpectedCondition(cond));
    }
    Operand* dest = OH::MakeLocal(context.Arena());
    return context.Add(inst, dest, {a, b});
}

Operand* GetIntComparisonExtended(EmitterContext& context, IComp cond, Operand* a, Operand* b, bool isSigned) {
    auto less = [&](Operand* x, Operand* y) {
        return isSigned ? Ins::ICompareLess(context, x, y) : Ins::ICompareLessUnsigned(context, x, y);
    };
    auto greater = [&](Operand* x, Operand* y) {
        return isSigned ? Ins::ICompareGreater(context, x, y) : Ins::ICompareGreaterUnsigned(context, x, y);
    };
    switch (cond) {
    case IComp::F:
        return Const(context, 0);
    case IComp::T:
        return Const(context, -1);
    case IComp::Lt: {
        // Below in the high words, or equal there with a borrow from below.
        Operand* lt = less(a, b);
        Operand* eq = Ins::ICompareEqual(context, a, b);
        Operand* borrow = Ins::BitwiseNot(context, Flag(context, CarryFlag));
        Operand* tie = Ins::BitwiseAnd(context, eq, borrow);
        return Ins::BitwiseOr(context, lt, tie);
    }
    case IComp::Eq: {
        Operand* eq = Ins::ICompareEqual(context, a, b);
        return Ins::BitwiseAnd(context, eq, Flag(context, ZeroFlag));
    }
    case IComp::Le: {
        Operand* lt = less(a, b);
        Operand* eq = Ins::ICompareEqual(context, a, b);
        Operand* zero = Flag(context, ZeroFlag);
        Operand* borrow = Ins::BitwiseNot(context, Flag(context, CarryFlag));
        Operand* lowLe = Ins::BitwiseOr(context, zero, borrow);
        Operand* tie = Ins::BitwiseAnd(context, eq, lowLe);
        return Ins::BitwiseOr(context, lt, tie);
    }
    case IComp::Gt: {
        Operand* gt = greater(a, b);
        Operand* eq = Ins::ICompareEqual(context, a, b);
        Operand* notZero = Ins::BitwiseNot(context, Flag(context, ZeroFlag));
        Operand* lowGt = Ins::BitwiseAnd(context, notZero, Flag(context, CarryFlag));
        Operand* tie = Ins::BitwiseAnd(context, eq, lowGt);
        return Ins::BitwiseOr(context, gt, tie);
    }
    case IComp::Ne: {
        Operand* ne = Ins::ICompareNotEqual(context, a, b);
        Operand* notZero = Ins::BitwiseNot(context, Flag(context, ZeroFlag));
        return Ins::BitwiseOr(context, ne, notZero);
    }
    case IComp::Ge: {
        Operand* gt = greater(a, b);
        Operand* eq = Ins::ICompareEqual(context, a, b);
        Operand* tie = Ins::BitwiseAnd(context, eq, Flag(context, CarryFlag));
        return Ins::BitwiseOr(context, gt, tie);
    }
    }
    throw Common::ArgumentException(UnexpectedCondition(cond));
}

// ICMP ------------------------------------------------------------------------

void IcmpR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIcmpR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitIcmp(context, op.IComp(), a, b, c, op.Rd(), op.Signed());
}

void IcmpI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIcmpI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    Operand* c = ReadRegister(context, op.Rc());
    EmitIcmp(context, op.IComp(), a, b, c, op.Rd(), op.Signed());
}

void IcmpC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIcmpC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* c = ReadRegister(context, op.Rc());
    EmitIcmp(context, op.IComp(), a, b, c, op.Rd(), op.Signed());
}

void IcmpRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIcmpRc>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rc());
    Operand* c = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitIcmp(context, op.IComp(), a, b, c, op.Rd(), op.Signed());
}

// ISET ------------------------------------------------------------------------

void IsetR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsetR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    EmitIset(context, op.IComp(), op.BoolOp(), a, b, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.BVal(), op.Signed(),
             op.X(), op.WriteCC());
}

void IsetI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsetI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    EmitIset(context, op.IComp(), op.BoolOp(), a, b, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.BVal(), op.Signed(),
             op.X(), op.WriteCC());
}

void IsetC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsetC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitIset(context, op.IComp(), op.BoolOp(), a, b, op.SrcPred(), op.SrcPredInv(), op.Rd(), op.BVal(), op.Signed(),
             op.X(), op.WriteCC());
}

// ISETP -----------------------------------------------------------------------

void IsetpR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsetpR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    EmitIsetp(context, op.IComp(), op.BoolOp(), a, b, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(), op.Signed(),
              op.X());
}

void IsetpI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsetpI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    EmitIsetp(context, op.IComp(), op.BoolOp(), a, b, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(), op.Signed(),
              op.X());
}

void IsetpC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsetpC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitIsetp(context, op.IComp(), op.BoolOp(), a, b, op.SrcPred(), op.SrcPredInv(), op.Pd(), op.Pdn(), op.Signed(),
              op.X());
}

// IMNMX -----------------------------------------------------------------------

void ImnmxR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImnmxR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    EmitImnmx(context, a, b, pred, op.Rd(), op.Signed(), op.WriteCC(), op.Mode());
}

void ImnmxI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImnmxI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    EmitImnmx(context, a, b, pred, op.Rd(), op.Signed(), op.WriteCC(), op.Mode());
}

void ImnmxC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImnmxC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    EmitImnmx(context, a, b, pred, op.Rd(), op.Signed(), op.WriteCC(), op.Mode());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
