#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/TextureUsageFlags.h"

namespace Zerivox::Graphics::Shader {

// One texture or image of a translated program. Binding is the first of
// ArrayLength consecutive bindings; CbufSlot is negative when the handle does
// not come from a constant buffer.
struct TextureDescriptor {
    int32_t Set = 0;
    int32_t Binding = 0;
    SamplerType Type = SamplerType::None;
    TextureFormat Format = TextureFormat::Unknown;
    int32_t CbufSlot = 0;
    int32_t Handle = 0;
    int32_t ArrayLength = 1;
    bool Separate = false;
    TextureUsageFlags Flags = TextureUsageFlags::None;

    constexpr TextureDescriptor() = default;
    constexpr TextureDescriptor(int32_t set, int32_t binding, SamplerType type, TextureFormat format, int32_t cbufSlot,
                                int32_t handle, int32_t arrayLength, bool separate, TextureUsageFlags flags)
        : Set(set), Binding(binding), Type(type), Format(format), CbufSlot(cbufSlot), Handle(handle),
          ArrayLength(arrayLength), Separate(separate), Flags(flags) {}

    friend constexpr bool operator==(const TextureDescriptor&, const TextureDescriptor&) = default;
};

} // namespace Zerivox::Graphics::Shader
