#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Operation;
}

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Rewrites a vertex shader that runs as a compute shader, one invocation per
// vertex and instance: built-in vertex inputs come from the "vb_info"
// constant buffer and the vertex and instance indices the prologue stored,
// user attributes are texel fetches from one buffer texture per location,
// and every output access goes to the local memory "local_vertex_data",
// which the epilogue copies to "vertex_output".
//
// An input that has no compute form, or an output without a place in the
// vertex layout, is logged as the pass meets it and the translation fails
// with NotImplementedException: leaving the access in place would make a
// compute module that reads or writes a graphics-only variable.
struct VertexToCompute {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);

    // Word offset of the output that `operation` (an Output Load or Store)
    // accesses within one vertex's data; false when the layout has no place
    // for it.
    static bool TryGetOutputOffset(const ResourceManager& resourceManager,
                                   const IntermediateRepresentation::Operation& operation, int32_t& offset);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
