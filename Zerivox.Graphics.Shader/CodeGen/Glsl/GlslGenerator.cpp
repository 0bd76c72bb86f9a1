#include "Zerivox.Graphics.Shader/CodeGen/Glsl/GlslGenerator.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

std::string GlslGenerator::Generate(const StructuredIr::StructuredProgramInfo&, const CodeGenParameters&) {
    throw Common::NotImplementedException("GLSL code generation is not available: the GLSL back end is not built.");
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
