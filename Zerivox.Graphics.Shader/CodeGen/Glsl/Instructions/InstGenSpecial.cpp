// The instructions with generators of their own: ballot, user-function call,
// fragment-shader interlock, packing, shuffle and vector component.
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/OperandManager.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGen.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using IntermediateRepresentation::OperandType;
using StructuredIr::AstOperand;
using StructuredIr::InstructionInfo;
using Translation::AggregateType;

namespace {

std::string Source(CodeGenContext& context, const AstOperation& operation, int32_t index) {
    AggregateType type = InstructionInfo::GetSrcVarType(operation.Inst, index);
    return GetSourceExpr(context, operation.GetSource(index), type);
}

} // namespace

std::string InstGenBallot::Ballot(CodeGenContext& context, const AstOperation& operation) {
    std::string e = Source(context, operation, 0);
    if (operation.Index < 0 || operation.Index > 3)
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    char c = "xyzw"[operation.Index];
    if (context.HostCapabilities.HasArbShaderBallot) {
        // The ARB mask has 64 bits, two words; the words above hold no
        // invocation and read 0, as those of the four-word mask do.
        if (operation.Index > 1)
            return "0u";
        return "unpackUint2x32(ballotARB(" + e + "))." + c;
    }
    return "subgroupBallot(" + e + ")." + c;
}

std::string InstGenCall::Call(CodeGenContext& context, const AstOperation& operation) {
    const AstOperand* callee = StructuredIr::As<AstOperand>(operation.GetSource(0));
    if (callee == nullptr)
        throw Common::InvalidOperationException("The callee of a call must be an operand.");
    const StructuredIr::StructuredFunction& function = context.GetFunction(callee->Value);
    std::string args;
    for (int32_t i = 1; i < operation.SourcesCount(); i++) {
        if (i != 1)
            args += ", ";
        AggregateType type = function.GetArgumentType(i - 1);
        args += GetSourceExpr(context, operation.GetSource(i), type);
    }
    return function.Name + "(" + args + ")";
}

std::string InstGenFSI::FSIBegin(CodeGenContext& context) {
    if (context.HostCapabilities.HasFragmentShaderInterlock)
        return "beginInvocationInterlockARB()";
    if (context.HostCapabilities.HasIntelFragmentShaderOrdering)
        return "beginFragmentShaderOrderingINTEL()";
    return std::string();
}

std::string InstGenFSI::FSIEnd(CodeGenContext& context) {
    if (context.HostCapabilities.HasFragmentShaderInterlock)
        return "endInvocationInterlockARB()";
    return std::string();
}

std::string InstGenPacking::PackDouble2x32(CodeGenContext& context, const AstOperation& operation) {
    std::string e0 = Source(context, operation, 0);
    std::string e1 = Source(context, operation, 1);
    return "packDouble2x32(uvec2(" + e0 + ", " + e1 + "))";
}

std::string InstGenPacking::PackHalf2x16(CodeGenContext& context, const AstOperation& operation) {
    std::string e0 = Source(context, operation, 0);
    std::string e1 = Source(context, operation, 1);
    return "packHalf2x16(vec2(" + e0 + ", " + e1 + "))";
}

std::string InstGenPacking::UnpackDouble2x32(CodeGenContext& context, const AstOperation& operation) {
    std::string e0 = Source(context, operation, 0);
    std::string mask = GetMask(operation.Index);
    return "unpackDouble2x32(" + e0 + ")" + mask;
}

std::string InstGenPacking::UnpackHalf2x16(CodeGenContext& context, const AstOperation& operation) {
    std::string e0 = Source(context, operation, 0);
    std::string mask = GetMask(operation.Index);
    return "unpackHalf2x16(" + e0 + ")" + mask;
}

std::string InstGenPacking::GetMask(int32_t index) {
    if (index < 0 || index > 1) {
        throw Common::ArgumentOutOfRangeException("Specified argument was out of the range of valid values. "
                                                  "(Parameter 'index')");
    }
    return std::string(".") + "xy"[index];
}

std::string InstGenShuffle::Shuffle(CodeGenContext& context, const AstOperation& operation) {
    std::string v = GetSourceExpr(context, operation.GetSource(0), AggregateType::FP32);
    std::string i = GetSourceExpr(context, operation.GetSource(1), AggregateType::U32);
    // readInvocationARB needs the same index in every invocation; a shuffle's
    // index differs per invocation, which only the subgroup shuffle allows.
    return "subgroupShuffle(" + v + ", " + i + ")";
}

std::string InstGenVector::VectorExtract(CodeGenContext& context, const AstOperation& operation) {
    const StructuredIr::IAstNode* vectorNode = operation.GetSource(0);
    AggregateType vectorType = OperandManager::GetNodeDestType(context, vectorNode);
    std::string v = GetSourceExpr(context, vectorNode, vectorType);
    // A single value is its own only component.
    if ((vectorType & AggregateType::ElementCountMask) == AggregateType::Scalar)
        return v;
    const AstOperand* index = StructuredIr::As<AstOperand>(operation.GetSource(1));
    if (index != nullptr && index->Type == OperandType::Constant) {
        int32_t components = static_cast<int32_t>((static_cast<uint32_t>(vectorType) >> 8) & 3u) + 1;
        if (index->Value < 0 || index->Value >= components)
            throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
        return v + "." + "xyzw"[index->Value];
    }
    return v + "[" + Source(context, operation, 1) + "]";
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
