#pragma once
// Field accessors of the integer compare and min/max forms.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstImnmxI {
    ZV_INST_ACCESSOR(InstImnmxI)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
    ZV_INST_FIELD(SrcPred, int, 39, 3)        // selects the minimum when true
    ZV_INST_BIT(SrcPredInv, 42)
    ZV_INST_FIELD(Mode, int, 43, 2) // multiword step: 0 none, 1 low word, 3 high word
    ZV_INST_BIT(WriteCC, 47)
    ZV_INST_BIT(Signed, 48)
};

#define ZV_INTCMP_AB_FIELDS      \
    ZV_INST_GUARD_FIELDS         \
    ZV_INST_FIELD(Rd, int, 0, 8) \
    ZV_INST_FIELD(Ra, int, 8, 8)
#define ZV_INTCMP_RB ZV_INST_FIELD(Rb, int, 20, 8)
#define ZV_INTCMP_RC ZV_INST_FIELD(Rc, int, 39, 8)
#define ZV_INTCMP_IMM20 ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
#define ZV_INTCMP_CBUF                     \
    ZV_INST_FIELD(CbufOffset, int, 20, 14) \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

// ICMP: Rd := (C compared with 0) ? A : B.
#define ZV_ICMP_FIELDS          \
    ZV_INTCMP_AB_FIELDS         \
    ZV_INST_BIT(Signed, 48)     \
    ZV_INST_FIELD(IComp, Decoders::IComp, 49, 3)

struct InstIcmpR {
    ZV_INST_ACCESSOR(InstIcmpR)
    ZV_ICMP_FIELDS
    ZV_INTCMP_RB
    ZV_INTCMP_RC
};
struct InstIcmpI {
    ZV_INST_ACCESSOR(InstIcmpI)
    ZV_ICMP_FIELDS
    ZV_INTCMP_IMM20
    ZV_INTCMP_RC
};
struct InstIcmpC {
    ZV_INST_ACCESSOR(InstIcmpC)
    ZV_ICMP_FIELDS
    ZV_INTCMP_CBUF
    ZV_INTCMP_RC
};
struct InstIcmpRc {
    ZV_INST_ACCESSOR(InstIcmpRc)
    ZV_ICMP_FIELDS
    ZV_INTCMP_CBUF
    ZV_INTCMP_RC
};

// ISET and ISETP: compare A with B, combine with the source predicate.
#define ZV_ISET_COMMON_FIELDS                         \
    ZV_INST_FIELD(SrcPred, int, 39, 3)                \
    ZV_INST_BIT(SrcPredInv, 42)                       \
    ZV_INST_BIT(X, 43)                                \
    ZV_INST_FIELD(BoolOp, Decoders::BoolOp, 45, 2)    \
    ZV_INST_BIT(Signed, 48)                           \
    ZV_INST_FIELD(IComp, Decoders::IComp, 49, 3)

#define ZV_ISET_FIELDS          \
    ZV_INTCMP_AB_FIELDS         \
    ZV_ISET_COMMON_FIELDS       \
    ZV_INST_BIT(BVal, 44)       \
    ZV_INST_BIT(WriteCC, 47)

struct InstIsetR {
    ZV_INST_ACCESSOR(InstIsetR)
    ZV_ISET_FIELDS
    ZV_INTCMP_RB
};
struct InstIsetI {
    ZV_INST_ACCESSOR(InstIsetI)
    ZV_ISET_FIELDS
    ZV_INTCMP_IMM20
};
struct InstIsetC {
    ZV_INST_ACCESSOR(InstIsetC)
    ZV_ISET_FIELDS
    ZV_INTCMP_CBUF
};

#define ZV_ISETP_FIELDS               \
    ZV_INST_GUARD_FIELDS              \
    ZV_INST_FIELD(Pdn, int, 0, 3)     \
    ZV_INST_FIELD(Pd, int, 3, 3)      \
    ZV_INST_FIELD(Ra, int, 8, 8)      \
    ZV_ISET_COMMON_FIELDS

struct InstIsetpR {
    ZV_INST_ACCESSOR(InstIsetpR)
    ZV_ISETP_FIELDS
    ZV_INTCMP_RB
};
struct InstIsetpI {
    ZV_INST_ACCESSOR(InstIsetpI)
    ZV_ISETP_FIELDS
    ZV_INTCMP_IMM20
};
struct InstIsetpC {
    ZV_INST_ACCESSOR(InstIsetpC)
    ZV_ISETP_FIELDS
    ZV_INTCMP_CBUF
};

#define ZV_IMNMX_FIELDS                \
    ZV_INTCMP_AB_FIELDS                \
    ZV_INST_FIELD(SrcPred, int, 39, 3) \
    ZV_INST_BIT(SrcPredInv, 42)        \
    ZV_INST_FIELD(Mode, int, 43, 2)    \
    ZV_INST_BIT(WriteCC, 47)           \
    ZV_INST_BIT(Signed, 48)

struct InstImnmxR {
    ZV_INST_ACCESSOR(InstImnmxR)
    ZV_IMNMX_FIELDS
    ZV_INTCMP_RB
};
struct InstImnmxC {
    ZV_INST_ACCESSOR(InstImnmxC)
    ZV_IMNMX_FIELDS
    ZV_INTCMP_CBUF
};

#undef ZV_INTCMP_AB_FIELDS
#undef ZV_INTCMP_RB
#undef ZV_INTCMP_RC
#undef ZV_INTCMP_IMM20
#undef ZV_INTCMP_CBUF
#undef ZV_ICMP_FIELDS
#undef ZV_ISET_COMMON_FIELDS
#undef ZV_ISET_FIELDS
#undef ZV_ISETP_FIELDS
#undef ZV_IMNMX_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
