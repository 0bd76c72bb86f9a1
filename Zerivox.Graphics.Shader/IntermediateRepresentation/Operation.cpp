#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

using Common::ArgumentNullException;
using Common::IndexOutOfRangeException;

namespace {

void AddUse(Operand* operand, INode* node) {
    if (operand != nullptr && operand->Type == OperandType::LocalVariable) operand->Uses.Add(node);
}

void RemoveUse(Operand* operand, INode* node) {
    if (operand != nullptr && operand->Type == OperandType::LocalVariable) operand->Uses.Remove(node);
}

void SetDefinition(Operand* operand, INode* node) {
    if (operand != nullptr && operand->Type == OperandType::LocalVariable) operand->Definition = node;
}

[[noreturn]] void ThrowIndex(int index, uint32_t count) {
    throw IndexOutOfRangeException("Index " + std::to_string(index) + " was outside the bounds of the array (length " +
                                   std::to_string(count) + ").");
}

[[noreturn]] void ThrowNullSource() {
    throw ArgumentNullException("Value cannot be null. (Parameter 'sources')");
}

}  // namespace

// The destinations and the sources share one arena array, destinations
// first: one allocation per operation instead of two. Members that change
// the count of either side give that side an array of its own, and
// SetDest/SetSource write inside their side only, so the sharing never shows.
//
// Sources are checked and copied before anything else changes: a refused
// operation leaves no definition and no use behind. The two constructors
// spell this out each: a shared helper taking the destinations as a list
// costs the common single-destination case more than the copy saves.
Operand** Operation::InitSources(std::size_t destCount, Operands sources) {
    const std::size_t sourceCount = sources.size();
    Operand** array = Arena().AllocOperandArray(destCount + sourceCount);
    if (sourceCount == 0) return array;
    Operand** copy = array + destCount;
    for (std::size_t i = 0; i < sourceCount; i++) {
        Operand* source = sources[i];
        if (source == nullptr) ThrowNullSource();
        copy[i] = source;
    }
    _sources = copy;
    _sourcesCount = static_cast<uint32_t>(sourceCount);
    for (std::size_t i = 0; i < sourceCount; i++) {
        if (copy[i]->Type == OperandType::LocalVariable) copy[i]->Uses.Add(this);
    }
    return array;
}

Operation::Operation(IrArena& arena, Instruction inst, Operand* dest, Operands sources)
    : INode(arena, NodeKind::Operation), Inst(inst) {
    Operand** array = InitSources(dest != nullptr ? 1 : 0, sources);
    if (dest != nullptr) {
        array[0] = dest;
        _dests = array;
        _destsCount = 1;
        // Any kind of destination, not only locals (see the class comment).
        dest->Definition = this;
    }
}

Operation::Operation(IrArena& arena, Instruction inst, IntermediateRepresentation::StorageKind storageKind,
                     Operand* dest, Operands sources)
    : Operation(arena, inst, dest, sources) {
    StorageKind = storageKind;
}

Operation::Operation(IrArena& arena, Instruction inst, int32_t index, Operands dests, Operands sources)
    : Operation(arena, NodeKind::Operation, inst, index, dests, sources) {}

Operation::Operation(IrArena& arena, NodeKind kind, Instruction inst, int32_t index, Operands dests,
                     Operands sources)
    : INode(arena, kind), Inst(inst), Index(index) {
    Operand** array = InitSources(dests.size(), sources);
    if (dests.empty()) return;
    _dests = array;
    _destsCount = static_cast<uint32_t>(dests.size());
    for (std::size_t i = 0; i < dests.size(); i++) {
        array[i] = dests[i];
        SetDefinition(dests[i], this);
    }
}

void Operation::set_Dest(Operand* dest) {
    if (dest == nullptr) {
        _dests = nullptr;
        _destsCount = 0;
        return;
    }
    SetDefinition(dest, this);
    _dests = Arena().AllocOperandArray(1);
    _dests[0] = dest;
    _destsCount = 1;
}

void Operation::ThrowIndexOutOfRange(int index, uint32_t count) { ThrowIndex(index, count); }

void Operation::SetDest(int index, Operand* dest) {
    if (index < 0 || static_cast<uint32_t>(index) >= _destsCount) ThrowIndex(index, _destsCount);
    Operand* old = _dests[index];
    if (old != nullptr && old->Type == OperandType::LocalVariable) old->Definition = nullptr;
    SetDefinition(dest, this);
    _dests[index] = dest;
}

void Operation::SetSource(int index, Operand* source) {
    if (index < 0 || static_cast<uint32_t>(index) >= _sourcesCount) ThrowIndex(index, _sourcesCount);
    // Add before remove: when the same local goes in again the node never
    // drops out of the set, so its place in the use order is kept.
    AddUse(source, this);
    RemoveUse(_sources[index], this);
    _sources[index] = source;
}

void Operation::InsertSource(int index, Operand* source) {
    if (index < 0 || static_cast<uint32_t>(index) > _sourcesCount) ThrowIndex(index, _sourcesCount);
    Operand** grown = Arena().AllocOperandArray(_sourcesCount + 1);
    for (int i = 0; i < index; i++) grown[i] = _sources[i];
    grown[index] = source;
    for (uint32_t i = static_cast<uint32_t>(index); i < _sourcesCount; i++) grown[i + 1] = _sources[i];
    _sources = grown;
    _sourcesCount++;
    AddUse(source, this);
}

void Operation::RemoveSource(int index) {
    SetSource(index, nullptr);
    for (uint32_t i = static_cast<uint32_t>(index); i + 1 < _sourcesCount; i++) _sources[i] = _sources[i + 1];
    _sourcesCount--;
    if (_sourcesCount == 0) _sources = nullptr;
}

void Operation::AppendDests(Operands dests) {
    if (dests.empty()) return;
    Operand** grown = Arena().AllocOperandArray(_destsCount + dests.size());
    for (uint32_t i = 0; i < _destsCount; i++) grown[i] = _dests[i];
    for (std::size_t i = 0; i < dests.size(); i++) {
        grown[_destsCount + i] = dests[i];
        SetDefinition(dests[i], this);
    }
    _dests = grown;
    _destsCount += static_cast<uint32_t>(dests.size());
}

void Operation::AppendSources(Operands sources) {
    if (sources.empty()) return;
    for (Operand* s : sources) {
        if (s == nullptr) ThrowNullSource();
    }
    Operand** grown = Arena().AllocOperandArray(_sourcesCount + sources.size());
    for (uint32_t i = 0; i < _sourcesCount; i++) grown[i] = _sources[i];
    for (std::size_t i = 0; i < sources.size(); i++) grown[_sourcesCount + i] = sources[i];
    _sources = grown;
    _sourcesCount += static_cast<uint32_t>(sources.size());
    for (Operand* s : sources) AddUse(s, this);
}

void Operation::TurnInto(Instruction newInst, Operand* source) {
    if (source == nullptr) throw ArgumentNullException("Value cannot be null. (Parameter 'source')");
    Inst = newInst;
    AddUse(source, this);
    for (uint32_t i = 0; i < _sourcesCount; i++) RemoveUse(_sources[i], this);
    _sources = Arena().AllocOperandArray(1);
    _sources[0] = source;
    _sourcesCount = 1;
}

void Operation::TurnDoubleIntoFloat() {
    if ((static_cast<uint32_t>(Inst) & 0xFFFF0000u) == static_cast<uint32_t>(Instruction::FP64)) {
        Inst = InstCode(Inst) | Instruction::FP32;
        return;
    }
    Instruction code;
    switch (InstCode(Inst)) {
        case Instruction::ConvertFP32ToFP64:
        case Instruction::ConvertFP64ToFP32:
            code = Instruction::Copy;
            break;
        case Instruction::ConvertFP64ToS32:
            code = Instruction::ConvertFP32ToS32;
            break;
        case Instruction::ConvertFP64ToU32:
            code = Instruction::ConvertFP32ToU32;
            break;
        case Instruction::ConvertS32ToFP64:
            code = Instruction::ConvertS32ToFP32;
            break;
        case Instruction::ConvertU32ToFP64:
            code = Instruction::ConvertU32ToFP32;
            break;
        default:
            return;
    }
    Inst = code | (Inst & ~Instruction::Mask);
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
