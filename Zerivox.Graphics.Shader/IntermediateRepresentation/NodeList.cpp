#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

using Common::ArgumentNullException;
using Common::InvalidOperationException;

void NodeList::CheckFree(const INode* node) const {
    if (node == nullptr) throw ArgumentNullException("Value cannot be null. (Parameter 'node')");
    if (node->_list != nullptr) throw InvalidOperationException("The node already belongs to an operation list.");
}

void NodeList::CheckMine(const INode* node) const {
    if (node == nullptr) throw ArgumentNullException("Value cannot be null. (Parameter 'node')");
    if (node->_list != this) throw InvalidOperationException("The node does not belong to this operation list.");
}

void NodeList::AddFirst(INode* node) {
    CheckFree(node);
    node->_list = this;
    node->_prev = nullptr;
    node->_next = _first;
    if (_first != nullptr) _first->_prev = node; else _last = node;
    _first = node;
    _count++;
}

void NodeList::AddBefore(INode* anchor, INode* node) {
    CheckMine(anchor);
    CheckFree(node);
    node->_list = this;
    node->_next = anchor;
    node->_prev = anchor->_prev;
    if (anchor->_prev != nullptr) anchor->_prev->_next = node; else _first = node;
    anchor->_prev = node;
    _count++;
}

void NodeList::AddAfter(INode* anchor, INode* node) {
    CheckMine(anchor);
    CheckFree(node);
    node->_list = this;
    node->_prev = anchor;
    node->_next = anchor->_next;
    if (anchor->_next != nullptr) anchor->_next->_prev = node; else _last = node;
    anchor->_next = node;
    _count++;
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
