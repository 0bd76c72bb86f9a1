#pragma once

#include <spirv/unified1/spirv.hpp11>

#include "Zerivox.Graphics.Shader/ShaderStage.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

struct EnumConversion {
    // Execution model of the entry point for a stage; any other value throws
    // ArgumentException naming the stage.
    static spv::ExecutionModel Convert(ShaderStage stage);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
