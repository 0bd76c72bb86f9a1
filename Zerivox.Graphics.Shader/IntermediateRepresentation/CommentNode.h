#pragma once
#include <string>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// Inst = Comment, no destinations, no sources. Create with IrArena::NewComment.
class CommentNode : public Operation {
public:
    CommentNode(IrArena& arena, std::string comment);

    std::string Comment;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
