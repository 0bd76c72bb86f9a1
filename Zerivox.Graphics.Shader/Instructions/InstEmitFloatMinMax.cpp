// FMNMX and DMNMX: the source predicate chooses between the minimum (true)
// and the maximum (false) of the two operands. Both are always emitted and
// selected afterwards, so the result does not depend on control flow.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFloatMinMax.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitHelper::ReadCbuf;
using InstEmitHelper::ReadCbufPair;
using InstEmitHelper::ReadDoubleImm20;
using InstEmitHelper::ReadFloatImm20;
using InstEmitHelper::ReadRegister;
using InstEmitHelper::ReadRegisterPair;

namespace {

// The predicate is read after the operands are fetched and before their
// modifiers are applied.
template <typename Op>
void EmitMinMax(EmitterContext& context, const Op& op, Operand* srcA, Operand* srcB, Instruction fpType) {
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    if (op.AbsA()) srcA = Ins::FPAbsolute(context, srcA, fpType);
    if (op.NegA()) srcA = Ins::FPNegate(context, srcA, fpType);
    if (op.AbsB()) srcB = Ins::FPAbsolute(context, srcB, fpType);
    if (op.NegB()) srcB = Ins::FPNegate(context, srcB, fpType);

    Operand* min = Ins::FPMinimum(context, srcA, srcB, fpType);
    Operand* max = Ins::FPMaximum(context, srcA, srcB, fpType);
    Operand* result = Ins::ConditionalSelect(context, pred, min, max);

    InstEmitHelper::SetDest(context, result, op.Rd(), fpType == Instruction::FP64);
    InstEmitAluHelper::SetFPZnFlags(context, result, op.WriteCC(), fpType);
}

} // namespace

void FmnmxR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmnmxR>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadRegister(context, op.Rb());
    EmitMinMax(context, op, srcA, srcB, Instruction::FP32);
}

void FmnmxI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmnmxI>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadFloatImm20(context, op.Imm20());
    EmitMinMax(context, op, srcA, srcB, Instruction::FP32);
}

void FmnmxC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFmnmxC>();
    Operand* srcA = ReadRegister(context, op.Ra());
    Operand* srcB = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitMinMax(context, op, srcA, srcB, Instruction::FP32);
}

void DmnmxR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDmnmxR>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadRegisterPair(context, op.Rb());
    EmitMinMax(context, op, srcA, srcB, Instruction::FP64);
}

void DmnmxI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDmnmxI>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadDoubleImm20(context, op.Imm20());
    EmitMinMax(context, op, srcA, srcB, Instruction::FP64);
}

void DmnmxC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstDmnmxC>();
    Operand* srcA = ReadRegisterPair(context, op.Ra());
    Operand* srcB = ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    EmitMinMax(context, op, srcA, srcB, Instruction::FP64);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
