#pragma once
// Field accessors of FMNMX and DMNMX: the source predicate selects the
// minimum when true, the maximum when false.
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_FMNMX_FIELDS                                                                                                \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_FIELD(SrcPred, int, 39, 3)                                                                                 \
    ZV_INST_BIT(SrcPredInv, 42)                                                                                        \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(AbsA, 46)                                                                                              \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(NegA, 48)                                                                                              \
    ZV_INST_BIT(AbsB, 49)
#define ZV_FMNMX_SRC_C                                                                                                 \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

struct InstFmnmxR {
    ZV_INST_ACCESSOR(InstFmnmxR)
    ZV_FMNMX_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};

struct InstFmnmxI {
    ZV_INST_ACCESSOR(InstFmnmxI)
    ZV_FMNMX_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};

struct InstFmnmxC {
    ZV_INST_ACCESSOR(InstFmnmxC)
    ZV_FMNMX_FIELDS
    ZV_FMNMX_SRC_C
};

struct InstDmnmxR {
    ZV_INST_ACCESSOR(InstDmnmxR)
    ZV_FMNMX_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};

struct InstDmnmxI {
    ZV_INST_ACCESSOR(InstDmnmxI)
    ZV_FMNMX_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};

struct InstDmnmxC {
    ZV_INST_ACCESSOR(InstDmnmxC)
    ZV_FMNMX_FIELDS
    ZV_FMNMX_SRC_C
};

#undef ZV_FMNMX_FIELDS
#undef ZV_FMNMX_SRC_C

} // namespace Zerivox::Graphics::Shader::Decoders
