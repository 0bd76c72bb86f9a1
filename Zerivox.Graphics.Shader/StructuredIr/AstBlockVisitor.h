#pragma once
// The walk that back ends use to emit a function: every non-block node of the
// tree in statement order, with BlockEntered raised before a nested block's
// first node and BlockLeft after its last (also for empty blocks; never for
// the main block). The node after the one handed out is fixed before it is
// handed out, so the consumer may remove the current node from its block;
// nodes it inserts next to it are not visited.
//
//   AstBlockVisitor visitor(function.MainBlock);
//   visitor.BlockEntered.push_back([&](const BlockVisitationEventArgs& e) { ... });
//   for (IAstNode* node : visitor.Visit()) { ... visitor.Block() ... }
#include <cstddef>
#include <functional>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstBlock;

struct BlockVisitationEventArgs {
    AstBlock* Block;
};

class AstBlockVisitor {
public:
    using Handler = std::function<void(const BlockVisitationEventArgs&)>;

    explicit AstBlockVisitor(AstBlock* mainBlock) : _block(mainBlock) {}

    // The block in which the walk currently stands.
    AstBlock* Block() const { return _block; }

    // Handlers run in subscription order.
    std::vector<Handler> BlockEntered;
    std::vector<Handler> BlockLeft;

    // Pull interface: the next non-block node, or nullptr when the walk has
    // ended. The first call after construction or after the end starts a new
    // walk from Block().
    IAstNode* Next();

    class iterator {
    public:
        using value_type = IAstNode*;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        explicit iterator(AstBlockVisitor* visitor) : _visitor(visitor), _node(visitor->Next()) {}
        IAstNode* operator*() const { return _node; }
        iterator& operator++() {
            _node = _visitor->Next();
            return *this;
        }
        void operator++(int) { ++*this; }
        bool operator==(const iterator& other) const { return _node == other._node; }

    private:
        AstBlockVisitor* _visitor = nullptr;
        IAstNode* _node = nullptr;
    };

    struct Range {
        AstBlockVisitor* Visitor;
        iterator begin() const { return iterator(Visitor); }
        iterator end() const { return iterator(); }
    };

    // One lazily evaluated walk; begin() starts it.
    Range Visit() { return Range{this}; }

private:
    void Raise(const std::vector<Handler>& handlers, AstBlock* block);
    void LeaveFinishedBlocks();

    AstBlock* _block;
    IAstNode* _node = nullptr;
    IAstNode* _pending = nullptr;
    bool _active = false;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
