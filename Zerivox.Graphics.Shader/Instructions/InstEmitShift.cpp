// Shift emitters: SHF (funnel shift of a 64-bit register pair), SHL and SHR.
//
// Host shifts by 32 or more are undefined, so every shift whose count can
// reach 32 has its result replaced by a select on the count.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsShift.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

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

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

void WriteRd(EmitterContext& context, int rd, Operand* value) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
}

// The shift count of SHF: register Rb, or the 6-bit immediate.
template <SrcForm F, typename Op> Operand* ShfCount(EmitterContext& context, const Op& op) {
    if constexpr (F == SrcForm::I) {
        return Const(context, op.Imm6());
    } else {
        return SrcB<F, ValueType::Int>(context, op);
    }
}

// High word of (C:A) >> s: C shifted right, logically or (MaxShift 3)
// arithmetically; counts of 32 and beyond in the wide forms leave only the
// fill, as does a clamped count past the width.
template <typename Op> void ShfRightHigh(EmitterContext& context, const Op& op, Operand* high, Operand* shift) {
    const int maxShift = op.MaxShift();
    const bool mask = op.M();
    const bool wide = maxShift >= 2;
    const bool arithmetic = maxShift == 3;
    Operand* s = shift;
    if (mask) {
        Operand* m = Const(context, wide ? 63 : 31);
        s = Ins::BitwiseAnd(context, s, m);
    }
    auto fill = [&]() -> Operand* {
        if (!arithmetic)
            return Const(context, 0);
        Operand* thirtyOne = Const(context, 31);
        return Ins::ShiftRightS32(context, high, thirtyOne);
    };
    Operand* res = arithmetic ? Ins::ShiftRightS32(context, high, s) : Ins::ShiftRightU32(context, high, s);
    if (wide) {
        Operand* thirtyTwo = Const(context, 32);
        Operand* beyond = Ins::ICompareGreaterOrEqualUnsigned(context, s, thirtyTwo);
        Operand* filled = fill();
        res = Ins::ConditionalSelect(context, beyond, filled, res);
    }
    if (!mask) {
        Operand* limit = Const(context, wide ? 64 : 32);
        Operand* inRange = Ins::ICompareLessUnsigned(context, s, limit);
        Operand* filled = fill();
        res = Ins::ConditionalSelect(context, inRange, res, filled);
    }
    WriteRd(context, op.Rd(), res);
    if (op.WriteCC())
        InstEmitAluHelper::SetZnFlags(context, res, true, false);
}

enum class Direction { Left, Right };

// SHF: funnel shift of (C:A) by B; left gives the high word of (C:A) << B,
// right the low word of (C:A) >> B (the high word with Hi). Wide (MaxShift 2,
// 3) shifts the full 64 bits, MaxShift 3 with an arithmetic right shift of C;
// M masks the count to the width, else counts past it give the fill.
template <typename Op, SrcForm F, Direction D> void Shf(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* low = SrcA<ValueType::Int>(context, op);
    Operand* shift = ShfCount<F>(context, op);
    Operand* high = SrcC<F, ValueType::Int>(context, op);
    if constexpr (D == Direction::Right) {
        if (op.Hi())
            return ShfRightHigh(context, op, high, shift);
    }
    constexpr bool left = D == Direction::Left;
    const int maxShift = op.MaxShift();
    const bool mask = op.M();
    const bool wide = maxShift >= 2;
    const int32_t widthMask = wide ? 63 : 31;
    // A count of 0 would shift the word that spills across by 32, which the
    // host leaves undefined; a count known to be non-zero needs no guard.
    const bool mayBeZero =
        shift->Type != OperandType::Constant || (mask ? (shift->Value & widthMask) : shift->Value) == 0;

    Operand* s = shift;
    if (mask) {
        Operand* m = Const(context, widthMask);
        s = Ins::BitwiseAnd(context, s, m);
    }

    Operand* res;
    if (left) {
        Operand* shiftedHigh = Ins::ShiftLeft(context, high, s);
        Operand* thirtyTwo = Const(context, 32);
        Operand* rest = Ins::ISubtract(context, thirtyTwo, s);
        Operand* spill = Ins::ShiftRightU32(context, low, rest);
        res = Ins::BitwiseOr(context, shiftedHigh, spill);
        if (wide) {
            Operand* thirtyTwo2 = Const(context, 32);
            Operand* beyond = Ins::ICompareGreaterOrEqualUnsigned(context, s, thirtyTwo2);
            Operand* thirtyTwo3 = Const(context, 32);
            Operand* excess = Ins::ISubtract(context, s, thirtyTwo3);
            Operand* shiftedLow = Ins::ShiftLeft(context, low, excess);
            res = Ins::ConditionalSelect(context, beyond, shiftedLow, res);
        }
    } else {
        Operand* shiftedLow = Ins::ShiftRightU32(context, low, s);
        Operand* thirtyTwo = Const(context, 32);
        Operand* rest = Ins::ISubtract(context, thirtyTwo, s);
        Operand* spill = Ins::ShiftLeft(context, high, rest);
        res = Ins::BitwiseOr(context, shiftedLow, spill);
        if (wide) {
            Operand* thirtyTwo2 = Const(context, 32);
            Operand* beyond = Ins::ICompareGreaterOrEqualUnsigned(context, s, thirtyTwo2);
            Operand* thirtyTwo3 = Const(context, 32);
            Operand* excess = Ins::ISubtract(context, s, thirtyTwo3);
            Operand* shiftedHigh =
                maxShift == 3 ? Ins::ShiftRightS32(context, high, excess) : Ins::ShiftRightU32(context, high, excess);
            res = Ins::ConditionalSelect(context, beyond, shiftedHigh, res);
        }
    }

    if (mayBeZero) {
        // Shifting by 0 gives the word itself: C to the left, A to the right.
        Operand* zero = Const(context, 0);
        Operand* none = Ins::ICompareEqual(context, s, zero);
        res = Ins::ConditionalSelect(context, none, left ? high : low, res);
    }

    if (!mask) {
        Operand* limit = Const(context, wide ? 64 : 32);
        Operand* inRange = Ins::ICompareLessUnsigned(context, s, limit);
        Operand* zero = Const(context, 0);
        res = Ins::ConditionalSelect(context, inRange, res, zero);
    }

    WriteRd(context, op.Rd(), res);
    if (op.WriteCC())
        InstEmitAluHelper::SetZnFlags(context, res, true, false);
}

// SHL: A << B; M masks the count to 5 bits, else counts of 32 or more give 0.
template <typename Op, SrcForm F> void Shl(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = SrcA<ValueType::Int>(context, op);
    Operand* shift = SrcB<F, ValueType::Int>(context, op);
    const bool mask = op.M();
    Operand* s = shift;
    if (mask) {
        Operand* m = Const(context, 31);
        s = Ins::BitwiseAnd(context, s, m);
    }
    Operand* res = Ins::ShiftLeft(context, value, s);
    if (!mask) {
        Operand* limit = Const(context, 32);
        Operand* inRange = Ins::ICompareLessUnsigned(context, s, limit);
        Operand* zero = Const(context, 0);
        res = Ins::ConditionalSelect(context, inRange, res, zero);
    }
    WriteRd(context, op.Rd(), res);
}

// SHR: A (bit-reversed first with Brev) >> B, arithmetic when Signed; M masks
// the count to 5 bits, else counts of 32 or more give the fill.
template <typename Op, SrcForm F> void Shr(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = SrcA<ValueType::Int>(context, op);
    Operand* shift = SrcB<F, ValueType::Int>(context, op);
    const bool mask = op.M();
    const bool isSigned = op.Signed();
    Operand* a = op.Brev() ? Ins::BitfieldReverse(context, value) : value;
    Operand* s = shift;
    if (mask) {
        Operand* m = Const(context, 31);
        s = Ins::BitwiseAnd(context, s, m);
    }
    Operand* res = isSigned ? Ins::ShiftRightS32(context, a, s) : Ins::ShiftRightU32(context, a, s);
    if (!mask) {
        Operand* limit = Const(context, 32);
        Operand* inRange = Ins::ICompareLessUnsigned(context, s, limit);
        Operand* fill;
        if (isSigned) {
            Operand* thirtyOne = Const(context, 31);
            fill = Ins::ShiftRightS32(context, a, thirtyOne);
        } else {
            fill = Const(context, 0);
        }
        res = Ins::ConditionalSelect(context, inRange, res, fill);
    }
    WriteRd(context, op.Rd(), res);
}

} // namespace

void ShfLR(EmitterContext& context) { Shf<Decoders::InstShfLR, SrcForm::R, Direction::Left>(context); }
void ShfRR(EmitterContext& context) { Shf<Decoders::InstShfRR, SrcForm::R, Direction::Right>(context); }
void ShfLI(EmitterContext& context) { Shf<Decoders::InstShfLI, SrcForm::I, Direction::Left>(context); }
void ShfRI(EmitterContext& context) { Shf<Decoders::InstShfRI, SrcForm::I, Direction::Right>(context); }
void ShlR(EmitterContext& context) { Shl<Decoders::InstShlR, SrcForm::R>(context); }
void ShlI(EmitterContext& context) { Shl<Decoders::InstShlI, SrcForm::I>(context); }
void ShlC(EmitterContext& context) { Shl<Decoders::InstShlC, SrcForm::C>(context); }
void ShrR(EmitterContext& context) { Shr<Decoders::InstShrR, SrcForm::R>(context); }
void ShrI(EmitterContext& context) { Shr<Decoders::InstShrI, SrcForm::I>(context); }
void ShrC(EmitterContext& context) { Shr<Decoders::InstShrC, SrcForm::C>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
