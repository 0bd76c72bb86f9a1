#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Maxwell shuffles carry a clamp and a segment mask and report whether the
// source lane was in range; host subgroup operations do neither. Each
// shuffle with both results becomes a call of a generated function that
// computes them for the host's subgroup size.
struct ShufflePass {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
