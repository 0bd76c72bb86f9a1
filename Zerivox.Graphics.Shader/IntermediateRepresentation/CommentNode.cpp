#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"

#include <utility>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

CommentNode::CommentNode(IrArena& arena, std::string_view comment)
    : Operation(arena, NodeKind::Comment, Instruction::Comment, 0, Operands(), Operands()), Comment(comment) {}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
