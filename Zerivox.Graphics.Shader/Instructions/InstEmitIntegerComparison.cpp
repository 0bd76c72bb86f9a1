// Integer compare and min/max emitters: ICMP (select by comparing with zero),
// ISET (compare into a register), ISETP (compare into predicates) and IMNMX.
#include "Zerivox.Graphics.Shader/Instructions/InstEmitIntegerComparison.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerComparison.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::IComp;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcC;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

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

// ICMP: A when (C <IComp> 0), else B.
template <typename Op, SrcForm F> void Icmp(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* srcC = SrcC<F, ValueType::Int>(context, op);
    Operand* zero = Const(context, 0);
    Operand* holds = GetIntComparison(context, op.IComp(), srcC, zero, op.Signed());
    Operand* result = Ins::ConditionalSelect(context, holds, srcA, srcB);
    WriteRd(context, op.Rd(), result);
}

Operand* Compare(EmitterContext& context, IComp cond, Operand* a, Operand* b, bool isSigned, bool extended) {
    return extended ? GetIntComparisonExtended(context, cond, a, b, isSigned)
                    : GetIntComparison(context, cond, a, b, isSigned);
}

// ISET: (A <IComp> B) combined with the source predicate by BoolOp, written
// as -1/0, or as 1.0/0.0 with BVal; X continues a multiword comparison.
template <typename Op, SrcForm F> void Iset(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    const int rd = op.Rd();
    const bool extended = op.X();
    const bool writeCC = op.WriteCC();
    Operand* cmp = Compare(context, op.IComp(), srcA, srcB, op.Signed(), extended);
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* res = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), cmp, pred);
    if (!op.BVal()) {
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

// ISETP: Pd := (A <IComp> B) BoolOp the source predicate, Pdn := the negated
// comparison BoolOp the source predicate; X continues a multiword comparison.
template <typename Op, SrcForm F> void Isetp(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* cmp = Compare(context, op.IComp(), srcA, srcB, op.Signed(), op.X());
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* p0 = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), cmp, pred);
    Operand* notCmp = Ins::BitwiseNot(context, cmp);
    Operand* p1 = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), notCmp, pred);
    Operand* dest0 = InstEmitHelper::GetPredDest(context, op.Pd());
    Ins::Copy(context, dest0, p0);
    Operand* dest1 = InstEmitHelper::GetPredDest(context, op.Pdn());
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

// IMNMX: the minimum of A and B when the source predicate holds, else the
// maximum; Mode selects the multiword steps above.
template <typename Op, SrcForm F> void Imnmx(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* predicate = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    const int rd = op.Rd();
    const bool isSigned = op.Signed();
    const bool writeCC = op.WriteCC();
    const int mode = op.Mode();
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

void IcmpR(EmitterContext& context) { Icmp<Decoders::InstIcmpR, SrcForm::R>(context); }
void IcmpI(EmitterContext& context) { Icmp<Decoders::InstIcmpI, SrcForm::I>(context); }
void IcmpC(EmitterContext& context) { Icmp<Decoders::InstIcmpC, SrcForm::C>(context); }
void IcmpRc(EmitterContext& context) { Icmp<Decoders::InstIcmpRc, SrcForm::Rc>(context); }

// ISET ------------------------------------------------------------------------

void IsetR(EmitterContext& context) { Iset<Decoders::InstIsetR, SrcForm::R>(context); }
void IsetI(EmitterContext& context) { Iset<Decoders::InstIsetI, SrcForm::I>(context); }
void IsetC(EmitterContext& context) { Iset<Decoders::InstIsetC, SrcForm::C>(context); }

// ISETP -----------------------------------------------------------------------

void IsetpR(EmitterContext& context) { Isetp<Decoders::InstIsetpR, SrcForm::R>(context); }
void IsetpI(EmitterContext& context) { Isetp<Decoders::InstIsetpI, SrcForm::I>(context); }
void IsetpC(EmitterContext& context) { Isetp<Decoders::InstIsetpC, SrcForm::C>(context); }

// IMNMX -----------------------------------------------------------------------

void ImnmxR(EmitterContext& context) { Imnmx<Decoders::InstImnmxR, SrcForm::R>(context); }
void ImnmxI(EmitterContext& context) { Imnmx<Decoders::InstImnmxI, SrcForm::I>(context); }
void ImnmxC(EmitterContext& context) { Imnmx<Decoders::InstImnmxC, SrcForm::C>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
