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
using InstEmitHelper::ReadImm20;
using InstEmitHelper::ReadRegister;

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

void EmitF2F(EmitterContext& context, DstFmt srcType, DstFmt dstType, int roundingMode, Operand* src, int rd,
             bool absolute, bool negate, bool saturate) {
    const Instruction srcFlag = FloatFlag(srcType);
    const Instruction dstFlag = FloatFlag(dstType);
    Operand* value = src;
    if (absolute) value = Ins::FPAbsolute(context, value, srcFlag);
    if (negate) value = Ins::FPNegate(context, value, srcFlag);

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

    if (saturate) value = Ins::FPSaturate(context, value, dstFlag);
    WriteFP(context, dstType, value, rd);
}

void EmitF2I(EmitterContext& context, DstFmt srcType, IDstFmt dstType, int roundingMode, Operand* src, int rd,
             bool absolute, bool negate) {
    if (dstType == IDstFmt::U64) context.GpuAccessor().Log("Unimplemented 64-bits F2I.");

    const bool isFP64 = srcType == DstFmt::F64;
    const Instruction fpType = isFP64 ? Instruction::FP64 : Instruction::FP32;
    Operand* value = src;
    if (absolute) value = Ins::FPAbsolute(context, value, fpType);
    if (negate) value = Ins::FPNegate(context, value, fpType);

    value = RoundToIntegral(context, roundingMode, value, fpType);

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

    Operand* dest = InstEmitHelper::GetDest(context, rd);
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

void EmitI2F(EmitterContext& context, int srcType, DstFmt dstType, Operand* src, int byteSelection, int rd,
             bool absolute, bool negate) {
    Operand* value = src;
    // The modifiers act on the whole register, before the byte selection.
    if (absolute) value = Ins::IAbsolute(context, value);
    if (negate) value = Ins::INegate(context, value);

    value = ExtractNarrow(context, value, srcType, byteSelection);

    const bool isSigned = IsSignedIntFormat(srcType);
    if (dstType == DstFmt::F64) {
        value = isSigned ? Ins::IConvertS32ToFP64(context, value) : Ins::IConvertU32ToFP64(context, value);
    } else {
        value = isSigned ? Ins::IConvertS32ToFP32(context, value) : Ins::IConvertU32ToFP32(context, value);
    }
    WriteFP(context, dstType, value, rd);
}

void EmitI2I(EmitterContext& context, ISrcDstFmt srcType, ISrcDstFmt dstType, Operand* src, int byteSelection, int rd,
             bool absolute, bool negate, bool saturate, bool writeCC) {
    const int srcFormat = static_cast<int>(srcType) & 7;
    const int dstFormat = static_cast<int>(dstType) & 7;
    if ((srcFormat & 3) == 3 || (dstFormat & 3) == 3) {
        // 64-bit integers have no IR form: the destination keeps its value.
        context.GpuAccessor().Log("Unimplemented 64-bits I2I.");
        return;
    }

    Operand* value = ExtractNarrow(context, src, srcFormat, byteSelection);
    if (absolute) value = Ins::IAbsolute(context, value);
    if (negate) value = Ins::INegate(context, value);

    if (saturate) {
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

    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
    InstEmitAluHelper::SetZnFlags(context, value, writeCC, false);
}

} // namespace

void F2fR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstF2fR>();
    Operand* src = UnpackReg(context, op.SrcFmt(), op.Sh(), op.Rb());
    EmitF2F(context, op.SrcFmt(), op.DstFmt(), op.RoundMode(), src, op.Rd(), op.AbsB(), op.NegB(), op.Sat());
}

void F2fI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstF2fI>();
    Operand* src = UnpackImm(context, op.SrcFmt(), op.Sh(), FloatImm(op.Imm20()));
    EmitF2F(context, op.SrcFmt(), op.DstFmt(), op.RoundMode(), src, op.Rd(), op.AbsB(), op.NegB(), op.Sat());
}

void F2fC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstF2fC>();
    Operand* src = UnpackCbuf(context, op.SrcFmt(), op.Sh(), op.CbufSlot(), op.CbufOffset());
    EmitF2F(context, op.SrcFmt(), op.DstFmt(), op.RoundMode(), src, op.Rd(), op.AbsB(), op.NegB(), op.Sat());
}

void F2iR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstF2iR>();
    Operand* src = UnpackReg(context, op.SrcFmt(), op.Sh(), op.Rb());
    EmitF2I(context, op.SrcFmt(), op.IDstFmt(), op.RoundMode(), src, op.Rd(), op.AbsB(), op.NegB());
}

void F2iI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstF2iI>();
    Operand* src = UnpackImm(context, op.SrcFmt(), op.Sh(), FloatImm(op.Imm20()));
    EmitF2I(context, op.SrcFmt(), op.IDstFmt(), op.RoundMode(), src, op.Rd(), op.AbsB(), op.NegB());
}

void F2iC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstF2iC>();
    Operand* src = UnpackCbuf(context, op.SrcFmt(), op.Sh(), op.CbufSlot(), op.CbufOffset());
    EmitF2I(context, op.SrcFmt(), op.IDstFmt(), op.RoundMode(), src, op.Rd(), op.AbsB(), op.NegB());
}

void I2fR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstI2fR>();
    Operand* src = ReadRegister(context, op.Rb());
    EmitI2F(context, op.ISrcFmt(), op.DstFmt(), src, op.ByteSel(), op.Rd(), op.AbsB(), op.NegB());
}

void I2fI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstI2fI>();
    Operand* src = ReadImm20(context, op.Imm20());
    EmitI2F(context, op.ISrcFmt(), op.DstFmt(), src, op.ByteSel(), op.Rd(), op.AbsB(), op.NegB());
}

void I2fC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstI2fC>();
    Operand* src = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitI2F(context, op.ISrcFmt(), op.DstFmt(), src, op.ByteSel(), op.Rd(), op.AbsB(), op.NegB());
}

void I2iR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstI2iR>();
    Operand* src = ReadRegister(context, op.Rb());
    EmitI2I(context, op.ISrcFmt(), op.IDstFmt(), src, op.ByteSel(), op.Rd(), op.AbsB(), op.NegB(), op.Sat(),
            op.WriteCC());
}

void I2iI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstI2iI>();
    Operand* src = ReadImm20(context, op.Imm20());
    EmitI2I(context, op.ISrcFmt(), op.IDstFmt(), src, op.ByteSel(), op.Rd(), op.AbsB(), op.NegB(), op.Sat(),
            op.WriteCC());
}

void I2iC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstI2iC>();
    Operand* src = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitI2I(context, op.ISrcFmt(), op.IDstFmt(), src, op.ByteSel(), op.Rd(), op.AbsB(), op.NegB(), op.Sat(),
            op.WriteCC());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
