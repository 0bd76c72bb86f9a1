#pragma once
// The GLSL variable behind each input and output: a built-in or one of the
// user variables that the declarations print, with its type.
#include <cstdint>
#include <string>
#include <utility>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"
#include "Zerivox.Graphics.Shader/Translation/HostCapabilities.h"

namespace Zerivox::Graphics::Shader::Translation {
class ShaderDefinitions;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using GlslVariable = std::pair<std::string, Translation::AggregateType>;

struct IoMap {
    // Location -1 means the variable is not addressed per location. An
    // unknown variable gives an empty name and type Invalid.
    static GlslVariable GetGlslVariable(const Translation::ShaderDefinitions& definitions,
                                        const Translation::HostCapabilities& hostCapabilities,
                                        IntermediateRepresentation::IoVariable ioVariable, int32_t location,
                                        int32_t component, bool isOutput, bool isPerPatch);
    // A member of gl_in[] (inputs of the tessellation and geometry stages) or
    // gl_out[] (tessellation control outputs).
    // Whether user attributes of this direction are declared and named one
    // component at a time where transform feedback captures a lone
    // component. Per-patch attributes and tessellation control outputs
    // (arrays over the patch, never captured) stay whole vectors.
    static bool SplitsCapturedComponents(const Translation::ShaderDefinitions& definitions, bool isOutput,
                                         bool isPerPatch);
    static bool IsPerVertexBuiltIn(ShaderStage stage, IntermediateRepresentation::IoVariable ioVariable,
                                   bool isOutput);
    static GlslVariable GetFragmentOutputColorVariableName(const Translation::ShaderDefinitions& definitions,
                                                           int32_t location);
    static GlslVariable GetPrimitiveIdVariableName(ShaderStage stage, bool isOutput);
    static GlslVariable GetSubgroupMaskVariableName(bool hasArbShaderBallot, const char* cc);
    static GlslVariable GetSubgroupInvocationIdVariableName(bool hasArbShaderBallot);
    static GlslVariable GetUserDefinedVariableName(const Translation::ShaderDefinitions& definitions,
                                                   int32_t location, int32_t component, bool isOutput,
                                                   bool isPerPatch);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
