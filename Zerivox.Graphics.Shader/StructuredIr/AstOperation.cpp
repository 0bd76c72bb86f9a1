#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"

#include <bit>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::StorageKind;
using Translation::AggregateType;

AstOperation::AstOperation(AstArena* arena, AstNodeKind kind, Instruction inst,
                           IntermediateRepresentation::StorageKind storageKind, bool forcePrecise,
                           std::span<IAstNode* const> sources, int32_t inArgumentsCount)
    : AstNode(kind), ForcePrecise(forcePrecise), Inst(inst), StorageKind(storageKind), _count(sources.size()) {
    if (_count != 0) {
        if (arena != nullptr) {
            _sources = static_cast<IAstNode**>(arena->Allocate(_count * sizeof(IAstNode*), alignof(IAstNode*)));
        } else {
            _sources = new IAstNode*[_count];
            _ownsSources = true;
        }
    }
    for (std::size_t i = 0; i < _count; i++) {
        _sources[i] = sources[i];
        if (static_cast<int64_t>(i) < inArgumentsCount) {
            AstHelper::AddUse(_sources[i], this);
        } else {
            AstHelper::AddDef(_sources[i], this);
        }
    }
}

AstOperation::~AstOperation() {
    if (_ownsSources) delete[] _sources;
}

AstOperation::AstOperation(Instruction inst, IntermediateRepresentation::StorageKind storageKind, bool forcePrecise,
                           std::span<IAstNode* const> sources, int32_t inArgumentsCount)
    : AstOperation(nullptr, AstNodeKind::Operation, inst, storageKind, forcePrecise, sources, inArgumentsCount) {}

AstOperation::AstOperation(Instruction inst, std::span<IAstNode* const> sources)
    : AstOperation(nullptr, AstNodeKind::Operation, inst, StorageKind::None, false, sources,
                   static_cast<int32_t>(sources.size())) {}

AstOperation::AstOperation(AstArena& arena, Instruction inst, IntermediateRepresentation::StorageKind storageKind,
                           bool forcePrecise, std::span<IAstNode* const> sources, int32_t inArgumentsCount)
    : AstOperation(&arena, AstNodeKind::Operation, inst, storageKind, forcePrecise, sources, inArgumentsCount) {}

AstOperation::AstOperation(AstArena& arena, Instruction inst, std::span<IAstNode* const> sources)
    : AstOperation(&arena, AstNodeKind::Operation, inst, StorageKind::None, false, sources,
                   static_cast<int32_t>(sources.size())) {}

void AstOperation::ThrowSourceIndex() {
    throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
}

void AstOperation::SetSource(int32_t index, IAstNode* source) {
    if (index < 0 || static_cast<std::size_t>(index) >= _count) {
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    }
    IAstNode*& slot = _sources[static_cast<std::size_t>(index)];
    AstHelper::RemoveUse(slot, this);
    AstHelper::AddUse(source, this);
    slot = source;
}

AggregateType AstOperation::GetVectorType(AggregateType type) const {
    switch (std::popcount(static_cast<uint32_t>(Index))) {
    case 2: return type | AggregateType::Vector2;
    case 3: return type | AggregateType::Vector3;
    case 4: return type | AggregateType::Vector4;
    default: return type;
    }
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
