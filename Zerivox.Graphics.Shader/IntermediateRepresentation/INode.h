#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class IrArena;
class Operand;
class Operation;
class TextureOperation;
class CommentNode;
class PhiNode;
class NodeList;

enum class NodeKind : uint8_t {
    Operation,
    TextureOperation,
    Comment,
    Phi,
};

// A node of a block's operation list: an Operation (or one of its subclasses)
// or a PhiNode. The node itself is its list handle: it carries the links of
// the intrusive list it belongs to, so a pass can keep a node pointer and
// insert before/after it or remove it in constant time.
//
// Dispatch is by NodeKind (no virtual calls); As*() give the concrete type.
// Nodes are owned by the translation's IrArena and never copied.
class INode {
public:
    INode(const INode&) = delete;
    INode& operator=(const INode&) = delete;
    INode(INode&&) = delete;
    INode& operator=(INode&&) = delete;

    NodeKind Kind() const { return _kind; }
    bool IsPhi() const { return _kind == NodeKind::Phi; }

    // Null when the node is of another kind. Every non-phi node is an Operation.
    // Inline (defined with Operation): passes ask it of every node they walk.
    inline Operation* AsOperation();
    inline const Operation* AsOperation() const;
    TextureOperation* AsTextureOperation();
    const TextureOperation* AsTextureOperation() const;
    CommentNode* AsComment();
    PhiNode* AsPhi();
    const PhiNode* AsPhi() const;

    int DestsCount() const;
    int SourcesCount() const;
    // Index errors raise IndexOutOfRangeException (PhiNode::GetDest: ArgumentOutOfRangeException).
    Operand* GetDest(int index) const;
    Operand* GetSource(int index) const;
    // Replaces a source, moving the use registration of local variables.
    void SetSource(int index, Operand* source);

    // Links of the operation list the node is in; all null when it is in none
    // (a removed node has no successor any more).
    INode* ListNext() const { return _next; }
    INode* ListPrevious() const { return _prev; }
    NodeList* List() const { return _list; }

    // The arena that made the node: passes that hold a node create new IR
    // there, and the use sets of the node's sources take their storage from it.
    IrArena& Arena() const { return *_arena; }

    // Scratch mark of a pass that walks the lists again and again: the
    // optimiser's clean-up sets it on nodes whose next visit may find work.
    // Only that pass reads it, and it sets it on every node before relying
    // on it. Lives in the room after the kind: nodes do not grow.
    bool Revisit() const { return _revisit; }
    void set_Revisit(bool value) { _revisit = value; }

protected:
    INode(IrArena& arena, NodeKind kind) : _arena(&arena), _kind(kind) {}
    ~INode() = default;

private:
    friend class NodeList;
    INode* _prev = nullptr;
    INode* _next = nullptr;
    NodeList* _list = nullptr;
    IrArena* _arena;
    NodeKind _kind;
    bool _revisit = false;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation

// The inline members above need Operation complete.
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
