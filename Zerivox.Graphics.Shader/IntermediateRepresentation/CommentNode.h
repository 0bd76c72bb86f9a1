#pragma once
#include <string_view>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// Inst = Comment, no destinations, no sources. Create with IrArena::NewComment,
// which keeps the text in the arena.
class CommentNode : public Operation {
public:
    CommentNode(IrArena& arena, std::string_view comment);

    std::string_view Comment;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
