#pragma once
// Field accessors of the synchronisation forms BAR, DEPBAR and MEMBAR.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstBar {
    ZV_INST_ACCESSOR(InstBar)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(BarOp, Decoders::BarOp, 32, 3)
};

struct InstDepbar {
    ZV_INST_ACCESSOR(InstDepbar)
    ZV_INST_GUARD_FIELDS
};

// Membar: 0 is the workgroup level, 1-3 wider levels.
struct InstMembar {
    ZV_INST_ACCESSOR(InstMembar)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Membar, int, 8, 2)
};

} // namespace Zerivox::Graphics::Shader::Decoders
