#pragma once
// Field accessors of the bitwise logic forms LOP, LOP32I and LOP3.
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_LOGIC_AB_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)
#define ZV_LOGIC_CBUF                                                                                                  \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

// LOP: LogicOp And 0, Or 1, Xor 2, PassB 3; PredicateOp 0 false, 1 true,
// 2 result zero, 3 result non-zero.
#define ZV_LOP_FIELDS                                                                                                  \
    ZV_LOGIC_AB_FIELDS                                                                                                 \
    ZV_INST_BIT(NegA, 39)                                                                                              \
    ZV_INST_BIT(NegB, 40)                                                                                              \
    ZV_INST_FIELD(LogicOp, int, 41, 2)                                                                                 \
    ZV_INST_BIT(X, 43)                                                                                                 \
    ZV_INST_FIELD(PredicateOp, int, 44, 2)                                                                             \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_FIELD(DestPred, int, 48, 3)

struct InstLopR {
    ZV_INST_ACCESSOR(InstLopR)
    ZV_LOP_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};
struct InstLopI {
    ZV_INST_ACCESSOR(InstLopI)
    ZV_LOP_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};
struct InstLopC {
    ZV_INST_ACCESSOR(InstLopC)
    ZV_LOP_FIELDS
    ZV_LOGIC_CBUF
};
struct InstLop32i {
    ZV_INST_ACCESSOR(InstLop32i)
    ZV_LOGIC_AB_FIELDS
    ZV_INST_FIELD(Imm32, int, 20, 32)
    ZV_INST_BIT(WriteCC, 52)
    ZV_INST_FIELD(LogicOp, int, 53, 2)
    ZV_INST_BIT(NegA, 55)
    ZV_INST_BIT(NegB, 56)
    ZV_INST_BIT(X, 57)
};

// LOP3: an 8-bit truth table; bit 4a + 2b + c holds f(a, b, c).
struct InstLop3R {
    ZV_INST_ACCESSOR(InstLop3R)
    ZV_LOGIC_AB_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_FIELD(TruthTable, int, 28, 8)
    ZV_INST_FIELD(PredicateOp, int, 36, 2)
    ZV_INST_BIT(X, 38)
    ZV_INST_FIELD(Rc, int, 39, 8)
    ZV_INST_BIT(WriteCC, 47)
    ZV_INST_FIELD(DestPred, int, 48, 3)
};
struct InstLop3I {
    ZV_INST_ACCESSOR(InstLop3I)
    ZV_LOGIC_AB_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
    ZV_INST_FIELD(Rc, int, 39, 8)
    ZV_INST_BIT(WriteCC, 47)
    ZV_INST_FIELD(TruthTable, int, 48, 8)
};
struct InstLop3C {
    ZV_INST_ACCESSOR(InstLop3C)
    ZV_LOGIC_AB_FIELDS
    ZV_LOGIC_CBUF
    ZV_INST_FIELD(Rc, int, 39, 8)
    ZV_INST_BIT(WriteCC, 47)
    ZV_INST_FIELD(TruthTable, int, 48, 8)
};

#undef ZV_LOGIC_AB_FIELDS
#undef ZV_LOGIC_CBUF
#undef ZV_LOP_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
