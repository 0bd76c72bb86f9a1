#pragma once
// Hashes that give the same value in every run and on every machine, so that
// lookups in the builder's tables behave identically from job to job.
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
    class Combiner {
    public:
        explicit Combiner(uint32_t count) noexcept;
        void Add(uint32_t value) noexcept;
        uint32_t Finish() const noexcept;

    private:
        uint32_t _hash;
    };
};

} // namespace Spv::Generator
