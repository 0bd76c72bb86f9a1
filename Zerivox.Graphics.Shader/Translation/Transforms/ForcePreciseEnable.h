#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// On hosts that compute floats at reduced precision, 1.0 / (x + c) in a
// fragment shader keeps the exact sum: a sum that cancels to almost zero
// would otherwise turn the reciprocal into garbage.
struct ForcePreciseEnable {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
