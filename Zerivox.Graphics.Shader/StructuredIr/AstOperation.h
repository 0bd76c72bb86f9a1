#pragma once
// An operation over sources (operands or nested operations). Sources beyond
// the read count are written by the operation (the output arguments of a
// call); the use/definition sets of local variables record which is which.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;

class AstOperation : public AstNode {
public:
    static bool IsKind(AstNodeKind kind) {
        return kind == AstNodeKind::Operation || kind == AstNodeKind::TextureOperation;
    }

    // The first inArgumentsCount sources are read, the rest written.
    AstOperation(IntermediateRepresentation::Instruction inst, IntermediateRepresentation::StorageKind storageKind,
                 bool forcePrecise, std::span<IAstNode* const> sources, int32_t inArgumentsCount);
    // Storage kind None, not precise, every source read.
    AstOperation(IntermediateRepresentation::Instruction inst, std::span<IAstNode* const> sources);
    AstOperation(IntermediateRepresentation::Instruction inst, std::initializer_list<IAstNode*> sources)
        : AstOperation(inst, std::span<IAstNode* const>(sources.begin(), sources.size())) {}
    // The same, with the source list kept in the arena (AstArena::New passes it).
    AstOperation(AstArena& arena, IntermediateRepresentation::Instruction inst,
                 IntermediateRepresentation::StorageKind storageKind, bool forcePrecise,
                 std::span<IAstNode* const> sources, int32_t inArgumentsCount);
    AstOperation(AstArena& arena, IntermediateRepresentation::Instruction inst, std::span<IAstNode* const> sources);
    AstOperation(AstArena& arena, IntermediateRepresentation::Instruction inst,
                 std::initializer_list<IAstNode*> sources)
        : AstOperation(arena, inst, std::span<IAstNode* const>(sources.begin(), sources.size())) {}
    ~AstOperation() override;

    // The result must be computed without floating-point contraction. (First:
    // it fits in the room after the node's kind, which keeps every operation
    // eight bytes smaller.)
    bool ForcePrecise;
    // With its FP32/FP64 type flags.
    IntermediateRepresentation::Instruction Inst;
    IntermediateRepresentation::StorageKind StorageKind;
    // Copied from the IR operation; for texture and image operations the mask
    // of result components.
    int32_t Index = 0;

    int32_t SourcesCount() const { return static_cast<int32_t>(_count); }
    // Throws IndexOutOfRangeException for an index outside the sources.
    IAstNode* GetSource(int32_t index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= _count) [[unlikely]] ThrowSourceIndex();
        return _sources[static_cast<std::size_t>(index)];
    }
    // Moves the use registration from the old source to the new one.
    void SetSource(int32_t index, IAstNode* source);
    std::span<IAstNode* const> Sources() const { return {_sources, _count}; }

    // type widened to a vector of as many elements as Index has bits set
    // (2 to 4); any other count leaves type unchanged.
    Translation::AggregateType GetVectorType(Translation::AggregateType type) const;

protected:
    // arena null: the source list is the node's own heap block.
    AstOperation(AstArena* arena, AstNodeKind kind, IntermediateRepresentation::Instruction inst,
                 IntermediateRepresentation::StorageKind storageKind, bool forcePrecise,
                 std::span<IAstNode* const> sources, int32_t inArgumentsCount);

private:
    [[noreturn]] static void ThrowSourceIndex();

    // Exactly as long as the list; in the arena for every node the arena
    // makes, so the arena releases it without the node's destructor.
    IAstNode** _sources = nullptr;
    std::size_t _count = 0;
    bool _ownsSources = false;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
