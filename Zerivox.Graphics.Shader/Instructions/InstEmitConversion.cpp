// Conversion emitters: F2F (float to float, optionally rounding to an
// integral value), F2I (float to integer), I2F (integer to float) and I2I
// (integer to integer).
//
// Half-precision values travel through the IR as FP32 values: unpacked from
// their 16-bit half on entry, packed into the low half on exit. Doubles are
// single 64-bit IR values built from register pairs.
#include <cstdint>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsConversion.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::DstFmt;
using Decoders::HalfSwizzle;
using Decoders::IDstFmt;
using Decoders::ISrcDstFmt;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadRegister;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

namespace {

[[noreturn]] void ThrowInvalidFloatType(DstFmt type) {
    const std::string text = std::to_string(static_cast<int32_t>(type));
    throw Common::ArgumentException("Invalid floating point type \"" + text + "\".");
}

Instruction FloatFlag(DstFmt type) { return type == DstFmt::F64 ? Instruction::FP64 : Instruction::FP32; }

Operand* Constant(EmitterContext& context, int64_t value) {
    return OH::MakeConstant(context.Arena(), static_cast<int32_t>(static_cast<uint32_t>(value)));
}

// Float source from register reg: a half lane (high when h), a single, or
// the pair reg, reg | 1.
Operand* UnpackReg(EmitterContext& context, DstFmt floatType, bool h, int reg) {
    switch (floatType) {
    case DstFmt::F32:
        return ReadRegister(context, reg);
    case DstFmt::F16: {
        Operand* value = ReadRegister(context, reg);
        const auto lanes = InstEmitHelper::GetHalfUnpacked(context, value, HalfSwizzle::F16);
        return lanes[h ? 1 : 0];
    }
    case DstFmt::F64:
        return InstEmitHelper::ReadRegisterPair(context, reg);
    }
    ThrowInvalidFloatType(floatType);
}

Operand* UnpackCbuf(EmitterContext& context, DstFmt floatType, bool h, int slot, int offset) {
    switch (floatType) {
    case DstFmt::F32:
        return ReadCbuf(context, slot, offset);
    case DstFmt::F16: {
        Operand* value = ReadCbuf(context, slot, offset);
        const auto lanes = InstEmitHelper::GetHalfUnpacked(context, value, HalfSwizzle::F16);
        return lanes[h ? 1 : 0];
    }
    case DstFmt::F64:
        return InstEmitHelper::ReadCbufPair(context, slot, offset);
    }
    ThrowInvalidFloatType(floatType);
}

// imm is the 20-bit field already shifted to the top of a 32-bit word.
Operand* UnpackImm(EmitterContext& context, DstFmt floatType, bool h, uint32_t imm) {
    switch (floatType) {
    case DstFmt::F32:
        return Constant(context, imm);
    case DstFmt::F16: {
        Operand* value = Constant(context, imm);
        const auto lanes = InstEmitHelper::GetHalfUnpacked(context, value, HalfSwizzle::F16);
        return lanes[h ? 1 : 0];
    }
    case DstFmt::F64: {
        Operand* low = Constant(context, 0);
        Operand* high = Constant(context, imm);
        return Ins::PackDouble2x32(context, low, high);
    }
    }
    ThrowInvalidFloatType(floatType);
}

uint32_t FloatImm(int imm20) { return (static_cast<uint32_t>(imm20) & 0xFFFFFu) << 12; }

// A format that names no float type is rejected like an invalid source
// format: writing the FP32 value the workers produce as a double would hand
// the back end a value of the wrong width.
void WriteFP(EmitterContext& context, DstFmt dstType, Operand* value, int rd) {
    switch (dstType) {
    case DstFmt::F32: {
        Operand* dest = InstEmitHelper::GetDest(context, rd);
        Ins::Copy(context, dest, value);
        return;
    }
    case DstFmt::F16: {
        // The half goes to the low 16 bits; the high half becomes 0.
        Operand* zero = Constant(context, 0);
        Operand* packed = Ins::PackHalf2x16(context, value, zero);
        Operand* dest = InstEmitHelper::GetDest(context, rd);
        Ins::Copy(context, dest, packed);
        return;
    }
    case DstFmt::F64:
        InstEmitHelper::SetDest(context, value, rd, true);
        return;
    }
    ThrowInvalidFloatType(dstType);
}

Operand* RoundToIntegral(EmitterContext& context, int mode, Operand* value, Instruction fpType) {
    switch (mode) {
    case 0:
        return Ins::FPRound(context, value, fpType);
    case 1:
        return Ins::FPFloor(context, value, fpType);
    case 2:
        return Ins::FPCeiling(context, value, fpType);
    default:
        return Ins::FPTruncate(context, value, fpType);
    }
}

// The float source B of F2F and F2I in the source format SrcFmt: a half lane
// (the high one with Sh), a single or a double.
template <SrcForm F, typename Op> Operand* FloatSource(EmitterContext& context, const Op& op) {
    if constexpr (F == SrcForm::R) {
        return UnpackReg(context, op.SrcFmt(), op.Sh(), op.Rb());
    } else if constexpr (F == SrcForm::I) {
        return UnpackImm(context, op.SrcFmt(), op.Sh(), FloatImm(op.Imm20()));
    } else {
        static_assert(F == SrcForm::C);
        return UnpackCbuf(context, op.SrcFmt(), op.Sh(), op.CbufSlot(), op.CbufOffset());
    }
}

// F2F: B converted from SrcFmt to DstFmt after |B| (AbsB) and negation (NegB),
// rounded to an integral value by RoundMode 4-7 when the formats agree.
template <typename Op, SrcForm F> void F2f(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* src = FloatSource<F>(context, op);
    const DstFmt srcType = op.SrcFmt();
    const DstFmt dstType = op.DstFmt();
    const int roundingMode = op.RoundMode();
    const Instruction srcFlag = FloatFlag(srcType);
    const Instruction dstFlag = FloatFlag(dstType);
    Operand* value = src;
    if (op.AbsB()) value = Ins::FPAbsolute(context, value, srcFlag);
    if (op.NegB()) value = Ins::FPNegate(context, value, srcFlag);

    // Rounding to an integral value exists only for same-format moves; a
    // format change reads no rounding field.
    if (srcType == dstType && roundingMode >= 4) value = RoundToIntegral(context, roundingMode - 4, value, dstFlag);

    // Halves travel as FP32, so only the width of the IR value decides
    // whether a conversion is needed (F16 <-> F64 included).
    if (srcFlag == Instruction::FP32 && dstFlag == Instruction::FP64) {
        value = Ins::FP32ConvertToFP64(context, value);
    } else if (srcFlag == Instruction::FP64 && dstFlag == Instruction::FP32) {
        value = Ins::FP64ConvertToFP32(context, value);
    }

    if (op.Sat()) value = Ins::FPSaturate(context, value, dstFlag);
    WriteFP(context, dstType, value, op.Rd());
}

// F2I: B in SrcFmt, after |B| and negation, rounded by RoundMode and
// converted to the integer format IDstFmt, saturating.
template <typename Op, SrcForm F> void F2i(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* src = FloatSource<F>(context, op);
    const DstFmt srcType = op.SrcFmt();
    const IDstFmt dstType = op.IDstFmt();
    if (dstType == IDstFmt::U64) context.GpuAccessor().Log("Unimplemented 64-bits F2I.");

    const bool isFP64 = srcType == DstFmt::F64;
    const Instruction fpType = isFP64 ? Instruction::FP64 : Instruction::FP32;
    Operand* value = src;
    if (op.AbsB()) value = Ins::FPAbsolute(context, value, fpType);
    if (op.NegB()) value = Ins::FPNegate(context, value, fpType);

    value = RoundToIntegral(context, op.RoundMode(), value, fpType);

    const bool isSigned = dstType == IDstFmt::S16 || dstType == IDstFmt::S32 || dstType == IDstFmt::S64;
    if (!isSigned) {
        // Negative values become 0 before an unsigned conversion.
        Operand* zero = isFP64 ? Ins::PackDouble2x32(context, 0.0) : OH::MakeFloatConstant(context.Arena(), 0.0f);
        value = Ins::FPMaximum(context, value, zero, fpType);
    }

    if (isFP64) {
        value = isSigned ? Ins::FP64ConvertToS32(context, value) : Ins::FP64ConvertToU32(context, value);
    } else {
        value = isSigned ? Ins::FP32ConvertToS32(context, value) : Ins::FP32ConvertToU32(context, value);
    }

    // The 32-bit conversions saturate by themselves; the 16-bit ones clamp.
    if (dstType == IDstFmt::U16 || dstType == IDstFmt::S16) {
        Operand* min = Constant(context, InstEmitAluHelper::GetIntMin(dstType));
        Operand* max = Constant(context, InstEmitAluHelper::GetIntMax(dstType));
        value = dstType == IDstFmt::S16 ? Ins::IClampS32(context, value, min, max)
                                        : Ins::IClampU32(context, value, min, max);
    }

    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, value);
}

bool IsSignedIntFormat(int format) { return (format & 4) != 0; }

// Narrow integer sources (8 and 16 bits, formats 0, 1, 4, 5) are extracted
// from byte byteSel; wider formats pass unchanged. A 16-bit field starting at
// byte 3 would reach past bit 31: the missing bits read as 0, so only bits
// 24-31 are taken, zero-extended (the field's sign bit is one of the zeros).
Operand* ExtractNarrow(EmitterContext& context, Operand* value, int format, int byteSel) {
    int size;
    switch (format & 3) {
    case 0:
        size = 8;
        break;
    case 1:
        size = 16;
        break;
    default:
        return value;
    }
    bool isSigned = IsSignedIntFormat(format);
    const int offset = 8 * (byteSel & 3);
    if (offset + size > 32) {
        size = 32 - offset;
        isSigned = false;
    }
    Operand* offsetOperand = Constant(context, offset);
    Operand* sizeOperand = Constant(context, size);
    return isSigned ? Ins::BitfieldExtractS32(context, value, offsetOperand, sizeOperand)
                    : Ins::BitfieldExtractU32(context, value, offsetOperand, sizeOperand);
}

// I2F: B in the integer format ISrcFmt (a narrow one taken from byte
// ByteSel) converted to the float format DstFmt.
template <typename Op, SrcForm F> void I2f(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = SrcB<F, ValueType::Int>(context, op);
    const int srcType = static_cast<int>(op.ISrcFmt());
    const DstFmt dstType = op.DstFmt();
    // The modifiers act on the whole register, before the byte selection.
    if (op.AbsB()) value = Ins::IAbsolute(context, value);
    if (op.NegB()) value = Ins::INegate(context, value);

    value = ExtractNarrow(context, value, srcType, op.ByteSel());

    const bool isSigned = IsSignedIntFormat(srcType);
    if (dstType == DstFmt::F64) {
        value = isSigned ? Ins::IConvertS32ToFP64(context, value) : Ins::IConvertU32ToFP64(context, value);
    } else {
        value = isSigned ? Ins::IConvertS32ToFP32(context, value) : Ins::IConvertU32ToFP32(context, value);
    }
    WriteFP(context, dstType, value, op.Rd());
}

// I2I: B in the integer format ISrcFmt (a narrow one taken from byte ByteSel)
// made the integer format IDstFmt, clamped to its range with Sat.
template <typename Op, SrcForm F> void I2i(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* src = SrcB<F, ValueType::Int>(context, op);
    const ISrcDstFmt srcType = op.ISrcFmt();
    const ISrcDstFmt dstType = op.IDstFmt();
    const bool absolute = op.AbsB();
    const bool negate = op.NegB();
    const int srcFormat = static_cast<int>(srcType) & 7;
    const int dstFormat = static_cast<int>(dstType) & 7;
    if ((srcFormat & 3) == 3 || (dstFormat & 3) == 3) {
        // 64-bit integers have no IR form: the destination keeps its value.
        context.GpuAccessor().Log("Unimplemented 64-bits I2I.");
        return;
    }

    Operand* value = ExtractNarrow(context, src, srcFormat, op.ByteSel());
    if (absolute) value = Ins::IAbsolute(context, value);
    if (negate) value = Ins::INegate(context, value);

    if (op.Sat()) {
        const bool srcSigned = IsSignedIntFormat(srcFormat);
        const bool dstSigned = IsSignedIntFormat(dstFormat);
        // The 32 bits mean what the source format says; a clamp in the
        // destination's signedness alone misreads them when the two differ.
        if (srcSigned && !dstSigned) {
            // A negative value must saturate to 0, not to the unsigned maximum.
            Operand* zero = Constant(context, 0);
            value = Ins::IMaximumS32(context, value, zero);
        } else if (!srcSigned && dstSigned && srcFormat == 2 && !absolute && !negate) {
            // An unsigned 32-bit value of 2^31 or more must saturate to the
            // signed maximum, not wrap to a negative number. (Narrow unsigned
            // sources always fit; a negated one is meant as a signed value.)
            Operand* intMax = Constant(context, INT32_MAX);
            value = Ins::IMinimumU32(context, value, intMax);
        }
        Operand* min = Constant(context, InstEmitAluHelper::GetIntMin(dstType));
        Operand* max = Constant(context, InstEmitAluHelper::GetIntMax(dstType));
        value = dstSigned ? Ins::IClampS32(context, value, min, max) : Ins::IClampU32(context, value, min, max);
    }

    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, value);
    InstEmitAluHelper::SetZnFlags(context, value, op.WriteCC(), false);
}

} // namespace

void F2fR(EmitterContext& context) { F2f<Decoders::InstF2fR, SrcForm::R>(context); }
void F2fI(EmitterContext& context) { F2f<Decoders::InstF2fI, SrcForm::I>(context); }
void F2fC(EmitterContext& context) { F2f<Decoders::InstF2fC, SrcForm::C>(context); }
void F2iR(EmitterContext& context) { F2i<Decoders::InstF2iR, SrcForm::R>(context); }
void F2iI(EmitterContext& context) { F2i<Decoders::InstF2iI, SrcForm::I>(context); }
void F2iC(EmitterContext& context) { F2i<Decoders::InstF2iC, SrcForm::C>(context); }
void I2fR(EmitterContext& context) { I2f<Decoders::InstI2fR, SrcForm::R>(context); }
void I2fI(EmitterContext& context) { I2f<Decoders::InstI2fI, SrcForm::I>(context); }
void I2fC(EmitterContext& context) { I2f<Decoders::InstI2fC, SrcForm::C>(context); }
void I2iR(EmitterContext& context) { I2i<Decoders::InstI2iR, SrcForm::R>(context); }
void I2iI(EmitterContext& context) { I2i<Decoders::InstI2iI, SrcForm::I>(context); }
void I2iC(EmitterContext& context) { I2i<Decoders::InstI2iC, SrcForm::C>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
