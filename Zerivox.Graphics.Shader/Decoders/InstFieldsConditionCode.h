#pragma once
// Field accessors of the condition-code set forms CSET and CSETP. Their
// condition-code test sits in bits 8-12, not in bits 0-4 as in the branches.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstCset {
    ZV_INST_ACCESSOR(InstCset)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ccc, int, 8, 5)
    ZV_INST_FIELD(SrcPred, int, 39, 3)
    ZV_INST_BIT(SrcPredInv, 42)
    ZV_INST_BIT(BVal, 44)
    ZV_INST_FIELD(BoolOp, Decoders::BoolOp, 45, 2)
};

struct InstCsetp {
    ZV_INST_ACCESSOR(InstCsetp)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Pdn, int, 0, 3)
    ZV_INST_FIELD(Pd, int, 3, 3)
    ZV_INST_FIELD(Ccc, int, 8, 5)
    ZV_INST_FIELD(SrcPred, int, 39, 3)
    ZV_INST_BIT(SrcPredInv, 42)
    ZV_INST_FIELD(BoolOp, Decoders::BoolOp, 45, 2)
};

} // namespace Zerivox::Graphics::Shader::Decoders
