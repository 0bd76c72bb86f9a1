#include "Zerivox.Graphics.Shader/CodeGen/Spirv/EnumConversion.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

spv::ExecutionModel EnumConversion::Convert(ShaderStage stage) {
    switch (stage) {
    case ShaderStage::Compute:
        return spv::ExecutionModel::GLCompute;
    case ShaderStage::Vertex:
        return spv::ExecutionModel::Vertex;
    case ShaderStage::TessellationControl:
        return spv::ExecutionModel::TessellationControl;
    case ShaderStage::TessellationEvaluation:
        return spv::ExecutionModel::TessellationEvaluation;
    case ShaderStage::Geometry:
        return spv::ExecutionModel::Geometry;
    case ShaderStage::Fragment:
        return spv::ExecutionModel::Fragment;
    default:
        break;
    }
    throw Common::ArgumentException(std::string("Invalid shader stage \"") + ShaderStageName(stage) + "\".");
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
