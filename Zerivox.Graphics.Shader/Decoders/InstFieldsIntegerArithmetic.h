#pragma once
// Field accessors of the integer add, multiply and multiply-add forms: IADD,
// IADD32I, IADD3, IMAD, IMAD32I, IMUL, IMUL32I, ISCADD, ISCADD32I, LEA,
// LEA.HI and XMAD. The 32-bit immediate forms keep their modifiers above the
// immediate (bits 52 and up), so their bits differ from the other forms'.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_INTARITH_AB_FIELDS                                                                                          \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)
#define ZV_INTARITH_RB ZV_INST_FIELD(Rb, int, 20, 8)
#define ZV_INTARITH_RC ZV_INST_FIELD(Rc, int, 39, 8)
#define ZV_INTARITH_IMM20 ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
#define ZV_INTARITH_IMM32 ZV_INST_FIELD(Imm32, int, 20, 32)
#define ZV_INTARITH_CBUF                                                                                               \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

// IADD: AvgMode 2 negates A, 1 negates B.
#define ZV_IADD_FIELDS                                                                                                 \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INST_BIT(X, 43)                                                                                                 \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_FIELD(AvgMode, int, 48, 2)                                                                                 \
    ZV_INST_BIT(Sat, 50)

struct InstIaddR {
    ZV_INST_ACCESSOR(InstIaddR)
    ZV_IADD_FIELDS
    ZV_INTARITH_RB
};
struct InstIaddI {
    ZV_INST_ACCESSOR(InstIaddI)
    ZV_IADD_FIELDS
    ZV_INTARITH_IMM20
};
struct InstIaddC {
    ZV_INST_ACCESSOR(InstIaddC)
    ZV_IADD_FIELDS
    ZV_INTARITH_CBUF
};
struct InstIadd32i {
    ZV_INST_ACCESSOR(InstIadd32i)
    ZV_INTARITH_AB_FIELDS
    ZV_INTARITH_IMM32
    ZV_INST_BIT(WriteCC, 52)
    ZV_INST_BIT(X, 53)
    ZV_INST_BIT(Sat, 54)
    ZV_INST_FIELD(AvgMode, int, 55, 2)
};

// IADD3: per-operand negation; the register form also selects halves and
// shifts the partial sum A + B.
#define ZV_IADD3_FIELDS                                                                                                \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INTARITH_RC                                                                                                     \
    ZV_INST_BIT(NegC, 49)                                                                                              \
    ZV_INST_BIT(NegB, 50)                                                                                              \
    ZV_INST_BIT(NegA, 51)

struct InstIadd3R {
    ZV_INST_ACCESSOR(InstIadd3R)
    ZV_IADD3_FIELDS
    ZV_INTARITH_RB
    ZV_INST_FIELD(CSelect, HalfSelect, 31, 2)
    ZV_INST_FIELD(BSelect, HalfSelect, 33, 2)
    ZV_INST_FIELD(ASelect, HalfSelect, 35, 2)
    ZV_INST_FIELD(Lrs, int, 37, 2)
};
struct InstIadd3I {
    ZV_INST_ACCESSOR(InstIadd3I)
    ZV_IADD3_FIELDS
    ZV_INTARITH_IMM20
};
struct InstIadd3C {
    ZV_INST_ACCESSOR(InstIadd3C)
    ZV_IADD3_FIELDS
    ZV_INTARITH_CBUF
};

// IMAD: AvgMode 2 negates B (the product), 1 negates C.
#define ZV_IMAD_FIELDS                                                                                                 \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INST_BIT(ASigned, 48)                                                                                           \
    ZV_INST_FIELD(AvgMode, int, 51, 2)                                                                                 \
    ZV_INST_BIT(BSigned, 53)                                                                                           \
    ZV_INST_BIT(Hilo, 54)

struct InstImadR {
    ZV_INST_ACCESSOR(InstImadR)
    ZV_IMAD_FIELDS
    ZV_INTARITH_RB
    ZV_INTARITH_RC
};
struct InstImadI {
    ZV_INST_ACCESSOR(InstImadI)
    ZV_IMAD_FIELDS
    ZV_INTARITH_IMM20
    ZV_INTARITH_RC
};
struct InstImadC {
    ZV_INST_ACCESSOR(InstImadC)
    ZV_IMAD_FIELDS
    ZV_INTARITH_CBUF
    ZV_INTARITH_RC
};
struct InstImadRc {
    ZV_INST_ACCESSOR(InstImadRc)
    ZV_IMAD_FIELDS
    ZV_INTARITH_CBUF
    ZV_INTARITH_RC
};
struct InstImad32i {
    ZV_INST_ACCESSOR(InstImad32i)
    ZV_INTARITH_AB_FIELDS
    ZV_INTARITH_IMM32
    ZV_INST_BIT(Hilo, 53)
    ZV_INST_BIT(ASigned, 54)
    ZV_INST_FIELD(AvgMode, int, 55, 2)
    ZV_INST_BIT(BSigned, 57)
};

#define ZV_IMUL_FIELDS                                                                                                 \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INST_BIT(Hilo, 39)                                                                                              \
    ZV_INST_BIT(ASigned, 40)                                                                                           \
    ZV_INST_BIT(BSigned, 41)

struct InstImulR {
    ZV_INST_ACCESSOR(InstImulR)
    ZV_IMUL_FIELDS
    ZV_INTARITH_RB
};
struct InstImulI {
    ZV_INST_ACCESSOR(InstImulI)
    ZV_IMUL_FIELDS
    ZV_INTARITH_IMM20
};
struct InstImulC {
    ZV_INST_ACCESSOR(InstImulC)
    ZV_IMUL_FIELDS
    ZV_INTARITH_CBUF
};
struct InstImul32i {
    ZV_INST_ACCESSOR(InstImul32i)
    ZV_INTARITH_AB_FIELDS
    ZV_INTARITH_IMM32
    ZV_INST_BIT(Hilo, 53)
    ZV_INST_BIT(ASigned, 54)
    ZV_INST_BIT(BSigned, 55)
};

// ISCADD: A is shifted left by Shift before the addition; AvgMode 2 negates
// the shifted A, 1 negates B.
#define ZV_ISCADD_FIELDS                                                                                               \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INST_FIELD(Shift, int, 39, 5)                                                                                   \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_FIELD(AvgMode, int, 48, 2)

struct InstIscaddR {
    ZV_INST_ACCESSOR(InstIscaddR)
    ZV_ISCADD_FIELDS
    ZV_INTARITH_RB
};
struct InstIscaddI {
    ZV_INST_ACCESSOR(InstIscaddI)
    ZV_ISCADD_FIELDS
    ZV_INTARITH_IMM20
};
struct InstIscaddC {
    ZV_INST_ACCESSOR(InstIscaddC)
    ZV_ISCADD_FIELDS
    ZV_INTARITH_CBUF
};
struct InstIscadd32i {
    ZV_INST_ACCESSOR(InstIscadd32i)
    ZV_INTARITH_AB_FIELDS
    ZV_INTARITH_IMM32
    ZV_INST_BIT(WriteCC, 52)
    ZV_INST_FIELD(Shift, int, 53, 5)
};

#define ZV_LEA_FIELDS                                                                                                  \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INST_FIELD(Shift, int, 39, 5)                                                                                   \
    ZV_INST_BIT(NegA, 45)

struct InstLeaR {
    ZV_INST_ACCESSOR(InstLeaR)
    ZV_LEA_FIELDS
    ZV_INTARITH_RB
};
struct InstLeaI {
    ZV_INST_ACCESSOR(InstLeaI)
    ZV_LEA_FIELDS
    ZV_INTARITH_IMM20
};
struct InstLeaC {
    ZV_INST_ACCESSOR(InstLeaC)
    ZV_LEA_FIELDS
    ZV_INTARITH_CBUF
};

// LEA.HI: the high word of (C:A) << Shift, plus B.
struct InstLeaHiR {
    ZV_INST_ACCESSOR(InstLeaHiR)
    ZV_INTARITH_AB_FIELDS
    ZV_INTARITH_RB
    ZV_INST_FIELD(Shift, int, 28, 5)
    ZV_INST_BIT(NegA, 37)
    ZV_INTARITH_RC
};
struct InstLeaHiC {
    ZV_INST_ACCESSOR(InstLeaHiC)
    ZV_INTARITH_AB_FIELDS
    ZV_INTARITH_CBUF
    ZV_INTARITH_RC
    ZV_INST_FIELD(Shift, int, 51, 5)
    ZV_INST_BIT(NegA, 56)
};

// XMAD: 16 x 16-bit multiply-add. Cop is three bits wide in the register and
// immediate forms and two bits wide in the constant-buffer forms.
#define ZV_XMAD_FIELDS                                                                                                 \
    ZV_INTARITH_AB_FIELDS                                                                                              \
    ZV_INTARITH_RC                                                                                                     \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(ASigned, 48)                                                                                           \
    ZV_INST_BIT(BSigned, 49)                                                                                           \
    ZV_INST_BIT(HiloA, 53)

struct InstXmadR {
    ZV_INST_ACCESSOR(InstXmadR)
    ZV_XMAD_FIELDS
    ZV_INTARITH_RB
    ZV_INST_BIT(HiloB, 35)
    ZV_INST_BIT(Psl, 36)
    ZV_INST_BIT(Mrg, 37)
    ZV_INST_BIT(X, 38)
    ZV_INST_FIELD(Cop, XmadCop, 50, 3)
};
struct InstXmadI {
    ZV_INST_ACCESSOR(InstXmadI)
    ZV_XMAD_FIELDS
    ZV_INST_FIELD(Imm16, int, 20, 16) // zero-extended
    ZV_INST_BIT(Psl, 36)
    ZV_INST_BIT(Mrg, 37)
    ZV_INST_BIT(X, 38)
    ZV_INST_FIELD(Cop, XmadCop, 50, 3)
};
struct InstXmadC {
    ZV_INST_ACCESSOR(InstXmadC)
    ZV_XMAD_FIELDS
    ZV_INTARITH_CBUF
    ZV_INST_FIELD(Cop, XmadCop2, 50, 2)
    ZV_INST_BIT(HiloB, 52)
    ZV_INST_BIT(X, 54)
    ZV_INST_BIT(Psl, 55)
    ZV_INST_BIT(Mrg, 56)
};
struct InstXmadRc {
    ZV_INST_ACCESSOR(InstXmadRc)
    ZV_XMAD_FIELDS
    ZV_INTARITH_CBUF
    ZV_INST_FIELD(Cop, XmadCop2, 50, 2)
    ZV_INST_BIT(HiloB, 52)
    ZV_INST_BIT(X, 54)
};

#undef ZV_INTARITH_AB_FIELDS
#undef ZV_INTARITH_RB
#undef ZV_INTARITH_RC
#undef ZV_INTARITH_IMM20
#undef ZV_INTARITH_IMM32
#undef ZV_INTARITH_CBUF
#undef ZV_IADD_FIELDS
#undef ZV_IADD3_FIELDS
#undef ZV_IMAD_FIELDS
#undef ZV_IMUL_FIELDS
#undef ZV_ISCADD_FIELDS
#undef ZV_LEA_FIELDS
#undef ZV_XMAD_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
