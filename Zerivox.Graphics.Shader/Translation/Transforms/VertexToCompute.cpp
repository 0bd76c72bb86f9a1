#include "Zerivox.Graphics.Shader/Translation/Transforms/VertexToCompute.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

bool VertexToCompute::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags) { return false; }

IntermediateRepresentation::INode* VertexToCompute::RunPass(TransformContext&,
                                                            IntermediateRepresentation::INode* node) {
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
