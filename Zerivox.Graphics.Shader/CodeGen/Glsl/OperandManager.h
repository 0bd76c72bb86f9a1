#pragma once
// Names of the operands of the structured program and the type of any node's
// value as the GLSL text holds it.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstOperand;
class IAstNode;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

class CodeGenContext;

class OperandManager {
  public:
    // Names a local "temp_" + the number of locals named before it, for the
    // rest of the program's text. ArgumentException for a local named twice.
    std::string DeclareLocal(const StructuredIr::AstOperand* operand);

    // Argument "a<i>", constant as a signed literal, local by its name,
    // undefined value "undef".
    std::string GetExpression(const CodeGenContext& context, const StructuredIr::AstOperand& operand) const;

    static std::string GetArgumentName(int32_t index);

    // The type of the value that the node's text stands for.
    static Translation::AggregateType GetNodeDestType(const CodeGenContext& context,
                                                      const StructuredIr::IAstNode* node);

  private:
    // Only looked up, never walked: its order cannot reach the text.
    std::unordered_map<const StructuredIr::AstOperand*, std::string> _locals;
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
