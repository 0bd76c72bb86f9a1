#pragma once
// Field accessors of the surface (storage image) forms.
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_INST_SU_COMMON_FIELDS                                                                                       \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_FIELD(Dim, int, 33, 3)

// SUATOM with the handle in a register (Rc) or as an immediate (bits 36-48);
// the bound encoding shares the bindless layout, its size overlapping the
// low handle bits.
struct InstSuatomB {
    ZV_INST_ACCESSOR(InstSuatomB)
    ZV_INST_SU_COMMON_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_BIT(Ba, 28)
    ZV_INST_FIELD(Op, int, 29, 4)
    ZV_INST_FIELD(Size, int, 36, 3)
    ZV_INST_FIELD(Rc, int, 39, 8)
    ZV_INST_FIELD(TidB, int, 36, 13)
};
using InstSuatomB2 = InstSuatomB;
using InstSuatomD = InstSuatomB;

struct InstSuatom {
    ZV_INST_ACCESSOR(InstSuatom)
    ZV_INST_SU_COMMON_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_BIT(Ba, 28)
    ZV_INST_FIELD(Op, int, 29, 4)
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_FIELD(Size, int, 51, 3)
};

struct InstSuatomCasB {
    ZV_INST_ACCESSOR(InstSuatomCasB)
    ZV_INST_SU_COMMON_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_BIT(Ba, 28)
    ZV_INST_FIELD(Size, int, 36, 3)
    ZV_INST_FIELD(Rc, int, 39, 8)
};

struct InstSuatomCas {
    ZV_INST_ACCESSOR(InstSuatomCas)
    ZV_INST_SU_COMMON_FIELDS
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_BIT(Ba, 28)
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_FIELD(Size, int, 51, 3)
};

// SURED: the value register sits in the Rd position.
struct InstSured {
    ZV_INST_ACCESSOR(InstSured)
    ZV_INST_SU_COMMON_FIELDS
    ZV_INST_FIELD(Size, int, 20, 3)
    ZV_INST_BIT(Ba, 23)
    ZV_INST_FIELD(Op, int, 24, 3)
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_FIELD(Rc, int, 39, 8)
};
using InstSuredB = InstSured;

// SULD/SUST, data-size (D) and component-mask (P) forms, bound and bindless.
struct InstSuldSust {
    ZV_INST_ACCESSOR(InstSuldSust)
    ZV_INST_SU_COMMON_FIELDS
    ZV_INST_FIELD(Size, int, 20, 3)
    ZV_INST_FIELD(Rgba, int, 20, 4)
    ZV_INST_BIT(Ba, 23)
    ZV_INST_FIELD(CacheOp, int, 24, 2)
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_FIELD(Rc, int, 39, 8)
};
using InstSuld = InstSuldSust;
using InstSuldB = InstSuldSust;
using InstSuldD = InstSuldSust;
using InstSuldDB = InstSuldSust;
using InstSust = InstSuldSust;
using InstSustB = InstSuldSust;
using InstSustD = InstSuldSust;
using InstSustDB = InstSuldSust;

#undef ZV_INST_SU_COMMON_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
