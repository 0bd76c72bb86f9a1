#pragma once
#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::FenkVanter {

// The translator with target language GLSL (the other options as given),
// then glslang: the program keeps its GLSL text in Code and gets the
// compiled SPIR-V as BinaryCode. Throws InvalidOperationException with
// glslang's first error line when the text does not compile.
Graphics::Shader::Translation::ShaderProgram
TranslateThroughGlsl(Graphics::Shader::IGpuAccessor& accessor,
                     const Graphics::Shader::Translation::TranslationOptions& options);

} // namespace Zerivox::FenkVanter
