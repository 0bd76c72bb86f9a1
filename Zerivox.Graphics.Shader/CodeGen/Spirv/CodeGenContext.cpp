#include "Zerivox.Graphics.Shader/CodeGen/Spirv/CodeGenContext.h"

#include <algorithm>
#include <bit>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/CodeGenParameters.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Instructions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IntermediateRepresentation::OperandType;
using Spv::Generator::LiteralInteger;
using StructuredIr::AstNodeKind;
using StructuredIr::AstOperand;
using StructuredIr::AstOperation;
using StructuredIr::IAstNode;
using Translation::AggregateType;

namespace {

constexpr uint32_t SpirvVersion13 = 0x00010300;

std::string AggregateTypeText(AggregateType type) {
    switch (type) {
    case AggregateType::Invalid:
        return "Invalid";
    case AggregateType::Void:
        return "Void";
    case AggregateType::Bool:
        return "Bool";
    case AggregateType::FP32:
        return "FP32";
    case AggregateType::FP64:
        return "FP64";
    case AggregateType::S32:
        return "S32";
    case AggregateType::U32:
        return "U32";
    default:
        return std::to_string(static_cast<uint32_t>(type));
    }
}

const char* NodeKindName(AstNodeKind kind) {
    switch (kind) {
    case AstNodeKind::Block:
        return "AstBlock";
    case AstNodeKind::Operand:
        return "AstOperand";
    case AstNodeKind::Operation:
        return "AstOperation";
    case AstNodeKind::TextureOperation:
        return "AstTextureOperation";
    case AstNodeKind::Assignment:
        return "AstAssignment";
    case AstNodeKind::Comment:
        return "AstComment";
    }
    return "IAstNode";
}

[[noreturn]] void ThrowInvalidOperandType(OperandType type) {
    std::string name(IntermediateRepresentation::OperandTypeName(type));
    if (name.empty())
        name = std::to_string(static_cast<int32_t>(type));
    throw Common::ArgumentException("Invalid operand type \"" + name + "\".");
}

bool IsScalar(AggregateType type) {
    return (static_cast<uint32_t>(type) & ~static_cast<uint32_t>(AggregateType::ElementTypeMask)) == 0;
}

} // namespace

CodeGenContext::CodeGenContext(const StructuredIr::StructuredProgramInfo& info, const CodeGenParameters& parameters,
                               Spv::Generator::GeneratorPool<Instruction>* instructionPool,
                               Spv::Generator::GeneratorPool<LiteralInteger>* literalPool)
    : Module(SpirvVersion13, instructionPool, literalPool), Info(info), IoDefinitions(info.IoDefinitions),
      AttributeUsage(parameters.AttributeUsage), Definitions(parameters.Definitions), Properties(parameters.Properties),
      HostCapabilities(parameters.HostCapabilities), GpuAccessor(parameters.GpuAccessor),
      GraphicsApi(parameters.GraphicsApi) {
    // A module declares a dozen capabilities or so; growing from empty
    // reallocated the list four times per translation.
    _capabilities.reserve(16);
}

Instruction* CodeGenContext::BlockState::GetLabel(CodeGenContext& context, int32_t index) {
    if (index < 0)
        throw Common::ArgumentOutOfRangeException("Label index must not be negative.");
    const std::size_t wanted = static_cast<std::size_t>(index);
    while (LabelCount <= wanted) {
        Instruction* label = context.Label();
        if (LabelCount < InlineLabels)
            FirstLabels[LabelCount] = label;
        else
            MoreLabels.push_back(label);
        LabelCount++;
    }
    return wanted < InlineLabels ? FirstLabels[wanted] : MoreLabels[wanted - InlineLabels];
}

void CodeGenContext::StartFunction(bool isMainFunction) {
    IsMainFunction = isMainFunction;
    MayHaveReturned = false;
    Locals.clear();
    Arguments.clear();
}

void CodeGenContext::EnterBlock(StructuredIr::AstBlock* block) {
    CurrentBlock = block;
    BlockState& state = GetBlockStateLazy(block);
    int32_t entry = state.EntryCount++;
    Instruction* label = state.GetLabel(*this, entry);
    PlaceLabel(label);
}

CodeGenContext::BlockState& CodeGenContext::GetBlockStateLazy(const StructuredIr::AstBlock* block) {
    return BlockStates[block];
}

Instruction* CodeGenContext::NewBlock() {
    Instruction* label = Label();
    Branch(label);
    PlaceLabel(label);
    return label;
}

std::vector<Instruction*> CodeGenContext::GetMainInterface() const {
    std::vector<Instruction*> interface;
    interface.reserve(Inputs.size() + Outputs.size() + InputsPerPatch.size() + OutputsPerPatch.size());
    for (const IoMapType* map : {&Inputs, &Outputs, &InputsPerPatch, &OutputsPerPatch}) {
        for (const auto& entry : *map)
            interface.push_back(entry.second);
    }
    return interface;
}

void CodeGenContext::PlaceLabel(Instruction* label) {
    AddLabel(label);
    _blockTerminated = false;
}

void CodeGenContext::EnsureBlockOpen() {
    if (_blockTerminated)
        PlaceLabel(Label());
}

Instruction* CodeGenContext::Get(AggregateType type, IAstNode* node) {
    if (const AstOperation* operation = StructuredIr::As<AstOperation>(node)) {
        OperationResult result = Instructions::Generate(*this, *operation);
        return BitcastIfNeeded(type, result.Type, result.Value);
    }
    if (const AstOperand* operand = StructuredIr::As<AstOperand>(node)) {
        switch (operand->Type) {
        case OperandType::Argument:
            return GetArgument(type, *operand);
        case OperandType::Constant:
            return GetConstant(type, *operand);
        case OperandType::LocalVariable:
            return GetLocal(type, *operand);
        case OperandType::Undefined:
            return GetUndefined(type);
        default:
            ThrowInvalidOperandType(operand->Type);
        }
    }
    if (node == nullptr)
        throw Common::ArgumentNullException("A source of the operation is missing.");
    throw Common::NotImplementedException(NodeKindName(node->Kind()));
}

Instruction* CodeGenContext::GetWithType(IAstNode* node, AggregateType& type) {
    if (const AstOperation* operation = StructuredIr::As<AstOperation>(node)) {
        OperationResult result = Instructions::Generate(*this, *operation);
        type = result.Type;
        return result.Value;
    }
    if (const AstOperand* operand = StructuredIr::As<AstOperand>(node)) {
        if (operand->Type != OperandType::LocalVariable)
            ThrowInvalidOperandType(operand->Type);
        type = operand->VarType;
        return GetLocal(type, *operand);
    }
    if (node == nullptr)
        throw Common::ArgumentNullException("A source of the operation is missing.");
    throw Common::NotImplementedException(NodeKindName(node->Kind()));
}

Instruction* CodeGenContext::Undef(Instruction* type) {
    // Kept with the constants: deduplicated per type and valid at module scope.
    Instruction* undef = NewInstruction(spv::Op::OpUndef, Instruction::InvalidId, type);
    AddConstant(undef);
    return undef;
}

Instruction* CodeGenContext::GetUndefined(AggregateType type) {
    switch (type) {
    case AggregateType::Bool: {
        Instruction* boolType = TypeBool();
        return ConstantFalse(boolType);
    }
    case AggregateType::FP32:
        return ConstantFP32(0.0f);
    case AggregateType::FP64:
        return ConstantFP64(0.0);
    default:
        break;
    }
    Instruction* spirvType = GetType(type);
    // A vector or array has no scalar zero literal: it is an undefined value.
    if (!IsScalar(type))
        return Undef(spirvType);
    return Constant(spirvType, LiteralInteger::FromInt32(0));
}

Instruction* CodeGenContext::GetConstant(AggregateType type, const AstOperand& operand) {
    int32_t value = operand.Value;
    switch (type) {
    case AggregateType::Bool: {
        Instruction* boolType = TypeBool();
        return value != 0 ? ConstantTrue(boolType) : ConstantFalse(boolType);
    }
    case AggregateType::FP32:
        return ConstantFP32(std::bit_cast<float>(value));
    case AggregateType::FP64:
        return ConstantFP64(static_cast<double>(std::bit_cast<float>(value)));
    case AggregateType::S32:
        return ConstantS32(value);
    case AggregateType::U32:
        return ConstantU32(static_cast<uint32_t>(value));
    default:
        break;
    }
    throw Common::ArgumentException("Invalid type \"" + AggregateTypeText(type) + "\".");
}

Instruction* CodeGenContext::GetLocal(AggregateType type, const AstOperand& operand) {
    auto it = Locals.find(&operand);
    if (it == Locals.end())
        throw Common::KeyNotFoundException("The local variable was never declared.");
    Instruction* pointer = it->second;
    Instruction* valueType = GetType(operand.VarType);
    Instruction* value = Load(valueType, pointer);
    return BitcastIfNeeded(type, operand.VarType, value);
}

Instruction* CodeGenContext::GetArgument(AggregateType type, const AstOperand& operand) {
    if (operand.Value < 0 || static_cast<std::size_t>(operand.Value) >= Arguments.size() ||
        CurrentFunction == nullptr) {
        throw Common::IndexOutOfRangeException("Argument " + std::to_string(operand.Value) +
                                               " does not exist in this function.");
    }
    Instruction* pointer = Arguments[static_cast<std::size_t>(operand.Value)];
    // The pointer's own type: loading anything else would not validate.
    AggregateType declared = CurrentFunction->GetArgumentType(operand.Value);
    Instruction* valueType = GetType(declared);
    Instruction* value = Load(valueType, pointer);
    return BitcastIfNeeded(type, declared, value);
}

Instruction* CodeGenContext::BuildType(AggregateType type, int32_t length) {
    uint32_t bits = static_cast<uint32_t>(type);
    if ((bits & static_cast<uint32_t>(AggregateType::Array)) != 0) {
        Instruction* element = GetType(static_cast<AggregateType>(bits & ~static_cast<uint32_t>(AggregateType::Array)));
        if (length > 0) {
            Instruction* lengthType = TypeU32();
            Instruction* lengthConstant = Constant(lengthType, LiteralInteger::FromInt32(length));
            return TypeArray(element, lengthConstant);
        }
        return TypeRuntimeArray(element);
    }
    uint32_t count = bits & static_cast<uint32_t>(AggregateType::ElementCountMask);
    uint32_t elementBits = bits & ~count;
    if (elementBits < CachedElementTypes) {
        Instruction*& cached = _types[count >> 8][elementBits];
        if (cached != nullptr) return cached;
        if (count != 0) {
            Instruction* element = GetType(static_cast<AggregateType>(elementBits));
            cached = TypeVectorOf(element, static_cast<int32_t>(count >> 8) + 1);
            return cached;
        }
    } else if (count != 0) {
        Instruction* element = GetType(static_cast<AggregateType>(elementBits));
        return TypeVectorOf(element, static_cast<int32_t>(count >> 8) + 1);
    }
    switch (type) {
    case AggregateType::Void:
        return _types[0][bits] = TypeVoid();
    case AggregateType::Bool:
        return _types[0][bits] = Module::TypeBool();
    case AggregateType::FP32:
        return TypeFP32();
    case AggregateType::FP64:
        return TypeFP64();
    case AggregateType::S32:
        return TypeS32();
    case AggregateType::U32:
        return TypeU32();
    default:
        break;
    }
    throw Common::ArgumentException("Invalid attribute type \"" + AggregateTypeText(type) + "\".");
}

Instruction* CodeGenContext::Convert(AggregateType to, AggregateType from, Instruction* value) {
    if (to == AggregateType::Bool) {
        Instruction* integer = BitcastIfNeeded(AggregateType::S32, from, value);
        Instruction* boolType = TypeBool();
        Instruction* zero = ConstantS32(0);
        return INotEqual(boolType, integer, zero);
    }
    if (from == AggregateType::Bool) {
        Instruction* intType = TypeS32();
        Instruction* allOnes = ConstantS32(-1);
        Instruction* zero = ConstantS32(0);
        Instruction* selected = Select(intType, value, allOnes, zero);
        return BitcastIfNeeded(to, AggregateType::S32, selected);
    }
    // A bit cast must keep the width: a double meets 32-bit values through a
    // value conversion to or from single precision instead.
    if (from == AggregateType::FP64) {
        Instruction* floatType = TypeFP32();
        Instruction* single = FConvert(floatType, value);
        return BitcastIfNeeded(to, AggregateType::FP32, single);
    }
    if (to == AggregateType::FP64) {
        Instruction* single = BitcastIfNeeded(AggregateType::FP32, from, value);
        Instruction* doubleType = TypeFP64();
        return FConvert(doubleType, single);
    }
    Instruction* targetType = GetType(to);
    return Bitcast(targetType, value);
}

Instruction* CodeGenContext::TypeS32() {
    Instruction*& cached = _types[0][static_cast<uint32_t>(AggregateType::S32)];
    if (cached == nullptr) cached = TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(1));
    return cached;
}

Instruction* CodeGenContext::TypeU32() {
    Instruction*& cached = _types[0][static_cast<uint32_t>(AggregateType::U32)];
    if (cached == nullptr) cached = TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    return cached;
}

Instruction* CodeGenContext::TypeFP32() {
    Instruction*& cached = _types[0][static_cast<uint32_t>(AggregateType::FP32)];
    if (cached == nullptr) cached = TypeFloat(LiteralInteger::FromInt32(32));
    return cached;
}

Instruction* CodeGenContext::TypeFP64() {
    Instruction*& cached = _types[0][static_cast<uint32_t>(AggregateType::FP64)];
    if (cached == nullptr) {
        // Doubles reach the module only where the program computes with them; a
        // module that declares them must also declare the capability.
        AddCapabilityOnce(spv::Capability::Float64);
        cached = TypeFloat(LiteralInteger::FromInt32(64));
    }
    return cached;
}

Instruction* CodeGenContext::TypeVectorOf(Instruction* componentType, int32_t count) {
    // A vector of a cached scalar type is cached with it (the same table
    // GetType fills), found by the component's instruction.
    if (count >= 2 && count <= 4 && componentType != nullptr) {
        for (uint32_t element = 0; element < CachedElementTypes; ++element) {
            if (_types[0][element] != componentType)
                continue;
            Instruction*& cached = _types[count - 1][element];
            if (cached == nullptr)
                cached = TypeVector(componentType, LiteralInteger::FromInt32(count));
            return cached;
        }
    }
    return TypeVector(componentType, LiteralInteger::FromInt32(count));
}

Instruction* CodeGenContext::ConstantS32(int32_t value) {
    Instruction* type = TypeS32();
    return ConstantWord(type, LiteralInteger::IntegerType::Int32, static_cast<uint32_t>(value));
}

Instruction* CodeGenContext::ConstantU32(uint32_t value) {
    Instruction* type = TypeU32();
    return ConstantWord(type, LiteralInteger::IntegerType::UInt32, value);
}

Instruction* CodeGenContext::ConstantFP32(float value) {
    Instruction* type = TypeFP32();
    return ConstantWord(type, LiteralInteger::IntegerType::Float32, std::bit_cast<uint32_t>(value));
}

Instruction* CodeGenContext::ConstantFP64(double value) {
    Instruction* type = TypeFP64();
    return Constant(type, LiteralInteger::FromFloat64(value));
}

void CodeGenContext::AddCapabilityOnce(spv::Capability capability) {
    if (std::find(_capabilities.begin(), _capabilities.end(), capability) != _capabilities.end())
        return;
    _capabilities.push_back(capability);
    AddCapability(capability);
}

void CodeGenContext::AddExtensionOnce(const char* name) {
    for (const char* existing : _extensions) {
        if (std::string_view(existing) == name)
            return;
    }
    _extensions.push_back(name);
    AddExtension(name);
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
