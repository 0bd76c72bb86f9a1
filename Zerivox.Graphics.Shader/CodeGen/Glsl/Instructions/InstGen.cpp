#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGen.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/OperandManager.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/TypeConversion.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenHelper.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenMemory.h"
#include "Zerivox.Graphics.Shader/CodeGen/Workgroups.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using StructuredIr::AstOperand;
using StructuredIr::IAstNode;
using StructuredIr::InstructionInfo;
using Translation::AggregateType;

namespace {

[[noreturn]] void ThrowUnexpectedType(InstType type) {
    std::string text = type == InstType::Special ? "Special" : std::to_string(static_cast<int32_t>(type));
    throw Common::InvalidOperationException("Unexpected instruction type \"" + text + "\".");
}

bool IsFloat(Instruction inst) {
    uint32_t bits = static_cast<uint32_t>(inst);
    return (bits & (static_cast<uint32_t>(Instruction::FP32) | static_cast<uint32_t>(Instruction::FP64))) != 0;
}

// Operations that exist for floats only.
bool IsFloatOnly(Instruction code) {
    switch (code) {
    case Instruction::Ceiling:
    case Instruction::Cosine:
    case Instruction::ExponentB2:
    case Instruction::Floor:
    case Instruction::FusedMultiplyAdd:
    case Instruction::LogarithmB2:
    case Instruction::Modulo:
    case Instruction::ReciprocalSquareRoot:
    case Instruction::Round:
    case Instruction::Sine:
    case Instruction::SquareRoot:
    case Instruction::Truncate:
        return true;
    default:
        return false;
    }
}

std::string CallForm(CodeGenContext& context, const AstOperation& operation, const InstInfo& info) {
    int32_t arity = Arity(info.Type);
    std::string args;
    if (Has(info.Type, InstType::Atomic) &&
        (operation.StorageKind == StorageKind::StorageBuffer || operation.StorageKind == StorageKind::SharedMemory)) {
        Instruction code = IntermediateRepresentation::InstCode(operation.Inst);
        bool isSigned = code == Instruction::AtomicMinS32 || code == Instruction::AtomicMaxS32;
        bool outOfRange = false;
        args = InstGenMemory::GenerateAtomicLocation(context, operation, outOfRange);
        if (outOfRange) {
            // No such memory word: the atomic changes nothing and reads 0.
            std::string zero;
            NumberFormatter::TryFormat(0, OperandManager::GetNodeDestType(context, &operation), zero);
            return zero;
        }
        if (isSigned && operation.StorageKind == StorageKind::StorageBuffer) {
            // The signed view of the buffer: GLSL compares as the memory's
            // type says.
            std::size_t dot = args.find('.');
            args.insert(dot, std::string(SignedViewSuffix));
        }
        AggregateType dstType = isSigned ? AggregateType::S32 : AggregateType::U32;
        int32_t count = operation.SourcesCount();
        for (int32_t i = count - (arity - 2); i < count; i++) {
            args += ", ";
            args += GetSourceExpr(context, operation.GetSource(i), dstType);
        }
    } else {
        for (int32_t i = 0; i < arity; i++) {
            if (i != 0)
                args += ", ";
            AggregateType type = InstructionInfo::GetSrcVarType(operation.Inst, i);
            args += GetSourceExpr(context, operation.GetSource(i), type);
        }
    }
    return std::string(info.OpName) + "(" + args + ")";
}

std::string OperandText(CodeGenContext& context, const AstOperation& operation, const InstInfo& info, int32_t index,
                        bool isLhs) {
    const IAstNode* source = operation.GetSource(index);
    AggregateType type = InstructionInfo::GetSrcVarType(operation.Inst, index);
    std::string text = GetSourceExpr(context, source, type);
    if (InstGenHelper::NeedsParenthesis(source, operation.Inst, info, isLhs))
        return "(" + text + ")";
    return text;
}

std::string OperatorForm(CodeGenContext& context, const AstOperation& operation, const InstInfo& info) {
    Instruction code = IntermediateRepresentation::InstCode(operation.Inst);
    if (code == Instruction::Return) {
        AggregateType returnType =
            context.CurrentFunction != nullptr ? context.CurrentFunction->ReturnType : AggregateType::Void;
        // A void function returns nothing, whatever it is handed; a function
        // with a result that is handed nothing returns an undefined value.
        if (returnType == AggregateType::Void)
            return "return";
        if (operation.SourcesCount() >= 1)
            return "return " + GetSourceExpr(context, operation.GetSource(0), returnType);
        return "return " + TypeConversion::ReinterpretCast(std::string("undef"), nullptr, AggregateType::S32,
                                                           returnType);
    }
    int32_t arity = Arity(info.Type);
    switch (arity) {
    case 0:
        return info.OpName;
    case 1: {
        std::string e0 = OperandText(context, operation, info, 0, false);
        return std::string(info.OpName) + e0;
    }
    case 2: {
        // GLSL's != on floats is true when either side is NaN; the guest's
        // (and the SPIR-V module's) ordered form is false then. A helper
        // reads each operand once.
        if (code == Instruction::CompareNotEqual && IsFloat(operation.Inst)) {
            AggregateType type = InstructionInfo::GetSrcVarType(operation.Inst, 0);
            std::string a = GetSourceExpr(context, operation.GetSource(0), type);
            std::string b = GetSourceExpr(context, operation.GetSource(1), type);
            return "Helper_OrderedNotEqual(" + a + ", " + b + ")";
        }
        std::string e0 = OperandText(context, operation, info, 0, true);
        std::string e1 = OperandText(context, operation, info, 1, false);
        return e0 + " " + info.OpName + " " + e1;
    }
    case 3: {
        std::string e0 = OperandText(context, operation, info, 0, false);
        std::string e1 = OperandText(context, operation, info, 1, false);
        std::string e2 = OperandText(context, operation, info, 2, false);
        return e0 + " " + info.OpName[0] + " " + e1 + " " + info.OpName[1] + " " + e2;
    }
    default:
        ThrowUnexpectedType(info.Type);
    }
}

std::string Special(CodeGenContext& context, const AstOperation& operation, const InstInfo& info) {
    switch (IntermediateRepresentation::InstCode(operation.Inst)) {
    case Instruction::Ballot:
        return InstGenBallot::Ballot(context, operation);
    case Instruction::Call:
        return InstGenCall::Call(context, operation);
    case Instruction::FSIBegin:
        return InstGenFSI::FSIBegin(context);
    case Instruction::FSIEnd:
        return InstGenFSI::FSIEnd(context);
    case Instruction::ImageLoad:
    case Instruction::ImageStore:
    case Instruction::ImageAtomic:
        return InstGenMemory::ImageLoadOrStore(context, operation);
    case Instruction::Load:
        return InstGenMemory::GenerateLoadOrStore(context, operation, false);
    case Instruction::Lod:
        return InstGenMemory::Lod(context, operation);
    case Instruction::Negate:
        return InstGen::Negate(context, operation, info);
    case Instruction::PackDouble2x32:
        return InstGenPacking::PackDouble2x32(context, operation);
    case Instruction::PackHalf2x16:
        return InstGenPacking::PackHalf2x16(context, operation);
    case Instruction::Shuffle:
        return InstGenShuffle::Shuffle(context, operation);
    case Instruction::Store:
        return InstGenMemory::GenerateLoadOrStore(context, operation, true);
    case Instruction::TextureSample:
        return InstGenMemory::TextureSample(context, operation);
    case Instruction::TextureQuerySamples:
        return InstGenMemory::TextureQuerySamples(context, operation);
    case Instruction::TextureQuerySize:
        return InstGenMemory::TextureQuerySize(context, operation);
    case Instruction::UnpackDouble2x32:
        return InstGenPacking::UnpackDouble2x32(context, operation);
    case Instruction::UnpackHalf2x16:
        return InstGenPacking::UnpackHalf2x16(context, operation);
    case Instruction::VectorExtract:
        return InstGenVector::VectorExtract(context, operation);
    default:
        ThrowUnexpectedType(InstType::Special);
    }
}

} // namespace

std::string GetSourceExpr(CodeGenContext& context, const IAstNode* node, AggregateType type) {
    AggregateType srcType = OperandManager::GetNodeDestType(context, node);
    return TypeConversion::ReinterpretCast(context, node, srcType, type);
}

std::string InstGen::GetExpression(CodeGenContext& context, const IAstNode* node) {
    if (const AstOperation* operation = StructuredIr::As<AstOperation>(node))
        return GetExpression(context, *operation);
    if (const AstOperand* operand = StructuredIr::As<AstOperand>(node))
        return context.OperandManager.GetExpression(context, *operand);
    throw Common::ArgumentException("Invalid node type \"" + InstGenHelper::NodeClassName(node) + "\".");
}

std::string InstGen::GetExpression(CodeGenContext& context, const AstOperation& operation) {
    Instruction code = IntermediateRepresentation::InstCode(operation.Inst);
    const InstInfo& info = InstGenHelper::GetInstructionInfo(operation.Inst);

    // What the SPIR-V module does where GLSL has no such operation in the
    // stage: no barrier without workgroups, device-wide ordering instead of
    // workgroup ordering, and a derivative of 0 outside fragment shaders.
    switch (code) {
    case Instruction::Barrier:
        if (!HasWorkgroups(context.Definitions.Stage))
            return std::string();
        break;
    case Instruction::GroupMemoryBarrier:
        if (!HasWorkgroupMemory(context.Definitions.Stage))
            return "memoryBarrier()";
        break;
    case Instruction::Ddx:
    case Instruction::Ddy:
        if (context.Definitions.Stage != ShaderStage::Fragment)
            return "0.0";
        break;
    default:
        break;
    }

    // Operations that GLSL knows in one stage only: elsewhere they fail,
    // named, instead of giving a text glslang rejects.
    ShaderStage stage = context.Definitions.Stage;
    bool stageless = (code == Instruction::Discard && stage != ShaderStage::Fragment) ||
                     ((code == Instruction::EmitVertex || code == Instruction::EndPrimitive) &&
                      stage != ShaderStage::Geometry);
    if (stageless) {
        throw Common::InvalidOperationException(std::string(IntermediateRepresentation::InstructionName(code)) +
                                                " cannot run in a " + ShaderStageName(stage) + " shader.");
    }

    if (IsFloatOnly(code) && !IsFloat(operation.Inst)) {
        // GLSL would convert the integers to floats; the SPIR-V module has no
        // such operation either.
        std::string_view name = IntermediateRepresentation::InstructionName(operation.Inst);
        throw Common::InvalidOperationException(std::string(name) + " has no integer form.");
    }

    if (Has(info.Type, InstType::Call))
        return CallForm(context, operation, info);
    if (Has(info.Type, InstType::Op))
        return OperatorForm(context, operation, info);
    if (Has(info.Type, InstType::Special))
        return Special(context, operation, info);
    ThrowUnexpectedType(info.Type);
}

std::string InstGen::Negate(CodeGenContext& context, const AstOperation& operation, const InstInfo&) {
    AggregateType type = InstructionInfo::GetSrcVarType(operation.Inst, 0);
    std::string zero;
    if (type == AggregateType::FP64)
        zero = "0.0";
    else
        NumberFormatter::TryFormat(0, type, zero);
    const IAstNode* source = operation.GetSource(0);
    std::string operand = GetSourceExpr(context, source, type);
    if (type == AggregateType::FP32 || type == AggregateType::FP64) {
        // 0.0 - x turns the negation of +0.0 into +0.0; the guest (and the
        // SPIR-V module) flip the sign bit and give -0.0. Unary minus does.
        static const InstInfo unary{"-", InstType::OpUnary, 0};
        if (InstGenHelper::NeedsParenthesis(source, Instruction::Negate, unary, false))
            operand = "(" + operand + ")";
        return "-" + operand;
    }
    const InstInfo& subtract = InstGenHelper::GetInstructionInfo(Instruction::Subtract);
    if (InstGenHelper::NeedsParenthesis(source, Instruction::Subtract, subtract, false))
        operand = "(" + operand + ")";
    return zero + " - " + operand;
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
