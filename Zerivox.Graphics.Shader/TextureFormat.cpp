#include "Zerivox.Graphics.Shader/TextureFormat.h"

#include <charconv>

namespace Zerivox::Graphics::Shader {

using Translation::AggregateType;

namespace {

struct FormatInfo {
    const char* Name;
    const char* Glsl;
    AggregateType Component;
};

constexpr AggregateType F = AggregateType::FP32;
constexpr AggregateType S = AggregateType::S32;
constexpr AggregateType U = AggregateType::U32;

// Indexed by the format's value.
constexpr FormatInfo Formats[TextureFormatCount] = {
    {"Unknown", "", F},
    {"R8Unorm", "r8", F},
    {"R8Snorm", "r8_snorm", F},
    {"R8Uint", "r8ui", U},
    {"R8Sint", "r8i", S},
    {"R16Float", "r16f", F},
    {"R16Unorm", "r16", F},
    {"R16Snorm", "r16_snorm", F},
    {"R16Uint", "r16ui", U},
    {"R16Sint", "r16i", S},
    {"R32Float", "r32f", F},
    {"R32Uint", "r32ui", U},
    {"R32Sint", "r32i", S},
    {"R8G8Unorm", "rg8", F},
    {"R8G8Snorm", "rg8_snorm", F},
    {"R8G8Uint", "rg8ui", U},
    {"R8G8Sint", "rg8i", S},
    {"R16G16Float", "rg16f", F},
    {"R16G16Unorm", "rg16", F},
    {"R16G16Snorm", "rg16_snorm", F},
    {"R16G16Uint", "rg16ui", U},
    {"R16G16Sint", "rg16i", S},
    {"R32G32Float", "rg32f", F},
    {"R32G32Uint", "rg32ui", U},
    {"R32G32Sint", "rg32i", S},
    {"R8G8B8A8Unorm", "rgba8", F},
    {"R8G8B8A8Snorm", "rgba8_snorm", F},
    {"R8G8B8A8Uint", "rgba8ui", U},
    {"R8G8B8A8Sint", "rgba8i", S},
    {"R16G16B16A16Float", "rgba16f", F},
    {"R16G16B16A16Unorm", "rgba16", F},
    {"R16G16B16A16Snorm", "rgba16_snorm", F},
    {"R16G16B16A16Uint", "rgba16ui", U},
    {"R16G16B16A16Sint", "rgba16i", S},
    {"R32G32B32A32Float", "rgba32f", F},
    {"R32G32B32A32Uint", "rgba32ui", U},
    {"R32G32B32A32Sint", "rgba32i", S},
    {"R10G10B10A2Unorm", "rgb10_a2", F},
    {"R10G10B10A2Uint", "rgb10_a2ui", U},
    {"R11G11B10Float", "r11f_g11f_b10f", F},
};

const FormatInfo* Find(TextureFormat format) {
    auto v = static_cast<int32_t>(format);
    return v >= 0 && v < TextureFormatCount ? &Formats[v] : nullptr;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

std::string TextureFormatName(TextureFormat format) {
    if (const FormatInfo* info = Find(format))
        return info->Name;
    return std::to_string(static_cast<int32_t>(format));
}

std::optional<TextureFormat> TryParseTextureFormat(std::string_view text) {
    for (int32_t i = 0; i < TextureFormatCount; ++i) {
        if (EqualsIgnoreCase(text, Formats[i].Name))
            return static_cast<TextureFormat>(i);
    }
    // Numeric text names the value directly, member or not; a host may know
    // formats this table does not.
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty())
        return std::nullopt;
    int32_t value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size())
        return std::nullopt;
    return static_cast<TextureFormat>(value);
}

const char* TextureFormatExtensions::ToGlslFormat(TextureFormat format) noexcept {
    const FormatInfo* info = Find(format);
    return info ? info->Glsl : "";
}

AggregateType TextureFormatExtensions::GetComponentType(TextureFormat format) noexcept {
    const FormatInfo* info = Find(format);
    return info ? info->Component : AggregateType::FP32;
}

} // namespace Zerivox::Graphics::Shader
