#pragma once
// Entry of the SPIR-V back end: one structured program in, the bytes of a
// SPIR-V 1.3 module out.
#include <cstdint>
#include <vector>

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstBlock;
class StructuredProgramInfo;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen {
class CodeGenParameters;
}

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

class CodeGenContext;

struct SpirvGenerator {
    // Builder pools come from a process-wide store (at most one spare of each
    // kind) and go back to it once the module is written. A translation that
    // throws drops its pools, so the next one starts from fresh pools rather
    // than from pools in an unknown state.
    static std::vector<uint8_t> Generate(const StructuredIr::StructuredProgramInfo& info,
                                         const CodeGenParameters& parameters);

    // Spare pools currently in the store (for diagnostics and tests).
    static std::size_t SpareInstructionPools();
    static std::size_t SpareLiteralPools();

  private:
    static void Generate(CodeGenContext& context, const StructuredIr::StructuredProgramInfo& info, int32_t index);
    static void Generate(CodeGenContext& context, StructuredIr::AstBlock* block);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
