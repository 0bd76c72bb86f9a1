#pragma once
// Field accessors of the attribute load/store and interpolation forms. The
// decoder reads them to record attribute usage before any IR exists.
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstAld {
    ZV_INST_ACCESSOR(InstAld)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)      // first destination
    ZV_INST_FIELD(Ra, int, 8, 8)      // offset register
    ZV_INST_FIELD(Imm11, int, 20, 11) // attribute byte offset
    ZV_INST_BIT(P, 31)                // per-patch
    ZV_INST_BIT(O, 32)                // read an output
    ZV_INST_FIELD(Rc, int, 39, 8)     // vertex register
    ZV_INST_FIELD(Size, int, 47, 2)   // number of 32-bit words minus 1
};

struct InstAst {
    ZV_INST_ACCESSOR(InstAst)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8) // first source register
    ZV_INST_FIELD(Ra, int, 8, 8) // offset register
    ZV_INST_FIELD(Imm11, int, 20, 11)
    ZV_INST_BIT(P, 31)
    ZV_INST_FIELD(Rc, int, 39, 8) // vertex register
    ZV_INST_FIELD(Size, int, 47, 2)
};

struct InstIpa {
    ZV_INST_ACCESSOR(InstIpa)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)      // offset register
    ZV_INST_FIELD(Rb, int, 20, 8)     // multiplier register
    ZV_INST_FIELD(Imm10, int, 28, 10) // attribute byte offset
    ZV_INST_BIT(Idx, 38)              // offset taken from Ra
    ZV_INST_FIELD(Rc, int, 39, 8)
    ZV_INST_BIT(Sat, 51)
    ZV_INST_FIELD(IpaOp, int, 54, 2) // 1 = multiply by Rb
};

struct InstAl2p {
    ZV_INST_ACCESSOR(InstAl2p)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Imm11, int, 20, 11)
};

struct InstIsberd {
    ZV_INST_ACCESSOR(InstIsberd)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
};

// The three OUT forms share the emit and cut bits.
#define ZV_INST_OUT_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_BIT(Emit, 39)                                                                                              \
    ZV_INST_BIT(Cut, 40)

struct InstOutR {
    ZV_INST_ACCESSOR(InstOutR)
    ZV_INST_OUT_FIELDS
};

struct InstOutI {
    ZV_INST_ACCESSOR(InstOutI)
    ZV_INST_OUT_FIELDS
};

struct InstOutC {
    ZV_INST_ACCESSOR(InstOutC)
    ZV_INST_OUT_FIELDS
};

#undef ZV_INST_OUT_FIELDS

} // namespace Zerivox::Graphics::Shader::Decoders
