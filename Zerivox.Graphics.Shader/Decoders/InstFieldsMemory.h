#pragma once
// Field accessors of the memory forms.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

// LDC: constant-buffer load with its own operand layout.
struct InstLdc {
    ZV_INST_ACCESSOR(InstLdc)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    // Byte offset added to Ra: bits 20-35 as a signed 16-bit value.
    constexpr int Imm16() const { return InstFields::SignExtend(InstFields::Extract(RawOpCode, 20, 16), 16); }
    ZV_INST_FIELD(Slot, int, 36, 5)
    ZV_INST_FIELD(AddressMode, int, 44, 2)
    ZV_INST_FIELD(LsSize, LsSize2, 48, 3)
};

// Global, local and shared loads and stores: Rd is the first destination (or
// first value register of a store); the byte offset is bits 20-43, signed.
#define ZV_INST_MEMORY_FIELDS                                                                                          \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)                                                                                       \
    constexpr int Imm24() const { return InstFields::SignExtend(InstFields::Extract(RawOpCode, 20, 24), 24); }        \
    ZV_INST_FIELD(LsSize, LsSize2, 48, 3)

struct InstLdg {
    ZV_INST_ACCESSOR(InstLdg)
    ZV_INST_MEMORY_FIELDS
    ZV_INST_BIT(E, 45) // 64-bit address in Ra, Ra + 1
};

struct InstStg {
    ZV_INST_ACCESSOR(InstStg)
    ZV_INST_MEMORY_FIELDS
    ZV_INST_BIT(E, 45)
};

struct InstLdl {
    ZV_INST_ACCESSOR(InstLdl)
    ZV_INST_MEMORY_FIELDS
};

struct InstLds {
    ZV_INST_ACCESSOR(InstLds)
    ZV_INST_MEMORY_FIELDS
};

struct InstStl {
    ZV_INST_ACCESSOR(InstStl)
    ZV_INST_MEMORY_FIELDS
};

struct InstSts {
    ZV_INST_ACCESSOR(InstSts)
    ZV_INST_MEMORY_FIELDS
};

#undef ZV_INST_MEMORY_FIELDS

struct InstAtom {
    ZV_INST_ACCESSOR(InstAtom)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Rb, int, 20, 8) // value
    // Byte offset: bits 28-47, signed.
    constexpr int Imm20() const { return InstFields::SignExtend(InstFields::Extract(RawOpCode, 28, 20), 20); }
    ZV_INST_BIT(E, 48)
    ZV_INST_FIELD(Size, AtomSize, 49, 3)
    ZV_INST_FIELD(Op, AtomOp, 52, 4)
};

struct InstAtoms {
    ZV_INST_ACCESSOR(InstAtoms)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8) // byte address
    ZV_INST_FIELD(Rb, int, 20, 8)
    ZV_INST_FIELD(AtomsSize, int, 28, 2) // U32, S32, U64, S64
    // Offset in 32-bit words: bits 30-51, signed.
    constexpr int Imm22() const { return InstFields::SignExtend(InstFields::Extract(RawOpCode, 30, 22), 22); }
    ZV_INST_FIELD(Op, AtomOp, 52, 4)
};

// ATOM.CAS: the compare value is Rb, the new value Rb + 1 (with B64 the
// pairs Rb, Rb + 1 and Rb + 2, Rb + 3); Rd receives the old word. Bits 50-51
// carry nothing.
struct InstAtomCas {
    ZV_INST_ACCESSOR(InstAtomCas)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Rb, int, 20, 8) // compare value; Rb + 1 holds the new value
    // Byte offset: bits 28-47, signed.
    constexpr int Imm20() const { return InstFields::SignExtend(InstFields::Extract(RawOpCode, 28, 20), 20); }
    ZV_INST_BIT(E, 48)
    ZV_INST_BIT(B64, 49) // 64-bit words instead of 32-bit ones
};

// The three behaviours of the ATOMS.CAS encoding (value 3 names none). Only
// Cas is the plain compare-and-swap that returns the old word.
enum class AtomsCasMode : int32_t {
    Cast = 0,
    CastSpin = 1,
    Cas = 2,
};

// ATOMS.CAS: shared-memory compare-and-swap with the operand layout of
// ATOM.CAS and the word offset of ATOMS. Bits 28-29 carry nothing.
struct InstAtomsCas {
    ZV_INST_ACCESSOR(InstAtomsCas)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8)
    ZV_INST_FIELD(Ra, int, 8, 8)  // byte address
    ZV_INST_FIELD(Rb, int, 20, 8) // compare value; Rb + 1 holds the new value
    // Offset in 32-bit words: bits 30-51, signed.
    constexpr int Imm22() const { return InstFields::SignExtend(InstFields::Extract(RawOpCode, 30, 22), 22); }
    ZV_INST_BIT(B64, 52)
    ZV_INST_FIELD(Mode, AtomsCasMode, 53, 2)
};

struct InstRed {
    ZV_INST_ACCESSOR(InstRed)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Rd, int, 0, 8) // value register
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_FIELD(Size, AtomSize, 20, 3)
    ZV_INST_FIELD(RedOp, AtomOp, 23, 3)
    ZV_INST_FIELD(Imm20, int, 28, 20) // byte offset, zero-extended
    ZV_INST_BIT(E, 48)
};

} // namespace Zerivox::Graphics::Shader::Decoders
