#include "Zerivox.Graphics.Shader/CodeGen/Glsl/GlslGenerator.h"

#include <cstring>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/AssignmentTarget.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/OperandManager.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/TypeConversion.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGen.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlockVisitor.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstComment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::OperandType;
using StructuredIr::AstBlock;
using StructuredIr::AstBlockType;
using StructuredIr::IAstNode;
using Translation::AggregateType;

namespace {

std::string GetCondition(CodeGenContext& context, const IAstNode* condition) {
    const auto* operand = StructuredIr::As<StructuredIr::AstOperand>(condition);
    if (operand != nullptr && operand->Type == OperandType::Constant) {
        std::string literal;
        if (NumberFormatter::TryFormat(operand->Value, AggregateType::Bool, literal))
            return literal;
    }
    std::string expr = Instructions::InstGen::GetExpression(context, condition);
    AggregateType type = OperandManager::GetNodeDestType(context, condition);
    return TypeConversion::ReinterpretCast(expr, condition, type, AggregateType::Bool);
}

void OnBlockEntered(CodeGenContext& context, const AstBlock* block) {
    switch (block->Type) {
    case AstBlockType::DoWhile:
        context.AppendLine("do");
        break;
    case AstBlockType::If:
        context.AppendLine("if (" + GetCondition(context, block->Condition()) + ")");
        break;
    case AstBlockType::Else:
        context.AppendLine("else");
        break;
    case AstBlockType::ElseIf:
        context.AppendLine("else if (" + GetCondition(context, block->Condition()) + ")");
        break;
    default:
        throw Common::InvalidOperationException("Found unexpected block type \"" +
                                                std::string(StructuredIr::AstBlockTypeName(block->Type)) + "\".");
    }
    context.EnterScope();
}

void OnBlockLeft(CodeGenContext& context, const AstBlock* block) {
    context.LeaveScope();
    if (block->Type == AstBlockType::DoWhile)
        context.AppendLine("while (" + GetCondition(context, block->Condition()) + ");");
}

} // namespace

std::string GlslGenerator::Generate(const StructuredIr::StructuredProgramInfo& info,
                                    const CodeGenParameters& parameters) {
    CodeGenContext context(info, parameters);
    Declarations::Declare(context, info);

    int32_t count = static_cast<int32_t>(info.Functions.size());
    if (count >= 1) {
        for (int32_t i = 1; i < count; i++) {
            std::string signature = GetFunctionSignature(context, context.GetFunction(i), nullptr);
            context.AppendLine(signature + ";");
        }
        context.AppendLine();
        for (int32_t i = 1; i < count; i++) {
            PrintFunction(context, context.GetFunction(i), nullptr);
            context.AppendLine();
        }
    }
    PrintFunction(context, context.GetFunction(0), "main");
    return context.GetCode();
}

void GlslGenerator::PrintFunction(CodeGenContext& context, const StructuredIr::StructuredFunction& function,
                                  const char* funcName) {
    context.CurrentFunction = &function;
    context.AppendLine(GetFunctionSignature(context, function, funcName));
    context.EnterScope();
    Declarations::DeclareLocals(context, function);
    bool isMainFunction = funcName != nullptr && std::strcmp(funcName, "main") == 0;
    PrintBlock(context, function.MainBlock, isMainFunction);
    context.LeaveScope();
}

std::string GlslGenerator::GetFunctionSignature(CodeGenContext& context,
                                                const StructuredIr::StructuredFunction& function,
                                                const char* funcName) {
    std::string parameters;
    int32_t index = 0;
    for (AggregateType type : function.InArguments) {
        if (index != 0)
            parameters += ", ";
        parameters += Declarations::GetVarTypeName(context, type, true) + " " + OperandManager::GetArgumentName(index);
        index++;
    }
    for (AggregateType type : function.OutArguments) {
        if (index != 0)
            parameters += ", ";
        parameters +=
            "out " + Declarations::GetVarTypeName(context, type, true) + " " + OperandManager::GetArgumentName(index);
        index++;
    }
    std::string returnType = Declarations::GetVarTypeName(context, function.ReturnType, true);
    std::string name = funcName != nullptr ? std::string(funcName) : function.Name;
    return returnType + " " + name + "(" + parameters + ")";
}

void GlslGenerator::PrintBlock(CodeGenContext& context, AstBlock* block, bool isMainFunction) {
    StructuredIr::AstBlockVisitor visitor(block);
    visitor.BlockEntered.push_back(
        [&context](const StructuredIr::BlockVisitationEventArgs& e) { OnBlockEntered(context, e.Block); });
    visitor.BlockLeft.push_back(
        [&context](const StructuredIr::BlockVisitationEventArgs& e) { OnBlockLeft(context, e.Block); });

    bool supportsBarrierDivergence = context.HostCapabilities.HasBarrierInDivergentCode;
    bool mayHaveReturned = false;

    for (IAstNode* node : visitor.Visit()) {
        if (const auto* operation = StructuredIr::As<StructuredIr::AstOperation>(node)) {
            Instruction code = IntermediateRepresentation::InstCode(operation->Inst);
            if (code == Instruction::Barrier) {
                bool inMain = visitor.Block() != nullptr && visitor.Block()->Type == AstBlockType::Main;
                bool topLevel = inMain && !mayHaveReturned && isMainFunction;
                if (!topLevel && !supportsBarrierDivergence)
                    continue;
                // GLSL allows a tessellation control barrier only there,
                // while the SPIR-V module may synchronise anywhere.
                if (!topLevel && context.Definitions.Stage == ShaderStage::TessellationControl) {
                    throw Common::NotSupportedException(
                        "A tessellation control barrier inside flow control, outside main or after a return has no "
                        "GLSL form.");
                }
            } else if (code == Instruction::Return) {
                mayHaveReturned = true;
            }
            std::string text = Instructions::InstGen::GetExpression(context, *operation);
            if (!text.empty())
                context.AppendLine(text + ";");
        } else if (const auto* assignment = StructuredIr::As<StructuredIr::AstAssignment>(node)) {
            GetAssignmentTarget(*assignment);
            AggregateType dstType = OperandManager::GetNodeDestType(context, assignment->Destination());
            AggregateType srcType = OperandManager::GetNodeDestType(context, assignment->Source());
            std::string destination = Instructions::InstGen::GetExpression(context, assignment->Destination());
            std::string source = TypeConversion::ReinterpretCast(context, assignment->Source(), srcType, dstType);
            context.AppendLine(destination + " = " + source + ";");
        } else if (const auto* comment = StructuredIr::As<StructuredIr::AstComment>(node)) {
            context.AppendLine("// " + std::string(comment->Comment));
        } else {
            throw Common::InvalidOperationException("Found unexpected node type \"" + Instructions::InstGenHelper::NodeClassName(node) + "\".");
        }
    }
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
