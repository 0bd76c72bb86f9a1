#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"
#include "driver/FenkVanter.h"

namespace Zerivox::FenkVanter {

namespace Tr = Graphics::Shader::Translation;

Tr::ShaderProgram RunTranslator(Graphics::Shader::IGpuAccessor& accessor, const Tr::TranslationOptions& options) {
    Tr::TranslatorContext context = Tr::Translator::DecodeShader(0, accessor, options);
    return context.Translate(false);
}

} // namespace Zerivox::FenkVanter
