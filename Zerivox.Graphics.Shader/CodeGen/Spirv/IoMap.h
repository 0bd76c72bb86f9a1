#pragma once
// Mapping of the IR's input and output variables to SPIR-V built-ins, and the
// per-vertex rules that decide which variables are arrays over the vertices
// of a primitive.
#include <cstdint>
#include <utility>

#include <spirv/unified1/spirv.hpp11>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

struct IoMap {
    // (built-in, type); a variable without built-in gives (0, Invalid).
    static std::pair<spv::BuiltIn, Translation::AggregateType>
    GetSpirvBuiltIn(IntermediateRepresentation::IoVariable ioVariable);
    // Length of the variable's array type (only meaningful for array types).
    static int32_t GetSpirvBuiltInArrayLength(IntermediateRepresentation::IoVariable ioVariable);
    // Whether an input is an array over the vertices of the input primitive.
    static bool IsPerVertex(IntermediateRepresentation::IoVariable ioVariable, ShaderStage stage, bool isOutput);
    // Whether the gl_PerVertex block of that storage kind is an array.
    static bool IsPerVertexArrayBuiltIn(IntermediateRepresentation::StorageKind storageKind, ShaderStage stage);
    // Member of gl_PerVertex; throws ArgumentException for other variables.
    static int32_t GetPerVertexStructFieldIndex(IntermediateRepresentation::IoVariable ioVariable);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
