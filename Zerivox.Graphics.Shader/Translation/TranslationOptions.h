#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader::Translation {

// Language the back end writes. Arb has no back end: a translation asking for
// it ends with NotImplementedException("Arb").
enum class TargetLanguage : int32_t {
    Glsl = 0,
    Spirv = 1,
    Arb = 2,
};

// Name of a language member, as error messages print it ("Arb").
const char* TargetLanguageName(TargetLanguage language) noexcept;

enum class TargetGraphicsApi : int32_t {
    OpenGL = 0,
    Vulkan = 1,
};

enum class TranslationFlags : uint32_t {
    None = 0,
    // Emit no start-up operations and no vertex-stage epilogue.
    VertexA = 1u << 0,
    // The code has no header and is a compute shader.
    Compute = 1u << 1,
    // Put a comment before every guest instruction; also passed to the structurer.
    DebugMode = 1u << 2,
};

ZV_ENUM_FLAGS(TranslationFlags)

// What the host asks of one translation.
struct TranslationOptions {
    Translation::TargetLanguage TargetLanguage = Translation::TargetLanguage::Spirv;
    TargetGraphicsApi GraphicsApi = TargetGraphicsApi::Vulkan;
    TranslationFlags Flags = TranslationFlags::None;

    constexpr TranslationOptions() = default;
    constexpr TranslationOptions(Translation::TargetLanguage language, TargetGraphicsApi api, TranslationFlags flags)
        : TargetLanguage(language), GraphicsApi(api), Flags(flags) {}
};

} // namespace Zerivox::Graphics::Shader::Translation
