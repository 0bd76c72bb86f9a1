#pragma once
// A texture or image operation with the resource it reads: the texture's
// (set, binding) and, when it has a separate sampler, the sampler's (else -1).
#include <cstdint>
#include <span>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureFlags.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstTextureOperation final : public AstOperation {
public:
    static bool IsKind(AstNodeKind kind) { return kind == AstNodeKind::TextureOperation; }

    // Storage kind None, not precise, every source read.
    AstTextureOperation(IntermediateRepresentation::Instruction inst, SamplerType type, TextureFormat format,
                        IntermediateRepresentation::TextureFlags flags, int32_t set, int32_t binding,
                        int32_t samplerSet, int32_t samplerBinding, int32_t index,
                        std::span<IAstNode* const> sources);
    // The same, with the source list kept in the arena (AstArena::New passes it).
    AstTextureOperation(AstArena& arena, IntermediateRepresentation::Instruction inst, SamplerType type,
                        TextureFormat format, IntermediateRepresentation::TextureFlags flags, int32_t set,
                        int32_t binding, int32_t samplerSet, int32_t samplerBinding, int32_t index,
                        std::span<IAstNode* const> sources);

    SamplerType Type;
    TextureFormat Format;
    IntermediateRepresentation::TextureFlags Flags;
    int32_t Set;
    int32_t Binding;
    int32_t SamplerSet;
    int32_t SamplerBinding;

    SetBindingPair GetTextureSetAndBinding() const { return SetBindingPair(Set, Binding); }
    SetBindingPair GetSamplerSetAndBinding() const { return SetBindingPair(SamplerSet, SamplerBinding); }
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
