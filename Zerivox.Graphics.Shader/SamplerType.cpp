#include "Zerivox.Graphics.Shader/SamplerType.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader {

using Translation::AggregateType;

namespace {

const char* BaseName(SamplerType base) {
    switch (base) {
    case SamplerType::None:
        return "None";
    case SamplerType::Texture1D:
        return "Texture1D";
    case SamplerType::TextureBuffer:
        return "TextureBuffer";
    case SamplerType::Texture2D:
        return "Texture2D";
    case SamplerType::Texture3D:
        return "Texture3D";
    case SamplerType::TextureCube:
        return "TextureCube";
    default:
        return nullptr;
    }
}

SamplerType Base(SamplerType type) { return type & SamplerType::Mask; }

[[noreturn]] void ThrowInvalidSampler(SamplerType type) {
    throw Common::ArgumentException("Invalid sampler type \"" + SamplerTypeName(type) + "\".");
}

// Flag suffixes shared by the GLSL names: multisample first, then array.
void AppendMsArray(std::string& name, SamplerType type) {
    if (HasFlag(type, SamplerType::Multisample))
        name += "MS";
    if (HasFlag(type, SamplerType::Array))
        name += "Array";
}

} // namespace

std::string SamplerTypeName(SamplerType type) {
    constexpr int32_t KnownFlags = 0x700;
    auto raw = static_cast<int32_t>(type);
    const char* base = BaseName(Base(type));
    if (base == nullptr || (raw & ~0xFF & ~KnownFlags) != 0)
        return std::to_string(raw);
    std::string out;
    if (Base(type) != SamplerType::None || (raw & KnownFlags) == 0)
        out = base;
    for (auto [flag, name] :
         {std::pair{SamplerType::Array, "Array"}, std::pair{SamplerType::Multisample, "Multisample"},
          std::pair{SamplerType::Shadow, "Shadow"}}) {
        if (!HasFlag(type, flag))
            continue;
        if (!out.empty())
            out += ", ";
        out += name;
    }
    return out;
}

int32_t SamplerTypeExtensions::get_Dimensions(SamplerType type) {
    switch (Base(type)) {
    case SamplerType::Texture1D:
    case SamplerType::TextureBuffer:
        return 1;
    case SamplerType::Texture2D:
        return 2;
    case SamplerType::Texture3D:
    case SamplerType::TextureCube:
        return 3;
    default:
        ThrowInvalidSampler(type);
    }
}

std::string SamplerTypeExtensions::get_ShortTypeName(SamplerType type) {
    std::string name;
    switch (Base(type)) {
    case SamplerType::Texture1D:
        name = "1d";
        break;
    case SamplerType::TextureBuffer:
        name = "b";
        break;
    case SamplerType::Texture2D:
        name = "2d";
        break;
    case SamplerType::Texture3D:
        name = "3d";
        break;
    case SamplerType::TextureCube:
        name = "cube";
        break;
    default:
        ThrowInvalidSampler(type);
    }
    if (HasFlag(type, SamplerType::Multisample))
        name += "ms";
    if (HasFlag(type, SamplerType::Array))
        name += "a";
    if (HasFlag(type, SamplerType::Shadow))
        name += "s";
    return name;
}

std::string SamplerTypeExtensions::get_GlslSamplerTypeName(SamplerType type) {
    std::string name;
    switch (Base(type)) {
    case SamplerType::None:
        name = "sampler";
        break;
    case SamplerType::Texture1D:
        name = "sampler1D";
        break;
    case SamplerType::TextureBuffer:
        name = "samplerBuffer";
        break;
    case SamplerType::Texture2D:
        name = "sampler2D";
        break;
    case SamplerType::Texture3D:
        name = "sampler3D";
        break;
    case SamplerType::TextureCube:
        name = "samplerCube";
        break;
    default:
        ThrowInvalidSampler(type);
    }
    AppendMsArray(name, type);
    if (HasFlag(type, SamplerType::Shadow))
        name += "Shadow";
    return name;
}

std::string SamplerTypeExtensions::get_GlslTextureTypeName(SamplerType type) {
    std::string name;
    switch (Base(type)) {
    case SamplerType::Texture1D:
        name = "texture1D";
        break;
    case SamplerType::TextureBuffer:
        name = "textureBuffer";
        break;
    case SamplerType::Texture2D:
        name = "texture2D";
        break;
    case SamplerType::Texture3D:
        name = "texture3D";
        break;
    case SamplerType::TextureCube:
        name = "textureCube";
        break;
    default:
        throw Common::ArgumentException("Invalid texture type \"" + SamplerTypeName(type) + "\".");
    }
    AppendMsArray(name, type);
    return name;
}

std::string SamplerTypeExtensions::GetGlslImageTypeName(SamplerType type, AggregateType componentType) {
    std::string name;
    switch (Base(type)) {
    case SamplerType::Texture1D:
        name = "image1D";
        break;
    case SamplerType::TextureBuffer:
        name = "imageBuffer";
        break;
    case SamplerType::Texture2D:
        name = "image2D";
        break;
    case SamplerType::Texture3D:
        name = "image3D";
        break;
    case SamplerType::TextureCube:
        name = "imageCube";
        break;
    default:
        ThrowInvalidSampler(type);
    }
    AppendMsArray(name, type);
    if (componentType == AggregateType::S32) {
        name.insert(0, "i");
    } else if (componentType == AggregateType::U32) {
        name.insert(0, "u");
    }
    return name;
}

} // namespace Zerivox::Graphics::Shader
