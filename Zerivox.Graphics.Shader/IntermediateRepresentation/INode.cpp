#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

TextureOperation* INode::AsTextureOperation() {
    return _kind == NodeKind::TextureOperation ? static_cast<TextureOperation*>(this) : nullptr;
}
const TextureOperation* INode::AsTextureOperation() const {
    return _kind == NodeKind::TextureOperation ? static_cast<const TextureOperation*>(this) : nullptr;
}
CommentNode* INode::AsComment() { return _kind == NodeKind::Comment ? static_cast<CommentNode*>(this) : nullptr; }
PhiNode* INode::AsPhi() { return _kind == NodeKind::Phi ? static_cast<PhiNode*>(this) : nullptr; }
const PhiNode* INode::AsPhi() const { return _kind == NodeKind::Phi ? static_cast<const PhiNode*>(this) : nullptr; }

int INode::DestsCount() const {
    return IsPhi() ? static_cast<const PhiNode*>(this)->DestsCount()
                   : static_cast<const Operation*>(this)->DestsCount();
}

int INode::SourcesCount() const {
    return IsPhi() ? static_cast<const PhiNode*>(this)->SourcesCount()
                   : static_cast<const Operation*>(this)->SourcesCount();
}

Operand* INode::GetDest(int index) const {
    return IsPhi() ? static_cast<const PhiNode*>(this)->GetDest(index)
                   : static_cast<const Operation*>(this)->GetDest(index);
}

Operand* INode::GetSource(int index) const {
    return IsPhi() ? static_cast<const PhiNode*>(this)->GetSource(index)
                   : static_cast<const Operation*>(this)->GetSource(index);
}

void INode::SetSource(int index, Operand* source) {
    if (IsPhi()) {
        static_cast<PhiNode*>(this)->SetSource(index, source);
    } else {
        static_cast<Operation*>(this)->SetSource(index, source);
    }
}

void RemoveNode(INode* node) {
    if (node->List() != nullptr) node->List()->Remove(node);
    int count = node->SourcesCount();
    for (int i = 0; i < count; i++) {
        Operand* source = node->GetSource(i);
        if (source != nullptr && source->Type == OperandType::LocalVariable) source->Uses.Remove(node);
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
