#pragma once
// A block of the structured program: the function body (Main), a conditional
// (If/Else) or a loop (DoWhile), holding an ordered list of statements and
// nested blocks.
#include <cstddef>
#include <cstdint>

#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;

enum class AstBlockType : int32_t {
    DoWhile = 0,
    If = 1,
    Else = 2,
    ElseIf = 3,
    Main = 4,
    While = 5,
};

const char* AstBlockTypeName(AstBlockType type) noexcept;

class AstBlock final : public AstNode {
public:
    static bool IsKind(AstNodeKind kind) { return kind == AstNodeKind::Block; }

    // Registers the block as a user of the condition (none for Main and Else).
    AstBlock(AstBlockType type, IAstNode* condition);

    AstBlockType Type;

    // If: the body runs when the condition is true. DoWhile: the body runs
    // once and repeats while it is true. Setting it moves the block's use
    // registration from the old condition to the new one.
    IAstNode* Condition() const { return _condition; }
    void SetCondition(IAstNode* condition);

    // Condition becomes LogicalAnd/LogicalOr (old condition, c).
    void AndCondition(AstArena& arena, IAstNode* c);
    void OrCondition(AstArena& arena, IAstNode* c);

    // List edits. Attaching a node that already belongs to a block throws
    // ArgumentException; AddBefore/AddAfter need an anchor held by this block.
    void Add(IAstNode* node) { Attach(node, _last, nullptr); }
    void AddFirst(IAstNode* node);
    void AddBefore(IAstNode* next, IAstNode* node);
    void AddAfter(IAstNode* previous, IAstNode* node);
    // Unlinks the node; it keeps its own children, condition and sources.
    void Remove(IAstNode* node);

    IAstNode* First() const { return _first; }
    IAstNode* Last() const { return _last; }
    std::size_t Count() const { return _count; }

    // Direct children in order (nested blocks are yielded, not entered). Do
    // not remove the current node while iterating; take AstHelper::Next first.
    class const_iterator {
    public:
        using value_type = IAstNode*;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        explicit const_iterator(IAstNode* node) : _node(node) {}
        IAstNode* operator*() const { return _node; }
        const_iterator& operator++();
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator& other) const { return _node == other._node; }

    private:
        IAstNode* _node = nullptr;
    };
    const_iterator begin() const { return const_iterator(_first); }
    const_iterator end() const { return const_iterator(nullptr); }

private:
    // Inline: the structurer appends every statement it makes.
    void Attach(IAstNode* node, IAstNode* prev, IAstNode* next) {
        if (node == nullptr || node->_parent != nullptr || node == this) [[unlikely]] RejectAttach(node);
        node->_parent = this;
        node->_prev = prev;
        node->_next = next;
        if (prev != nullptr) {
            prev->_next = node;
        } else {
            _first = node;
        }
        if (next != nullptr) {
            next->_prev = node;
        } else {
            _last = node;
        }
        ++_count;
    }
    // Throws the exception that explains why the node cannot be attached.
    [[noreturn]] void RejectAttach(const IAstNode* node) const;
    void CheckHeld(IAstNode* anchor) const;

    IAstNode* _condition = nullptr;
    IAstNode* _first = nullptr;
    IAstNode* _last = nullptr;
    std::size_t _count = 0;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
