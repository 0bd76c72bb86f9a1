#pragma once
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstInfo.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class IAstNode;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

struct InstGenHelper {
    // The table entry of the instruction's low 16 bits (the float flags do
    // not matter); an empty entry for values without one.
    static const InstInfo& GetInstructionInfo(IntermediateRepresentation::Instruction inst);

    // Whether the node's text needs parentheses inside its parent's operator
    // text. isLhs: the node is the left operand of a binary operator.
    static bool NeedsParenthesis(const StructuredIr::IAstNode* node, IntermediateRepresentation::Instruction parentInst,
                                 const InstInfo& parentInfo, bool isLhs);

    // A constant operand whose 32 bits are negative as a signed number.
    static bool IsNegativeConst(const StructuredIr::IAstNode* node);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
