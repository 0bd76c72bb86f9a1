#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

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

ZV_ENUM_FLAGS(TextureUsageFlags)

} // namespace Zerivox::Graphics::Shader
