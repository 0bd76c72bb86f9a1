#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class TextureUsageFlags : int32_t {
    None = 0,
    // Cannot be rendered at a scaled resolution.
    ResScaleUnsupported = 1 << 0,
    // Receives a render-scale value in the support buffer.
    NeedsScaleValue = 1 << 1,
    ImageStore = 1 << 2,
    ImageCoherent = 1 << 3,
};

constexpr TextureUsageFlags operator|(TextureUsageFlags a, TextureUsageFlags b) {
    return static_cast<TextureUsageFlags>(static_cast<int32_t>(a) | static_cast<int32_t>(b));
}
constexpr TextureUsageFlags operator&(TextureUsageFlags a, TextureUsageFlags b) {
    return static_cast<TextureUsageFlags>(static_cast<int32_t>(a) & static_cast<int32_t>(b));
}
constexpr TextureUsageFlags operator~(TextureUsageFlags a) {
    return static_cast<TextureUsageFlags>(~static_cast<int32_t>(a));
}
constexpr TextureUsageFlags& operator|=(TextureUsageFlags& a, TextureUsageFlags b) { return a = a | b; }
constexpr TextureUsageFlags& operator&=(TextureUsageFlags& a, TextureUsageFlags b) { return a = a & b; }
constexpr bool HasFlag(TextureUsageFlags value, TextureUsageFlags flag) {
    return (static_cast<int32_t>(value) & static_cast<int32_t>(flag)) == static_cast<int32_t>(flag);
}

} // namespace Zerivox::Graphics::Shader
