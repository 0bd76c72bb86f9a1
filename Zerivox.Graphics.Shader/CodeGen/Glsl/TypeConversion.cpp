#include "Zerivox.Graphics.Shader/CodeGen/Glsl/TypeConversion.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGen.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::OperandType;
using Instructions::InstGenHelper;
using Translation::AggregateType;

namespace {

[[noreturn]] void ThrowInvalidCast(AggregateType srcType, AggregateType dstType) {
    throw Common::ArgumentException("Invalid reinterpret cast from \"" + AggregateTypeText(srcType) + "\" to \"" +
                                    AggregateTypeText(dstType) + "\".");
}

} // namespace

std::string TypeConversion::ReinterpretCast(CodeGenContext& context, const StructuredIr::IAstNode* node,
                                            AggregateType srcType, AggregateType dstType) {
    const auto* operand = StructuredIr::As<StructuredIr::AstOperand>(node);
    if (operand != nullptr && operand->Type == OperandType::Constant) {
        std::string literal;
        if (NumberFormatter::TryFormat(operand->Value, dstType, literal))
            return literal;
    }
    std::string expr = Instructions::InstGen::GetExpression(context, node);
    return ReinterpretCast(expr, node, srcType, dstType);
}

std::string TypeConversion::ReinterpretCast(const std::string& expr, const StructuredIr::IAstNode* node,
                                            AggregateType srcType, AggregateType dstType) {
    if (srcType == dstType)
        return expr;
    if (srcType == AggregateType::FP32) {
        switch (dstType) {
        case AggregateType::Bool:
            return "(floatBitsToInt(" + expr + ") != 0)";
        case AggregateType::S32:
            return "floatBitsToInt(" + expr + ")";
        case AggregateType::U32:
            return "floatBitsToUint(" + expr + ")";
        default:
            ThrowInvalidCast(srcType, dstType);
        }
    }
    if (dstType == AggregateType::FP32) {
        switch (srcType) {
        case AggregateType::Bool:
            return "intBitsToFloat(" + ReinterpretBoolToInt(expr, node, AggregateType::S32) + ")";
        case AggregateType::S32:
            return "intBitsToFloat(" + expr + ")";
        case AggregateType::U32:
            return "uintBitsToFloat(" + expr + ")";
        default:
            ThrowInvalidCast(srcType, dstType);
        }
    }
    if (srcType == AggregateType::Bool)
        return ReinterpretBoolToInt(expr, node, dstType);
    if (dstType == AggregateType::Bool) {
        const auto& info = InstGenHelper::GetInstructionInfo(Instruction::CompareNotEqual);
        std::string e = InstGenHelper::NeedsParenthesis(node, Instruction::CompareNotEqual, info, true)
                            ? "(" + expr + ")"
                            : expr;
        return "(" + e + " != 0)";
    }
    if (dstType == AggregateType::S32)
        return "int(" + expr + ")";
    if (dstType == AggregateType::U32)
        return "uint(" + expr + ")";
    ThrowInvalidCast(srcType, dstType);
}

std::string TypeConversion::ReinterpretBoolToInt(const std::string& expr, const StructuredIr::IAstNode* node,
                                                 AggregateType dstType) {
    const auto& info = InstGenHelper::GetInstructionInfo(Instruction::ConditionalSelect);
    std::string e = InstGenHelper::NeedsParenthesis(node, Instruction::ConditionalSelect, info, false)
                        ? "(" + expr + ")"
                        : expr;
    std::string t = NumberFormatter::FormatInt(-1, dstType);
    std::string f = NumberFormatter::FormatInt(0, dstType);
    return "(" + e + " ? " + t + " : " + f + ")";
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
