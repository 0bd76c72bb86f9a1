#pragma once
#include <cstddef>
#include <iterator>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// Intrusive doubly linked list of nodes (a block's operations). Insert and
// remove are O(1); the node pointer is the stable handle. A node belongs to
// at most one list; adding a node that is already in a list, or naming an
// anchor or node of another list, raises InvalidOperationException.
//
// Iteration tolerates removing the node being visited (the iterator has
// already taken its successor); removing other nodes during a walk is not
// supported. A pass that wants full control walks with ListNext() itself.
class NodeList {
public:
    NodeList() = default;
    NodeList(const NodeList&) = delete;
    NodeList& operator=(const NodeList&) = delete;

    INode* First() const { return _first; }
    INode* Last() const { return _last; }
    int Count() const { return _count; }
    bool empty() const { return _count == 0; }

    void AddFirst(INode* node);
    // Inline: emission appends every operation and passes remove many.
    void AddLast(INode* node) {
        if (node == nullptr || node->_list != nullptr) [[unlikely]]
            CheckFree(node);
        node->_list = this;
        node->_next = nullptr;
        node->_prev = _last;
        if (_last != nullptr) _last->_next = node; else _first = node;
        _last = node;
        _count++;
    }
    void AddBefore(INode* anchor, INode* node);
    void AddAfter(INode* anchor, INode* node);
    // Unlinks the node; its links become null. Use registrations are not
    // touched (RemoveNode below drops them as well).
    void Remove(INode* node) {
        if (node == nullptr || node->_list != this) [[unlikely]]
            CheckMine(node);
        if (node->_prev != nullptr) node->_prev->_next = node->_next; else _first = node->_next;
        if (node->_next != nullptr) node->_next->_prev = node->_prev; else _last = node->_prev;
        node->_prev = nullptr;
        node->_next = nullptr;
        node->_list = nullptr;
        _count--;
    }

    class iterator {
    public:
        using value_type = INode*;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        explicit iterator(INode* node) : _node(node), _next(node != nullptr ? node->ListNext() : nullptr) {}
        INode* operator*() const { return _node; }
        iterator& operator++() {
            _node = _next;
            _next = _node != nullptr ? _node->ListNext() : nullptr;
            return *this;
        }
        iterator operator++(int) {
            iterator t = *this;
            ++*this;
            return t;
        }
        bool operator==(const iterator& o) const { return _node == o._node; }

    private:
        INode* _node = nullptr;
        INode* _next = nullptr;
    };

    iterator begin() const { return iterator(_first); }
    iterator end() const { return iterator(); }

private:
    void CheckFree(const INode* node) const;
    void CheckMine(const INode* node) const;

    INode* _first = nullptr;
    INode* _last = nullptr;
    int _count = 0;
};

// Unlinks the node from its list (when in one) and withdraws it from the
// Uses of every source, in one call; destinations keep their Definition.
// The way a pass deletes a node without leaving stale uses behind.
void RemoveNode(INode* node);

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
