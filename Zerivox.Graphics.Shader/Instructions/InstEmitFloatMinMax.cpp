// FMNMX and DMNMX: the source predicate chooses between the minimum (true)
// and the maximum (false) of the two operands. Both are always emitted and
// selected afterwards, so the result does not depend on control flow.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFloatMinMax.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitOperands::FpType;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

namespace {

// FMNMX, DMNMX: the minimum of A and B when the source predicate holds, else
// the maximum. The predicate is read after the operands are fetched and
// before their modifiers are applied.
template <typename Op, SrcForm F, ValueType T> void MinMax(EmitterContext& context) {
    constexpr Instruction fpType = FpType(T);
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<T>(context, op);
    Operand* srcB = SrcB<F, T>(context, op);
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    if (op.AbsA()) srcA = Ins::FPAbsolute(context, srcA, fpType);
    if (op.NegA()) srcA = Ins::FPNegate(context, srcA, fpType);
    if (op.AbsB()) srcB = Ins::FPAbsolute(context, srcB, fpType);
    if (op.NegB()) srcB = Ins::FPNegate(context, srcB, fpType);

    Operand* min = Ins::FPMinimum(context, srcA, srcB, fpType);
    Operand* max = Ins::FPMaximum(context, srcA, srcB, fpType);
    Operand* result = Ins::ConditionalSelect(context, pred, min, max);

    InstEmitHelper::SetDest(context, result, op.Rd(), T == ValueType::F64);
    InstEmitAluHelper::SetFPZnFlags(context, result, op.WriteCC(), fpType);
}

} // namespace

void FmnmxR(EmitterContext& context) { MinMax<Decoders::InstFmnmxR, SrcForm::R, ValueType::F32>(context); }
void FmnmxI(EmitterContext& context) { MinMax<Decoders::InstFmnmxI, SrcForm::I, ValueType::F32>(context); }
void FmnmxC(EmitterContext& context) { MinMax<Decoders::InstFmnmxC, SrcForm::C, ValueType::F32>(context); }
void DmnmxR(EmitterContext& context) { MinMax<Decoders::InstDmnmxR, SrcForm::R, ValueType::F64>(context); }
void DmnmxI(EmitterContext& context) { MinMax<Decoders::InstDmnmxI, SrcForm::I, ValueType::F64>(context); }
void DmnmxC(EmitterContext& context) { MinMax<Decoders::InstDmnmxC, SrcForm::C, ValueType::F64>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
