#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

AstTextureOperation::AstTextureOperation(IntermediateRepresentation::Instruction inst, SamplerType type,
                                         TextureFormat format, IntermediateRepresentation::TextureFlags flags,
                                         int32_t set, int32_t binding, int32_t samplerSet, int32_t samplerBinding,
                                         int32_t index, std::span<IAstNode* const> sources)
    : AstOperation(nullptr, AstNodeKind::TextureOperation, inst, IntermediateRepresentation::StorageKind::None, false,
                   sources, static_cast<int32_t>(sources.size())),
      Type(type), Format(format), Flags(flags), Set(set), Binding(binding), SamplerSet(samplerSet),
      SamplerBinding(samplerBinding) {
    Index = index;
}

AstTextureOperation::AstTextureOperation(AstArena& arena, IntermediateRepresentation::Instruction inst,
                                         SamplerType type, TextureFormat format,
                                         IntermediateRepresentation::TextureFlags flags, int32_t set, int32_t binding,
                                         int32_t samplerSet, int32_t samplerBinding, int32_t index,
                                         std::span<IAstNode* const> sources)
    : AstOperation(&arena, AstNodeKind::TextureOperation, inst, IntermediateRepresentation::StorageKind::None, false,
                   sources, static_cast<int32_t>(sources.size())),
      Type(type), Format(format), Flags(flags), Set(set), Binding(binding), SamplerSet(samplerSet),
      SamplerBinding(samplerBinding) {
    Index = index;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
