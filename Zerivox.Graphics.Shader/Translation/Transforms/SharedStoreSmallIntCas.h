#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Shared memory is declared as 32-bit words: byte and half-word stores of a
// compute shader become calls of a generated compare-and-swap loop that
// inserts the bits into their word without losing concurrent writes.
struct SharedStoreSmallIntCas {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
