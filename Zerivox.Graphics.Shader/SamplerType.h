#pragma once
#include <cstdint>
#include <string>

#include "Zerivox.Common/EnumFlags.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader {

// Texture dimension in the low byte, flags above.
enum class SamplerType : int32_t {
    None = 0,
    Texture1D = 1,
    TextureBuffer = 2,
    Texture2D = 3,
    Texture3D = 4,
    TextureCube = 5,

    Mask = 0xFF,

    Array = 0x100,
    Multisample = 0x200,
    Shadow = 0x400,
};

ZV_ENUM_FLAGS(SamplerType)

// Text form for messages: "Texture2D", "Texture2D, Array", "Array", or the
// decimal value when the base type is unknown.
std::string SamplerTypeName(SamplerType type);

// Every helper works on the base type (type AND Mask) plus the flags; a base
// type without an answer throws ArgumentException naming the value.
struct SamplerTypeExtensions {
    static int32_t get_Dimensions(SamplerType type);
    // "1d", "b", "2d", "3d", "cube" + "ms" + "a" + "s".
    static std::string get_ShortTypeName(SamplerType type);
    static std::string get_GlslSamplerTypeName(SamplerType type);
    // Like the sampler name but without the shadow suffix.
    static std::string get_GlslTextureTypeName(SamplerType type);
    // Prefixed "i" for S32 and "u" for U32 components.
    static std::string GetGlslImageTypeName(SamplerType type, Translation::AggregateType componentType);
};

} // namespace Zerivox::Graphics::Shader
