#include "Zerivox.Graphics.Shader/Instructions/InstEmitConditionCode.h"

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsConditionCode.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

// Flag reads create operands only; the binary helpers take already-built
// operands so that every operation is appended in the order the test is
// written, left operand first.
struct Flags {
    EmitterContext& context;

    Operand* Get(int index) const { return OH::Register(context.Arena(), index, Decoders::RegisterType::Flag); }
    Operand* Z() const { return Get(0); }
    Operand* N() const { return Get(1); }
    Operand* C() const { return Get(2); }
    Operand* V() const { return Get(3); }
    Operand* Not(Operand* a) const { return Ins::BitwiseNot(context, a); }
    Operand* And(Operand* a, Operand* b) const { return Ins::BitwiseAnd(context, a, b); }
    Operand* Or(Operand* a, Operand* b) const { return Ins::BitwiseOr(context, a, b); }
    Operand* Xor(Operand* a, Operand* b) const { return Ins::BitwiseExclusiveOr(context, a, b); }
};

} // namespace

Operand* GetCondition(EmitterContext& context, int ccc, int32_t defaultCond) {
    const Flags f{context};
    switch (ccc & 31) {
    case 0:
        return OH::MakeConstant(context.Arena(), 0);
    case 1: { // (N AND (NOT Z)) XOR V
        Operand* n = f.N();
        Operand* notZ = f.Not(f.Z());
        Operand* lhs = f.And(n, notZ);
        return f.Xor(lhs, f.V());
    }
    case 2: { // (NOT N) AND Z
        Operand* notN = f.Not(f.N());
        return f.And(notN, f.Z());
    }
    case 3: { // N XOR (Z OR V)
        Operand* n = f.N();
        Operand* rhs = f.Or(f.Z(), f.V());
        return f.Xor(n, rhs);
    }
    case 4: { // NOT ((N XOR V) OR Z)
        Operand* nv = f.Xor(f.N(), f.V());
        Operand* any = f.Or(nv, f.Z());
        return f.Not(any);
    }
    case 5:
        return f.Not(f.Z());
    case 6: {
        Operand* nv = f.Xor(f.N(), f.V());
        return f.Not(nv);
    }
    case 7: {
        Operand* nz = f.And(f.N(), f.Z());
        return f.Not(nz);
    }
    case 8:
        return f.And(f.N(), f.Z());
    case 9:
        return f.Xor(f.N(), f.V());
    case 10:
        return f.Z();
    case 11: { // (N XOR V) OR Z
        Operand* nv = f.Xor(f.N(), f.V());
        return f.Or(nv, f.Z());
    }
    case 12: { // (NOT N) XOR (V OR Z)
        Operand* notN = f.Not(f.N());
        Operand* rhs = f.Or(f.V(), f.Z());
        return f.Xor(notN, rhs);
    }
    case 13: { // N OR (NOT Z)
        Operand* n = f.N();
        Operand* notZ = f.Not(f.Z());
        return f.Or(n, notZ);
    }
    case 14: { // ((NOT N) OR Z) XOR V
        Operand* notN = f.Not(f.N());
        Operand* lhs = f.Or(notN, f.Z());
        return f.Xor(lhs, f.V());
    }
    case 15:
        return OH::MakeConstant(context.Arena(), -1);
    case 16:
        return f.Not(f.V());
    case 17:
        return f.Not(f.C());
    case 18:
        return f.Not(f.N());
    case 19: { // Z OR (NOT C)
        Operand* z = f.Z();
        Operand* notC = f.Not(f.C());
        return f.Or(z, notC);
    }
    case 20: { // C AND (NOT Z)
        Operand* c = f.C();
        Operand* notZ = f.Not(f.Z());
        return f.And(c, notZ);
    }
    case 21:
        return f.N();
    case 22:
        return f.C();
    case 23:
        return f.V();
    case 30:
        return f.Or(f.N(), f.Z());
    case 31: {
        Operand* nz = f.Or(f.N(), f.Z());
        return f.Not(nz);
    }
    default: // 24-29
        return OH::MakeConstant(context.Arena(), defaultCond);
    }
}

void Cset(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstCset>();
    Operand* cond = GetCondition(context, op.Ccc(), -1);
    Operand* src = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* res = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), cond, src);
    if (op.BVal()) {
        Operand* one = OH::MakeConstant(context.Arena(), 0x3F800000); // 1.0f
        Operand* zero = OH::MakeConstant(context.Arena(), 0);
        res = Ins::ConditionalSelect(context, res, one, zero);
    }
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, res);
}

void Csetp(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstCsetp>();
    Operand* cond = GetCondition(context, op.Ccc(), -1);
    Operand* src = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* pd = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), cond, src);
    Operand* notCond = Ins::BitwiseNot(context, cond);
    Operand* pdn = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), notCond, src);
    // Both results are computed before either predicate is written: when Pd
    // is also the source predicate, the second combination must still read
    // its old value.
    Operand* pdDest = InstEmitHelper::GetPredDest(context, op.Pd());
    Ins::Copy(context, pdDest, pd);
    Operand* pdnDest = InstEmitHelper::GetPredDest(context, op.Pdn());
    Ins::Copy(context, pdnDest, pdn);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
