#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Vertex shaders that read the draw parameters the guest driver keeps in
// constant buffer 0 are marked as using them; the host then supplies them.
struct DrawParametersReplace {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);
    // Any source is word 0x190, 0x191 or 0x192 of constant buffer 0.
    static bool HasConstantBufferDrawParameters(const IntermediateRepresentation::Operation* operation);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
