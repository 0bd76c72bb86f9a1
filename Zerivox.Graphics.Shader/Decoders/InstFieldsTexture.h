#pragma once
// Field accessors of the texture forms (full and compact encodings).
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

// Registers, dimension and write mask shared by the full texture forms.
#define ZV_INST_TEX_COMMON_FIELDS                                                                                      \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_FIELD(Rb, int, 20, 8)                                                                                      \
    ZV_INST_FIELD(Dim, TexDim, 28, 3)                                                                                  \
    ZV_INST_FIELD(WMask, int, 31, 4)

struct InstTex {
    ZV_INST_ACCESSOR(InstTex)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_BIT(Dc, 50)
    ZV_INST_BIT(Aoffi, 54)
    ZV_INST_FIELD(Lod, int, 55, 3)
};

struct InstTexB {
    ZV_INST_ACCESSOR(InstTexB)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_BIT(Aoffib, 36)
    ZV_INST_FIELD(Lodb, int, 37, 3)
    ZV_INST_BIT(Dc, 50)
};

struct InstTld {
    ZV_INST_ACCESSOR(InstTld)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_BIT(Toff, 35)
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_BIT(Ms, 50)
    ZV_INST_BIT(Lod, 55)
};

struct InstTldB {
    ZV_INST_ACCESSOR(InstTldB)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_BIT(Toff, 35)
    ZV_INST_BIT(Ms, 50)
    ZV_INST_BIT(Lod, 55)
};

struct InstTld4 {
    ZV_INST_ACCESSOR(InstTld4)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_FIELD(TidB, int, 36, 13)
    ZV_INST_BIT(Dc, 50)
    ZV_INST_FIELD(Offset, int, 54, 2)
    ZV_INST_FIELD(TexComp, int, 56, 2)
};

struct InstTld4B {
    ZV_INST_ACCESSOR(InstTld4B)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_FIELD(Offset, int, 36, 2)
    ZV_INST_FIELD(TexComp, int, 38, 2)
    ZV_INST_BIT(Dc, 50)
};

struct InstTxd {
    ZV_INST_ACCESSOR(InstTxd)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_BIT(Toff, 35)
    ZV_INST_FIELD(TidB, int, 36, 13)
};

struct InstTxdB {
    ZV_INST_ACCESSOR(InstTxdB)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_BIT(Toff, 35)
};

struct InstTmml {
    ZV_INST_ACCESSOR(InstTmml)
    ZV_INST_TEX_COMMON_FIELDS
    ZV_INST_FIELD(TidB, int, 36, 13)
};

struct InstTmmlB {
    ZV_INST_ACCESSOR(InstTmmlB)
    ZV_INST_TEX_COMMON_FIELDS
};

struct InstTxq {
    ZV_INST_ACCESSOR(InstTxq)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Query, Decoders::TexQuery, 22, 6)
    ZV_INST_FIELD(WMask, int, 31, 4)
    ZV_INST_FIELD(TidB, int, 36, 13)
};

struct InstTxqB {
    ZV_INST_ACCESSOR(InstTxqB)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Query, Decoders::TexQuery, 22, 6)
    ZV_INST_FIELD(WMask, int, 31, 4)
};

// Compact forms: two destination pairs, a write-mask code and a target recipe.
#define ZV_INST_TEXS_COMMON_FIELDS                                                                                     \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_FIELD(Rb, int, 20, 8)                                                                                      \
    ZV_INST_FIELD(Rd2, int, 28, 8)                                                                                     \
    ZV_INST_FIELD(TidB, int, 36, 13)

struct InstTexs {
    ZV_INST_ACCESSOR(InstTexs)
    ZV_INST_TEXS_COMMON_FIELDS
    ZV_INST_FIELD(WMask, int, 50, 3)
    ZV_INST_FIELD(Target, int, 53, 4)
};

struct InstTlds {
    ZV_INST_ACCESSOR(InstTlds)
    ZV_INST_TEXS_COMMON_FIELDS
    ZV_INST_FIELD(WMask, int, 50, 3)
    ZV_INST_FIELD(Target, int, 53, 4)
};

struct InstTld4s {
    ZV_INST_ACCESSOR(InstTld4s)
    ZV_INST_TEXS_COMMON_FIELDS
    ZV_INST_BIT(Dc, 50)
    ZV_INST_BIT(Aoffi, 51)
    ZV_INST_FIELD(TexComp, int, 52, 2)
};

using InstTexsF16 = InstTexs;
using InstTldsF16 = InstTlds;
using InstTld4sF16 = InstTld4s;

#undef ZV_INST_TEX_COMMON_FIELDS
#undef ZV_INST_TEXS_COMMON_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
