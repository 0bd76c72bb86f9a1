// Video integer instructions: multiply-add with a 64-bit intermediate,
// minimum/maximum with a secondary operation, and compare-to-predicates, all
// on selected bytes or halves of their registers.
#include <utility>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsVideo.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitIntegerComparison.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using namespace Translation::EmitterContextInsts;
using Decoders::VectorSelect;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

bool IsSigned(VectorSelect select) { return (static_cast<int32_t>(select) & 8) != 0; }
bool IsWhole(VectorSelect select) { return (static_cast<int32_t>(select) & 7) >= 6; }

template <typename Op>
Operand* VideoA(EmitterContext& context, const Op& op) {
    Operand* a = InstEmitHelper::ReadRegister(context, op.Ra());
    return InstEmitAluHelper::Extend(context, a, op.ASelect());
}

// B is a selected register part, or the 16-bit immediate extended by the
// select's signedness alone.
template <typename Op>
Operand* VideoB(EmitterContext& context, const Op& op) {
    if (op.BVideo()) {
        Operand* b = InstEmitHelper::ReadRegister(context, op.Rb());
        return InstEmitAluHelper::Extend(context, b, op.BSelect());
    }
    const uint32_t imm = static_cast<uint32_t>(op.Imm16());
    const int32_t value = IsSigned(op.BSelect()) ? static_cast<int32_t>(static_cast<int16_t>(imm))
                                                 : static_cast<int32_t>(imm);
    return Const(context, value);
}

} // namespace

void Vmad(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstVmad>();
    Operand* a = VideoA(context, op);
    Operand* b = VideoB(context, op);
    Operand* c = InstEmitHelper::ReadRegister(context, op.Rc());
    const int avgMode = op.AvgMode();
    if (avgMode == 1) c = INegate(context, c);

    const bool aSigned = IsSigned(op.ASelect());
    const bool bSigned = IsSigned(op.BSelect());
    Operand* lo = IMultiply(context, a, b);
    Operand* hi = nullptr;
    if (aSigned == bSigned) {
        hi = aSigned ? MultiplyHighS32(context, a, b) : MultiplyHighU32(context, a, b);
    } else {
        // Unsigned high product, less u when the signed operand is negative.
        Operand* s = aSigned ? a : b;
        Operand* u = aSigned ? b : a;
        Operand* thirtyOne = Const(context, 31);
        Operand* sign = ShiftRightS32(context, s, thirtyOne);
        Operand* correction = IMultiply(context, u, sign);
        Operand* high = MultiplyHighU32(context, a, b);
        hi = IAdd(context, correction, high);
    }
    if (avgMode == 2) std::tie(lo, hi) = InstEmitAluHelper::NegateLong(context, lo, hi);

    const bool resultSigned =
        op.ASelect() == VectorSelect::S32 || op.BSelect() == VectorSelect::S32 || avgMode == 1 || avgMode == 2;

    Operand* carry = nullptr;
    lo = InstEmitAluHelper::AddWithCarry(context, lo, c, carry);
    hi = IAdd(context, hi, carry);
    if (resultSigned) {
        // In the signed modes C (negated C included) is a signed value: its
        // sign extends into the high word, or -C would add 2^32 - C.
        Operand* thirtyOne = Const(context, 31);
        Operand* cHigh = ShiftRightS32(context, c, thirtyOne);
        hi = IAdd(context, hi, cHigh);
    }
    if (avgMode == 3) {
        Operand* one = Const(context, 1);
        Operand* carry2 = nullptr;
        lo = InstEmitAluHelper::AddWithCarry(context, lo, one, carry2);
        hi = IAdd(context, hi, carry2);
    }

    const int scale = op.VideoScale();
    if (scale == 1 || scale == 2) {
        const int n = scale == 1 ? 7 : 15;
        Operand* shift = Const(context, n);
        Operand* loShifted = ShiftRightU32(context, lo, shift);
        Operand* backShift = Const(context, 32 - n);
        Operand* hiBits = ShiftLeft(context, hi, backShift);
        lo = BitwiseOr(context, loShifted, hiBits);
        Operand* shiftAgain = Const(context, n);
        hi = resultSigned ? ShiftRightS32(context, hi, shiftAgain) : ShiftRightU32(context, hi, shiftAgain);
    }

    if (op.Sat()) {
        Operand* thirtyOne = Const(context, 31);
        Operand* t = ShiftRightS32(context, hi, thirtyOne);
        if (resultSigned) {
            Operand* thirtyOneAgain = Const(context, 31);
            Operand* loSign = ShiftRightS32(context, lo, thirtyOneAgain);
            Operand* overflow = ICompareNotEqual(context, hi, loSign);
            Operand* minValue = Const(context, static_cast<int32_t>(0x80000000u));
            Operand* maxValue = Const(context, 0x7FFFFFFF);
            Operand* clamped = ConditionalSelect(context, t, minValue, maxValue);
            lo = ConditionalSelect(context, overflow, clamped, lo);
        } else {
            Operand* zero = Const(context, 0);
            Operand* overflow = ICompareNotEqual(context, hi, zero);
            Operand* clamped = BitwiseNot(context, t);
            lo = ConditionalSelect(context, overflow, clamped, lo);
        }
    }

    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, lo);
}

void Vmnmx(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstVmnmx>();
    Operand* a = VideoA(context, op);
    Operand* b = VideoB(context, op);
    Operand* c = InstEmitHelper::ReadRegister(context, op.Rc());
    const bool aSigned = IsSigned(op.ASelect());
    const bool bSigned = IsSigned(op.BSelect());
    const bool max = op.Mn();

    Operand* r = nullptr;
    bool resultSigned = false;
    if (aSigned == bSigned) {
        resultSigned = aSigned;
        if (aSigned) {
            r = max ? IMaximumS32(context, a, b) : IMinimumS32(context, a, b);
        } else {
            r = max ? IMaximumU32(context, a, b) : IMinimumU32(context, a, b);
        }
    } else {
        // Mixed signedness compared by magnitude: an unsigned operand with bit
        // 31 set exceeds every signed value; otherwise both fit a signed
        // comparison.
        Operand* s = aSigned ? a : b;
        Operand* u = aSigned ? b : a;
        Operand* zero = Const(context, 0);
        Operand* huge = ICompareLess(context, u, zero);
        Operand* m = max ? IMaximumS32(context, a, b) : IMinimumS32(context, a, b);
        r = ConditionalSelect(context, huge, max ? u : s, m);
        resultSigned = !max;
    }

    if (op.Sat()) {
        if (op.DFormat() && !resultSigned) {
            Operand* limit = Const(context, 0x7FFFFFFF);
            r = IMinimumU32(context, r, limit);
        } else if (!op.DFormat() && resultSigned) {
            Operand* zero = Const(context, 0);
            r = IMaximumS32(context, r, zero);
        }
    }

    auto insert = [&](int offset, int bits) {
        Operand* offsetConst = Const(context, offset);
        Operand* bitsConst = Const(context, bits);
        return BitfieldInsert(context, c, r, offsetConst, bitsConst);
    };
    switch (op.VideoOp()) {
    case 0:
        r = insert(16, 16);
        break;
    case 1:
        r = insert(0, 16);
        break;
    case 2:
        r = insert(0, 8);
        break;
    case 3:
        r = insert(16, 8);
        break;
    case 4:
        r = IAdd(context, r, c);
        break;
    case 5:
        r = op.DFormat() ? IMinimumS32(context, r, c) : IMinimumU32(context, r, c);
        break;
    case 6:
        r = op.DFormat() ? IMaximumS32(context, r, c) : IMaximumU32(context, r, c);
        break;
    default:
        break;
    }

    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, r);
}

void Vsetp(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstVsetp>();
    Operand* a = VideoA(context, op);
    Operand* b = VideoB(context, op);
    const bool aSigned = IsSigned(op.ASelect());
    const bool bSigned = IsSigned(op.BSelect());

    Operand* r = nullptr;
    if (aSigned != bSigned && (IsWhole(op.ASelect()) || IsWhole(op.BSelect()))) {
        r = Const(context, 0);
    } else {
        // Extended bytes and halves compare exactly as signed values even
        // when their signedness differs.
        const bool isSigned = aSigned == bSigned ? aSigned : true;
        r = GetIntComparison(context, op.VComp(), a, b, isSigned);
    }

    Operand* nr = BitwiseNot(context, r);
    Operand* p = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* pd = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), r, p);
    Operand* pdDest = InstEmitHelper::GetPredDest(context, op.Pd());
    Copy(context, pdDest, pd);
    Operand* pdn = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), nr, p);
    Operand* pdnDest = InstEmitHelper::GetPredDest(context, op.Pdn());
    Copy(context, pdnDest, pdn);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
