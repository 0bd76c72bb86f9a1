#include "Zerivox.Graphics.Shader/Decoders/InstFieldsBitfield.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadImm20;
using InstEmitHelper::ReadRegister;

namespace {

// Bit position (bits 0-7) and width (bits 8-15) of a BFE/BFI control word,
// position first.
std::pair<Operand*, Operand*> PositionAndWidth(EmitterContext& context, Operand* control) {
    Operand* byteMask = OH::MakeConstant(context.Arena(), 0xFF);
    Operand* position = Ins::BitwiseAnd(context, control, byteMask);
    Operand* eight = OH::MakeConstant(context.Arena(), 8);
    Operand* eightBits = OH::MakeConstant(context.Arena(), 8);
    Operand* width = Ins::BitfieldExtractU32(context, control, eight, eightBits);
    return {position, width};
}

void WriteResult(EmitterContext& context, int rd, Operand* result) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, result);
}

void EmitBfe(EmitterContext& context, Operand* value, Operand* control, int rd, bool bitReverse, bool isSigned) {
    if (bitReverse)
        value = Ins::BitfieldReverse(context, value);
    auto [position, width] = PositionAndWidth(context, control);
    Operand* result = isSigned ? Ins::BitfieldExtractS32(context, value, position, width)
                               : Ins::BitfieldExtractU32(context, value, position, width);
    WriteResult(context, rd, result);
}

void EmitBfi(EmitterContext& context, Operand* insert, Operand* control, Operand* base, int rd) {
    auto [position, width] = PositionAndWidth(context, control);
    Operand* result = Ins::BitfieldInsert(context, base, insert, position, width);
    WriteResult(context, rd, result);
}

void EmitFlo(EmitterContext& context, Operand* source, int rd, bool invert, bool shiftAmount, bool isSigned) {
    if (invert)
        source = Ins::BitwiseNot(context, source);
    Operand* result;
    if (shiftAmount) {
        // Distance of the highest set bit from bit 31: the lowest set bit of
        // the reversed value.
        Operand* reversed = Ins::BitfieldReverse(context, source);
        result = Ins::FindLSB(context, reversed);
    } else {
        result = isSigned ? Ins::FindMSBS32(context, source) : Ins::FindMSBU32(context, source);
    }
    WriteResult(context, rd, result);
}

void EmitPopc(EmitterContext& context, Operand* source, int rd, bool invert) {
    if (invert)
        source = Ins::BitwiseNot(context, source);
    Operand* result = Ins::BitCount(context, source);
    WriteResult(context, rd, result);
}

} // namespace

void BfeR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfeR>();
    Operand* value = ReadRegister(context, op.Ra());
    Operand* control = ReadRegister(context, op.Rb());
    EmitBfe(context, value, control, op.Rd(), op.Brev(), op.Signed());
}

void BfeI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfeI>();
    Operand* value = ReadRegister(context, op.Ra());
    Operand* control = ReadImm20(context, op.Imm20());
    EmitBfe(context, value, control, op.Rd(), op.Brev(), op.Signed());
}

void BfeC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfeC>();
    Operand* value = ReadRegister(context, op.Ra());
    Operand* control = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitBfe(context, value, control, op.Rd(), op.Brev(), op.Signed());
}

void BfiR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfiR>();
    Operand* insert = ReadRegister(context, op.Ra());
    Operand* control = ReadRegister(context, op.Rb());
    Operand* base = ReadRegister(context, op.Rc());
    EmitBfi(context, insert, control, base, op.Rd());
}

void BfiI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfiI>();
    Operand* insert = ReadRegister(context, op.Ra());
    Operand* control = ReadImm20(context, op.Imm20());
    Operand* base = ReadRegister(context, op.Rc());
    EmitBfi(context, insert, control, base, op.Rd());
}

void BfiC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfiC>();
    Operand* insert = ReadRegister(context, op.Ra());
    Operand* control = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* base = ReadRegister(context, op.Rc());
    EmitBfi(context, insert, control, base, op.Rd());
}

void BfiRc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBfiRc>();
    Operand* insert = ReadRegister(context, op.Ra());
    Operand* control = ReadRegister(context, op.Rc());
    Operand* base = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitBfi(context, insert, control, base, op.Rd());
}

void FloR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFloR>();
    Operand* source = ReadRegister(context, op.Rb());
    EmitFlo(context, source, op.Rd(), op.NegB(), op.Sh(), op.Signed());
}

void FloI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFloI>();
    Operand* source = ReadImm20(context, op.Imm20());
    EmitFlo(context, source, op.Rd(), op.NegB(), op.Sh(), op.Signed());
}

void FloC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFloC>();
    Operand* source = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitFlo(context, source, op.Rd(), op.NegB(), op.Sh(), op.Signed());
}

void PopcR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstPopcR>();
    Operand* source = ReadRegister(context, op.Rb());
    EmitPopc(context, source, op.Rd(), op.NegB());
}

void PopcI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstPopcI>();
    Operand* source = ReadImm20(context, op.Imm20());
    EmitPopc(context, source, op.Rd(), op.NegB());
}

void PopcC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstPopcC>();
    Operand* source = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitPopc(context, source, op.Rd(), op.NegB());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
