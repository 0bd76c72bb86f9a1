// Integer add, multiply and multiply-add emitters: IADD, IADD32I, IADD3,
// IMAD, IMAD32I, IMUL, IMUL32I, ISCADD, ISCADD32I, LEA, LEA.HI and XMAD.
//
// The optimiser fuses the XMAD sequences that compilers use for 32-bit
// multiplication, matching the exact operation kinds, operand order (value
// first, constant second) and constants emitted here; keep those shapes.
#include <string>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerArithmetic.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::HalfSelect;
using Decoders::XmadCop;
using Decoders::XmadCop2;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::OperandType;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcC;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

namespace {

// Fields that only some forms encode; a form without one behaves as with it
// clear (no half select, no shift of the partial sum, no negation, no product
// shift, no merge).
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(ASelect, HalfSelect::B32)
ZV_EMIT_OPTIONAL_FIELD(BSelect, HalfSelect::B32)
ZV_EMIT_OPTIONAL_FIELD(CSelect, HalfSelect::B32)
ZV_EMIT_OPTIONAL_FIELD(Lrs, 0)
ZV_EMIT_OPTIONAL_FIELD(AvgMode, 0)
ZV_EMIT_OPTIONAL_FIELD(HiloB, false)
ZV_EMIT_OPTIONAL_FIELD(Psl, false)
ZV_EMIT_OPTIONAL_FIELD(Mrg, false)
} // namespace Optional

constexpr int CarryFlag = 2;
constexpr int OverflowFlag = 3;

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

Operand* Flag(EmitterContext& context, int index) {
    return OH::Register(context.Arena(), index, Decoders::RegisterType::Flag);
}

void WriteRd(EmitterContext& context, int rd, Operand* value) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
}

bool IsConstantZero(const Operand* operand) { return operand->Type == OperandType::Constant && operand->Value == 0; }

// What enters the adder's carry input besides the two words.
enum class CarryIn { None, One, Flag };

// Flags of result = a + b + carry-in, where a and b are the words the adder
// really adds: a negated operand enters as its bitwise NOT with a carry-in
// of one. Carry is the unsigned carry out, overflow the signed overflow.
void SetAddFlags(EmitterContext& context, Operand* result, Operand* a, Operand* b, CarryIn carryIn, bool extended) {
    Operand* carry;
    switch (carryIn) {
    case CarryIn::None:
        carry = Ins::ICompareLessUnsigned(context, result, a);
        break;
    case CarryIn::One:
        // a + b + 1 carries exactly when the sum does not exceed a.
        carry = Ins::ICompareLessOrEqualUnsigned(context, result, a);
        break;
    default: {
        // Carried out when the sum is below a, or equals a while a carry came
        // in (b was all ones).
        Operand* same = Ins::ICompareEqual(context, result, a);
        Operand* previous = Flag(context, CarryFlag);
        Operand* sameWithCarry = Ins::BitwiseAnd(context, same, previous);
        Operand* below = Ins::ICompareLessUnsigned(context, result, a);
        carry = Ins::BitwiseOr(context, sameWithCarry, below);
        break;
    }
    }
    Operand* carryDest = Flag(context, CarryFlag);
    Ins::Copy(context, carryDest, carry);

    // Signed overflow: a and b have the same sign and the result's differs.
    Operand* resultVsA = Ins::BitwiseExclusiveOr(context, result, a);
    Operand* aVsB = Ins::BitwiseExclusiveOr(context, a, b);
    Operand* sameSign = Ins::BitwiseNot(context, aVsB);
    Operand* both = Ins::BitwiseAnd(context, resultVsA, sameSign);
    Operand* zero = Const(context, 0);
    Operand* overflow = Ins::ICompareLess(context, both, zero);
    Operand* overflowDest = Flag(context, OverflowFlag);
    Ins::Copy(context, overflowDest, overflow);

    InstEmitAluHelper::SetZnFlags(context, result, true, extended);
}

// Flags of result = srcA + srcB (+ the carry flag when extended).
void SetIaddFlags(EmitterContext& context, Operand* result, Operand* srcA, Operand* srcB, bool setCC, bool extended) {
    if (!setCC)
        return;
    SetAddFlags(context, result, srcA, srcB, extended ? CarryIn::Flag : CarryIn::None, extended);
}

// Flags of result = other - subtrahend computed without a carry input. The
// adder forms other + NOT subtrahend + 1, so the carry means "no borrow"
// even for a subtrahend of 0, whose two's complement 0 would otherwise look
// like an addition that never carries; and a subtrahend of 0x80000000
// overflows when other is not negative.
void SetIsubFlags(EmitterContext& context, Operand* result, Operand* other, Operand* subtrahend, bool setCC) {
    if (!setCC)
        return;
    Operand* inverted = Ins::BitwiseNot(context, subtrahend);
    SetAddFlags(context, result, other, inverted, CarryIn::One, false);
}

Operand* AddCarryFlag(EmitterContext& context, Operand* sum) {
    Operand* carry = Flag(context, CarryFlag);
    Operand* one = Const(context, 1);
    Operand* carryBit = Ins::BitwiseAnd(context, carry, one);
    return Ins::IAdd(context, sum, carryBit);
}

// IADD: A + B, AvgMode 1 subtracting B and 2 subtracting A; X adds the carry
// flag.
template <typename Op, SrcForm F> void Iadd(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    const bool extended = op.X();
    const bool negateA = op.AvgMode() == 2;
    const bool negateB = op.AvgMode() == 1;
    Operand* a = srcA;
    Operand* b = srcB;
    if (extended) {
        // The incoming carry stands in for the +1 of the two's complement, so
        // the extended form adds the bitwise NOT: that is what makes an
        // IADD.CC / IADD.X pair subtract or negate a 64-bit value.
        if (negateA)
            a = Ins::BitwiseNot(context, a);
        if (negateB)
            b = Ins::BitwiseNot(context, b);
    } else {
        if (negateA)
            a = Ins::INegate(context, a);
        if (negateB)
            b = Ins::INegate(context, b);
    }
    Operand* sum = Ins::IAdd(context, a, b);
    if (extended)
        sum = AddCarryFlag(context, sum);
    if (!extended && negateA) {
        SetIsubFlags(context, sum, srcB, srcA, op.WriteCC());
    } else if (!extended && negateB) {
        SetIsubFlags(context, sum, srcA, srcB, op.WriteCC());
    } else {
        SetIaddFlags(context, sum, a, b, op.WriteCC(), extended);
    }
    WriteRd(context, op.Rd(), sum);
}

// Half select of one IADD3 operand.
Operand* Iadd3Extend(EmitterContext& context, Operand* operand, HalfSelect select) {
    switch (select) {
    case HalfSelect::B32:
        return operand;
    case HalfSelect::H0: {
        Operand* mask = Const(context, 0xFFFF);
        return Ins::BitwiseAnd(context, operand, mask);
    }
    case HalfSelect::H1: {
        Operand* sixteen = Const(context, 16);
        return Ins::ShiftRightU32(context, operand, sixteen);
    }
    }
    context.GpuAccessor().Log("Iadd3 has invalid component selection " + std::to_string(static_cast<int>(select)) +
                              ".");
    return operand;
}

// IADD3: A + B + C, each operand first reduced to its selected half (only the
// register form selects) and negated by its bit; the register form's Lrs
// shifts A + B right (1) or left (2) by 16 before C is added.
template <typename Op, SrcForm F> void Iadd3(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* srcC = SrcC<F, ValueType::Int>(context, op);
    Operand* a = Iadd3Extend(context, srcA, Optional::ASelect(op));
    if (op.NegA())
        a = Ins::INegate(context, a);
    Operand* b = Iadd3Extend(context, srcB, Optional::BSelect(op));
    if (op.NegB())
        b = Ins::INegate(context, b);
    Operand* c = Iadd3Extend(context, srcC, Optional::CSelect(op));
    if (op.NegC())
        c = Ins::INegate(context, c);

    Operand* sum = Ins::IAdd(context, a, b);
    const int lrs = Optional::Lrs(op);
    if (lrs == 1) {
        Operand* sixteen = Const(context, 16);
        sum = Ins::ShiftRightU32(context, sum, sixteen);
    } else if (lrs == 2) {
        Operand* sixteen = Const(context, 16);
        sum = Ins::ShiftLeft(context, sum, sixteen);
    }
    Operand* result = Ins::IAdd(context, sum, c);
    WriteRd(context, op.Rd(), result);
}

// High word of the 64-bit product of a and b with the given signedness.
Operand* MultiplyHigh(EmitterContext& context, Operand* a, Operand* b, bool signedA, bool signedB) {
    if (signedA && signedB)
        return Ins::MultiplyHighS32(context, a, b);
    Operand* product = Ins::MultiplyHighU32(context, a, b);
    if (signedA != signedB) {
        // A negative signed factor s contributes s + 2^32 to the unsigned
        // product: subtract the other factor from the high word.
        Operand* signedFactor = signedA ? a : b;
        Operand* other = signedA ? b : a;
        Operand* thirtyOne = Const(context, 31);
        Operand* sign = Ins::ShiftRightS32(context, signedFactor, thirtyOne);
        Operand* correction = Ins::IMultiply(context, other, sign);
        product = Ins::IAdd(context, product, correction);
    }
    return product;
}

// A * B + C for the IMAD and IMUL forms (an IMUL passes a constant 0 as C
// and has no AvgMode: nothing is negated). Hilo takes the high word of the
// 64-bit product, its factors signed as ASigned and BSigned say; AvgMode 2
// negates the product and 1 negates C.
template <typename Op> void MultiplyAdd(EmitterContext& context, const Op& op, Operand* srcA, Operand* srcB,
                                        Operand* srcC) {
    const int avgMode = Optional::AvgMode(op);
    const bool high = op.Hilo();
    const bool negateProduct = avgMode == 2;
    Operand* b = srcB;
    Operand* c = srcC;
    // The low word of -(A*B) is A*(-B); its high word is not (negating B
    // does not negate an unsigned or mixed-sign product, nor the product by
    // 0x80000000), so the high form negates the 64-bit product instead.
    if (negateProduct && !high)
        b = Ins::INegate(context, b);
    if (avgMode == 1)
        c = Ins::INegate(context, c);

    Operand* product;
    if (!high) {
        product = Ins::IMultiply(context, srcA, b);
    } else {
        product = MultiplyHigh(context, srcA, b, op.ASigned(), op.BSigned());
        if (negateProduct) {
            Operand* low = Ins::IMultiply(context, srcA, b);
            product = InstEmitAluHelper::NegateLong(context, low, product).second;
        }
    }

    Operand* result = product;
    if (!IsConstantZero(c))
        result = Ins::IAdd(context, product, c);
    WriteRd(context, op.Rd(), result);
}

template <typename Op, SrcForm F> void Imad(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* a = SrcA<ValueType::Int>(context, op);
    Operand* b = SrcB<F, ValueType::Int>(context, op);
    Operand* c = SrcC<F, ValueType::Int>(context, op);
    MultiplyAdd(context, op, a, b, c);
}

template <typename Op, SrcForm F> void Imul(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* a = SrcA<ValueType::Int>(context, op);
    Operand* b = SrcB<F, ValueType::Int>(context, op);
    Operand* zero = Const(context, 0);
    MultiplyAdd(context, op, a, b, zero);
}

// ISCADD: (A << Shift) + B, AvgMode 1 subtracting B and 2 subtracting the
// shifted A (the 32-bit immediate form has no AvgMode).
template <typename Op, SrcForm F> void Iscadd(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    const int avgMode = Optional::AvgMode(op);
    Operand* shiftOperand = Const(context, op.Shift());
    Operand* shifted = Ins::ShiftLeft(context, srcA, shiftOperand);
    Operand* a = shifted;
    Operand* b = srcB;
    if (avgMode == 2)
        a = Ins::INegate(context, a);
    if (avgMode == 1)
        b = Ins::INegate(context, b);
    Operand* sum = Ins::IAdd(context, a, b);
    if (avgMode == 2) {
        SetIsubFlags(context, sum, srcB, shifted, op.WriteCC());
    } else if (avgMode == 1) {
        SetIsubFlags(context, sum, shifted, srcB, op.WriteCC());
    } else {
        SetIaddFlags(context, sum, a, b, op.WriteCC(), false);
    }
    WriteRd(context, op.Rd(), sum);
}

// LEA: (A << Shift), negated by NegA, + B.
template <typename Op, SrcForm F> void Lea(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* shiftOperand = Const(context, op.Shift());
    Operand* shifted = Ins::ShiftLeft(context, srcA, shiftOperand);
    if (op.NegA())
        shifted = Ins::INegate(context, shifted);
    Operand* result = Ins::IAdd(context, shifted, srcB);
    WriteRd(context, op.Rd(), result);
}

// LEA.HI: B plus the high word of (C:A) << Shift, the 64-bit value negated
// first when NegA.
template <typename Op, SrcForm F> void LeaHi(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* srcC = SrcC<F, ValueType::Int>(context, op);
    const int shift = op.Shift();
    Operand* shiftOperand = Const(context, shift);
    Operand* low = Ins::ShiftLeft(context, srcA, shiftOperand);
    Operand* spill;
    if (shift != 0) {
        Operand* rest = Const(context, 32 - shift);
        spill = Ins::ShiftRightU32(context, srcA, rest);
    } else {
        spill = Const(context, 0); // a shift by 32 would be undefined
    }
    Operand* shiftOperand2 = Const(context, shift);
    Operand* highPart = Ins::ShiftLeft(context, srcC, shiftOperand2);
    Operand* high = Ins::BitwiseOr(context, spill, highPart);
    if (op.NegA()) {
        Operand* notLow = Ins::BitwiseNot(context, low);
        Operand* one = Const(context, 1);
        Operand* carry = nullptr;
        InstEmitAluHelper::AddWithCarry(context, notLow, one, carry);
        Operand* notHigh = Ins::BitwiseNot(context, high);
        high = Ins::IAdd(context, notHigh, carry);
    }
    Operand* result = Ins::IAdd(context, high, srcB);
    WriteRd(context, op.Rd(), result);
}

Operand* Extend16To32(EmitterContext& context, Operand* value, bool high, bool isSigned) {
    if (high && isSigned) {
        Operand* sixteen = Const(context, 16);
        return Ins::ShiftRightS32(context, value, sixteen);
    }
    if (isSigned) {
        Operand* offset = Const(context, 0);
        Operand* bits = Const(context, 16);
        return Ins::BitfieldExtractS32(context, value, offset, bits);
    }
    if (high) {
        Operand* sixteen = Const(context, 16);
        return Ins::ShiftRightU32(context, value, sixteen);
    }
    Operand* mask = Const(context, 0xFFFF);
    return Ins::BitwiseAnd(context, value, mask);
}

void LogInvalidXmadMode(EmitterContext& context, int mode) {
    context.GpuAccessor().Log("Invalid XMAD mode \"" + std::to_string(mode) + "\".");
}

// The XMAD addend modes of the forms whose Cop field is two bits wide
// (the constant-buffer forms) are the first four three-bit modes.
bool ToXmadCop(XmadCop mode, XmadCop& result) {
    result = mode;
    return true;
}

bool ToXmadCop(XmadCop2 mode, XmadCop& result) {
    switch (mode) {
    case XmadCop2::Cfull:
    case XmadCop2::Clo:
    case XmadCop2::Chi:
    case XmadCop2::Csfu:
        result = static_cast<XmadCop>(mode);
        return true;
    }
    return false;
}

// XMAD: the selected 16-bit halves of A and B multiplied (Psl shifts the
// product left by 16), plus C as Cop selects, plus the carry flag with X;
// Mrg replaces the high half of the result by the low half of B. The
// immediate form's B is a 16-bit constant without a half select.
template <typename Op, SrcForm F> void Xmad(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB;
    if constexpr (F == SrcForm::I) {
        srcB = Const(context, op.Imm16());
    } else {
        srcB = SrcB<F, ValueType::Int>(context, op);
    }
    Operand* srcC = SrcC<F, ValueType::Int>(context, op);

    XmadCop mode;
    if (!ToXmadCop(op.Cop(), mode)) {
        LogInvalidXmadMode(context, static_cast<int>(op.Cop()));
        return;
    }

    Operand* a = Extend16To32(context, srcA, op.HiloA(), op.ASigned());
    Operand* b = Extend16To32(context, srcB, Optional::HiloB(op), op.BSigned());

    Operand* product = Ins::IMultiply(context, a, b);
    if (Optional::Psl(op)) {
        Operand* sixteen = Const(context, 16);
        product = Ins::ShiftLeft(context, product, sixteen);
    }

    Operand* c;
    switch (mode) {
    case XmadCop::Cfull:
        c = srcC;
        break;
    case XmadCop::Clo:
        c = Extend16To32(context, srcC, false, false);
        break;
    case XmadCop::Chi:
        c = Extend16To32(context, srcC, true, false);
        break;
    case XmadCop::Csfu: {
        // Subtract 0x10000 for each factor that is negative after extension.
        Operand* thirtyOne = Const(context, 31);
        Operand* signA = Ins::ShiftRightU32(context, a, thirtyOne);
        Operand* sixteen = Const(context, 16);
        Operand* adjustA = Ins::ShiftLeft(context, signA, sixteen);
        Operand* thirtyOne2 = Const(context, 31);
        Operand* signB = Ins::ShiftRightU32(context, b, thirtyOne2);
        Operand* sixteen2 = Const(context, 16);
        Operand* adjustB = Ins::ShiftLeft(context, signB, sixteen2);
        Operand* adjust = Ins::IAdd(context, adjustA, adjustB);
        c = Ins::ISubtract(context, srcC, adjust);
        break;
    }
    case XmadCop::Cbcc: {
        Operand* sixteen = Const(context, 16);
        Operand* bHigh = Ins::ShiftLeft(context, srcB, sixteen);
        c = Ins::IAdd(context, srcC, bHigh);
        break;
    }
    default:
        LogInvalidXmadMode(context, static_cast<int>(mode));
        return;
    }

    const bool extended = op.X();
    Operand* sum = Ins::IAdd(context, product, c);
    if (extended)
        sum = AddCarryFlag(context, sum);
    SetIaddFlags(context, sum, product, c, op.WriteCC(), extended);

    if (Optional::Mrg(op)) {
        Operand* mask = Const(context, 0xFFFF);
        Operand* lowHalf = Ins::BitwiseAnd(context, sum, mask);
        Operand* sixteen = Const(context, 16);
        Operand* bHigh = Ins::ShiftLeft(context, srcB, sixteen);
        sum = Ins::BitwiseOr(context, lowHalf, bHigh);
    }
    WriteRd(context, op.Rd(), sum);
}

} // namespace

// IADD ------------------------------------------------------------------------

void IaddR(EmitterContext& context) { Iadd<Decoders::InstIaddR, SrcForm::R>(context); }
void IaddI(EmitterContext& context) { Iadd<Decoders::InstIaddI, SrcForm::I>(context); }
void IaddC(EmitterContext& context) { Iadd<Decoders::InstIaddC, SrcForm::C>(context); }
void Iadd32i(EmitterContext& context) { Iadd<Decoders::InstIadd32i, SrcForm::Imm32>(context); }

// IADD3 -----------------------------------------------------------------------

void Iadd3R(EmitterContext& context) { Iadd3<Decoders::InstIadd3R, SrcForm::R>(context); }
void Iadd3I(EmitterContext& context) { Iadd3<Decoders::InstIadd3I, SrcForm::I>(context); }
void Iadd3C(EmitterContext& context) { Iadd3<Decoders::InstIadd3C, SrcForm::C>(context); }

// IMAD, IMUL ------------------------------------------------------------------

void ImadR(EmitterContext& context) { Imad<Decoders::InstImadR, SrcForm::R>(context); }
void ImadI(EmitterContext& context) { Imad<Decoders::InstImadI, SrcForm::I>(context); }
void ImadC(EmitterContext& context) { Imad<Decoders::InstImadC, SrcForm::C>(context); }
void ImadRc(EmitterContext& context) { Imad<Decoders::InstImadRc, SrcForm::Rc>(context); }
void Imad32i(EmitterContext& context) { Imad<Decoders::InstImad32i, SrcForm::Imm32>(context); }
void ImulR(EmitterContext& context) { Imul<Decoders::InstImulR, SrcForm::R>(context); }
void ImulI(EmitterContext& context) { Imul<Decoders::InstImulI, SrcForm::I>(context); }
void ImulC(EmitterContext& context) { Imul<Decoders::InstImulC, SrcForm::C>(context); }
void Imul32i(EmitterContext& context) { Imul<Decoders::InstImul32i, SrcForm::Imm32>(context); }

// ISCADD ----------------------------------------------------------------------

void IscaddR(EmitterContext& context) { Iscadd<Decoders::InstIscaddR, SrcForm::R>(context); }
void IscaddI(EmitterContext& context) { Iscadd<Decoders::InstIscaddI, SrcForm::I>(context); }
void IscaddC(EmitterContext& context) { Iscadd<Decoders::InstIscaddC, SrcForm::C>(context); }
void Iscadd32i(EmitterContext& context) { Iscadd<Decoders::InstIscadd32i, SrcForm::Imm32>(context); }

// LEA -------------------------------------------------------------------------

void LeaR(EmitterContext& context) { Lea<Decoders::InstLeaR, SrcForm::R>(context); }
void LeaI(EmitterContext& context) { Lea<Decoders::InstLeaI, SrcForm::I>(context); }
void LeaC(EmitterContext& context) { Lea<Decoders::InstLeaC, SrcForm::C>(context); }
void LeaHiR(EmitterContext& context) { LeaHi<Decoders::InstLeaHiR, SrcForm::R>(context); }
void LeaHiC(EmitterContext& context) { LeaHi<Decoders::InstLeaHiC, SrcForm::C>(context); }

// XMAD ------------------------------------------------------------------------

void XmadR(EmitterContext& context) { Xmad<Decoders::InstXmadR, SrcForm::R>(context); }
void XmadI(EmitterContext& context) { Xmad<Decoders::InstXmadI, SrcForm::I>(context); }
void XmadC(EmitterContext& context) { Xmad<Decoders::InstXmadC, SrcForm::C>(context); }
void XmadRc(EmitterContext& context) { Xmad<Decoders::InstXmadRc, SrcForm::Rc>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
