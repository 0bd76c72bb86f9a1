#pragma once
#include <string>

namespace Zerivox::Graphics::Shader::StructuredIr {
class StructuredProgramInfo;
}
namespace Zerivox::Graphics::Shader::CodeGen {
class CodeGenParameters;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

// Writes one structured program as GLSL source text.
struct GlslGenerator {
    static std::string Generate(const StructuredIr::StructuredProgramInfo& info, const CodeGenParameters& parameters);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
