#include "driver-glsl/GlslTranslate.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "TestTools/GlslCompiler.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

namespace Zerivox::FenkVanter {

namespace Tr = Graphics::Shader::Translation;

Tr::ShaderProgram TranslateThroughGlsl(Graphics::Shader::IGpuAccessor& accessor,
                                       const Tr::TranslationOptions& options) {
    Tr::TranslationOptions glslOptions(Tr::TargetLanguage::Glsl, options.GraphicsApi, options.Flags);
    Tr::TranslatorContext context = Tr::Translator::DecodeShader(0, accessor, glslOptions);
    Tr::ShaderProgram program = context.Translate(false);

    TestTools::GlslCompileResult compiled = TestTools::CompileGlsl(program.Code, program.Info.Stage);
    if (!compiled.Ok) {
        // For looking into a rejection: the text goes where this names.
        if (const char* keep = std::getenv("ZV_GLSL_KEEP_REJECTED")) {
            std::ofstream(keep, std::ios::binary | std::ios::app) << program.Code;
        }
        throw Common::InvalidOperationException("glslang rejected the GLSL text: " + compiled.Error);
    }

    program.BinaryCode.resize(compiled.Words.size() * sizeof(uint32_t));
    if (!compiled.Words.empty())
        std::memcpy(program.BinaryCode.data(), compiled.Words.data(), program.BinaryCode.size());
    return program;
}

} // namespace Zerivox::FenkVanter
