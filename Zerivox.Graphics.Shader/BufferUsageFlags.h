#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader {

enum class BufferUsageFlags : uint8_t {
    None = 0,
    // The shader writes the storage buffer.
    Write = 1 << 0,
};

ZV_ENUM_FLAGS(BufferUsageFlags)

} // namespace Zerivox::Graphics::Shader
