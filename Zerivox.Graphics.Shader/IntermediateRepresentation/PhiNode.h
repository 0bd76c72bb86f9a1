#pragma once
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class BasicBlock;
class IrArena;

// SSA merge. Each source pairs a value with the block in which its reaching
// definition was found; a phi keeps one source per block (a second source
// for a block is ignored). Create with IrArena::NewPhi.
class PhiNode : public INode {
public:
    struct PhiSource {
        BasicBlock* Block;
        IntermediateRepresentation::Operand* Operand;
    };

    // dest must not be null; its Definition becomes this phi.
    PhiNode(IrArena& arena, IntermediateRepresentation::Operand* dest);

    IntermediateRepresentation::Operand* Dest = nullptr;

    const std::vector<PhiSource>& PhiSources() const { return _sources; }
    // Whether the block already has a source (the "Blocks" set).
    bool HasBlock(const BasicBlock* block) const;

    // Records the phi as the definition of dest and returns it.
    IntermediateRepresentation::Operand* AssignDest(IntermediateRepresentation::Operand* dest);
    void AddSource(BasicBlock* block, IntermediateRepresentation::Operand* operand);
    // Room for n sources, for a caller that knows how many will come.
    void ReserveSources(std::size_t n) { _sources.reserve(n); }

    int DestsCount() const { return Dest != nullptr ? 1 : 0; }
    int SourcesCount() const { return static_cast<int>(_sources.size()); }
    // Only index 0; anything else raises ArgumentOutOfRangeException ("index").
    IntermediateRepresentation::Operand* GetDest(int index) const;
    IntermediateRepresentation::Operand* GetSource(int index) const;
    BasicBlock* GetBlock(int index) const;
    void SetSource(int index, IntermediateRepresentation::Operand* source);

private:
    std::vector<PhiSource> _sources;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
