#pragma once
// Field accessors of the move, select, predicate-transfer, predicate-logic,
// special-register and range-reduction forms: MOV, MOV32I, SEL, R2P, P2R,
// PSET, PSETP, S2R and RRO.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_MOVE_RD ZV_INST_FIELD(Rd, int, 0, 8)
#define ZV_MOVE_RA ZV_INST_FIELD(Ra, int, 8, 8)
#define ZV_MOVE_RB ZV_INST_FIELD(Rb, int, 20, 8)
#define ZV_MOVE_IMM20 ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
#define ZV_MOVE_CBUF                                                                                                   \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

struct InstMovR {
    ZV_INST_ACCESSOR(InstMovR)
    ZV_INST_GUARD_FIELDS
    ZV_MOVE_RD
    ZV_MOVE_RB
};
struct InstMovI {
    ZV_INST_ACCESSOR(InstMovI)
    ZV_INST_GUARD_FIELDS
    ZV_MOVE_RD
    ZV_MOVE_IMM20
};
struct InstMovC {
    ZV_INST_ACCESSOR(InstMovC)
    ZV_INST_GUARD_FIELDS
    ZV_MOVE_RD
    ZV_MOVE_CBUF
};
struct InstMov32i {
    ZV_INST_ACCESSOR(InstMov32i)
    ZV_INST_GUARD_FIELDS
    ZV_MOVE_RD
    ZV_INST_FIELD(Imm32, int, 20, 32)
};

#define ZV_SEL_FIELDS                                                                                                  \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_MOVE_RD                                                                                                         \
    ZV_MOVE_RA                                                                                                         \
    ZV_INST_FIELD(SrcPred, int, 39, 3)                                                                                 \
    ZV_INST_BIT(SrcPredInv, 42)

struct InstSelR {
    ZV_INST_ACCESSOR(InstSelR)
    ZV_SEL_FIELDS
    ZV_MOVE_RB
};
struct InstSelI {
    ZV_INST_ACCESSOR(InstSelI)
    ZV_SEL_FIELDS
    ZV_MOVE_IMM20
};
struct InstSelC {
    ZV_INST_ACCESSOR(InstSelC)
    ZV_SEL_FIELDS
    ZV_MOVE_CBUF
};

// R2P and P2R: Ccpr moves the four condition-code flags instead of P0-P6;
// ByteSel is the register byte that holds the bits.
#define ZV_PREDXFER_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_MOVE_RA                                                                                                         \
    ZV_INST_BIT(Ccpr, 40)                                                                                              \
    ZV_INST_FIELD(ByteSel, int, 41, 2)

struct InstR2pR {
    ZV_INST_ACCESSOR(InstR2pR)
    ZV_PREDXFER_FIELDS
    ZV_MOVE_RB
};
struct InstR2pI {
    ZV_INST_ACCESSOR(InstR2pI)
    ZV_PREDXFER_FIELDS
    ZV_MOVE_IMM20
};
struct InstR2pC {
    ZV_INST_ACCESSOR(InstR2pC)
    ZV_PREDXFER_FIELDS
    ZV_MOVE_CBUF
};
struct InstP2rR {
    ZV_INST_ACCESSOR(InstP2rR)
    ZV_PREDXFER_FIELDS
    ZV_MOVE_RD
    ZV_MOVE_RB
};
struct InstP2rI {
    ZV_INST_ACCESSOR(InstP2rI)
    ZV_PREDXFER_FIELDS
    ZV_MOVE_RD
    ZV_MOVE_IMM20
};
struct InstP2rC {
    ZV_INST_ACCESSOR(InstP2rC)
    ZV_PREDXFER_FIELDS
    ZV_MOVE_RD
    ZV_MOVE_CBUF
};

#define ZV_PSET_COMMON_FIELDS                                                                                          \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Src2Pred, int, 12, 3)                                                                                \
    ZV_INST_BIT(Src2PredInv, 15)                                                                                       \
    ZV_INST_FIELD(BoolOpAB, Decoders::BoolOp, 24, 2)                                                                   \
    ZV_INST_FIELD(Src1Pred, int, 29, 3)                                                                                \
    ZV_INST_BIT(Src1PredInv, 32)                                                                                       \
    ZV_INST_FIELD(SrcPred, int, 39, 3)                                                                                 \
    ZV_INST_BIT(SrcPredInv, 42)                                                                                        \
    ZV_INST_FIELD(BoolOp, Decoders::BoolOp, 45, 2)

struct InstPset {
    ZV_INST_ACCESSOR(InstPset)
    ZV_PSET_COMMON_FIELDS
    ZV_MOVE_RD
    ZV_INST_BIT(BVal, 44)
};
struct InstPsetp {
    ZV_INST_ACCESSOR(InstPsetp)
    ZV_PSET_COMMON_FIELDS
    ZV_INST_FIELD(Pdn, int, 0, 3)
    ZV_INST_FIELD(Pd, int, 3, 3)
};

struct InstS2r {
    ZV_INST_ACCESSOR(InstS2r)
    ZV_INST_GUARD_FIELDS
    ZV_MOVE_RD
    ZV_INST_FIELD(SReg, int, 20, 8)
};

#define ZV_RRO_FIELDS                                                                                                  \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_MOVE_RD                                                                                                         \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(AbsB, 49)

struct InstRroR {
    ZV_INST_ACCESSOR(InstRroR)
    ZV_RRO_FIELDS
    ZV_MOVE_RB
};
struct InstRroI {
    ZV_INST_ACCESSOR(InstRroI)
    ZV_RRO_FIELDS
    ZV_MOVE_IMM20
};
struct InstRroC {
    ZV_INST_ACCESSOR(InstRroC)
    ZV_RRO_FIELDS
    ZV_MOVE_CBUF
};

#undef ZV_MOVE_RD
#undef ZV_MOVE_RA
#undef ZV_MOVE_RB
#undef ZV_MOVE_IMM20
#undef ZV_MOVE_CBUF
#undef ZV_SEL_FIELDS
#undef ZV_PREDXFER_FIELDS
#undef ZV_PSET_COMMON_FIELDS
#undef ZV_RRO_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
