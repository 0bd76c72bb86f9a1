#pragma once
// Bit-field helpers for the instruction field-accessor types (InstFaddR, ...).
//
// An accessor type views one 64-bit instruction word: it holds the word as its
// only member, is constructible from it (EmitterContext::GetOp<T> builds it
// from the current instruction) and offers one constexpr read-only getter per
// field, named after the field. Getters shift and mask and never fail: every
// field value converts to its result type, enumerations included (a value
// without a member is still passed on; the emitter decides what it means).
//
// Declare an accessor type like this:
//
//     struct InstFoo {
//         ZV_INST_ACCESSOR(InstFoo)
//         ZV_INST_FIELD(Rd, int, 0, 8)            // bits 0-7
//         ZV_INST_BIT(WriteCC, 47)                // one-bit flag
//         ZV_INST_FIELD2(RoundMode, IntegerRound, 39, 2, 42, 1) // two pieces
//     };
#include <cstdint>
#include <type_traits>

namespace Zerivox::Graphics::Shader::Decoders::InstFields {

// Unsigned value of `count` bits (1-32) starting at bit `lo` (0-63).
constexpr uint32_t Extract(uint64_t word, int lo, int count) {
    return static_cast<uint32_t>((word >> lo) & ((uint64_t{1} << count) - 1u));
}

constexpr bool Bit(uint64_t word, int bit) { return ((word >> bit) & 1u) != 0; }

// Value whose low bits come from the first piece and whose next bits come from
// the second piece (for example Imm20: bits 20-38, then bit 56).
constexpr uint32_t Extract2(uint64_t word, int lo1, int count1, int lo2, int count2) {
    return Extract(word, lo1, count1) | (Extract(word, lo2, count2) << count1);
}

// Two's-complement value of the low `bits` bits of value (1-32).
constexpr int32_t SignExtend(uint32_t value, int bits) {
    const uint32_t sign = uint32_t{1} << (bits - 1);
    const uint32_t masked = bits == 32 ? value : (value & ((sign << 1) - 1u));
    return static_cast<int32_t>((masked ^ sign) - sign);
}

template <typename T> constexpr T As(uint32_t value) {
    if constexpr (std::is_same_v<T, bool>) {
        return value != 0;
    } else {
        return static_cast<T>(value);
    }
}

} // namespace Zerivox::Graphics::Shader::Decoders::InstFields

#define ZV_INST_ACCESSOR(Type)                                                                                         \
    uint64_t RawOpCode = 0;                                                                                            \
    constexpr Type() = default;                                                                                        \
    constexpr explicit Type(uint64_t rawOpCode) : RawOpCode(rawOpCode) {}

#define ZV_INST_FIELD(Name, Type, Lo, Count)                                                                           \
    constexpr Type Name() const {                                                                                      \
        return ::Zerivox::Graphics::Shader::Decoders::InstFields::As<Type>(                                            \
            ::Zerivox::Graphics::Shader::Decoders::InstFields::Extract(RawOpCode, Lo, Count));                         \
    }

#define ZV_INST_BIT(Name, BitIndex)                                                                                    \
    constexpr bool Name() const { return ::Zerivox::Graphics::Shader::Decoders::InstFields::Bit(RawOpCode, BitIndex); }

#define ZV_INST_FIELD2(Name, Type, Lo1, Count1, Lo2, Count2)                                                           \
    constexpr Type Name() const {                                                                                      \
        return ::Zerivox::Graphics::Shader::Decoders::InstFields::As<Type>(                                            \
            ::Zerivox::Graphics::Shader::Decoders::InstFields::Extract2(RawOpCode, Lo1, Count1, Lo2, Count2));         \
    }

// The guard predicate of every form without NoPred: bits 16-18 (7 = PT) and
// its inversion, bit 19.
#define ZV_INST_GUARD_FIELDS                                                                                           \
    ZV_INST_FIELD(Pred, int, 16, 3)                                                                                    \
    ZV_INST_BIT(PredInv, 19)

// Signed 24-bit byte offset (bits 20-43) of a relative branch or push target.
#define ZV_INST_REL_OFFSET                                                                                             \
    constexpr int Imm24() const {                                                                                      \
        return ::Zerivox::Graphics::Shader::Decoders::InstFields::SignExtend(                                          \
            ::Zerivox::Graphics::Shader::Decoders::InstFields::Extract(RawOpCode, 20, 24), 24);                        \
    }
