#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmitAluHelper {

namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using Decoders::BoolOp;
using Decoders::IDstFmt;
using Decoders::ISrcDstFmt;
using Decoders::RegisterType;
using Decoders::VectorSelect;

namespace {

constexpr int ZeroFlag = 0;
constexpr int NegativeFlag = 1;

[[noreturn]] void ThrowUnsupported(std::string_view name, int32_t value) {
    const std::string text = name.empty() ? std::to_string(value) : std::string(name);
    throw Common::ArgumentException("The type \"" + text + "\" is not a supported integer type.");
}

Operand* Flag(EmitterContext& context, int index) { return OH::Register(context.Arena(), index, RegisterType::Flag); }

} // namespace

int64_t GetIntMin(IDstFmt type) {
    switch (type) {
    case IDstFmt::U16:
    case IDstFmt::U32:
        return 0;
    case IDstFmt::S16:
        return -32768;
    case IDstFmt::S32:
        return -2147483648LL;
    default:
        ThrowUnsupported(Decoders::ToString(type), static_cast<int32_t>(type));
    }
}

int64_t GetIntMax(IDstFmt type) {
    switch (type) {
    case IDstFmt::U16:
        return 65535;
    case IDstFmt::U32:
        return 4294967295LL;
    case IDstFmt::S16:
        return 32767;
    case IDstFmt::S32:
        return 2147483647;
    default:
        ThrowUnsupported(Decoders::ToString(type), static_cast<int32_t>(type));
    }
}

int64_t GetIntMin(ISrcDstFmt type) {
    switch (type) {
    case ISrcDstFmt::U8:
    case ISrcDstFmt::U16:
    case ISrcDstFmt::U32:
        return 0;
    case ISrcDstFmt::S8:
        return -128;
    case ISrcDstFmt::S16:
        return -32768;
    case ISrcDstFmt::S32:
        return -2147483648LL;
    default:
        ThrowUnsupported(Decoders::ToString(type), static_cast<int32_t>(type));
    }
}

int64_t GetIntMax(ISrcDstFmt type) {
    switch (type) {
    case ISrcDstFmt::U8:
        return 255;
    case ISrcDstFmt::U16:
        return 65535;
    case ISrcDstFmt::U32:
        return 4294967295LL;
    case ISrcDstFmt::S8:
        return 127;
    case ISrcDstFmt::S16:
        return 32767;
    case ISrcDstFmt::S32:
        return 2147483647;
    default:
        ThrowUnsupported(Decoders::ToString(type), static_cast<int32_t>(type));
    }
}

Operand* GetPredLogicalOp(EmitterContext& context, BoolOp boolOp, Operand* a, Operand* b) {
    switch (boolOp) {
    case BoolOp::And:
        return Ins::BitwiseAnd(context, a, b);
    case BoolOp::Or:
        return Ins::BitwiseOr(context, a, b);
    case BoolOp::Xor:
        return Ins::BitwiseExclusiveOr(context, a, b);
    }
    return a;
}

Operand* Extend(EmitterContext& context, Operand* value, VectorSelect select) {
    const int sel = static_cast<int>(select) & 0xF;
    const bool isSigned = (sel & 8) != 0;
    const int kind = sel & 7;
    int shift;
    int bits;
    if (kind <= 3) {
        shift = kind * 8;
        bits = 8;
    } else if (kind <= 5) {
        shift = (kind - 4) * 16;
        bits = 16;
    } else {
        return value; // 6, 7, 14, 15: the whole word
    }
    // A shift by 0 is still emitted: the IR shape does not depend on the
    // byte number.
    Operand* shiftOperand = OH::MakeConstant(context.Arena(), shift);
    Operand* shifted = Ins::ShiftRightU32(context, value, shiftOperand);
    if (!isSigned)
        return InstEmitHelper::ZeroExtendTo32(context, shifted, bits);
    Operand* offset = OH::MakeConstant(context.Arena(), 0);
    Operand* count = OH::MakeConstant(context.Arena(), bits);
    return Ins::BitfieldExtractS32(context, shifted, offset, count);
}

void SetZnFlags(EmitterContext& context, Operand* result, bool setCC, bool extended) {
    if (!setCC)
        return;
    Operand* zero = OH::MakeConstant(context.Arena(), 0);
    Operand* isZero = Ins::ICompareEqual(context, result, zero);
    if (extended) {
        Operand* previous = Flag(context, ZeroFlag);
        isZero = Ins::BitwiseAnd(context, isZero, previous);
    }
    Operand* zeroFlag = Flag(context, ZeroFlag);
    Ins::Copy(context, zeroFlag, isZero);
    Operand* zero2 = OH::MakeConstant(context.Arena(), 0);
    Operand* isNegative = Ins::ICompareLess(context, result, zero2);
    Operand* negativeFlag = Flag(context, NegativeFlag);
    Ins::Copy(context, negativeFlag, isNegative);
}

void SetFPZnFlags(EmitterContext& context, Operand* result, bool setCC, Instruction fpType) {
    if (!setCC)
        return;
    Operand* zero = OH::MakeFloatConstant(context.Arena(), 0.0f);
    if (fpType == Instruction::FP64)
        zero = Ins::FP32ConvertToFP64(context, zero);
    Operand* isZero = Ins::FPCompareEqual(context, result, zero, fpType);
    Operand* zeroFlag = Flag(context, ZeroFlag);
    Ins::Copy(context, zeroFlag, isZero);
    Operand* isNegative = Ins::FPCompareLess(context, result, zero, fpType);
    Operand* negativeFlag = Flag(context, NegativeFlag);
    Ins::Copy(context, negativeFlag, isNegative);
}

Operand* AddWithCarry(EmitterContext& context, Operand* a, Operand* b, Operand*& carry) {
    Operand* sum = Ins::IAdd(context, a, b);
    Operand* wrapped = Ins::ICompareLessUnsigned(context, sum, a);
    carry = Ins::INegate(context, wrapped);
    return sum;
}

std::pair<Operand*, Operand*> NegateLong(EmitterContext& context, Operand* low, Operand* high) {
    Operand* notLow = Ins::BitwiseNot(context, low);
    Operand* one = OH::MakeConstant(context.Arena(), 1);
    Operand* carry = nullptr;
    Operand* newLow = AddWithCarry(context, notLow, one, carry);
    Operand* notHigh = Ins::BitwiseNot(context, high);
    Operand* newHigh = Ins::IAdd(context, notHigh, carry);
    return {newLow, newHigh};
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmitAluHelper
