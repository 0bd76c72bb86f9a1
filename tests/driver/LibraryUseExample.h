#include <cstdint>
#include <span>

#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"
#include "driver/FenkVanterAccessor.h"

namespace Fv = Zerivox::FenkVanter;
namespace Tr = Zerivox::Graphics::Shader::Translation;

// One shader: code holds the bytes of a code file, job a job object as in a
// jobs file ("key" and "code" are not read here). The accessor answers the
// translator's questions from the job; a host that keeps its own GPU state
// implements Zerivox::Graphics::Shader::IGpuAccessor instead.
inline Tr::ShaderProgram TranslateShader(std::span<const uint8_t> code, const Fv::Json& job,
                                         Tr::TargetLanguage language) {
    Fv::FenkVanterAccessor accessor(code, job);
    Tr::TranslationFlags flags = Tr::TranslationFlags::DebugMode;
    if (job.value("stage", "") == "cs")
        flags |= Tr::TranslationFlags::Compute;
    Tr::TranslationOptions options(language, Tr::TargetGraphicsApi::Vulkan, flags);
    Tr::TranslatorContext context = Tr::Translator::DecodeShader(0, accessor, options);
    return context.Translate();
}

// SPIR-V: program.BinaryCode holds the module, program.Code stays empty.
//     Tr::ShaderProgram spirv = TranslateShader(code, job, Tr::TargetLanguage::Spirv);
// GLSL: program.Code holds the source text, program.BinaryCode stays empty.
//     Tr::ShaderProgram glsl = TranslateShader(code, job, Tr::TargetLanguage::Glsl);
