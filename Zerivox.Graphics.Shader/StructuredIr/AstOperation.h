#pragma once
// An operation over sources (operands or nested operations). Sources beyond
// the read count are written by the operation (the output arguments of a
// call); the use/definition sets of local variables record which is which.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

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

    // With its FP32/FP64 type flags.
    IntermediateRepresentation::Instruction Inst;
    IntermediateRepresentation::StorageKind StorageKind;
    // Copied from the IR operation; for texture and image operations the mask
    // of result components.
    int32_t Index = 0;
    // The result must be computed without floating-point contraction.
    bool ForcePrecise;

    int32_t SourcesCount() const { return static_cast<int32_t>(_count); }
    // Throws IndexOutOfRangeException for an index outside the sources.
    IAstNode* GetSource(int32_t index) const;
    // Moves the use registration from the old source to the new one.
    void SetSource(int32_t index, IAstNode* source);
    std::span<IAstNode* const> Sources() const { return {Data(), _count}; }

    // type widened to a vector of as many elements as Index has bits set
    // (2 to 4); any other count leaves type unchanged.
    Translation::AggregateType GetVectorType(Translation::AggregateType type) const;

protected:
    AstOperation(AstNodeKind kind, IntermediateRepresentation::Instruction inst,
                 IntermediateRepresentation::StorageKind storageKind, bool forcePrecise,
                 std::span<IAstNode* const> sources, int32_t inArgumentsCount);

private:
    // Nearly every operation has at most InlineCapacity sources: those live in
    // the node itself, so building the AST allocates nothing per operation.
    // Longer lists (texture operations) take one heap block, released by the
    // destructor that the arena runs.
    static constexpr std::size_t InlineCapacity = 4;

    IAstNode** Data() { return _heap ? _heap.get() : _inline; }
    IAstNode* const* Data() const { return _heap ? _heap.get() : _inline; }

    IAstNode* _inline[InlineCapacity] = {};
    std::unique_ptr<IAstNode*[]> _heap;
    std::size_t _count = 0;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
