#include "Zerivox.Graphics.Shader/Translation/Transforms/DrawParametersReplace.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

bool DrawParametersReplace::IsEnabled(IGpuAccessor&, ShaderStage stage, Translation::TargetLanguage, FeatureFlags) {
    return stage == ShaderStage::Vertex;
}

INode* DrawParametersReplace::RunPass(TransformContext& context, INode* node) {
    Operation* operation = node->AsOperation();
    // The hosts of this system read the draw parameters natively
    // (QueryDrawParametersReplacement answers no), so only the use is recorded.
    if (HasConstantBufferDrawParameters(operation)) {
        context.UsedFeatures |= FeatureFlags::DrawParameters;
    }
    return node;
}

bool DrawParametersReplace::HasConstantBufferDrawParameters(const Operation* operation) {
    // Base vertex, base instance and draw index sit at bytes 0x640-0x648.
    for (int i = 0; i < operation->SourcesCount(); i++) {
        const Operand* source = operation->GetSource(i);
        if (source == nullptr || source->Type != OperandType::ConstantBuffer)
            continue;
        if (source->GetCbufSlot() == 0 && source->GetCbufOffset() >= 0x190 && source->GetCbufOffset() <= 0x192) {
            return true;
        }
    }
    return false;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
