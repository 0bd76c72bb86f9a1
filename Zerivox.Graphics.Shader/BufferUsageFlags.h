#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class BufferUsageFlags : uint8_t {
    None = 0,
    // The shader writes the storage buffer.
    Write = 1 << 0,
};

constexpr BufferUsageFlags operator|(BufferUsageFlags a, BufferUsageFlags b) {
    return static_cast<BufferUsageFlags>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}
constexpr BufferUsageFlags operator&(BufferUsageFlags a, BufferUsageFlags b) {
    return static_cast<BufferUsageFlags>(static_cast<uint8_t>(a) & static_cast<uint8_t>(b));
}
constexpr BufferUsageFlags& operator|=(BufferUsageFlags& a, BufferUsageFlags b) { return a = a | b; }
constexpr bool HasFlag(BufferUsageFlags value, BufferUsageFlags flag) {
    return (static_cast<uint8_t>(value) & static_cast<uint8_t>(flag)) == static_cast<uint8_t>(flag);
}

} // namespace Zerivox::Graphics::Shader
