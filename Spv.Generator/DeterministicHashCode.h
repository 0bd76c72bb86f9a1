#pragma once
// Hashes that give the same value in every run and on every machine, so that
// lookups in the builder's tables behave identically from job to job.
#include <bit>
#include <cstdint>
#include <span>
#include <string_view>

namespace Spv::Generator {

struct DeterministicHashCode {
    // Hash of a string's characters (ASCII: one code unit per byte).
    static uint32_t GetHashCode(std::string_view text) noexcept;

    static uint32_t Combine(uint32_t value1, uint32_t value2) noexcept;
    static uint32_t Combine(uint32_t value1, uint32_t value2, uint32_t value3, uint32_t value4) noexcept;
    static uint32_t Combine(std::span<const uint32_t> values) noexcept;

    // A 64-bit value contributes its low half XOR its high half.
    static constexpr uint32_t Fold(uint64_t value) noexcept {
        return static_cast<uint32_t>(value) ^ static_cast<uint32_t>(value >> 32);
    }

    // Incremental form of Combine for callers whose values are not in an
    // array (operand lists hash their elements one by one, without a copy).
    // Inline: operand and constant lookups hash on every builder call.
    class Combiner {
    public:
        explicit Combiner(uint32_t count) noexcept : _hash(Prime2 + 4u * count) {}
        void Add(uint32_t value) noexcept { _hash = std::rotl(_hash + value * Prime3, 17) * Prime4; }
        uint32_t Finish() const noexcept { return FinalMix(_hash); }

    private:
        uint32_t _hash;
    };

    static constexpr uint32_t Prime1 = 0x9E3779B1u;
    static constexpr uint32_t Prime2 = 0x85EBCA77u;
    static constexpr uint32_t Prime3 = 0xC2B2AE3Du;
    static constexpr uint32_t Prime4 = 0x27D4EB2Fu;

    static constexpr uint32_t FinalMix(uint32_t h) noexcept {
        h ^= h >> 15;
        h *= Prime2;
        h ^= h >> 13;
        h *= Prime3;
        h ^= h >> 16;
        return h;
    }
};

inline uint32_t DeterministicHashCode::Combine(uint32_t value1, uint32_t value2) noexcept {
    Combiner c(2);
    c.Add(value1);
    c.Add(value2);
    return c.Finish();
}

} // namespace Spv::Generator
