#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// For hosts that cannot index a vector of a uniform block dynamically: a
// constant-buffer read with a run-time component index becomes reads of
// every component and a chain of selects on the index.
struct VectorComponentSelect {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
