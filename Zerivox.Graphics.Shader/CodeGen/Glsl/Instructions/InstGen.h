#pragma once
// GLSL expression text of the nodes of the structured program.
#include <cstdint>
#include <string>

#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstInfo.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstOperation;
class IAstNode;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {
class CodeGenContext;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using StructuredIr::AstOperation;

struct InstGen {
    // An operation's text, or an operand's name or literal. ArgumentException
    // for any other node. An empty text means the operation prints nothing.
    static std::string GetExpression(CodeGenContext& context, const StructuredIr::IAstNode* node);
    static std::string GetExpression(CodeGenContext& context, const AstOperation& operation);
    // Zero minus the operand, in the operation's own type.
    static std::string Negate(CodeGenContext& context, const AstOperation& operation, const InstInfo& info);
};

struct InstGenBallot {
    static std::string Ballot(CodeGenContext& context, const AstOperation& operation);
};

struct InstGenCall {
    static std::string Call(CodeGenContext& context, const AstOperation& operation);
};

struct InstGenFSI {
    static std::string FSIBegin(CodeGenContext& context);
    static std::string FSIEnd(CodeGenContext& context);
};

struct InstGenPacking {
    static std::string PackDouble2x32(CodeGenContext& context, const AstOperation& operation);
    static std::string PackHalf2x16(CodeGenContext& context, const AstOperation& operation);
    static std::string UnpackDouble2x32(CodeGenContext& context, const AstOperation& operation);
    static std::string UnpackHalf2x16(CodeGenContext& context, const AstOperation& operation);
    // ".x" or ".y"; ArgumentOutOfRangeException for any other index.
    static std::string GetMask(int32_t index);
};

struct InstGenShuffle {
    static std::string Shuffle(CodeGenContext& context, const AstOperation& operation);
};

struct InstGenVector {
    static std::string VectorExtract(CodeGenContext& context, const AstOperation& operation);
};

// The source cast from its own type to type (a constant as a literal of type).
std::string GetSourceExpr(CodeGenContext& context, const StructuredIr::IAstNode* node,
                          Translation::AggregateType type);

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
