#pragma once
// Field accessors of the floating-point compare forms: FSET and DSET (result
// in a register), FSETP and DSETP (two predicates), FCMP (select by the sign
// of a third operand) and the packed half-float HSET2 and HSETP2.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_FCMP_BASE                                                                                                   \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)
#define ZV_FCMP_SRC_R ZV_INST_FIELD(Rb, int, 20, 8)
#define ZV_FCMP_SRC_I ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
#define ZV_FCMP_SRC_C                                                                                                  \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)
#define ZV_FCMP_SRC_PRED                                                                                               \
    ZV_INST_FIELD(SrcPred, int, 39, 3)                                                                                 \
    ZV_INST_BIT(SrcPredInv, 42)                                                                                        \
    ZV_INST_FIELD(BoolOp, Decoders::BoolOp, 45, 2)

// FSET, DSET: BVal selects a 1.0/0.0 result instead of all ones/zero.
#define ZV_FCMP_SET_FIELDS                                                                                             \
    ZV_FCMP_BASE                                                                                                       \
    ZV_FCMP_SRC_PRED                                                                                                   \
    ZV_INST_BIT(NegA, 43)                                                                                              \
    ZV_INST_BIT(AbsB, 44)                                                                                              \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_FIELD(FComp, Decoders::FComp, 48, 4)                                                                       \
    ZV_INST_BIT(BVal, 52)                                                                                              \
    ZV_INST_BIT(NegB, 53)                                                                                              \
    ZV_INST_BIT(AbsA, 54)

struct InstFsetR {
    ZV_INST_ACCESSOR(InstFsetR)
    ZV_FCMP_SET_FIELDS
    ZV_FCMP_SRC_R
};

struct InstFsetI {
    ZV_INST_ACCESSOR(InstFsetI)
    ZV_FCMP_SET_FIELDS
    ZV_FCMP_SRC_I
};

struct InstFsetC {
    ZV_INST_ACCESSOR(InstFsetC)
    ZV_FCMP_SET_FIELDS
    ZV_FCMP_SRC_C
};

struct InstDsetR {
    ZV_INST_ACCESSOR(InstDsetR)
    ZV_FCMP_SET_FIELDS
    ZV_FCMP_SRC_R
};

struct InstDsetI {
    ZV_INST_ACCESSOR(InstDsetI)
    ZV_FCMP_SET_FIELDS
    ZV_FCMP_SRC_I
};

struct InstDsetC {
    ZV_INST_ACCESSOR(InstDsetC)
    ZV_FCMP_SET_FIELDS
    ZV_FCMP_SRC_C
};

// FSETP, DSETP: Pd receives the combined comparison, Pdn the combined
// negation. Bit 47 (write CC) exists but sets no flags.
#define ZV_FCMP_SETP_FIELDS                                                                                            \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Pdn, int, 0, 3)                                                                                      \
    ZV_INST_FIELD(Pd, int, 3, 3)                                                                                       \
    ZV_INST_BIT(NegB, 6)                                                                                               \
    ZV_INST_BIT(AbsA, 7)                                                                                               \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_FCMP_SRC_PRED                                                                                                   \
    ZV_INST_BIT(NegA, 43)                                                                                              \
    ZV_INST_BIT(AbsB, 44)                                                                                              \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_FIELD(FComp, Decoders::FComp, 48, 4)

struct InstFsetpR {
    ZV_INST_ACCESSOR(InstFsetpR)
    ZV_FCMP_SETP_FIELDS
    ZV_FCMP_SRC_R
};

struct InstFsetpI {
    ZV_INST_ACCESSOR(InstFsetpI)
    ZV_FCMP_SETP_FIELDS
    ZV_FCMP_SRC_I
};

struct InstFsetpC {
    ZV_INST_ACCESSOR(InstFsetpC)
    ZV_FCMP_SETP_FIELDS
    ZV_FCMP_SRC_C
};

struct InstDsetpR {
    ZV_INST_ACCESSOR(InstDsetpR)
    ZV_FCMP_SETP_FIELDS
    ZV_FCMP_SRC_R
};

struct InstDsetpI {
    ZV_INST_ACCESSOR(InstDsetpI)
    ZV_FCMP_SETP_FIELDS
    ZV_FCMP_SRC_I
};

struct InstDsetpC {
    ZV_INST_ACCESSOR(InstDsetpC)
    ZV_FCMP_SETP_FIELDS
    ZV_FCMP_SRC_C
};

// FCMP: Rd := (C compared with 0.0) ? A : B.
#define ZV_FCMP_FCMP_FIELDS                                                                                            \
    ZV_FCMP_BASE                                                                                                       \
    ZV_INST_FIELD(Rc, int, 39, 8)                                                                                      \
    ZV_INST_FIELD(FComp, Decoders::FComp, 48, 4)

struct InstFcmpR {
    ZV_INST_ACCESSOR(InstFcmpR)
    ZV_FCMP_FCMP_FIELDS
    ZV_FCMP_SRC_R
};

struct InstFcmpI {
    ZV_INST_ACCESSOR(InstFcmpI)
    ZV_FCMP_FCMP_FIELDS
    ZV_FCMP_SRC_I
};

struct InstFcmpC {
    ZV_INST_ACCESSOR(InstFcmpC)
    ZV_FCMP_FCMP_FIELDS
    ZV_FCMP_SRC_C
};

struct InstFcmpRc {
    ZV_INST_ACCESSOR(InstFcmpRc)
    ZV_FCMP_FCMP_FIELDS
    ZV_FCMP_SRC_C
};

// Packed half-float compares. The register forms hold FComp in bits 35-38,
// the immediate and constant-buffer forms in bits 49-52; the immediate forms
// carry two 10-bit half immediates like HADD2's.
#define ZV_HCMP_A_FIELDS                                                                                               \
    ZV_FCMP_SRC_PRED                                                                                                   \
    ZV_INST_BIT(NegA, 43)                                                                                              \
    ZV_INST_BIT(AbsA, 44)                                                                                              \
    ZV_INST_FIELD(ASwizzle, Decoders::HalfSwizzle, 47, 2)
#define ZV_HCMP_B_R                                                                                                    \
    ZV_INST_FIELD(Rb, int, 20, 8)                                                                                      \
    ZV_INST_FIELD(BSwizzle, Decoders::HalfSwizzle, 28, 2)                                                              \
    ZV_INST_BIT(AbsB, 30)                                                                                              \
    ZV_INST_BIT(NegB, 31)                                                                                              \
    ZV_INST_FIELD(FComp, Decoders::FComp, 35, 4)
#define ZV_HCMP_B_I                                                                                                    \
    ZV_INST_FIELD(BimmH0, int, 20, 10)                                                                                 \
    ZV_INST_FIELD2(BimmH1, int, 30, 9, 56, 1)                                                                          \
    ZV_INST_FIELD(FComp, Decoders::FComp, 49, 4)
#define ZV_HCMP_B_C                                                                                                    \
    ZV_FCMP_SRC_C                                                                                                      \
    ZV_INST_FIELD(FComp, Decoders::FComp, 49, 4)
#define ZV_HCMP_PD                                                                                                     \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Pdn, int, 0, 3)                                                                                      \
    ZV_INST_FIELD(Pd, int, 3, 3)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)

struct InstHset2R {
    ZV_INST_ACCESSOR(InstHset2R)
    ZV_FCMP_BASE
    ZV_HCMP_A_FIELDS
    ZV_HCMP_B_R
    ZV_INST_BIT(Bval, 49)
};

struct InstHset2I {
    ZV_INST_ACCESSOR(InstHset2I)
    ZV_FCMP_BASE
    ZV_HCMP_A_FIELDS
    ZV_HCMP_B_I
    ZV_INST_BIT(Bval, 53)
};

struct InstHset2C {
    ZV_INST_ACCESSOR(InstHset2C)
    ZV_FCMP_BASE
    ZV_HCMP_A_FIELDS
    ZV_HCMP_B_C
    ZV_INST_BIT(Bval, 53)
    ZV_INST_BIT(NegB, 56)
};

struct InstHsetp2R {
    ZV_INST_ACCESSOR(InstHsetp2R)
    ZV_HCMP_PD
    ZV_HCMP_A_FIELDS
    ZV_HCMP_B_R
    ZV_INST_BIT(HAnd, 49)
};

struct InstHsetp2I {
    ZV_INST_ACCESSOR(InstHsetp2I)
    ZV_HCMP_PD
    ZV_HCMP_A_FIELDS
    ZV_HCMP_B_I
    ZV_INST_BIT(HAnd, 53)
};

struct InstHsetp2C {
    ZV_INST_ACCESSOR(InstHsetp2C)
    ZV_HCMP_PD
    ZV_HCMP_A_FIELDS
    ZV_HCMP_B_C
    ZV_INST_BIT(HAnd, 53)
    ZV_INST_BIT(AbsB, 54)
    ZV_INST_BIT(NegB, 56)
};

#undef ZV_FCMP_BASE
#undef ZV_FCMP_SRC_R
#undef ZV_FCMP_SRC_I
#undef ZV_FCMP_SRC_C
#undef ZV_FCMP_SRC_PRED
#undef ZV_FCMP_SET_FIELDS
#undef ZV_FCMP_SETP_FIELDS
#undef ZV_FCMP_FCMP_FIELDS
#undef ZV_HCMP_A_FIELDS
#undef ZV_HCMP_B_R
#undef ZV_HCMP_B_I
#undef ZV_HCMP_B_C
#undef ZV_HCMP_PD

} // namespace Zerivox::Graphics::Shader::Decoders
