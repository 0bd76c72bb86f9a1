#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Instructions.h"

#include <array>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/IoMap.h"
#include "Zerivox.Graphics.Shader/CodeGen/Workgroups.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IrInst = IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using Spv::Generator::LiteralInteger;
using Spv::Generator::Module;
using StructuredIr::AstBlock;
using StructuredIr::AstBlockType;
using StructuredIr::AstOperand;
using StructuredIr::AstOperation;
using Translation::AggregateType;
using SpvInst = Spv::Generator::Instruction;

namespace {

using UnaryFn = SpvInst* (Module::*)(SpvInst*, SpvInst*);
using BinaryFn = SpvInst* (Module::*)(SpvInst*, SpvInst*, SpvInst*);
using TernaryFn = SpvInst* (Module::*)(SpvInst*, SpvInst*, SpvInst*, SpvInst*);

constexpr uint32_t ScopeDevice = static_cast<uint32_t>(spv::Scope::Device);
constexpr uint32_t ScopeWorkgroup = static_cast<uint32_t>(spv::Scope::Workgroup);
constexpr uint32_t ScopeSubgroup = static_cast<uint32_t>(spv::Scope::Subgroup);
constexpr uint32_t ScopeInvocation = static_cast<uint32_t>(spv::Scope::Invocation);
// AcquireRelease | WorkgroupMemory.
constexpr uint32_t BarrierSemantics = 0x108;
// AcquireRelease | UniformMemory | WorkgroupMemory | AtomicCounterMemory | ImageMemory.
constexpr uint32_t MemoryBarrierSemantics = 0xD48;

bool HasInstFlag(IrInst inst, IrInst flag) { return (inst & flag) == flag; }

// The type an operation computes in, chosen by its float flags.
AggregateType TypeByFlags(const AstOperation& operation) {
    if (HasInstFlag(operation.Inst, IrInst::FP64))
        return AggregateType::FP64;
    if (HasInstFlag(operation.Inst, IrInst::FP32))
        return AggregateType::FP32;
    return AggregateType::S32;
}

std::string InstText(IrInst inst) {
    std::string name(IntermediateRepresentation::InstructionName(inst));
    return name.empty() ? std::to_string(IntermediateRepresentation::InstIndex(inst)) : name;
}

BinaryFn Pick(AggregateType type, BinaryFn floatFn, BinaryFn intFn, const AstOperation& operation) {
    BinaryFn fn = type == AggregateType::S32 ? intFn : floatFn;
    if (fn == nullptr) {
        throw Common::InvalidOperationException(InstText(operation.Inst) + " has no integer form.");
    }
    return fn;
}

template <typename Fn> Fn PickAny(AggregateType type, Fn floatFn, Fn intFn, const AstOperation& operation) {
    Fn fn = type == AggregateType::S32 ? intFn : floatFn;
    if (fn == nullptr) {
        throw Common::InvalidOperationException(InstText(operation.Inst) + " has no integer form.");
    }
    return fn;
}

void DecorateContraction(CodeGenContext& context, const AstOperation& operation, AggregateType type, SpvInst* result) {
    if (type == AggregateType::S32)
        return;
    if (!context.HostCapabilities.HasReducedPrecision || operation.ForcePrecise) {
        context.Decorate(result, spv::Decoration::NoContraction);
    }
}

OperationResult GenerateUnary(CodeGenContext& context, const AstOperation& operation, UnaryFn floatFn, UnaryFn intFn) {
    AggregateType type = TypeByFlags(operation);
    UnaryFn fn = PickAny(type, floatFn, intFn, operation);
    SpvInst* resultType = context.GetType(type);
    SpvInst* a = context.Get(type, operation.GetSource(0));
    return OperationResult(type, (context.*fn)(resultType, a));
}

OperationResult GenerateBinary(CodeGenContext& context, const AstOperation& operation, BinaryFn floatFn,
                               BinaryFn intFn) {
    AggregateType type = TypeByFlags(operation);
    BinaryFn fn = Pick(type, floatFn, intFn, operation);
    SpvInst* resultType = context.GetType(type);
    SpvInst* a = context.Get(type, operation.GetSource(0));
    SpvInst* b = context.Get(type, operation.GetSource(1));
    SpvInst* result = (context.*fn)(resultType, a, b);
    DecorateContraction(context, operation, type, result);
    return OperationResult(type, result);
}

OperationResult GenerateTernary(CodeGenContext& context, const AstOperation& operation, TernaryFn floatFn,
                                TernaryFn intFn) {
    AggregateType type = TypeByFlags(operation);
    TernaryFn fn = PickAny(type, floatFn, intFn, operation);
    SpvInst* resultType = context.GetType(type);
    SpvInst* a = context.Get(type, operation.GetSource(0));
    SpvInst* b = context.Get(type, operation.GetSource(1));
    SpvInst* c = context.Get(type, operation.GetSource(2));
    SpvInst* result = (context.*fn)(resultType, a, b, c);
    DecorateContraction(context, operation, type, result);
    return OperationResult(type, result);
}

OperationResult GenerateCompare(CodeGenContext& context, const AstOperation& operation, BinaryFn floatFn,
                                BinaryFn intFn) {
    AggregateType type = TypeByFlags(operation);
    BinaryFn fn = Pick(type, floatFn, intFn, operation);
    SpvInst* boolType = context.TypeBool();
    SpvInst* a = context.Get(type, operation.GetSource(0));
    SpvInst* b = context.Get(type, operation.GetSource(1));
    return OperationResult(AggregateType::Bool, (context.*fn)(boolType, a, b));
}

OperationResult GenerateUnaryTyped(CodeGenContext& context, const AstOperation& operation, UnaryFn fn,
                                   AggregateType type) {
    SpvInst* resultType = context.GetType(type);
    SpvInst* a = context.Get(type, operation.GetSource(0));
    return OperationResult(type, (context.*fn)(resultType, a));
}

OperationResult GenerateBinaryTyped(CodeGenContext& context, const AstOperation& operation, BinaryFn fn,
                                    AggregateType operandType, AggregateType resultType) {
    SpvInst* spirvType = context.GetType(resultType);
    SpvInst* a = context.Get(operandType, operation.GetSource(0));
    SpvInst* b = context.Get(operandType, operation.GetSource(1));
    return OperationResult(resultType, (context.*fn)(spirvType, a, b));
}

OperationResult GenerateTernaryTyped(CodeGenContext& context, const AstOperation& operation, TernaryFn fn,
                                     AggregateType type0, AggregateType type12, AggregateType resultType) {
    SpvInst* spirvType = context.GetType(resultType);
    SpvInst* a = context.Get(type0, operation.GetSource(0));
    SpvInst* b = context.Get(type12, operation.GetSource(1));
    SpvInst* c = context.Get(type12, operation.GetSource(2));
    return OperationResult(resultType, (context.*fn)(spirvType, a, b, c));
}

OperationResult GenerateConversion(CodeGenContext& context, const AstOperation& operation, UnaryFn fn,
                                   AggregateType operandType, AggregateType resultType) {
    SpvInst* spirvType = context.GetType(resultType);
    SpvInst* a = context.Get(operandType, operation.GetSource(0));
    return OperationResult(resultType, (context.*fn)(spirvType, a));
}

// ---- table-driven generators ----------------------------------------------

#define ZV_UNARY(Name, FloatFn, IntFn)                                                                                 \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateUnary(context, operation, FloatFn, IntFn);                                                      \
    }
#define ZV_BINARY(Name, FloatFn, IntFn)                                                                                \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateBinary(context, operation, FloatFn, IntFn);                                                     \
    }
#define ZV_TERNARY(Name, FloatFn, IntFn)                                                                               \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateTernary(context, operation, FloatFn, IntFn);                                                    \
    }
#define ZV_COMPARE(Name, FloatFn, IntFn)                                                                               \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateCompare(context, operation, FloatFn, IntFn);                                                    \
    }
#define ZV_TYPED_BINARY(Name, Fn, OperandType, ResultType)                                                             \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateBinaryTyped(context, operation, Fn, AggregateType::OperandType, AggregateType::ResultType);     \
    }
#define ZV_TYPED_UNARY(Name, Fn, Type)                                                                                 \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateUnaryTyped(context, operation, Fn, AggregateType::Type);                                        \
    }
#define ZV_CONVERSION(Name, Fn, OperandType, ResultType)                                                               \
    OperationResult Generate##Name(CodeGenContext& context, const AstOperation& operation) {                           \
        return GenerateConversion(context, operation, Fn, AggregateType::OperandType, AggregateType::ResultType);      \
    }

ZV_UNARY(Absolute, &Module::GlslFAbs, &Module::GlslSAbs)
ZV_UNARY(Negate, &Module::FNegate, &Module::SNegate)
ZV_UNARY(Ceiling, &Module::GlslCeil, nullptr)
ZV_UNARY(Cosine, &Module::GlslCos, nullptr)
ZV_UNARY(ExponentB2, &Module::GlslExp2, nullptr)
ZV_UNARY(Floor, &Module::GlslFloor, nullptr)
ZV_UNARY(LogarithmB2, &Module::GlslLog2, nullptr)
ZV_UNARY(ReciprocalSquareRoot, &Module::GlslInverseSqrt, nullptr)
ZV_UNARY(Round, &Module::GlslRoundEven, nullptr)
ZV_UNARY(Sine, &Module::GlslSin, nullptr)
ZV_UNARY(SquareRoot, &Module::GlslSqrt, nullptr)
ZV_UNARY(Truncate, &Module::GlslTrunc, nullptr)
ZV_BINARY(Add, &Module::FAdd, &Module::IAdd)
ZV_BINARY(Subtract, &Module::FSub, &Module::ISub)
ZV_BINARY(Multiply, &Module::FMul, &Module::IMul)
ZV_BINARY(Divide, &Module::FDiv, &Module::SDiv)
ZV_BINARY(Maximum, &Module::GlslFMax, &Module::GlslSMax)
ZV_BINARY(Minimum, &Module::GlslFMin, &Module::GlslSMin)
ZV_BINARY(Modulo, &Module::FMod, nullptr)
ZV_TERNARY(Clamp, &Module::GlslFClamp, &Module::GlslSClamp)
ZV_TERNARY(FusedMultiplyAdd, &Module::GlslFma, nullptr)
ZV_COMPARE(CompareEqual, &Module::FOrdEqual, &Module::IEqual)
ZV_COMPARE(CompareNotEqual, &Module::FOrdNotEqual, &Module::INotEqual)
ZV_COMPARE(CompareGreater, &Module::FOrdGreaterThan, &Module::SGreaterThan)
ZV_COMPARE(CompareGreaterOrEqual, &Module::FOrdGreaterThanEqual, &Module::SGreaterThanEqual)
ZV_COMPARE(CompareLess, &Module::FOrdLessThan, &Module::SLessThan)
ZV_COMPARE(CompareLessOrEqual, &Module::FOrdLessThanEqual, &Module::SLessThanEqual)
ZV_TYPED_BINARY(CompareGreaterU32, &Module::UGreaterThan, U32, Bool)
ZV_TYPED_BINARY(CompareGreaterOrEqualU32, &Module::UGreaterThanEqual, U32, Bool)
ZV_TYPED_BINARY(CompareLessU32, &Module::ULessThan, U32, Bool)
ZV_TYPED_BINARY(CompareLessOrEqualU32, &Module::ULessThanEqual, U32, Bool)
ZV_TYPED_UNARY(LogicalNot, &Module::LogicalNot, Bool)
ZV_TYPED_BINARY(LogicalAnd, &Module::LogicalAnd, Bool, Bool)
ZV_TYPED_BINARY(LogicalOr, &Module::LogicalOr, Bool, Bool)
ZV_TYPED_BINARY(LogicalExclusiveOr, &Module::LogicalNotEqual, Bool, Bool)
ZV_TYPED_UNARY(BitCount, &Module::BitCount, S32)
ZV_TYPED_UNARY(BitfieldReverse, &Module::BitReverse, S32)
ZV_TYPED_UNARY(BitwiseNot, &Module::Not, S32)
ZV_TYPED_BINARY(BitwiseAnd, &Module::BitwiseAnd, S32, S32)
ZV_TYPED_BINARY(BitwiseOr, &Module::BitwiseOr, S32, S32)
ZV_TYPED_BINARY(BitwiseExclusiveOr, &Module::BitwiseXor, S32, S32)
ZV_TYPED_BINARY(ShiftLeft, &Module::ShiftLeftLogical, S32, S32)
ZV_TYPED_BINARY(ShiftRightS32, &Module::ShiftRightArithmetic, S32, S32)
ZV_TYPED_BINARY(ShiftRightU32, &Module::ShiftRightLogical, S32, S32)
ZV_TYPED_BINARY(MaximumU32, &Module::GlslUMax, U32, U32)
ZV_TYPED_BINARY(MinimumU32, &Module::GlslUMin, U32, U32)
ZV_CONVERSION(ConvertFP32ToFP64, &Module::FConvert, FP32, FP64)
ZV_CONVERSION(ConvertFP64ToFP32, &Module::FConvert, FP64, FP32)
ZV_CONVERSION(ConvertFP32ToS32, &Module::ConvertFToS, FP32, S32)
ZV_CONVERSION(ConvertFP32ToU32, &Module::ConvertFToU, FP32, U32)
ZV_CONVERSION(ConvertFP64ToS32, &Module::ConvertFToS, FP64, S32)
ZV_CONVERSION(ConvertFP64ToU32, &Module::ConvertFToU, FP64, U32)
ZV_CONVERSION(ConvertS32ToFP32, &Module::ConvertSToF, S32, FP32)
ZV_CONVERSION(ConvertS32ToFP64, &Module::ConvertSToF, S32, FP64)
ZV_CONVERSION(ConvertU32ToFP32, &Module::ConvertUToF, U32, FP32)
ZV_CONVERSION(ConvertU32ToFP64, &Module::ConvertUToF, U32, FP64)

OperationResult GenerateClampU32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateTernaryTyped(context, operation, &Module::GlslUClamp, AggregateType::U32, AggregateType::U32,
                                AggregateType::U32);
}

OperationResult GenerateBitfieldExtractU32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateTernaryTyped(context, operation, &Module::BitFieldUExtract, AggregateType::U32, AggregateType::U32,
                                AggregateType::U32);
}

OperationResult GenerateBitfieldExtractS32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateTernaryTyped(context, operation, &Module::BitFieldSExtract, AggregateType::S32, AggregateType::U32,
                                AggregateType::S32);
}

OperationResult GenerateBitfieldInsert(CodeGenContext& context, const AstOperation& operation) {
    SpvInst* type = context.TypeU32();
    SpvInst* base = context.Get(AggregateType::U32, operation.GetSource(0));
    SpvInst* insert = context.Get(AggregateType::U32, operation.GetSource(1));
    SpvInst* offset = context.Get(AggregateType::U32, operation.GetSource(2));
    SpvInst* count = context.Get(AggregateType::U32, operation.GetSource(3));
    return OperationResult(AggregateType::U32, context.BitFieldInsert(type, base, insert, offset, count));
}

// Derivatives exist only where invocations run in quads (fragment shaders);
// elsewhere the derivative of any value is 0.
OperationResult GenerateDerivative(CodeGenContext& context, const AstOperation& operation, UnaryFn fn) {
    if (context.Definitions.Stage != ShaderStage::Fragment) {
        context.Get(AggregateType::FP32, operation.GetSource(0));
        return OperationResult(AggregateType::FP32, context.ConstantFP32(0.0f));
    }
    return GenerateUnaryTyped(context, operation, fn, AggregateType::FP32);
}

OperationResult GenerateDdx(CodeGenContext& context, const AstOperation& operation) {
    return GenerateDerivative(context, operation, &Module::DPdx);
}

OperationResult GenerateDdy(CodeGenContext& context, const AstOperation& operation) {
    return GenerateDerivative(context, operation, &Module::DPdy);
}

// ---- generators with their own logic --------------------------------------

OperationResult GenerateBallot(CodeGenContext& context, const AstOperation& operation) {
    SpvInst* u32 = context.TypeU32();
    SpvInst* uvec4 = context.TypeVectorOf(u32, 4);
    SpvInst* scope = context.ConstantU32(ScopeSubgroup);
    SpvInst* predicate = context.Get(AggregateType::Bool, operation.GetSource(0));
    SpvInst* mask = context.GroupNonUniformBallot(uvec4, scope, predicate);
    SpvInst* resultType = context.TypeU32();
    LiteralInteger* index = LiteralInteger::FromInt32(operation.Index);
    SpvInst* result = context.CompositeExtract(resultType, mask, std::span<LiteralInteger* const>(&index, 1));
    return OperationResult(AggregateType::U32, result);
}

OperationResult GenerateBarrier(CodeGenContext& context, const AstOperation&) {
    if (!HasWorkgroups(context.Definitions.Stage))
        return OperationResult::Invalid();
    bool emit = context.HostCapabilities.HasBarrierInDivergentCode ||
                (context.CurrentBlock != nullptr && context.CurrentBlock->Type == AstBlockType::Main &&
                 !context.MayHaveReturned && context.IsMainFunction);
    if (emit) {
        // The invocations of a tessellation control patch share no workgroup
        // memory, and the GLSL memory model gives them no workgroup memory
        // scope: the barrier only synchronises their execution, which also
        // makes their output writes visible to each other.
        const bool patch = context.Definitions.Stage == ShaderStage::TessellationControl;
        SpvInst* execution = context.ConstantU32(ScopeWorkgroup);
        SpvInst* memory = context.ConstantU32(patch ? ScopeInvocation : ScopeWorkgroup);
        SpvInst* semantics = context.ConstantU32(patch ? 0u : BarrierSemantics);
        context.ControlBarrier(execution, memory, semantics);
    }
    return OperationResult::Invalid();
}

OperationResult GenerateCall(CodeGenContext& context, const AstOperation& operation) {
    const AstOperand* callee = StructuredIr::As<AstOperand>(operation.GetSource(0));
    if (callee == nullptr)
        throw Common::InvalidOperationException("The callee of a call must be an operand.");
    if (callee->Value < 0 || static_cast<std::size_t>(callee->Value) >= context.Functions.size()) {
        throw Common::KeyNotFoundException("Function " + std::to_string(callee->Value) + " does not exist.");
    }
    auto [function, spirvFunction] = context.Functions[static_cast<std::size_t>(callee->Value)];
    std::vector<SpvInst*> arguments;
    arguments.reserve(static_cast<std::size_t>(operation.SourcesCount() - 1));
    for (int32_t i = 1; i < operation.SourcesCount(); i++) {
        const AstOperand* operand = StructuredIr::As<AstOperand>(operation.GetSource(i));
        if (operand == nullptr || operand->Type != OperandType::LocalVariable) {
            throw Common::InvalidOperationException("Call arguments must be local variables.");
        }
        auto it = context.Locals.find(operand);
        if (it == context.Locals.end())
            throw Common::KeyNotFoundException("The local variable was never declared.");
        arguments.push_back(it->second);
    }
    SpvInst* returnType = context.GetType(function->ReturnType);
    SpvInst* result = context.FunctionCall(returnType, spirvFunction, arguments);
    return OperationResult(function->ReturnType, result);
}

OperationResult GenerateComment(CodeGenContext&, const AstOperation&) { return OperationResult::Invalid(); }

OperationResult GenerateConditionalSelect(CodeGenContext& context, const AstOperation& operation) {
    SpvInst* condition = context.Get(AggregateType::Bool, operation.GetSource(0));
    AggregateType type = TypeByFlags(operation);
    SpvInst* a = context.Get(type, operation.GetSource(1));
    SpvInst* b = context.Get(type, operation.GetSource(2));
    SpvInst* resultType = context.GetType(type);
    return OperationResult(type, context.Select(resultType, condition, a, b));
}

OperationResult GenerateDiscard(CodeGenContext& context, const AstOperation&) {
    context.Kill();
    context.MarkTerminated();
    return OperationResult::Invalid();
}

OperationResult GenerateEmitVertex(CodeGenContext& context, const AstOperation&) {
    context.EmitVertex();
    return OperationResult::Invalid();
}

OperationResult GenerateEndPrimitive(CodeGenContext& context, const AstOperation&) {
    context.EndPrimitive();
    return OperationResult::Invalid();
}

OperationResult GenerateFSIBegin(CodeGenContext& context, const AstOperation&) {
    if (context.HostCapabilities.HasFragmentShaderInterlock)
        context.BeginInvocationInterlockEXT();
    return OperationResult::Invalid();
}

OperationResult GenerateFSIEnd(CodeGenContext& context, const AstOperation&) {
    if (context.HostCapabilities.HasFragmentShaderInterlock)
        context.EndInvocationInterlockEXT();
    return OperationResult::Invalid();
}

OperationResult GenerateFindLSB(CodeGenContext& context, const AstOperation& operation) {
    return GenerateConversion(context, operation, &Module::GlslFindILsb, AggregateType::U32, AggregateType::U32);
}

OperationResult GenerateFindMSBS32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateConversion(context, operation, &Module::GlslFindSMsb, AggregateType::S32, AggregateType::U32);
}

OperationResult GenerateFindMSBU32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateConversion(context, operation, &Module::GlslFindUMsb, AggregateType::U32, AggregateType::U32);
}

OperationResult GenerateGroupMemoryBarrier(CodeGenContext& context, const AstOperation&) {
    const bool workgroupMemory = HasWorkgroupMemory(context.Definitions.Stage);
    SpvInst* memory = context.ConstantU32(workgroupMemory ? ScopeWorkgroup : ScopeDevice);
    SpvInst* semantics = context.ConstantU32(MemoryBarrierSemantics);
    context.MemoryBarrier(memory, semantics);
    return OperationResult::Invalid();
}

OperationResult GenerateMemoryBarrier(CodeGenContext& context, const AstOperation&) {
    SpvInst* memory = context.ConstantU32(ScopeDevice);
    SpvInst* semantics = context.ConstantU32(MemoryBarrierSemantics);
    context.MemoryBarrier(memory, semantics);
    return OperationResult::Invalid();
}

OperationResult GenerateIsNan(CodeGenContext& context, const AstOperation& operation) {
    AggregateType type = HasInstFlag(operation.Inst, IrInst::FP64) ? AggregateType::FP64 : AggregateType::FP32;
    SpvInst* boolType = context.TypeBool();
    SpvInst* value = context.Get(type, operation.GetSource(0));
    return OperationResult(AggregateType::Bool, context.IsNan(boolType, value));
}

// The innermost loop around the block the walker stands in.
const AstBlock* FindLoop(CodeGenContext& context) {
    for (const AstBlock* block = context.CurrentBlock; block != nullptr; block = block->Parent()) {
        if (block->Type == AstBlockType::DoWhile)
            return block;
    }
    throw Common::InvalidOperationException("Found a loop exit outside of any loop.");
}

OperationResult GenerateLoopBreak(CodeGenContext& context, const AstOperation&) {
    const AstBlock* loop = FindLoop(context);
    if (loop->Parent() == nullptr)
        throw Common::InvalidOperationException("A loop must be inside a block.");
    CodeGenContext::BlockState& state = context.GetBlockStateLazy(loop->Parent());
    SpvInst* target = state.GetLabel(context, state.EntryCount);
    context.Branch(target);
    context.MarkTerminated();
    return OperationResult::Invalid();
}

OperationResult GenerateLoopContinue(CodeGenContext& context, const AstOperation&) {
    const AstBlock* loop = FindLoop(context);
    if (context.LoopTargets == nullptr)
        throw Common::InvalidOperationException("No loop is being generated.");
    auto it = context.LoopTargets->find(loop);
    if (it == context.LoopTargets->end())
        throw Common::KeyNotFoundException("The loop was never opened.");
    context.Branch(it->second.second);
    context.MarkTerminated();
    return OperationResult::Invalid();
}

OperationResult GenerateMultiplyHigh(CodeGenContext& context, const AstOperation& operation, AggregateType type,
                                     BinaryFn fn) {
    SpvInst* member0 = context.GetType(type);
    SpvInst* member1 = context.GetType(type);
    std::array<SpvInst*, 2> members{member0, member1};
    SpvInst* structType = context.TypeStruct(false, members);
    SpvInst* a = context.Get(type, operation.GetSource(0));
    SpvInst* b = context.Get(type, operation.GetSource(1));
    SpvInst* product = (context.*fn)(structType, a, b);
    SpvInst* resultType = context.GetType(type);
    LiteralInteger* high = LiteralInteger::FromInt32(1);
    SpvInst* result = context.CompositeExtract(resultType, product, std::span<LiteralInteger* const>(&high, 1));
    return OperationResult(type, result);
}

OperationResult GenerateMultiplyHighS32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateMultiplyHigh(context, operation, AggregateType::S32, &Module::SMulExtended);
}

OperationResult GenerateMultiplyHighU32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateMultiplyHigh(context, operation, AggregateType::U32, &Module::UMulExtended);
}

OperationResult GeneratePack(CodeGenContext& context, const AstOperation& operation, AggregateType elementType,
                             AggregateType resultType, UnaryFn fn) {
    SpvInst* a = context.Get(elementType, operation.GetSource(0));
    SpvInst* b = context.Get(elementType, operation.GetSource(1));
    SpvInst* element = context.GetType(elementType);
    SpvInst* vectorType = context.TypeVectorOf(element, 2);
    std::array<SpvInst*, 2> parts{a, b};
    SpvInst* vector = context.CompositeConstruct(vectorType, parts);
    SpvInst* type = context.GetType(resultType);
    return OperationResult(resultType, (context.*fn)(type, vector));
}

OperationResult GeneratePackDouble2x32(CodeGenContext& context, const AstOperation& operation) {
    return GeneratePack(context, operation, AggregateType::U32, AggregateType::FP64, &Module::GlslPackDouble2x32);
}

OperationResult GeneratePackHalf2x16(CodeGenContext& context, const AstOperation& operation) {
    return GeneratePack(context, operation, AggregateType::FP32, AggregateType::U32, &Module::GlslPackHalf2x16);
}

OperationResult GenerateUnpack(CodeGenContext& context, const AstOperation& operation, AggregateType sourceType,
                               AggregateType elementType, UnaryFn fn) {
    if (operation.Index < 0 || operation.Index > 1) {
        throw Common::ArgumentOutOfRangeException("An unpacked half must be 0 or 1.");
    }
    SpvInst* element = context.GetType(elementType);
    SpvInst* vectorType = context.TypeVectorOf(element, 2);
    SpvInst* value = context.Get(sourceType, operation.GetSource(0));
    SpvInst* vector = (context.*fn)(vectorType, value);
    SpvInst* resultType = context.GetType(elementType);
    LiteralInteger* index = LiteralInteger::FromInt32(operation.Index);
    SpvInst* result = context.CompositeExtract(resultType, vector, std::span<LiteralInteger* const>(&index, 1));
    return OperationResult(elementType, result);
}

OperationResult GenerateUnpackDouble2x32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateUnpack(context, operation, AggregateType::FP64, AggregateType::U32, &Module::GlslUnpackDouble2x32);
}

OperationResult GenerateUnpackHalf2x16(CodeGenContext& context, const AstOperation& operation) {
    return GenerateUnpack(context, operation, AggregateType::U32, AggregateType::FP32, &Module::GlslUnpackHalf2x16);
}

OperationResult GenerateReturn(CodeGenContext& context, const AstOperation& operation) {
    context.MayHaveReturned = true;
    AggregateType returnType =
        context.CurrentFunction != nullptr ? context.CurrentFunction->ReturnType : AggregateType::Void;
    if (returnType == AggregateType::Void) {
        // A value handed to a function without result has nowhere to go.
        context.Return();
    } else if (operation.SourcesCount() != 0) {
        SpvInst* value = context.Get(returnType, operation.GetSource(0));
        context.ReturnValue(value);
    } else {
        SpvInst* value = context.GetUndefined(returnType);
        context.ReturnValue(value);
    }
    context.MarkTerminated();
    return OperationResult::Invalid();
}

using ShuffleFn = SpvInst* (Module::*)(SpvInst*, SpvInst*, SpvInst*, SpvInst*);

OperationResult GenerateShuffleWith(CodeGenContext& context, const AstOperation& operation, ShuffleFn fn) {
    SpvInst* value = context.Get(AggregateType::FP32, operation.GetSource(0));
    SpvInst* index = context.Get(AggregateType::U32, operation.GetSource(1));
    SpvInst* resultType = context.TypeFP32();
    SpvInst* scope = context.ConstantU32(ScopeSubgroup);
    return OperationResult(AggregateType::FP32, (context.*fn)(resultType, scope, value, index));
}

OperationResult GenerateShuffle(CodeGenContext& context, const AstOperation& operation) {
    return GenerateShuffleWith(context, operation, &Module::GroupNonUniformShuffle);
}

OperationResult GenerateShuffleDown(CodeGenContext& context, const AstOperation& operation) {
    return GenerateShuffleWith(context, operation, &Module::GroupNonUniformShuffleDown);
}

OperationResult GenerateShuffleUp(CodeGenContext& context, const AstOperation& operation) {
    return GenerateShuffleWith(context, operation, &Module::GroupNonUniformShuffleUp);
}

OperationResult GenerateShuffleXor(CodeGenContext& context, const AstOperation& operation) {
    return GenerateShuffleWith(context, operation, &Module::GroupNonUniformShuffleXor);
}

// a and b weighted per lane by a 2-bit selector from the mask: 0 gives a + b,
// 1 b - a, 2 a - b, 3 b. The quad's first lane takes the top entry (bits 6-7)
// and its last lane the bottom one (bits 0-1), as the hardware does.
OperationResult GenerateSwizzleAdd(CodeGenContext& context, const AstOperation& operation) {
    SpvInst* a = context.Get(AggregateType::FP32, operation.GetSource(0));
    SpvInst* b = context.Get(AggregateType::FP32, operation.GetSource(1));
    SpvInst* mask = context.Get(AggregateType::U32, operation.GetSource(2));

    SpvInst* floatType = context.TypeFP32();
    SpvInst* vec4 = context.TypeVectorOf(floatType, 4);
    SpvInst* one = context.ConstantFP32(1.0f);
    SpvInst* minusOne = context.ConstantFP32(-1.0f);
    SpvInst* zero = context.ConstantFP32(0.0f);
    std::array<SpvInst*, 4> aValues{one, minusOne, one, zero};
    std::array<SpvInst*, 4> bValues{one, one, minusOne, one};
    SpvInst* aCoefficients = context.ConstantComposite(vec4, aValues);
    SpvInst* bCoefficients = context.ConstantComposite(vec4, bValues);

    SpvInst* lane = Instructions::GetScalarInput(context, IoVariable::SubgroupLaneId);
    SpvInst* u32 = context.TypeU32();
    SpvInst* three = context.ConstantU32(3);
    SpvInst* quadLane = context.BitwiseAnd(u32, lane, three);
    SpvInst* entry = context.BitwiseXor(u32, quadLane, three);
    SpvInst* oneU = context.ConstantU32(1);
    SpvInst* shift = context.ShiftLeftLogical(u32, entry, oneU);
    SpvInst* shifted = context.ShiftRightLogical(u32, mask, shift);
    SpvInst* selector = context.BitwiseAnd(u32, shifted, three);

    SpvInst* ca = context.VectorExtractDynamic(floatType, aCoefficients, selector);
    SpvInst* cb = context.VectorExtractDynamic(floatType, bCoefficients, selector);
    SpvInst* weightedA = context.FMul(floatType, a, ca);
    SpvInst* weightedB = context.FMul(floatType, b, cb);
    SpvInst* result = context.FAdd(floatType, weightedA, weightedB);
    return OperationResult(AggregateType::FP32, result);
}

OperationResult GenerateVectorExtract(CodeGenContext& context, const AstOperation& operation) {
    AggregateType vectorType = AggregateType::Invalid;
    SpvInst* vector = context.GetWithType(operation.GetSource(0), vectorType);
    uint32_t countBits = static_cast<uint32_t>(vectorType) & static_cast<uint32_t>(AggregateType::ElementCountMask);
    AggregateType elementType = static_cast<AggregateType>(static_cast<uint32_t>(vectorType) & ~countBits);
    if (countBits == 0) {
        // A single component is its own only element.
        return OperationResult(elementType, vector);
    }
    const AstOperand* index = StructuredIr::As<AstOperand>(operation.GetSource(1));
    if (index != nullptr && index->Type == OperandType::Constant) {
        int32_t components = static_cast<int32_t>(countBits >> 8) + 1;
        if (index->Value < 0 || index->Value >= components) {
            throw Common::ArgumentOutOfRangeException("Vector component " + std::to_string(index->Value) +
                                                      " is out of range.");
        }
        SpvInst* resultType = context.GetType(elementType);
        LiteralInteger* literal = LiteralInteger::FromInt32(index->Value);
        SpvInst* result = context.CompositeExtract(resultType, vector, std::span<LiteralInteger* const>(&literal, 1));
        return OperationResult(elementType, result);
    }
    SpvInst* dynamicIndex = context.Get(AggregateType::S32, operation.GetSource(1));
    SpvInst* resultType = context.GetType(elementType);
    return OperationResult(elementType, context.VectorExtractDynamic(resultType, vector, dynamicIndex));
}

OperationResult GenerateVote(CodeGenContext& context, const AstOperation& operation, BinaryFn fn) {
    SpvInst* boolType = context.TypeBool();
    SpvInst* scope = context.ConstantU32(ScopeSubgroup);
    SpvInst* predicate = context.Get(AggregateType::Bool, operation.GetSource(0));
    return OperationResult(AggregateType::Bool, (context.*fn)(boolType, scope, predicate));
}

OperationResult GenerateVoteAll(CodeGenContext& context, const AstOperation& operation) {
    return GenerateVote(context, operation, &Module::GroupNonUniformAll);
}

OperationResult GenerateVoteAllEqual(CodeGenContext& context, const AstOperation& operation) {
    return GenerateVote(context, operation, &Module::GroupNonUniformAllEqual);
}

OperationResult GenerateVoteAny(CodeGenContext& context, const AstOperation& operation) {
    return GenerateVote(context, operation, &Module::GroupNonUniformAny);
}

constexpr std::size_t TableSize = static_cast<std::size_t>(IrInst::Count);

// Which entries are set is kept beside the pointers: comparing the address
// of a function defined in another file with null is not a constant
// expression in every build (sanitizer builds keep the comparison).
struct GeneratorTable {
    std::array<Instructions::Generator, TableSize> Generators{};
    std::array<bool, TableSize> IsSet{};
};

constexpr GeneratorTable BuildTable() {
    GeneratorTable table{};
    auto set = [&table](IrInst inst, Instructions::Generator generator) {
        table.Generators[IntermediateRepresentation::InstIndex(inst)] = generator;
        table.IsSet[IntermediateRepresentation::InstIndex(inst)] = true;
    };
    set(IrInst::Absolute, GenerateAbsolute);
    set(IrInst::Add, GenerateAdd);
    set(IrInst::AtomicAdd, Instructions::GenerateAtomicAdd);
    set(IrInst::AtomicAnd, Instructions::GenerateAtomicAnd);
    set(IrInst::AtomicCompareAndSwap, Instructions::GenerateAtomicCompareAndSwap);
    set(IrInst::AtomicMinS32, Instructions::GenerateAtomicMinS32);
    set(IrInst::AtomicMinU32, Instructions::GenerateAtomicMinU32);
    set(IrInst::AtomicMaxS32, Instructions::GenerateAtomicMaxS32);
    set(IrInst::AtomicMaxU32, Instructions::GenerateAtomicMaxU32);
    set(IrInst::AtomicOr, Instructions::GenerateAtomicOr);
    set(IrInst::AtomicSwap, Instructions::GenerateAtomicSwap);
    set(IrInst::AtomicXor, Instructions::GenerateAtomicXor);
    set(IrInst::Ballot, GenerateBallot);
    set(IrInst::Barrier, GenerateBarrier);
    set(IrInst::BitCount, GenerateBitCount);
    set(IrInst::BitfieldExtractS32, GenerateBitfieldExtractS32);
    set(IrInst::BitfieldExtractU32, GenerateBitfieldExtractU32);
    set(IrInst::BitfieldInsert, GenerateBitfieldInsert);
    set(IrInst::BitfieldReverse, GenerateBitfieldReverse);
    set(IrInst::BitwiseAnd, GenerateBitwiseAnd);
    set(IrInst::BitwiseExclusiveOr, GenerateBitwiseExclusiveOr);
    set(IrInst::BitwiseNot, GenerateBitwiseNot);
    set(IrInst::BitwiseOr, GenerateBitwiseOr);
    set(IrInst::Call, GenerateCall);
    set(IrInst::Ceiling, GenerateCeiling);
    set(IrInst::Clamp, GenerateClamp);
    set(IrInst::ClampU32, GenerateClampU32);
    set(IrInst::Comment, GenerateComment);
    set(IrInst::CompareEqual, GenerateCompareEqual);
    set(IrInst::CompareGreater, GenerateCompareGreater);
    set(IrInst::CompareGreaterOrEqual, GenerateCompareGreaterOrEqual);
    set(IrInst::CompareGreaterOrEqualU32, GenerateCompareGreaterOrEqualU32);
    set(IrInst::CompareGreaterU32, GenerateCompareGreaterU32);
    set(IrInst::CompareLess, GenerateCompareLess);
    set(IrInst::CompareLessOrEqual, GenerateCompareLessOrEqual);
    set(IrInst::CompareLessOrEqualU32, GenerateCompareLessOrEqualU32);
    set(IrInst::CompareLessU32, GenerateCompareLessU32);
    set(IrInst::CompareNotEqual, GenerateCompareNotEqual);
    set(IrInst::ConditionalSelect, GenerateConditionalSelect);
    set(IrInst::ConvertFP32ToFP64, GenerateConvertFP32ToFP64);
    set(IrInst::ConvertFP64ToFP32, GenerateConvertFP64ToFP32);
    set(IrInst::ConvertFP32ToS32, GenerateConvertFP32ToS32);
    set(IrInst::ConvertFP32ToU32, GenerateConvertFP32ToU32);
    set(IrInst::ConvertFP64ToS32, GenerateConvertFP64ToS32);
    set(IrInst::ConvertFP64ToU32, GenerateConvertFP64ToU32);
    set(IrInst::ConvertS32ToFP32, GenerateConvertS32ToFP32);
    set(IrInst::ConvertS32ToFP64, GenerateConvertS32ToFP64);
    set(IrInst::ConvertU32ToFP32, GenerateConvertU32ToFP32);
    set(IrInst::ConvertU32ToFP64, GenerateConvertU32ToFP64);
    set(IrInst::Cosine, GenerateCosine);
    set(IrInst::Ddx, GenerateDdx);
    set(IrInst::Ddy, GenerateDdy);
    set(IrInst::Discard, GenerateDiscard);
    set(IrInst::Divide, GenerateDivide);
    set(IrInst::EmitVertex, GenerateEmitVertex);
    set(IrInst::EndPrimitive, GenerateEndPrimitive);
    set(IrInst::ExponentB2, GenerateExponentB2);
    set(IrInst::FSIBegin, GenerateFSIBegin);
    set(IrInst::FSIEnd, GenerateFSIEnd);
    set(IrInst::FindLSB, GenerateFindLSB);
    set(IrInst::FindMSBS32, GenerateFindMSBS32);
    set(IrInst::FindMSBU32, GenerateFindMSBU32);
    set(IrInst::Floor, GenerateFloor);
    set(IrInst::FusedMultiplyAdd, GenerateFusedMultiplyAdd);
    set(IrInst::GroupMemoryBarrier, GenerateGroupMemoryBarrier);
    set(IrInst::ImageAtomic, Instructions::GenerateImageAtomic);
    set(IrInst::ImageLoad, Instructions::GenerateImageLoad);
    set(IrInst::ImageStore, Instructions::GenerateImageStore);
    set(IrInst::IsNan, GenerateIsNan);
    set(IrInst::Load, Instructions::GenerateLoad);
    set(IrInst::Lod, Instructions::GenerateLod);
    set(IrInst::LogarithmB2, GenerateLogarithmB2);
    set(IrInst::LogicalAnd, GenerateLogicalAnd);
    set(IrInst::LogicalExclusiveOr, GenerateLogicalExclusiveOr);
    set(IrInst::LogicalNot, GenerateLogicalNot);
    set(IrInst::LogicalOr, GenerateLogicalOr);
    set(IrInst::LoopBreak, GenerateLoopBreak);
    set(IrInst::LoopContinue, GenerateLoopContinue);
    set(IrInst::Maximum, GenerateMaximum);
    set(IrInst::MaximumU32, GenerateMaximumU32);
    set(IrInst::MemoryBarrier, GenerateMemoryBarrier);
    set(IrInst::Minimum, GenerateMinimum);
    set(IrInst::MinimumU32, GenerateMinimumU32);
    set(IrInst::Modulo, GenerateModulo);
    set(IrInst::Multiply, GenerateMultiply);
    set(IrInst::MultiplyHighS32, GenerateMultiplyHighS32);
    set(IrInst::MultiplyHighU32, GenerateMultiplyHighU32);
    set(IrInst::Negate, GenerateNegate);
    set(IrInst::PackDouble2x32, GeneratePackDouble2x32);
    set(IrInst::PackHalf2x16, GeneratePackHalf2x16);
    set(IrInst::ReciprocalSquareRoot, GenerateReciprocalSquareRoot);
    set(IrInst::Return, GenerateReturn);
    set(IrInst::Round, GenerateRound);
    set(IrInst::ShiftLeft, GenerateShiftLeft);
    set(IrInst::ShiftRightS32, GenerateShiftRightS32);
    set(IrInst::ShiftRightU32, GenerateShiftRightU32);
    set(IrInst::Shuffle, GenerateShuffle);
    set(IrInst::ShuffleDown, GenerateShuffleDown);
    set(IrInst::ShuffleUp, GenerateShuffleUp);
    set(IrInst::ShuffleXor, GenerateShuffleXor);
    set(IrInst::Sine, GenerateSine);
    set(IrInst::SquareRoot, GenerateSquareRoot);
    set(IrInst::Store, Instructions::GenerateStore);
    set(IrInst::Subtract, GenerateSubtract);
    set(IrInst::SwizzleAdd, GenerateSwizzleAdd);
    set(IrInst::TextureSample, Instructions::GenerateTextureSample);
    set(IrInst::TextureQuerySamples, Instructions::GenerateTextureQuerySamples);
    set(IrInst::TextureQuerySize, Instructions::GenerateTextureQuerySize);
    set(IrInst::Truncate, GenerateTruncate);
    set(IrInst::UnpackDouble2x32, GenerateUnpackDouble2x32);
    set(IrInst::UnpackHalf2x16, GenerateUnpackHalf2x16);
    set(IrInst::VectorExtract, GenerateVectorExtract);
    set(IrInst::VoteAll, GenerateVoteAll);
    set(IrInst::VoteAllEqual, GenerateVoteAllEqual);
    set(IrInst::VoteAny, GenerateVoteAny);
    return table;
}

constexpr GeneratorTable Table = BuildTable();

// Every instruction that reaches the back end as an expression has a
// generator; only the structural ones (labels, branches, copies) may lack one.
constexpr bool EveryExpressionHasGenerator() {
    for (std::size_t i = 0; i < TableSize; i++) {
        auto inst = static_cast<IrInst>(i);
        if (!Table.IsSet[i] && !IntermediateRepresentation::InstructionExtensions::IsStructural(inst)) return false;
    }
    return true;
}
static_assert(EveryExpressionHasGenerator(), "an IR instruction has no SPIR-V generator");

} // namespace

OperationResult Instructions::Generate(CodeGenContext& context, const AstOperation& operation) {
    uint32_t index = IntermediateRepresentation::InstIndex(operation.Inst);
    if (index >= TableSize) {
        throw Common::IndexOutOfRangeException("Instruction " + std::to_string(index) + " is out of range.");
    }
    Generator generator = Table.Generators[index];
    if (generator == nullptr)
        throw Common::NotImplementedException(InstText(operation.Inst));
    return generator(context, operation);
}

SpvInst* Instructions::GetScalarInput(CodeGenContext& context, IoVariable ioVariable) {
    AggregateType type = IoMap::GetSpirvBuiltIn(ioVariable).second;
    AggregateType elementType = type & AggregateType::ElementTypeMask;
    SpvInst* variable = context.Inputs.At(StructuredIr::IoDefinition(StorageKind::Input, ioVariable, 0, 0));
    SpvInst* resultType = context.GetType(elementType);
    return context.Load(resultType, variable);
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
