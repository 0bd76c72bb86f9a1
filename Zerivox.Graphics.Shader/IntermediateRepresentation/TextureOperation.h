#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureFlags.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// A texture or image operation. While Flags has Bindless, source 0 is the
// texture handle and Set/Binding mean nothing yet. Create with
// IrArena::NewTextureOperation.
class TextureOperation : public Operation {
public:
    TextureOperation(IrArena& arena, Instruction inst, SamplerType type, TextureFormat format, TextureFlags flags,
                     int32_t set, int32_t binding, int32_t index, Operands dests, Operands sources);

    SamplerType Type;
    TextureFormat Format;
    TextureFlags Flags;
    int32_t Set;
    int32_t Binding;
    int32_t SamplerSet = -1;
    int32_t SamplerBinding = -1;

    // Clears Bindless and binds to an array of textures: the handle stays as
    // source 0 and becomes the index into the array.
    void TurnIntoArray(SetBindingPair setBinding);
    void TurnIntoArray(SetBindingPair setBinding, SetBindingPair samplerSetBinding);
    // Binds to one texture; a bindless operation drops its handle source.
    void SetBinding(SetBindingPair setBinding);
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
