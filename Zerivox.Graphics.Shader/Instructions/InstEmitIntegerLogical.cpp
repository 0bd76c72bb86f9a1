// Bitwise logic emitters: LOP, LOP32I and LOP3.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerLogical.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/Lop3Expression.h"
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
using InstEmitHelper::ReadImm32;
using InstEmitHelper::ReadRegister;

namespace {

constexpr int PT = 7;

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

void EmitLop(EmitterContext& context, int logicOp, int predicateOp, Operand* srcA, Operand* srcB, int rd, int destPred,
             bool invertA, bool invertB, bool extended, bool writeCC) {
    Operand* a = invertA ? Ins::BitwiseNot(context, srcA) : srcA;
    Operand* b = invertB ? Ins::BitwiseNot(context, srcB) : srcB;
    Operand* result;
    switch (logicOp & 3) {
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
    EmitLopPredWrite(context, result, predicateOp, destPred);
    WriteRd(context, rd, result);
    // With X the zero flag chains from the previous word; no carry is involved.
    InstEmitAluHelper::SetZnFlags(context, result, writeCC, extended);
}

void EmitLop3(EmitterContext& context, Operand* a, Operand* b, Operand* c, int table, int predicateOp, int destPred,
              int rd, bool extended, bool writeCC) {
    Operand* result =
        Lop3Expression::GetFromTruthTable(context, a, b, c, static_cast<Lop3Expression::TruthTable>(table & 0xFF));
    EmitLopPredWrite(context, result, predicateOp, destPred);
    WriteRd(context, rd, result);
    InstEmitAluHelper::SetZnFlags(context, result, writeCC, extended);
}

} // namespace

void LopR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLopR>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    EmitLop(context, op.LogicOp(), op.PredicateOp(), a, b, op.Rd(), op.DestPred(), op.NegA(), op.NegB(), op.X(),
            op.WriteCC());
}

void LopI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLopI>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    EmitLop(context, op.LogicOp(), op.PredicateOp(), a, b, op.Rd(), op.DestPred(), op.NegA(), op.NegB(), op.X(),
            op.WriteCC());
}

void LopC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLopC>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    EmitLop(context, op.LogicOp(), op.PredicateOp(), a, b, op.Rd(), op.DestPred(), op.NegA(), op.NegB(), op.X(),
            op.WriteCC());
}

void Lop32i(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLop32i>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm32(context, op.Imm32());
    EmitLop(context, op.LogicOp(), 0, a, b, op.Rd(), PT, op.NegA(), op.NegB(), op.X(), op.WriteCC());
}

void Lop3R(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLop3R>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadRegister(context, op.Rb());
    Operand* c = ReadRegister(context, op.Rc());
    EmitLop3(context, a, b, c, op.TruthTable(), op.PredicateOp(), op.DestPred(), op.Rd(), op.X(), op.WriteCC());
}

void Lop3I(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLop3I>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadImm20(context, op.Imm20());
    Operand* c = ReadRegister(context, op.Rc());
    EmitLop3(context, a, b, c, op.TruthTable(), 0, PT, op.Rd(), false, op.WriteCC());
}

void Lop3C(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLop3C>();
    Operand* a = ReadRegister(context, op.Ra());
    Operand* b = ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    Operand* c = ReadRegister(context, op.Rc());
    EmitLop3(context, a, b, c, op.TruthTable(), 0, PT, op.Rd(), false, op.WriteCC());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
