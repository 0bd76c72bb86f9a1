#pragma once
// In-process GLSL to SPIR-V compilation (glslang), for tests and fuzz targets
// that check GLSL text: the GLSL back end's output and reference shaders.
#include <cstdint>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/ShaderStage.h"

namespace Zerivox::TestTools {

struct GlslCompileResult {
    bool Ok = false;
    std::vector<uint32_t> Words; // the SPIR-V module when Ok
    std::string Error;           // glslang's first error line otherwise
    std::string Log;             // everything glslang said
};

// Compiles one stage's GLSL text for Vulkan 1.1 (SPIR-V 1.3).
GlslCompileResult CompileGlsl(const std::string& source, Graphics::Shader::ShaderStage stage);

} // namespace Zerivox::TestTools
