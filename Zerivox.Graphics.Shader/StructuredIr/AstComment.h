#pragma once
// The text of an IR comment (present in debug mode only).
#include <string_view>

#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstComment final : public AstNode {
public:
    static bool IsKind(AstNodeKind kind) { return kind == AstNodeKind::Comment; }

    // The text is copied into the arena (every instruction has a comment in
    // debug mode, and this way none of them costs a heap block).
    AstComment(AstArena& arena, std::string_view comment)
        : AstNode(AstNodeKind::Comment), Comment(arena.CopyString(comment)) {}

    std::string_view Comment;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
