#pragma once
// The text of an IR comment (present in debug mode only).
#include <string>
#include <utility>

#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstComment final : public AstNode {
public:
    static bool IsKind(AstNodeKind kind) { return kind == AstNodeKind::Comment; }

    explicit AstComment(std::string comment) : AstNode(AstNodeKind::Comment), Comment(std::move(comment)) {}

    std::string Comment;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
