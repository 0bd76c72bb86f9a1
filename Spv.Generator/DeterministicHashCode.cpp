#include "Spv.Generator/DeterministicHashCode.h"

#include <bit>

namespace Spv::Generator {

namespace {
constexpr uint32_t Prime1 = DeterministicHashCode::Prime1;

constexpr uint32_t FinalMix(uint32_t h) noexcept { return DeterministicHashCode::FinalMix(h); }
} // namespace

uint32_t DeterministicHashCode::GetHashCode(std::string_view text) noexcept {
    uint32_t h = static_cast<uint32_t>(text.size()) + Prime1;
    for (char c : text) {
        h = h + ((h << 7) ^ static_cast<uint32_t>(static_cast<unsigned char>(c)));
    }
    return FinalMix(h);
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
