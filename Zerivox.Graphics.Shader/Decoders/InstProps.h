#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader::Decoders {

// Per-encoding operand positions and decoding properties. Bits 7-9 (PdMask) hold
// one value: where the form's predicate destination sits.
enum class InstProps : uint16_t {
    None = 0,
    Rd = 0x1,    // destination register, bits 0-7
    Rd2 = 0x2,   // second destination register, bits 28-35 (compact texture forms)
    Ra = 0x4,    // source register, bits 8-15
    Rb = 0x8,    // source register, bits 20-27
    Rb2 = 0x10,  // source register in bits 0-7 (store data in the destination field)
    Ib = 0x20,   // operand B is an immediate
    Rc = 0x40,   // source register, bits 39-46
    Pd = 0x80,   // predicate destination, bits 3-5
    LPd = 0x100, // predicate destination, bits 48-50
    SPd = 0x180, // predicate destination, bits 30-32
    TPd = 0x200, // predicate destination, bits 51-53
    VPd = 0x280, // predicate destination, bits 45-47
    PdMask = 0x380,
    Pdn = 0x400,     // second predicate destination, bits 0-2
    Ps = 0x800,      // predicate source, bits 39-41, inverted by bit 42
    Tex = 0x1000,    // bound texture or surface access
    TexB = 0x2000,   // bindless texture or surface access
    Bra = 0x4000,    // ends a basic block
    NoPred = 0x8000, // no guard predicate: bits 16-19 are not a predicate
};

// HasFlag is not meaningful for the PdMask values, which share bits: compare
// (value & PdMask) with one of them instead.
ZV_ENUM_FLAGS(InstProps)

constexpr InstProps GetPdPlace(InstProps value) { return value & InstProps::PdMask; }

} // namespace Zerivox::Graphics::Shader::Decoders
