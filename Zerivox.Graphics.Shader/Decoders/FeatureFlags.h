#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader::Translation {

// Features a shader was found to use. One value per translation: the decoder
// fills it and later passes may add bits.
enum class FeatureFlags : uint32_t {
    None = 0,
    FragCoordXY = 1u << 1,
    Bindless = 1u << 2,
    InstanceId = 1u << 3,
    DrawParameters = 1u << 4,
    RtLayer = 1u << 5,
    Shuffle = 1u << 6,
    ViewportIndex = 1u << 7,
    ViewportMask = 1u << 8,
    FixedFuncAttr = 1u << 9,
    LocalMemory = 1u << 10,
    SharedMemory = 1u << 11,
    Store = 1u << 12,
    VtgAsCompute = 1u << 13,
};

ZV_ENUM_FLAGS(FeatureFlags)

} // namespace Zerivox::Graphics::Shader::Translation
