#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

TextureOperation::TextureOperation(IrArena& arena, Instruction inst, SamplerType type, TextureFormat format,
                                   TextureFlags flags, int32_t set, int32_t binding, int32_t index, Operands dests,
                                   Operands sources)
    : Operation(arena, NodeKind::TextureOperation, inst, index, dests, sources),
      Type(type),
      Format(format),
      Flags(flags),
      Set(set),
      Binding(binding) {}

void TextureOperation::TurnIntoArray(SetBindingPair setBinding) {
    Flags &= ~TextureFlags::Bindless;
    Set = setBinding.SetIndex;
    Binding = setBinding.Binding;
}

void TextureOperation::TurnIntoArray(SetBindingPair setBinding, SetBindingPair samplerSetBinding) {
    TurnIntoArray(setBinding);
    SamplerSet = samplerSetBinding.SetIndex;
    SamplerBinding = samplerSetBinding.Binding;
}

void TextureOperation::SetBinding(SetBindingPair setBinding) {
    if (HasFlag(Flags, TextureFlags::Bindless)) {
        Flags &= ~TextureFlags::Bindless;
        RemoveSource(0);
    }
    Set = setBinding.SetIndex;
    Binding = setBinding.Binding;
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
