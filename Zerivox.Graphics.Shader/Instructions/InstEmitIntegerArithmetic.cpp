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
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadImm20;
using InstEmitHelper::ReadImm32;
using InstEmitHelper::ReadRegister;

namespace {

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

void EmitIadd(EmitterContext& context, Operand* srcA, Operand* srcB, int rd, int avgMode, bool extended, bool writeCC) {
    const bool negateA = avgMode == 2;
    const bool negateB = avgMode == 1;
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
        SetIsubFlags(context, sum, srcB, srcA, writeCC);
    } else if (!extended && negateB) {
        SetIsubFlags(context, sum, srcA, srcB, writeCC);
    } else {
        SetIaddFlags(context, sum, a, b, writeCC, extended);
    }
    WriteRd(context, rd, sum);
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

void EmitIadd3(EmitterContext& context, int lrs, Operand* srcA, Operand* srcB, Operand* srcC, HalfSelect selectA,
               HalfSelect selectB, HalfSelect selectC, int rd, bool negateA, bool negateB, bool negateC) {
    Operand* a = Iadd3Extend(context, srcA, selectA);
    if (negateA)
        a = Ins::INegate(context, a);
    Operand* b = Iadd3Extend(context, srcB, selectB);
    if (negateB)
        b = Ins::INegate(context, b);
    Operand* c = Iadd3Extend(context, srcC, selectC);
    if (negateC)
        c = Ins::INegate(context, c);

    Operand* sum = Ins::IAdd(context, a, b);
    if (lrs == 1) {
        Operand* sixteen = Const(context, 16);
        sum = Ins::ShiftRightU32(context, sum, sixteen);
    } else if (lrs == 2) {
        Operand* sixteen = Const(context, 16);
        sum = Ins::ShiftLeft(context, sum, sixteen);
    }
    Operand* result = Ins::IAdd(context, sum, c);
    WriteRd(context, rd, result);
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

void EmitImad(EmitterContext& context, Operand* srcA, Operand* srcB, Operand* srcC, int rd, int avgMode, bool signedA,
              bool signedB, bool high) {
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
        product = MultiplyHigh(context, srcA, b, signedA, signedB);
        if (negateProduct) {
            Operand* low = Ins::IMultiply(context, srcA, b);
            product = InstEmitAluHelper::NegateLong(context, low, product).second;
        }
    }

    Operand* result = product;
    if (!IsConstantZero(c))
        result = Ins::IAdd(context, product, c);
    WriteRd(context, rd, result);
}

void EmitIscadd(EmitterContext& context, Operand* srcA, Operand* srcB, int rd, int shift, int avgMode, bool writeCC) {
    Operand* shiftOperand = Const(context, shift);
    Operand* shifted = Ins::ShiftLeft(context, srcA, shiftOperand);
    Operand* a = shifted;
    Operand* b = srcB;
    if (avgMode == 2)
        a = Ins::INegate(context, a);
    if (avgMode == 1)
        b = Ins::INegate(context, b);
    Operand* sum = Ins::IAdd(context, a, b);
    if (avgMode == 2) {
        SetIsubFlags(context, sum, srcB, shifted, writeCC);
    } else if (avgMode == 1) {
        SetIsubFlags(context, sum, shifted, srcB, writeCC);
    } else {
        SetIaddFlags(context, sum, a, b, writeCC, false);
    }
    WriteRd(context, rd, sum);
}

void EmitLea(EmitterContext& context, Operand* srcA, Operand* srcB, int rd, bool negateA, int shift) {
    Operand* shiftOperand = Const(context, shift);
    Operand* shifted = Ins::ShiftLeft(context, srcA, shiftOperand);
    if (negateA)
        shifted = Ins::INegate(context, shifted);
    Operand* result = Ins::IAdd(context, shifted, srcB);
    WriteRd(context, rd, result);
}

// B plus the high word of (C:A) << shift, the 64-bit value negated first
// when negateA.
void EmitLeaHi(EmitterContext& context, Operand* srcA, Operand* srcB, Operand* srcC, int rd, bool negateA, int shift) {
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
    if (negateA) {
        Operand* notLow = Ins::BitwiseNot(context, low);
        Operand* one = Const(context, 1);
        Operand* carry = nullptr;
        InstEmitAluHelper::AddWithCarry(context, notLow, one, carry);
        Operand* notHigh = Ins::BitwiseNot(context, high);
        high = Ins::IAdd(context, notHigh, carry);
    }
    Operand* result = Ins::IAdd(context, high, srcB);
    WriteRd(context, rd, result);
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

void EmitXmad(EmitterContext& context, XmadCop mode, Operand* srcA, Operand* srcB, Operand* srcC, int rd, bool signedA,
              bool signedB, bool highA, bool highB, bool productShiftLeft, bool merge, bool extended, bool writeCC) {
    Operand* a = Extend16To32(context, srcA, highA, signedA);
    Operand* b = Extend16To32(context, srcB, highB, signedB);

    Operand* product = Ins::IMultiply(context, a, b);
    if (productShiftLeft) {
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

    Operand* sum = Ins::IAdd(context, product, c);
    if (extended)
        sum = AddCarryFlag(context, sum);
    SetIaddFlags(context, sum, product, c, writeCC, extended);

    if (merge) {
        Operand* mask = Const(context, 0xFFFF);
        Operand* lowHalf = Ins::BitwiseAnd(context, sum, mask);
        Operand* sixteen = Const(context, 16);
        Operand* bHigh = Ins::ShiftLeft(context, srcB, sixteen);
        sum = Ins::BitwiseOr(context, lowHalf, bHigh);
    }
    WriteRd(context, rd, sum);
}

void EmitXmad(EmitterContext& context, XmadCop2 mode, Operand* srcA, Operand* srcB, Operand* srcC, int rd, bool signedA,
              bool signedB, bool highA, bool highB, bool productShiftLeft, bool merge, bool extended, bool writeCC) {
    switch (mode) {
    case XmadCop2::Cfull:
    case XmadCop2::Clo:
    case XmadCop2::Chi:
    case XmadCop2::Csfu:
        EmitXmad(context, static_cast<XmadCop>(mode), srcA, srcB, srcC, rd, signedA, signedB, highA, highB,
                 productShiftLeft, merge, extended, writeCC);
        return;
    }
    LogInvalidXmadMode(context, static_cast<int>(mode));
}

} // namespace

// IADD ------------------------------------------------------------------------

void IaddR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIaddR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    EmitIadd(context, a, b, op.Rd(), op.AvgMode(), op.X(), op.WriteCC());
}

void IaddI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIaddI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    EmitIadd(context, a, b, op.Rd(), op.AvgMode(), op.X(), op.WriteCC());
}

void IaddC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIaddC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitIadd(context, a, b, op.Rd(), op.AvgMode(), op.X(), op.WriteCC());
}

void Iadd32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIadd32i>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm32(context, op.Imm32());
    EmitIadd(context, a, b, op.Rd(), op.AvgMode(), op.X(), op.WriteCC());
}

// IADD3 -----------------------------------------------------------------------

void Iadd3R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIadd3R>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitIadd3(context, op.Lrs(), a, b, c, op.ASelect(), op.BSelect(), op.CSelect(), op.Rd(), op.NegA(), op.NegB(),
              op.NegC());
}

void Iadd3I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIadd3I>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    Operand* c = ReadRegister(context, op.Rc());
    EmitIadd3(context, 0, a, b, c, HalfSelect::B32, HalfSelect::B32, HalfSelect::B32, op.Rd(), op.NegA(), op.NegB(),
              op.NegC());
}

void Iadd3C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIadd3C>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* c = ReadRegister(context, op.Rc());
    EmitIadd3(context, 0, a, b, c, HalfSelect::B32, HalfSelect::B32, HalfSelect::B32, op.Rd(), op.NegA(), op.NegB(),
              op.NegC());
}

// IMAD, IMUL ------------------------------------------------------------------

void ImadR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImadR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitImad(context, a, b, c, op.Rd(), op.AvgMode(), op.ASigned(), op.BSigned(), op.Hilo());
}

void ImadI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImadI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    Operand* c = ReadRegister(context, op.Rc());
    EmitImad(context, a, b, c, op.Rd(), op.AvgMode(), op.ASigned(), op.BSigned(), op.Hilo());
}

void ImadC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImadC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* c = ReadRegister(context, op.Rc());
    EmitImad(context, a, b, c, op.Rd(), op.AvgMode(), op.ASigned(), op.BSigned(), op.Hilo());
}

void ImadRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImadRc>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rc());
    Operand* c = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitImad(context, a, b, c, op.Rd(), op.AvgMode(), op.ASigned(), op.BSigned(), op.Hilo());
}

void Imad32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImad32i>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm32(context, op.Imm32());
    Operand* c = ReadRegister(context, op.Rd());
    EmitImad(context, a, b, c, op.Rd(), op.AvgMode(), op.ASigned(), op.BSigned(), op.Hilo());
}

void ImulR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImulR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* zero = Const(context, 0);
    EmitImad(context, a, b, zero, op.Rd(), 0, op.ASigned(), op.BSigned(), op.Hilo());
}

void ImulI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImulI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    Operand* zero = Const(context, 0);
    EmitImad(context, a, b, zero, op.Rd(), 0, op.ASigned(), op.BSigned(), op.Hilo());
}

void ImulC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImulC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* zero = Const(context, 0);
    EmitImad(context, a, b, zero, op.Rd(), 0, op.ASigned(), op.BSigned(), op.Hilo());
}

void Imul32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstImul32i>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm32(context, op.Imm32());
    Operand* zero = Const(context, 0);
    EmitImad(context, a, b, zero, op.Rd(), 0, op.ASigned(), op.BSigned(), op.Hilo());
}

// ISCADD ----------------------------------------------------------------------

void IscaddR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIscaddR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    EmitIscadd(context, a, b, op.Rd(), op.Shift(), op.AvgMode(), op.WriteCC());
}

void IscaddI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIscaddI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    EmitIscadd(context, a, b, op.Rd(), op.Shift(), op.AvgMode(), op.WriteCC());
}

void IscaddC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIscaddC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitIscadd(context, a, b, op.Rd(), op.Shift(), op.AvgMode(), op.WriteCC());
}

void Iscadd32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIscadd32i>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm32(context, op.Imm32());
    Operand* shift = Const(context, op.Shift());
    Operand* shifted = Ins::ShiftLeft(context, a, shift);
    Operand* sum = Ins::IAdd(context, shifted, b);
    SetIaddFlags(context, sum, shifted, b, op.WriteCC(), false);
    WriteRd(context, op.Rd(), sum);
}

// LEA -------------------------------------------------------------------------

void LeaR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLeaR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    EmitLea(context, a, b, op.Rd(), op.NegA(), op.Shift());
}

void LeaI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLeaI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    EmitLea(context, a, b, op.Rd(), op.NegA(), op.Shift());
}

void LeaC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLeaC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitLea(context, a, b, op.Rd(), op.NegA(), op.Shift());
}

void LeaHiR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLeaHiR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitLeaHi(context, a, b, c, op.Rd(), op.NegA(), op.Shift());
}

void LeaHiC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLeaHiC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* c = ReadRegister(context, op.Rc());
    EmitLeaHi(context, a, b, c, op.Rd(), op.NegA(), op.Shift());
}

// XMAD ------------------------------------------------------------------------

void XmadR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstXmadR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitXmad(context, op.Cop(), a, b, c, op.Rd(), op.ASigned(), op.BSigned(), op.HiloA(), op.HiloB(), op.Psl(),
             op.Mrg(), op.X(), op.WriteCC());
}

void XmadI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstXmadI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = Const(context, op.Imm16());
    Operand* c = ReadRegister(context, op.Rc());
    EmitXmad(context, op.Cop(), a, b, c, op.Rd(), op.ASigned(), op.BSigned(), op.HiloA(), false, op.Psl(), op.Mrg(),
             op.X(), op.WriteCC());
}

void XmadC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstXmadC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* c = ReadRegister(context, op.Rc());
    EmitXmad(context, op.Cop(), a, b, c, op.Rd(), op.ASigned(), op.BSigned(), op.HiloA(), op.HiloB(), op.Psl(),
             op.Mrg(), op.X(), op.WriteCC());
}

void XmadRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstXmadRc>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rc());
    Operand* c = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitXmad(context, op.Cop(), a, b, c, op.Rd(), op.ASigned(), op.BSigned(), op.HiloA(), op.HiloB(), false, false,
             op.X(), op.WriteCC());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
