#pragma once
// Field accessors of the warp-wide forms: swizzled add, shuffle, vote.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstFswzadd {
    ZV_INST_ACCESSOR(InstFswzadd)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_FIELD(SwizzleMask, int, 28, 8)
    ZV_INST_BIT(WriteCC, 47)
};

struct InstShfl {
    ZV_INST_ACCESSOR(InstShfl)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Rb, int, 20, 8)      // index register
    ZV_INST_FIELD(IndexImm5, int, 20, 5)
    ZV_INST_BIT(IndexImm, 28)
    ZV_INST_BIT(MaskImm, 29)
    ZV_INST_FIELD(ShflMode, int, 30, 2) // index, up, down, xor
    ZV_INST_FIELD(MaskImm13, int, 34, 13)
    ZV_INST_FIELD(Rc, int, 39, 8)       // mask register
    ZV_INST_FIELD(ShflPred, int, 48, 3) // receives the in-range flag
};

struct InstVote {
    ZV_INST_ACCESSOR(InstVote)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8) // ballot
    ZV_INST_FIELD(SrcPred, int, 39, 3)
    ZV_INST_BIT(SrcPredInv, 42)
    ZV_INST_FIELD(VotePred, int, 45, 3)
    ZV_INST_FIELD(VoteMode, ::Zerivox::Graphics::Shader::Decoders::VoteMode, 48, 2)
};

} // namespace Zerivox::Graphics::Shader::Decoders
