#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class IrArena;

// One IR operation: an instruction with destinations and sources.
//
// Create with IrArena::NewOperation (never on the stack: the arena owns every
// node of a translation and the operand arrays it points to).
//
// Link rules kept by the members (LV = LocalVariable operand):
//  - constructors add the operation to the Uses of each LV source (once per
//    source slot, see UseSet); the single-destination forms make the
//    operation the Definition of a non-null destination of any kind, the
//    several-destination form only of LV destinations;
//  - set_Dest / SetDest / AppendDests record the operation as Definition of
//    new LV destinations (SetDest also clears it on the replaced LV);
//  - SetSource / InsertSource / RemoveSource / AppendSources / TurnInto move
//    use registrations of LV sources.
// Sources may hold null only after SetSource/InsertSource with null.
class Operation : public INode {
public:
    using Operands = std::span<Operand* const>;

    Operation(IrArena& arena, Instruction inst, Operand* dest, Operands sources);
    Operation(IrArena& arena, Instruction inst, IntermediateRepresentation::StorageKind storageKind, Operand* dest,
              Operands sources);
    // Several destinations (entries may be null: call result slots).
    Operation(IrArena& arena, Instruction inst, int32_t index, Operands dests, Operands sources);

    // First: it fits in the room after the node's kind, which keeps every
    // operation eight bytes smaller.
    bool ForcePrecise = false;
    Instruction Inst;
    IntermediateRepresentation::StorageKind StorageKind = IntermediateRepresentation::StorageKind::None;
    // Instruction-specific selector (component mask, half, word...); 0 otherwise.
    int32_t Index = 0;

    // First destination, null when there is none.
    Operand* Dest() const { return _destsCount > 0 ? _dests[0] : nullptr; }
    // Replaces the whole destination array by {dest}, or by none for null.
    // The previous destinations keep their Definition.
    void set_Dest(Operand* dest);

    int DestsCount() const { return static_cast<int>(_destsCount); }
    int SourcesCount() const { return static_cast<int>(_sourcesCount); }
    Operands Dests() const { return Operands(_dests, _destsCount); }
    Operands Sources() const { return Operands(_sources, _sourcesCount); }

    // Inline: passes read operands in their innermost loops.
    Operand* GetDest(int index) const {
        if (index < 0 || static_cast<uint32_t>(index) >= _destsCount) ThrowIndexOutOfRange(index, _destsCount);
        return _dests[index];
    }
    Operand* GetSource(int index) const {
        if (index < 0 || static_cast<uint32_t>(index) >= _sourcesCount) ThrowIndexOutOfRange(index, _sourcesCount);
        return _sources[index];
    }
    void SetDest(int index, Operand* dest);
    void SetSource(int index, Operand* source);
    // index may equal SourcesCount (append).
    void InsertSource(int index, Operand* source);
    void RemoveSource(int index);
    void AppendDests(Operands dests);
    void AppendDests(std::initializer_list<Operand*> dests) { AppendDests(Operands(dests.begin(), dests.size())); }
    void AppendSources(Operands sources);
    void AppendSources(std::initializer_list<Operand*> sources) {
        AppendSources(Operands(sources.begin(), sources.size()));
    }

    // Becomes newInst with the single source; destinations stay.
    void TurnInto(Instruction newInst, Operand* source);
    // Rewrites a double-precision operation into its single-precision form.
    void TurnDoubleIntoFloat();

protected:
    // For subclasses: kind plus the several-destination form.
    Operation(IrArena& arena, NodeKind kind, Instruction inst, int32_t index, Operands dests, Operands sources);

private:
    // The operand array of an operation with destCount destinations, with
    // the sources copied in after them and registered; returns the array.
    Operand** InitSources(std::size_t destCount, Operands sources);
    [[noreturn]] static void ThrowIndexOutOfRange(int index, uint32_t count);

    Operand** _dests = nullptr;
    Operand** _sources = nullptr;
    uint32_t _destsCount = 0;
    uint32_t _sourcesCount = 0;
};

inline Operation* INode::AsOperation() { return _kind == NodeKind::Phi ? nullptr : static_cast<Operation*>(this); }
inline const Operation* INode::AsOperation() const {
    return _kind == NodeKind::Phi ? nullptr : static_cast<const Operation*>(this);
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
