#pragma once
// Writes one structured program as the source text of one GLSL shader: the
// declarations, the prototypes of functions 1 to n - 1, their bodies, and
// function 0 as "main". Every line ends with CR LF.
#include <string>

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstBlock;
class StructuredFunction;
class StructuredProgramInfo;
} // namespace Zerivox::Graphics::Shader::StructuredIr
namespace Zerivox::Graphics::Shader::CodeGen {
class CodeGenParameters;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

class CodeGenContext;

struct GlslGenerator {
    static std::string Generate(const StructuredIr::StructuredProgramInfo& info, const CodeGenParameters& parameters);

    // funcName is null for every function but the entry function.
    static void PrintFunction(CodeGenContext& context, const StructuredIr::StructuredFunction& function,
                              const char* funcName);
    static std::string GetFunctionSignature(CodeGenContext& context, const StructuredIr::StructuredFunction& function,
                                            const char* funcName);
    static void PrintBlock(CodeGenContext& context, StructuredIr::AstBlock* block, bool isMainFunction);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
