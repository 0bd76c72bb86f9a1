#include "Zerivox.Graphics.Shader/Decoders/InstFieldsBitfield.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

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

// BFE: the bit field of A (bit-reversed first with Brev) that B's position
// and width give, sign-extended when Signed.
template <typename Op, SrcForm F> void Bfe(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = SrcA<ValueType::Int>(context, op);
    Operand* control = SrcB<F, ValueType::Int>(context, op);
    if (op.Brev())
        value = Ins::BitfieldReverse(context, value);
    auto [position, width] = PositionAndWidth(context, control);
    Operand* result = op.Signed() ? Ins::BitfieldExtractS32(context, value, position, width)
                                  : Ins::BitfieldExtractU32(context, value, position, width);
    WriteResult(context, op.Rd(), result);
}

// BFI: A inserted into C at the position and width that B gives.
template <typename Op, SrcForm F> void Bfi(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* insert = SrcA<ValueType::Int>(context, op);
    Operand* control = SrcB<F, ValueType::Int>(context, op);
    Operand* base = SrcC<F, ValueType::Int>(context, op);
    auto [position, width] = PositionAndWidth(context, control);
    Operand* result = Ins::BitfieldInsert(context, base, insert, position, width);
    WriteResult(context, op.Rd(), result);
}

// FLO: the position of the highest set bit of B (inverted first with NegB),
// of the highest bit differing from the sign with Signed; with Sh its
// distance from bit 31 instead.
template <typename Op, SrcForm F> void Flo(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* source = SrcB<F, ValueType::Int>(context, op);
    if (op.NegB())
        source = Ins::BitwiseNot(context, source);
    Operand* result;
    if (op.Sh()) {
        // Distance of the highest set bit from bit 31: the lowest set bit of
        // the reversed value.
        Operand* reversed = Ins::BitfieldReverse(context, source);
        result = Ins::FindLSB(context, reversed);
    } else {
        result = op.Signed() ? Ins::FindMSBS32(context, source) : Ins::FindMSBU32(context, source);
    }
    WriteResult(context, op.Rd(), result);
}

// POPC: the number of set bits of B, inverted first with NegB.
template <typename Op, SrcForm F> void Popc(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* source = SrcB<F, ValueType::Int>(context, op);
    if (op.NegB())
        source = Ins::BitwiseNot(context, source);
    Operand* result = Ins::BitCount(context, source);
    WriteResult(context, op.Rd(), result);
}

} // namespace

void BfeR(EmitterContext& context) { Bfe<Decoders::InstBfeR, SrcForm::R>(context); }
void BfeI(EmitterContext& context) { Bfe<Decoders::InstBfeI, SrcForm::I>(context); }
void BfeC(EmitterContext& context) { Bfe<Decoders::InstBfeC, SrcForm::C>(context); }
void BfiR(EmitterContext& context) { Bfi<Decoders::InstBfiR, SrcForm::R>(context); }
void BfiI(EmitterContext& context) { Bfi<Decoders::InstBfiI, SrcForm::I>(context); }
void BfiC(EmitterContext& context) { Bfi<Decoders::InstBfiC, SrcForm::C>(context); }
void BfiRc(EmitterContext& context) { Bfi<Decoders::InstBfiRc, SrcForm::Rc>(context); }
void FloR(EmitterContext& context) { Flo<Decoders::InstFloR, SrcForm::R>(context); }
void FloI(EmitterContext& context) { Flo<Decoders::InstFloI, SrcForm::I>(context); }
void FloC(EmitterContext& context) { Flo<Decoders::InstFloC, SrcForm::C>(context); }
void PopcR(EmitterContext& context) { Popc<Decoders::InstPopcR, SrcForm::R>(context); }
void PopcI(EmitterContext& context) { Popc<Decoders::InstPopcI, SrcForm::I>(context); }
void PopcC(EmitterContext& context) { Popc<Decoders::InstPopcC, SrcForm::C>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
