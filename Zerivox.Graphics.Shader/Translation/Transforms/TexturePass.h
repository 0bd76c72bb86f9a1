#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Adapts texture and image operations to the host.
// Always enabled; RunPass returns the node after which the walk continues.
struct TexturePass {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
