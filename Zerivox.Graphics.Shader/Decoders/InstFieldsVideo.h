#pragma once
// Field accessors of the video integer forms (byte/half selected operands).
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

// A select is three bits plus a signedness bit stored apart; B is a register
// (BVideo) or a 16-bit immediate.
#define ZV_INST_VIDEO_FIELDS                                                                                           \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    ZV_INST_FIELD(Rb, int, 20, 8)                                                                                      \
    ZV_INST_FIELD(Imm16, int, 20, 16)                                                                                  \
    ZV_INST_FIELD(Rc, int, 39, 8)                                                                                      \
    ZV_INST_FIELD2(ASelect, VectorSelect, 36, 3, 48, 1)                                                                \
    ZV_INST_FIELD2(BSelect, VectorSelect, 28, 3, 49, 1)                                                                \
    ZV_INST_BIT(BVideo, 50)

struct InstVmad {
    ZV_INST_ACCESSOR(InstVmad)
    ZV_INST_VIDEO_FIELDS
    ZV_INST_FIELD(VideoScale, int, 51, 2)
    ZV_INST_FIELD(AvgMode, int, 53, 2)
    ZV_INST_BIT(Sat, 55)
};

struct InstVmnmx {
    ZV_INST_ACCESSOR(InstVmnmx)
    ZV_INST_VIDEO_FIELDS
    ZV_INST_FIELD(VideoOp, int, 51, 3)
    ZV_INST_BIT(DFormat, 54)
    ZV_INST_BIT(Sat, 55)
    ZV_INST_BIT(Mn, 56)
};

struct InstVsetp {
    ZV_INST_ACCESSOR(InstVsetp)
    ZV_INST_VIDEO_FIELDS
    ZV_INST_FIELD(Pdn, int, 0, 3)
    ZV_INST_FIELD(Pd, int, 3, 3)
    ZV_INST_FIELD(SrcPred, int, 39, 3)
    ZV_INST_BIT(SrcPredInv, 42)
    ZV_INST_FIELD2(VComp, IComp, 43, 2, 47, 1)
    ZV_INST_FIELD(BoolOp, ::Zerivox::Graphics::Shader::Decoders::BoolOp, 45, 2)
};

#undef ZV_INST_VIDEO_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
