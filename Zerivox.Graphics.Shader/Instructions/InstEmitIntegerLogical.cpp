// Bitwise logic emitters: LOP, LOP32I and LOP3.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerLogical.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/Instructions/Lop3Expression.h"
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

constexpr int PT = 7;

// Fields that only some forms encode: the 32-bit immediate LOP and the
// immediate and constant-buffer LOP3 write no predicate and chain no flags.
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(PredicateOp, 0)
ZV_EMIT_OPTIONAL_FIELD(DestPred, PT)
ZV_EMIT_OPTIONAL_FIELD(X, false)
} // namespace Optional

void WriteRd(EmitterContext& context, int rd, Operand* value) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
}

// The predicate output of LOP and LOP3: 0 false, 1 true, 2 result is zero,
// 3 result is non-zero.
void EmitLopPredWrite(EmitterContext& context, Operand* result, int predicateOp, int destPred) {
    if (destPred == PT)
        return;
    Operand* value;
    switch (predicateOp & 3) {
    case 0:
        value = OH::MakeConstant(context.Arena(), 0);
        break;
    case 1:
        value = OH::MakeConstant(context.Arena(), -1);
        break;
    case 2: {
        Operand* zero = OH::MakeConstant(context.Arena(), 0);
        value = Ins::ICompareEqual(context, result, zero);
        break;
    }
    default: {
        Operand* zero = OH::MakeConstant(context.Arena(), 0);
        value = Ins::ICompareNotEqual(context, result, zero);
        break;
    }
    }
    Operand* dest = InstEmitHelper::GetPredDest(context, destPred);
    Ins::Copy(context, dest, value);
}

// LOP: A op B, each inverted first by its bit; LogicOp 3 passes B through.
template <typename Op, SrcForm F> void Lop(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* srcA = SrcA<ValueType::Int>(context, op);
    Operand* srcB = SrcB<F, ValueType::Int>(context, op);
    Operand* a = op.NegA() ? Ins::BitwiseNot(context, srcA) : srcA;
    Operand* b = op.NegB() ? Ins::BitwiseNot(context, srcB) : srcB;
    Operand* result;
    switch (op.LogicOp() & 3) {
    case 0:
        result = Ins::BitwiseAnd(context, a, b);
        break;
    case 1:
        result = Ins::BitwiseOr(context, a, b);
        break;
    case 2:
        result = Ins::BitwiseExclusiveOr(context, a, b);
        break;
    default: // PassB
        result = b;
        break;
    }
    EmitLopPredWrite(context, result, Optional::PredicateOp(op), Optional::DestPred(op));
    WriteRd(context, op.Rd(), result);
    // With X the zero flag chains from the previous word; no carry is involved.
    InstEmitAluHelper::SetZnFlags(context, result, op.WriteCC(), op.X());
}

// LOP3: any function of A, B and C given by its 8-entry truth table.
template <typename Op, SrcForm F> void Lop3(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* a = SrcA<ValueType::Int>(context, op);
    Operand* b = SrcB<F, ValueType::Int>(context, op);
    Operand* c = SrcC<F, ValueType::Int>(context, op);
    const auto table = static_cast<Lop3Expression::TruthTable>(op.TruthTable() & 0xFF);
    Operand* result = Lop3Expression::GetFromTruthTable(context, a, b, c, table);
    EmitLopPredWrite(context, result, Optional::PredicateOp(op), Optional::DestPred(op));
    WriteRd(context, op.Rd(), result);
    InstEmitAluHelper::SetZnFlags(context, result, op.WriteCC(), Optional::X(op));
}

} // namespace

void LopR(EmitterContext& context) { Lop<Decoders::InstLopR, SrcForm::R>(context); }
void LopI(EmitterContext& context) { Lop<Decoders::InstLopI, SrcForm::I>(context); }
void LopC(EmitterContext& context) { Lop<Decoders::InstLopC, SrcForm::C>(context); }
void Lop32i(EmitterContext& context) { Lop<Decoders::InstLop32i, SrcForm::Imm32>(context); }
void Lop3R(EmitterContext& context) { Lop3<Decoders::InstLop3R, SrcForm::R>(context); }
void Lop3I(EmitterContext& context) { Lop3<Decoders::InstLop3I, SrcForm::I>(context); }
void Lop3C(EmitterContext& context) { Lop3<Decoders::InstLop3C, SrcForm::C>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
