#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader {

enum class TextureFormat : int32_t {
    Unknown = 0,
    R8Unorm,
    R8Snorm,
    R8Uint,
    R8Sint,
    R16Float,
    R16Unorm,
    R16Snorm,
    R16Uint,
    R16Sint,
    R32Float,
    R32Uint,
    R32Sint,
    R8G8Unorm,
    R8G8Snorm,
    R8G8Uint,
    R8G8Sint,
    R16G16Float,
    R16G16Unorm,
    R16G16Snorm,
    R16G16Uint,
    R16G16Sint,
    R32G32Float,
    R32G32Uint,
    R32G32Sint,
    R8G8B8A8Unorm,
    R8G8B8A8Snorm,
    R8G8B8A8Uint,
    R8G8B8A8Sint,
    R16G16B16A16Float,
    R16G16B16A16Unorm,
    R16G16B16A16Snorm,
    R16G16B16A16Uint,
    R16G16B16A16Sint,
    R32G32B32A32Float,
    R32G32B32A32Uint,
    R32G32B32A32Sint,
    R10G10B10A2Unorm,
    R10G10B10A2Uint,
    R11G11B10Float,
};

inline constexpr int32_t TextureFormatCount = 40;

// Member name ("R8G8B8A8Unorm"), or the decimal value as text for a value
// that is no member.
std::string TextureFormatName(TextureFormat format);

// A member name in any letter case, or a decimal integer (kept even when no
// member has that value). Nothing for any other text.
std::optional<TextureFormat> TryParseTextureFormat(std::string_view text);

struct TextureFormatExtensions {
    // GLSL image format qualifier; empty for Unknown and out-of-range values.
    static const char* ToGlslFormat(TextureFormat format) noexcept;
    // FP32, S32 or U32; FP32 for out-of-range values.
    static Translation::AggregateType GetComponentType(TextureFormat format) noexcept;
};

} // namespace Zerivox::Graphics::Shader
