#pragma once
#include <cstdint>
#include <string>

#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstInfo.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstOperation;
class IAstNode;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {
class CodeGenContext;
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

    // The value of the source at index, which must be a constant operand;
    // otherwise InvalidOperationException "<which> input of <instruction>
    // with <storage kind> storage must be a constant operand.".
    static int32_t ConstantSource(const StructuredIr::AstOperation& operation, int32_t index, const char* which);

    // Class name of a node for messages ("null" for none).
    static std::string NodeClassName(const StructuredIr::IAstNode* node);
};

// The input or output that a load, store or atomic of an input or output
// storage kind addresses, and the first source after the ones that name it.
struct IoAccess {
    IntermediateRepresentation::IoVariable Variable = IntermediateRepresentation::IoVariable::Invalid;
    bool IsOutput = false;
    bool IsPerPatch = false;
    // -1 when the variable is not addressed per location.
    int32_t Location = -1;
    // The captured component a variable of its own stands for; else 0.
    int32_t Component = 0;
    int32_t NextSource = 1;

    static IoAccess Resolve(const CodeGenContext& context, const StructuredIr::AstOperation& operation);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
