#include "Zerivox.Graphics.Shader/Instructions/Lop3Expression.h"

#include <utility>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::Lop3Expression {

using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

// Builders taking already-built operands, so that the operations of an
// expression are appended inner operation first, left operand first.
struct Ops {
    EmitterContext& context;
    Operand* And(Operand* x, Operand* y) const { return Ins::BitwiseAnd(context, x, y); }
    Operand* Or(Operand* x, Operand* y) const { return Ins::BitwiseOr(context, x, y); }
    Operand* Xor(Operand* x, Operand* y) const { return Ins::BitwiseExclusiveOr(context, x, y); }
    Operand* Not(Operand* x) const { return Ins::BitwiseNot(context, x); }
};

} // namespace

TruthTable PermuteTable(TruthTable table, int p7, int p6, int p5, int p4, int p3, int p2, int p1, int p0) {
    const int positions[8] = {p0, p1, p2, p3, p4, p5, p6, p7};
    unsigned result = 0;
    for (int k = 0; k < 8; k++) {
        if ((table >> k) & 1u)
            result |= 1u << (positions[k] & 7);
    }
    return static_cast<TruthTable>(result);
}

Operand* GetExpr(TruthTable table, EmitterContext& context, Operand* a, Operand* b, Operand* c) {
    const Ops o{context};
    switch (table) {
    case 0x00:
        return OH::MakeConstant(context.Arena(), 0);
    case 0xFF:
        return OH::MakeConstant(context.Arena(), -1);
    case 0xF0:
        return a;
    case 0xC0:
        return o.And(a, b);
    case 0xFC:
        return o.Or(a, b);
    case 0x3C:
        return o.Xor(a, b);
    case 0x80: {
        Operand* bc = o.And(b, c);
        return o.And(a, bc);
    }
    case 0xE0: {
        Operand* bc = o.Or(b, c);
        return o.And(a, bc);
    }
    case 0x60: {
        Operand* bc = o.Xor(b, c);
        return o.And(a, bc);
    }
    case 0xFE: {
        Operand* bc = o.Or(b, c);
        return o.Or(a, bc);
    }
    case 0xF8: {
        Operand* bc = o.And(b, c);
        return o.Or(a, bc);
    }
    case 0xF6: {
        Operand* bc = o.Xor(b, c);
        return o.Or(a, bc);
    }
    case 0x96: {
        Operand* bc = o.Xor(b, c);
        return o.Xor(a, bc);
    }
    case 0x78: {
        Operand* bc = o.And(b, c);
        return o.Xor(a, bc);
    }
    case 0x1E: {
        Operand* bc = o.Or(b, c);
        return o.Xor(a, bc);
    }
    case 0x16: { // (a OR b) XOR (c OR (a AND b))
        Operand* left = o.Or(a, b);
        Operand* ab = o.And(a, b);
        Operand* right = o.Or(c, ab);
        return o.Xor(left, right);
    }
    case 0x1A: { // (a XOR c) AND ((NOT b) OR c)
        Operand* left = o.Xor(a, c);
        Operand* notB = o.Not(b);
        Operand* right = o.Or(notB, c);
        return o.And(left, right);
    }
    case 0x7E: { // (a XOR b) OR (a XOR c)
        Operand* left = o.Xor(a, b);
        Operand* right = o.Xor(a, c);
        return o.Or(left, right);
    }
    case 0xCA: { // (a AND b) OR ((NOT a) AND c)
        Operand* left = o.And(a, b);
        Operand* notA = o.Not(a);
        Operand* right = o.And(notA, c);
        return o.Or(left, right);
    }
    case 0xE8: { // (a OR b) AND (c OR (a AND b))
        Operand* left = o.Or(a, b);
        Operand* ab = o.And(a, b);
        Operand* right = o.Or(c, ab);
        return o.And(left, right);
    }
    default:
        return nullptr;
    }
}

Operand* GetFromTruthTable(EmitterContext& context, Operand* a, Operand* b, Operand* c, TruthTable table) {
    const Ops o{context};
    for (int variant = 0; variant < 64; variant++) {
        Operand* x = a;
        Operand* y = b;
        Operand* z = c;
        TruthTable t = table;
        if (variant & 1) {
            std::swap(x, y);
            t = PermuteTable(t, 7, 6, 3, 2, 5, 4, 1, 0);
        }
        if (variant & 2) {
            std::swap(x, z);
            t = PermuteTable(t, 7, 3, 5, 1, 6, 2, 4, 0);
        }
        if (variant & 4) {
            std::swap(y, z);
            t = PermuteTable(t, 7, 5, 6, 4, 3, 1, 2, 0);
        }
        if (variant & 8) {
            x = o.Not(x);
            t = PermuteTable(t, 3, 2, 1, 0, 7, 6, 5, 4);
        }
        if (variant & 16) {
            y = o.Not(y);
            t = PermuteTable(t, 5, 4, 7, 6, 1, 0, 3, 2);
        }
        if (variant & 32) {
            z = o.Not(z);
            t = PermuteTable(t, 6, 7, 4, 5, 2, 3, 0, 1);
        }
        if (Operand* expr = GetExpr(t, context, x, y, z))
            return expr;
        if (Operand* expr = GetExpr(static_cast<TruthTable>(~t), context, x, y, z))
            return o.Not(expr);
    }
    // Unreachable: every table matches by variant 56. Fall back to the
    // constant so a broken table list cannot leave the result unset.
    return OH::MakeConstant(context.Arena(), 0);
}

} // namespace Zerivox::Graphics::Shader::Instructions::Lop3Expression
