#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace Zerivox::Graphics::Shader {

// (descriptor set, binding) by which a resource is known from the IR to the
// back ends. -1 in either field means "not assigned" where the resource
// manager uses it.
struct SetBindingPair {
    int32_t SetIndex = -1;
    int32_t Binding = -1;

    constexpr SetBindingPair() = default;
    constexpr SetBindingPair(int32_t setIndex, int32_t binding) : SetIndex(setIndex), Binding(binding) {}

    friend constexpr bool operator==(const SetBindingPair&, const SetBindingPair&) = default;

    // "SetBindingPair { SetIndex = 0, Binding = 3 }"
    std::string ToString() const;
};

} // namespace Zerivox::Graphics::Shader

template <> struct std::hash<Zerivox::Graphics::Shader::SetBindingPair> {
    std::size_t operator()(const Zerivox::Graphics::Shader::SetBindingPair& p) const noexcept {
        uint64_t v =
            (static_cast<uint64_t>(static_cast<uint32_t>(p.SetIndex)) << 32) | static_cast<uint32_t>(p.Binding);
        return std::hash<uint64_t>{}(v);
    }
};
