#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"

#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

AstAssignment::AstAssignment(IAstNode* destination, IAstNode* source)
    : AstNode(AstNodeKind::Assignment), _destination(destination) {
    AstHelper::AddDef(destination, this);
    SetSource(source);
}

void AstAssignment::SetSource(IAstNode* source) {
    AstHelper::RemoveUse(_source, this);
    AstHelper::AddUse(source, this);
    _source = source;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
