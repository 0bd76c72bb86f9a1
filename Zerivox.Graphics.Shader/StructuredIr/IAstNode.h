#pragma once
// Base of every node of the structured program (the AST that back ends read).
//
// Ownership: nodes are created by an AstArena (one per structured program) and
// live until the program is destroyed. Every link between nodes (parent,
// siblings, sources, use/definition sets) is a plain non-owning pointer.
//
// A node that sits in a block's statement list is its own list cell: it holds
// its parent and its two neighbours, so insertion and removal are O(1) and the
// node pointer is a stable handle. Only AstBlock edits these links.
#include <cstdint>

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;
class AstBlock;

// Concrete class of a node. AstTextureOperation is also an AstOperation.
enum class AstNodeKind : uint8_t {
    Block,
    Operand,
    Operation,
    TextureOperation,
    Assignment,
    Comment,
};

class IAstNode {
public:
    IAstNode(const IAstNode&) = delete;
    IAstNode& operator=(const IAstNode&) = delete;
    IAstNode(IAstNode&&) = delete;
    IAstNode& operator=(IAstNode&&) = delete;
    virtual ~IAstNode() = default;

    AstNodeKind Kind() const { return _kind; }

    // The block whose statement list holds this node; nullptr when detached or
    // when the node is an expression that no block holds directly.
    AstBlock* Parent() const { return _parent; }

    // The arena that made the node (nullptr for a node made outside one).
    AstArena* Arena() const { return _arena; }

protected:
    explicit IAstNode(AstNodeKind kind) : _kind(kind) {}

private:
    friend class AstArena;
    friend class AstBlock;
    friend struct AstHelper;

    AstBlock* _parent = nullptr;
    IAstNode* _prev = nullptr;
    IAstNode* _next = nullptr;
    AstArena* _arena = nullptr;
    AstNodeKind _kind;
};

// The one implementation of the node links; every concrete node derives from it.
class AstNode : public IAstNode {
protected:
    using IAstNode::IAstNode;
};

// Class tests by kind: As<AstOperation>(n) also accepts texture operations.
// Both accept nullptr.
template <typename T>
inline bool Is(const IAstNode* node) {
    return node != nullptr && T::IsKind(node->Kind());
}
template <typename T>
inline T* As(IAstNode* node) {
    return Is<T>(node) ? static_cast<T*>(node) : nullptr;
}
template <typename T>
inline const T* As(const IAstNode* node) {
    return Is<T>(node) ? static_cast<const T*>(node) : nullptr;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
