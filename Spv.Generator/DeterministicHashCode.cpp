#include "Spv.Generator/DeterministicHashCode.h"

#include <bit>

namespace Spv::Generator {

namespace {

constexpr uint32_t Prime1 = 0x9E3779B1u;
constexpr uint32_t Prime2 = 0x85EBCA77u;
constexpr uint32_t Prime3 = 0xC2B2AE3Du;
constexpr uint32_t Prime4 = 0x27D4EB2Fu;

constexpr uint32_t FinalMix(uint32_t h) noexcept {
    h ^= h >> 15;
    h *= Prime2;
    h ^= h >> 13;
    h *= Prime3;
    h ^= h >> 16;
    return h;
}

} // namespace

uint32_t DeterministicHashCode::GetHashCode(std::string_view text) noexcept {
    uint32_t h = static_cast<uint32_t>(text.size()) + Prime1;
    for (char c : text) {
        h = h + ((h << 7) ^ static_cast<uint32_t>(static_cast<unsigned char>(c)));
    }
    return FinalMix(h);
}

DeterministicHashCode::Combiner::Combiner(uint32_t count) noexcept : _hash(Prime2 + 4u * count) {}

void DeterministicHashCode::Combiner::Add(uint32_t value) noexcept {
    _hash = std::rotl(_hash + value * Prime3, 17) * Prime4;
}

uint32_t DeterministicHashCode::Combiner::Finish() const noexcept { return FinalMix(_hash); }

uint32_t DeterministicHashCode::Combine(uint32_t value1, uint32_t value2) noexcept {
    Combiner c(2);
    c.Add(value1);
    c.Add(value2);
    return c.Finish();
}

uint32_t DeterministicHashCode::Combine(uint32_t value1, uint32_t value2, uint32_t value3,
                                        uint32_t value4) noexcept {
    Combiner c(4);
    c.Add(value1);
    c.Add(value2);
    c.Add(value3);
    c.Add(value4);
    return c.Finish();
}

uint32_t DeterministicHashCode::Combine(std::span<const uint32_t> values) noexcept {
    Combiner c(static_cast<uint32_t>(values.size()));
    for (uint32_t v : values) c.Add(v);
    return c.Finish();
}

} // namespace Spv::Generator
