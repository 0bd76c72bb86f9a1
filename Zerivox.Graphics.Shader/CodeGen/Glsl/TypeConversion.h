#pragma once
// Reads the text of a value as another scalar type: bit casts between floats
// and integers, value conversions between signed and unsigned (which keep
// the bits), booleans as -1 / 0 and integers as booleans by comparing with 0.
#include <string>

#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class IAstNode;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

class CodeGenContext;

struct TypeConversion {
    // A constant comes out as a literal of dstType when it has one; anything
    // else as its expression cast from srcType.
    static std::string ReinterpretCast(CodeGenContext& context, const StructuredIr::IAstNode* node,
                                       Translation::AggregateType srcType, Translation::AggregateType dstType);
    // The node only decides about parentheses. ArgumentException for a pair
    // of types that has no cast.
    static std::string ReinterpretCast(const std::string& expr, const StructuredIr::IAstNode* node,
                                       Translation::AggregateType srcType, Translation::AggregateType dstType);
    // "(" b " ? -1 : 0)" in S32 or U32: true is all ones.
    static std::string ReinterpretBoolToInt(const std::string& expr, const StructuredIr::IAstNode* node,
                                            Translation::AggregateType dstType);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
