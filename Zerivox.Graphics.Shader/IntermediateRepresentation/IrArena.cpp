#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

#include <algorithm>
#include <utility>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {
constexpr std::size_t ChunkSize = 4096;
}

Operand* IrArena::NewOperand(OperandType type, int32_t value) { return _operands.Emplace(type, value); }

Operand* IrArena::NewOperand(Decoders::Register reg) { return _operands.Emplace(reg); }

Operation* IrArena::NewOperation(Instruction inst, Operand* dest, Operands sources) {
    return _operations.Emplace(*this, inst, dest, sources);
}

Operation* IrArena::NewOperation(Instruction inst, StorageKind storageKind, Operand* dest, Operands sources) {
    return _operations.Emplace(*this, inst, storageKind, dest, sources);
}

Operation* IrArena::NewOperation(Instruction inst, int32_t index, Operands dests, Operands sources) {
    return _operations.Emplace(*this, inst, index, dests, sources);
}

TextureOperation* IrArena::NewTextureOperation(Instruction inst, SamplerType type, TextureFormat format,
                                               TextureFlags flags, int32_t set, int32_t binding, int32_t index,
                                               Operands dests, Operands sources) {
    return _textureOperations.Emplace(*this, inst, type, format, flags, set, binding, index, dests, sources);
}

CommentNode* IrArena::NewComment(std::string text) { return _comments.Emplace(*this, std::move(text)); }

PhiNode* IrArena::NewPhi(Operand* dest) { return _phis.Emplace(dest); }

BasicBlock* IrArena::NewBlock() { return _blocks.Emplace(*this); }

Function* IrArena::NewFunction(std::vector<BasicBlock*> blocks, std::string name, bool returnsValue,
                               int inArgumentCount, int outArgumentCount) {
    return _functions.Emplace(std::move(blocks), std::move(name), returnsValue, inArgumentCount,
                                    outArgumentCount);
}

Operand** IrArena::AllocOperandArray(std::size_t n) {
    if (n == 0) return nullptr;
    if (n > _chunkLeft) {
        std::size_t size = std::max(ChunkSize, n);
        _chunks.push_back(std::make_unique_for_overwrite<Operand*[]>(size));
        _chunkCursor = _chunks.back().get();
        _chunkLeft = size;
    }
    Operand** result = _chunkCursor;
    _chunkCursor += n;
    _chunkLeft -= n;
    return result;
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
