// Shift emitters: SHF (funnel shift of a 64-bit register pair), SHL and SHR.
//
// Host shifts by 32 or more are undefined, so every shift whose count can
// reach 32 has its result replaced by a select on the count.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsShift.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Operand;
using IntermediateRepresentation::OperandType;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadImm20;
using InstEmitHelper::ReadRegister;

namespace {

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

void WriteRd(EmitterContext& context, int rd, Operand* value) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
}

// Funnel shift of (C:A): left gives the high word of (C:A) << s, right the
// low word of (C:A) >> s. wide (MaxShift 2, 3) shifts the full 64 bits,
// MaxShift 3 with an arithmetic right shift of C.
void EmitShf(EmitterContext& context, int maxShift, Operand* low, Operand* shift, Operand* high, int rd, bool mask,
             bool left, bool writeCC) {
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

    WriteRd(context, rd, res);
    if (writeCC)
        InstEmitAluHelper::SetZnFlags(context, res, true, false);
}

// High word of (C:A) >> s: C shifted right, logically or (MaxShift 3)
// arithmetically; counts of 32 and beyond in the wide forms leave only the
// fill, as does a clamped count past the width.
void EmitShfRightHigh(EmitterContext& context, int maxShift, Operand* high, Operand* shift, int rd, bool mask,
                      bool writeCC) {
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
    WriteRd(context, rd, res);
    if (writeCC)
        InstEmitAluHelper::SetZnFlags(context, res, true, false);
}

void EmitShl(EmitterContext& context, Operand* value, Operand* shift, int rd, bool mask) {
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
    WriteRd(context, rd, res);
}

void EmitShr(EmitterContext& context, Operand* value, Operand* shift, int rd, bool mask, bool bitReverse,
             bool isSigned) {
    Operand* a = bitReverse ? Ins::BitfieldReverse(context, value) : value;
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
    WriteRd(context, rd, res);
}

} // namespace

void ShfLR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShfLR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitShf(context, op.MaxShift(), a, s, c, op.Rd(), op.M(), true, op.WriteCC());
}

void ShfRR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShfRR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    if (op.Hi())
        return EmitShfRightHigh(context, op.MaxShift(), c, s, op.Rd(), op.M(), op.WriteCC());
    EmitShf(context, op.MaxShift(), a, s, c, op.Rd(), op.M(), false, op.WriteCC());
}

void ShfLI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShfLI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = Const(context, op.Imm6());
    Operand* c = ReadRegister(context, op.Rc());
    EmitShf(context, op.MaxShift(), a, s, c, op.Rd(), op.M(), true, op.WriteCC());
}

void ShfRI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShfRI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = Const(context, op.Imm6());
    Operand* c = ReadRegister(context, op.Rc());
    if (op.Hi())
        return EmitShfRightHigh(context, op.MaxShift(), c, s, op.Rd(), op.M(), op.WriteCC());
    EmitShf(context, op.MaxShift(), a, s, c, op.Rd(), op.M(), false, op.WriteCC());
}

void ShlR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShlR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadRegister(context, op.Rb());
    EmitShl(context, a, s, op.Rd(), op.M());
}

void ShlI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShlI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadImm20(context, op.Imm20());
    EmitShl(context, a, s, op.Rd(), op.M());
}

void ShlC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShlC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitShl(context, a, s, op.Rd(), op.M());
}

void ShrR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShrR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadRegister(context, op.Rb());
    EmitShr(context, a, s, op.Rd(), op.M(), op.Brev(), op.Signed());
}

void ShrI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShrI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadImm20(context, op.Imm20());
    EmitShr(context, a, s, op.Rd(), op.M(), op.Brev(), op.Signed());
}

void ShrC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShrC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* s = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitShr(context, a, s, op.Rd(), op.M(), op.Brev(), op.Signed());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
