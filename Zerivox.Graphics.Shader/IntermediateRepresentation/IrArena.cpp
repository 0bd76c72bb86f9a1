#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

#include <algorithm>
#include <utility>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

Operation* IrArena::NewOperation(Instruction inst, int32_t index, Operands dests, Operands sources) {
    return _operations.Emplace(*this, inst, index, dests, sources);
}

TextureOperation* IrArena::NewTextureOperation(Instruction inst, SamplerType type, TextureFormat format,
                                               TextureFlags flags, int32_t set, int32_t binding, int32_t index,
                                               Operands dests, Operands sources) {
    return _textureOperations.Emplace(*this, inst, type, format, flags, set, binding, index, dests, sources);
}

CommentNode* IrArena::NewComment(std::string_view text) { return _comments.Emplace(*this, _bytes.CopyString(text)); }

PhiNode* IrArena::NewPhi(Operand* dest) { return _phis.Emplace(*this, dest); }

BasicBlock* IrArena::NewBlock() { return _blocks.Emplace(*this); }

Function* IrArena::NewFunction(std::vector<BasicBlock*> blocks, std::string name, bool returnsValue,
                               int inArgumentCount, int outArgumentCount) {
    return _functions.Emplace(std::move(blocks), std::move(name), returnsValue, inArgumentCount,
                                    outArgumentCount);
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
