#pragma once
// Field accessors of the shift forms.
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstShlI {
    ZV_INST_ACCESSOR(InstShlI)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
    ZV_INST_BIT(M, 39)                        // shift count taken modulo 32
};

struct InstShlR {
    ZV_INST_ACCESSOR(InstShlR)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_BIT(M, 39)
};
struct InstShlC {
    ZV_INST_ACCESSOR(InstShlC)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(CbufOffset, int, 20, 14)
    ZV_INST_FIELD(CbufSlot, int, 34, 5)
    ZV_INST_BIT(M, 39)
};

#define ZV_SHR_FIELDS            \
    ZV_INST_GUARD_FIELDS         \
    ZV_INST_FIELD(Rd, int, 0, 8) \
    ZV_INST_FIELD(Ra, int, 8, 8) \
    ZV_INST_BIT(M, 39)           \
    ZV_INST_BIT(Brev, 40)        \
    ZV_INST_BIT(Signed, 48)

struct InstShrR {
    ZV_INST_ACCESSOR(InstShrR)
    ZV_SHR_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};
struct InstShrI {
    ZV_INST_ACCESSOR(InstShrI)
    ZV_SHR_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};
struct InstShrC {
    ZV_INST_ACCESSOR(InstShrC)
    ZV_SHR_FIELDS
    ZV_INST_FIELD(CbufOffset, int, 20, 14)
    ZV_INST_FIELD(CbufSlot, int, 34, 5)
};

// SHF: funnel shift of (C:A). MaxShift 0 and 1 shift a 32-bit funnel, 2 a
// 64-bit one, 3 a 64-bit one whose high word shifts right arithmetically; M
// takes the shift count modulo the width instead of clamping it. Hi makes a
// right shift give the high word of the shifted pair (the low word of a
// 64-bit right shift needs the plain form, its high word this one).
#define ZV_SHF_FIELDS                   \
    ZV_INST_GUARD_FIELDS                \
    ZV_INST_FIELD(Rd, int, 0, 8)        \
    ZV_INST_FIELD(Ra, int, 8, 8)        \
    ZV_INST_FIELD(MaxShift, int, 37, 2) \
    ZV_INST_FIELD(Rc, int, 39, 8)       \
    ZV_INST_BIT(WriteCC, 47)            \
    ZV_INST_BIT(Hi, 48)                 \
    ZV_INST_BIT(M, 50)

struct InstShfLR {
    ZV_INST_ACCESSOR(InstShfLR)
    ZV_SHF_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};
struct InstShfRR {
    ZV_INST_ACCESSOR(InstShfRR)
    ZV_SHF_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};
struct InstShfLI {
    ZV_INST_ACCESSOR(InstShfLI)
    ZV_SHF_FIELDS
    ZV_INST_FIELD(Imm6, int, 20, 6) // zero-extended
};
struct InstShfRI {
    ZV_INST_ACCESSOR(InstShfRI)
    ZV_SHF_FIELDS
    ZV_INST_FIELD(Imm6, int, 20, 6) // zero-extended
};

#undef ZV_SHR_FIELDS
#undef ZV_SHF_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
