#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

using Common::ArgumentNullException;
using Common::ArgumentOutOfRangeException;
using Common::IndexOutOfRangeException;

namespace {
[[noreturn]] void ThrowIndex(int index, std::size_t count) {
    throw IndexOutOfRangeException("Index " + std::to_string(index) + " was outside the bounds of the array (length " +
                                   std::to_string(count) + ").");
}
}  // namespace

PhiNode::PhiNode(IrArena& arena, IntermediateRepresentation::Operand* dest) : INode(arena, NodeKind::Phi) {
    if (dest == nullptr) throw ArgumentNullException("Value cannot be null. (Parameter 'dest')");
    AssignDest(dest);
}

IntermediateRepresentation::Operand* PhiNode::AssignDest(IntermediateRepresentation::Operand* dest) {
    if (dest != nullptr) dest->Definition = this;
    Dest = dest;
    return dest;
}

bool PhiNode::HasBlock(const BasicBlock* block) const {
    for (const PhiSource& s : _sources) {
        if (s.Block == block) return true;
    }
    return false;
}

void PhiNode::AddSource(BasicBlock* block, IntermediateRepresentation::Operand* operand) {
    if (operand == nullptr) throw ArgumentNullException("Value cannot be null. (Parameter 'operand')");
    if (HasBlock(block)) return;
    if (operand->Type == OperandType::LocalVariable) operand->Uses.Add(this);
    _sources.push_back(PhiSource{block, operand});
}

IntermediateRepresentation::Operand* PhiNode::GetDest(int index) const {
    if (index != 0) throw ArgumentOutOfRangeException("Specified argument was out of the range of valid values. (Parameter 'index')");
    return Dest;
}

IntermediateRepresentation::Operand* PhiNode::GetSource(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= _sources.size()) ThrowIndex(index, _sources.size());
    return _sources[static_cast<std::size_t>(index)].Operand;
}

BasicBlock* PhiNode::GetBlock(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= _sources.size()) ThrowIndex(index, _sources.size());
    return _sources[static_cast<std::size_t>(index)].Block;
}

void PhiNode::SetSource(int index, IntermediateRepresentation::Operand* source) {
    if (index < 0 || static_cast<std::size_t>(index) >= _sources.size()) ThrowIndex(index, _sources.size());
    if (source == nullptr) throw ArgumentNullException("Value cannot be null. (Parameter 'source')");
    PhiSource& s = _sources[static_cast<std::size_t>(index)];
    if (source->Type == OperandType::LocalVariable) source->Uses.Add(this);
    if (s.Operand->Type == OperandType::LocalVariable) s.Operand->Uses.Remove(this);
    s.Operand = source;
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
