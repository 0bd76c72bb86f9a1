#include "Zerivox.Graphics.Shader/Translation/Transforms/TexturePass.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

bool TexturePass::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags) { return true; }

IntermediateRepresentation::INode* TexturePass::RunPass(TransformContext&, IntermediateRepresentation::INode* node) {
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
