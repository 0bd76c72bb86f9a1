#pragma once
// Field accessors of the bit-field forms: BFE (extract), BFI (insert), FLO
// (find leading one) and POPC (population count). The control operand of BFE
// and BFI holds the bit position in bits 0-7 and the width in bits 8-15.
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_BITFIELD_CBUF_FIELDS                                                                                        \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

#define ZV_BITFIELD_BFE_FIELDS                                                                                         \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_BIT(Brev, 40)                                                                                              \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(Signed, 48)

struct InstBfeR {
    ZV_INST_ACCESSOR(InstBfeR)
    ZV_BITFIELD_BFE_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};

struct InstBfeI {
    ZV_INST_ACCESSOR(InstBfeI)
    ZV_BITFIELD_BFE_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};

struct InstBfeC {
    ZV_INST_ACCESSOR(InstBfeC)
    ZV_BITFIELD_BFE_FIELDS
    ZV_BITFIELD_CBUF_FIELDS
};

#define ZV_BITFIELD_BFI_FIELDS                                                                                         \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_BIT(WriteCC, 47)

struct InstBfiR {
    ZV_INST_ACCESSOR(InstBfiR)
    ZV_BITFIELD_BFI_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_FIELD(Rc, int, 39, 8)
};

struct InstBfiI {
    ZV_INST_ACCESSOR(InstBfiI)
    ZV_BITFIELD_BFI_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
    ZV_INST_FIELD(Rc, int, 39, 8)
};

struct InstBfiC {
    ZV_INST_ACCESSOR(InstBfiC)
    ZV_BITFIELD_BFI_FIELDS
    ZV_BITFIELD_CBUF_FIELDS
    ZV_INST_FIELD(Rc, int, 39, 8)
};

struct InstBfiRc {
    ZV_INST_ACCESSOR(InstBfiRc)
    ZV_BITFIELD_BFI_FIELDS
    ZV_BITFIELD_CBUF_FIELDS
    ZV_INST_FIELD(Rc, int, 39, 8)
};

#define ZV_BITFIELD_FLO_FIELDS                                                                                         \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_BIT(NegB, 40)                                                                                              \
    ZV_INST_BIT(Sh, 41)                                                                                                \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(Signed, 48)

struct InstFloR {
    ZV_INST_ACCESSOR(InstFloR)
    ZV_BITFIELD_FLO_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};

struct InstFloI {
    ZV_INST_ACCESSOR(InstFloI)
    ZV_BITFIELD_FLO_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};

struct InstFloC {
    ZV_INST_ACCESSOR(InstFloC)
    ZV_BITFIELD_FLO_FIELDS
    ZV_BITFIELD_CBUF_FIELDS
};

#define ZV_BITFIELD_POPC_FIELDS                                                                                        \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_BIT(NegB, 40)

struct InstPopcR {
    ZV_INST_ACCESSOR(InstPopcR)
    ZV_BITFIELD_POPC_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
};

struct InstPopcI {
    ZV_INST_ACCESSOR(InstPopcI)
    ZV_BITFIELD_POPC_FIELDS
    ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
};

struct InstPopcC {
    ZV_INST_ACCESSOR(InstPopcC)
    ZV_BITFIELD_POPC_FIELDS
    ZV_BITFIELD_CBUF_FIELDS
};

#undef ZV_BITFIELD_BFE_FIELDS
#undef ZV_BITFIELD_BFI_FIELDS
#undef ZV_BITFIELD_FLO_FIELDS
#undef ZV_BITFIELD_POPC_FIELDS
#undef ZV_BITFIELD_CBUF_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
