#include "Zerivox.Graphics.Shader/Translation/Transforms/GeometryToCompute.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

bool GeometryToCompute::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags) {
    return false;
}

IntermediateRepresentation::INode* GeometryToCompute::RunPass(TransformContext&,
                                                              IntermediateRepresentation::INode* node) {
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
