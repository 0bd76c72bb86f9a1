#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;

const char* AstBlockTypeName(AstBlockType type) noexcept {
    switch (type) {
    case AstBlockType::DoWhile: return "DoWhile";
    case AstBlockType::If: return "If";
    case AstBlockType::Else: return "Else";
    case AstBlockType::ElseIf: return "ElseIf";
    case AstBlockType::Main: return "Main";
    case AstBlockType::While: return "While";
    }
    return "";
}

AstBlock::AstBlock(AstBlockType type, IAstNode* condition) : AstNode(AstNodeKind::Block), Type(type) {
    SetCondition(condition);
}

void AstBlock::SetCondition(IAstNode* condition) {
    AstHelper::RemoveUse(_condition, this);
    AstHelper::AddUse(condition, this);
    _condition = condition;
}

void AstBlock::AndCondition(AstArena& arena, IAstNode* c) {
    IAstNode* sources[] = {_condition, c};
    AstOperation* combined = arena.New<AstOperation>(Instruction::LogicalAnd, std::span<IAstNode* const>(sources));
    SetCondition(combined);
}

void AstBlock::OrCondition(AstArena& arena, IAstNode* c) {
    IAstNode* sources[] = {_condition, c};
    AstOperation* combined = arena.New<AstOperation>(Instruction::LogicalOr, std::span<IAstNode* const>(sources));
    SetCondition(combined);
}

void AstBlock::RejectAttach(const IAstNode* node) const {
    if (node == nullptr) throw Common::ArgumentNullException("Value cannot be null. (Parameter 'node')");
    if (node->Parent() != nullptr) throw Common::ArgumentException("Node already belongs to a block.");
    throw Common::ArgumentException("A block cannot hold itself.");
}

void AstBlock::CheckHeld(IAstNode* anchor) const {
    if (anchor == nullptr || anchor->_parent != this) {
        throw Common::InvalidOperationException("The anchor node does not belong to this block.");
    }
}

void AstBlock::AddFirst(IAstNode* node) { Attach(node, nullptr, _first); }

void AstBlock::AddBefore(IAstNode* next, IAstNode* node) {
    CheckHeld(next);
    Attach(node, next->_prev, next);
}

void AstBlock::AddAfter(IAstNode* previous, IAstNode* node) {
    CheckHeld(previous);
    Attach(node, previous, previous->_next);
}

void AstBlock::Remove(IAstNode* node) {
    CheckHeld(node);
    if (node->_prev != nullptr) {
        node->_prev->_next = node->_next;
    } else {
        _first = node->_next;
    }
    if (node->_next != nullptr) {
        node->_next->_prev = node->_prev;
    } else {
        _last = node->_prev;
    }
    node->_parent = nullptr;
    node->_prev = nullptr;
    node->_next = nullptr;
    --_count;
}

AstBlock::const_iterator& AstBlock::const_iterator::operator++() {
    _node = AstHelper::Next(_node);
    return *this;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
