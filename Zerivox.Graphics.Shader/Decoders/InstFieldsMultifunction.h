#pragma once
// Field accessors of the multi-function unit form MUFU.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstMufu {
    ZV_INST_ACCESSOR(InstMufu)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(MufuOp, Decoders::MufuOp, 20, 4) // 9-15 have no member
    ZV_INST_BIT(AbsA, 46)
    ZV_INST_BIT(NegA, 48)
    ZV_INST_BIT(Sat, 50)
};

} // namespace Zerivox::Graphics::Shader::Decoders
