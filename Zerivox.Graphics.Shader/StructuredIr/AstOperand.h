#pragma once
// Leaf of every expression: a local variable, argument, constant or undefined
// value. A local variable is one AstOperand per function, shared by every node
// that refers to it (its identity is the object) and it tracks the nodes that
// write and read it. Constants, arguments and undefined values get a fresh
// operand at every use and keep empty sets.
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandType.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstNodeSet.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Operand;
}

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstOperand final : public AstNode {
public:
    static bool IsKind(AstNodeKind kind) { return kind == AstNodeKind::Operand; }

    AstOperand() : AstNode(AstNodeKind::Operand) {}
    AstOperand(IntermediateRepresentation::OperandType type, int32_t value)
        : AstNode(AstNodeKind::Operand), Type(type), Value(value) {}
    // Copies the IR operand's type and value.
    explicit AstOperand(const IntermediateRepresentation::Operand& operand);

    // The scalars first: they fill the room after the node's kind, which
    // keeps every operand eight bytes smaller.
    IntermediateRepresentation::OperandType Type = IntermediateRepresentation::OperandType::Argument;
    // Type under which a local variable is declared.
    Translation::AggregateType VarType = Translation::AggregateType::S32;
    // Constant bits or argument index; 0 for structurer temporaries.
    int32_t Value = 0;

    AstNodeSet<IAstNode> Defs;
    AstNodeSet<IAstNode> Uses;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
