#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/TextureUsageFlags.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

// Declaration of one texture or image (an array of ArrayLength of them when
// ArrayLength is above 1) as the back ends write it.
struct TextureDefinition {
    int32_t Set = 0;
    int32_t Binding = 0;
    int32_t ArrayLength = 1;
    bool Separate = false;
    std::string Name;
    SamplerType Type = SamplerType::None;
    TextureFormat Format = TextureFormat::Unknown;
    TextureUsageFlags Flags = TextureUsageFlags::None;

    TextureDefinition() = default;
    TextureDefinition(int32_t set, int32_t binding, int32_t arrayLength, bool separate, std::string name,
                      SamplerType type, TextureFormat format, TextureUsageFlags flags)
        : Set(set), Binding(binding), ArrayLength(arrayLength), Separate(separate), Name(std::move(name)), Type(type),
          Format(format), Flags(flags) {}

    bool operator==(const TextureDefinition&) const = default;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
