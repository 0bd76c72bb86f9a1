// Loads, stores and atomics on inputs, outputs, buffers and memories: an
// access chain into the declared variable, then the access itself.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/ConstantIndex.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Instructions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/IoMap.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IrInst = IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using Spv::Generator::Module;
using StructuredIr::AstOperand;
using StructuredIr::AstOperation;
using StructuredIr::IoDefinition;
using Translation::AggregateType;
using SpvInst = Spv::Generator::Instruction;

namespace {

using AtomicFn = SpvInst* (Module::*)(SpvInst*, SpvInst*, SpvInst*, SpvInst*, SpvInst*);

std::string InstText(IrInst inst) {
    std::string name(IntermediateRepresentation::InstructionName(inst));
    return name.empty() ? std::to_string(IntermediateRepresentation::InstIndex(inst)) : name;
}

std::string KindText(StorageKind kind) {
    std::string name(IntermediateRepresentation::StorageKindName(kind));
    return name.empty() ? std::to_string(static_cast<int32_t>(kind)) : name;
}

// The value of a source that must be a constant operand, or the error naming
// which input was wrong.
const AstOperand* ConstantSource(const AstOperation& operation, int32_t index) {
    const AstOperand* operand = StructuredIr::As<AstOperand>(operation.GetSource(index));
    if (operand == nullptr || operand->Type != OperandType::Constant) {
        throw Common::InvalidOperationException(std::string(index == 0 ? "First" : "Second") + " input of " +
                                                InstText(operation.Inst) + " with " + KindText(operation.StorageKind) +
                                                " storage must be a constant operand.");
    }
    return operand;
}

// The indexes of one access chain. Their number is known before the first is
// added; an access has a few (every load and store of the guest's memories
// asks for one list), so they stay on the stack unless there are many.
class IndexList {
public:
    explicit IndexList(std::size_t capacity) {
        if (capacity > InlineCapacity) {
            _spill.resize(capacity);
            _data = _spill.data();
        }
        _capacity = capacity;
    }
    IndexList(const IndexList&) = delete;
    IndexList& operator=(const IndexList&) = delete;

    void Push(SpvInst* index) {
        if (_count == _capacity)
            throw Common::IndexOutOfRangeException("An access chain has more indexes than it counted.");
        _data[_count++] = index;
    }
    std::span<SpvInst* const> Span() const { return {_data, _count}; }

private:
    static constexpr std::size_t InlineCapacity = 8;
    // Left unset: only the first _count entries are ever read, and clearing
    // them all was a visible share of every memory access.
    std::array<SpvInst*, InlineCapacity> _inline;
    std::vector<SpvInst*> _spill;
    SpvInst** _data = _inline.data();
    std::size_t _capacity = 0;
    std::size_t _count = 0;
};

bool IsConstantOperand(const StructuredIr::IAstNode* node) {
    const AstOperand* operand = StructuredIr::As<AstOperand>(node);
    return operand != nullptr && operand->Type == OperandType::Constant;
}

AggregateType ElementOf(AggregateType type) { return type & AggregateType::ElementTypeMask; }

SpvInst* LookUp(const Common::OrderedMap<int32_t, SpvInst*>& map, int32_t key, const char* what) {
    SpvInst* const* value = map.Find(key);
    if (value == nullptr) {
        throw Common::KeyNotFoundException(std::string(what) + " " + std::to_string(key) + " was never declared.");
    }
    return *value;
}

} // namespace

SpvInst* Instructions::GetStoragePointer(CodeGenContext& context, const AstOperation& operation,
                                         AggregateType& elementType) {
    SpvInst* baseObject = nullptr;
    spv::StorageClass storageClass = spv::StorageClass::Private;
    int32_t firstIndex = 1;
    bool isPerVertexBlock = false;
    IoVariable perVertexVariable = IoVariable::Invalid;
    StorageKind kind = operation.StorageKind;

    switch (kind) {
    case StorageKind::Input:
    case StorageKind::InputPerPatch:
    case StorageKind::Output:
    case StorageKind::OutputPerPatch: {
        auto ioVariable = static_cast<IoVariable>(ConstantSource(operation, 0)->Value);
        bool isOutput = kind == StorageKind::Output || kind == StorageKind::OutputPerPatch;
        bool isPerPatch = kind == StorageKind::InputPerPatch || kind == StorageKind::OutputPerPatch;
        int32_t location = 0;
        int32_t component = 0;
        if (context.Definitions.HasPerLocationInputOrOutput(ioVariable, isOutput)) {
            location = ConstantSource(operation, 1)->Value;
            firstIndex = 2;
            if (operation.SourcesCount() > 2 && IsConstantOperand(operation.GetSource(2)) &&
                ioVariable == IoVariable::UserDefined && context.Definitions.HasTransformFeedbackOutputs(isOutput)) {
                int32_t candidate = StructuredIr::As<AstOperand>(operation.GetSource(2))->Value;
                if (context.Definitions.GetTransformFeedbackOutputComponents(location, candidate) == 1) {
                    component = candidate;
                    firstIndex = 3;
                }
            }
        }

        AggregateType type;
        if (ioVariable == IoVariable::UserDefined) {
            type = context.Definitions.GetUserDefinedType(location, isOutput);
        } else if (ioVariable == IoVariable::FragmentOutputColor) {
            type = context.Definitions.GetFragmentOutputColorType(location);
        } else {
            type = IoMap::GetSpirvBuiltIn(ioVariable).second;
        }
        elementType = ElementOf(type);

        // Vertex-pipeline stages keep these in the gl_PerVertex block; a
        // fragment shader reads clip distances as a plain built-in array.
        if ((ioVariable == IoVariable::ClipDistance || ioVariable == IoVariable::PointSize ||
             ioVariable == IoVariable::Position) &&
            context.Definitions.Stage != ShaderStage::Fragment) {
            isPerVertexBlock = true;
            perVertexVariable = ioVariable;
            ioVariable = IoVariable::Position;
        }

        IoDefinition key(kind, ioVariable, location, component);
        const CodeGenContext::IoMapType& map = isPerPatch
                                                   ? (isOutput ? context.OutputsPerPatch : context.InputsPerPatch)
                                                   : (isOutput ? context.Outputs : context.Inputs);
        SpvInst* const* variable = map.Find(key);
        if (variable == nullptr) {
            throw Common::KeyNotFoundException("Input or output " + key.ToString() + " was never declared.");
        }
        baseObject = *variable;
        storageClass = isOutput ? spv::StorageClass::Output : spv::StorageClass::Input;
        break;
    }
    case StorageKind::ConstantBuffer:
    case StorageKind::StorageBuffer: {
        int32_t binding = ConstantSource(operation, 0)->Value;
        int32_t fieldIndex = ConstantSource(operation, 1)->Value;
        bool isStorage = kind == StorageKind::StorageBuffer;
        const auto& definitions =
            isStorage ? context.Properties.StorageBuffers() : context.Properties.ConstantBuffers();
        const StructuredIr::BufferDefinition* buffer = definitions.Find(binding);
        if (buffer == nullptr) {
            throw Common::KeyNotFoundException("Buffer " + std::to_string(binding) + " was never declared.");
        }
        const auto& fields = buffer->Type.Fields;
        if (fieldIndex < 0 || static_cast<std::size_t>(fieldIndex) >= fields.size()) {
            throw Common::IndexOutOfRangeException("Field " + std::to_string(fieldIndex) + " of buffer " +
                                                   std::to_string(binding) + " does not exist.");
        }
        elementType = ElementOf(fields[static_cast<std::size_t>(fieldIndex)].Type);
        baseObject = LookUp(isStorage ? context.StorageBuffers : context.ConstantBuffers, binding, "Buffer");
        storageClass = spv::StorageClass::Uniform;
        firstIndex = 1;
        break;
    }
    case StorageKind::LocalMemory:
    case StorageKind::SharedMemory: {
        int32_t id = ConstantSource(operation, 0)->Value;
        bool isShared = kind == StorageKind::SharedMemory;
        const auto& definitions = isShared ? context.Properties.SharedMemories() : context.Properties.LocalMemories();
        const StructuredIr::MemoryDefinition* memory = definitions.Find(id);
        if (memory == nullptr) {
            throw Common::KeyNotFoundException("Memory " + std::to_string(id) + " was never declared.");
        }
        elementType = ElementOf(memory->Type);
        baseObject = LookUp(isShared ? context.SharedMemories : context.LocalMemories, id, "Memory");
        storageClass = isShared ? spv::StorageClass::Workgroup : spv::StorageClass::Private;
        firstIndex = 1;
        break;
    }
    default:
        throw Common::InvalidOperationException("Invalid storage kind " + KindText(kind) + ".");
    }

    int32_t count = operation.SourcesCount() - firstIndex;
    if (operation.Inst == IrInst::Store ||
        IntermediateRepresentation::InstructionExtensions::IsAtomic(operation.Inst)) {
        count--;
    }

    if (isPerVertexBlock) {
        if (count < 0)
            throw Common::IndexOutOfRangeException("The access has fewer sources than it needs.");
        int32_t member = IoMap::GetPerVertexStructFieldIndex(perVertexVariable);
        IndexList indexes(static_cast<std::size_t>(count) + 1);
        int32_t next = firstIndex;
        if (IoMap::IsPerVertexArrayBuiltIn(kind, context.Definitions.Stage)) {
            if (count < 1)
                throw Common::IndexOutOfRangeException("A per-vertex access needs a vertex index.");
            indexes.Push(context.Get(AggregateType::S32, operation.GetSource(next++)));
            indexes.Push(context.ConstantS32(member));
            for (int32_t i = 1; i < count; i++)
                indexes.Push(context.Get(AggregateType::S32, operation.GetSource(next++)));
        } else {
            indexes.Push(context.ConstantS32(member));
            for (int32_t i = 0; i < count; i++)
                indexes.Push(context.Get(AggregateType::S32, operation.GetSource(next++)));
        }
        SpvInst* pointeeType = context.GetType(elementType);
        SpvInst* pointerType = context.TypePointer(storageClass, pointeeType);
        return context.AccessChain(pointerType, baseObject, indexes.Span());
    }

    if (operation.Inst == IrInst::AtomicCompareAndSwap)
        count--;
    if (count < 0)
        throw Common::IndexOutOfRangeException("The access has fewer sources than it needs.");
    if (count == 0)
        return baseObject;

    IndexList indexes(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; i++) {
        indexes.Push(context.Get(AggregateType::S32, operation.GetSource(firstIndex + i)));
    }
    SpvInst* pointeeType = context.GetType(elementType);
    SpvInst* pointerType = context.TypePointer(storageClass, pointeeType);
    return context.AccessChain(pointerType, baseObject, indexes.Span());
}

namespace {

// A local or shared memory word named by a constant beyond the memory: the
// access reads 0 and writes nothing (IsConstantIndexBeyond). Gives the
// memory's element type.
bool IsBeyondMemory(CodeGenContext& context, const AstOperation& operation, AggregateType& elementType) {
    const StorageKind kind = operation.StorageKind;
    if (kind != StorageKind::LocalMemory && kind != StorageKind::SharedMemory)
        return false;
    int32_t addressSources = operation.SourcesCount();
    if (operation.Inst == IrInst::Store || IntermediateRepresentation::InstructionExtensions::IsAtomic(operation.Inst))
        addressSources--;
    if (operation.Inst == IrInst::AtomicCompareAndSwap)
        addressSources--;
    if (addressSources < 2)
        return false;
    const auto& definitions =
        kind == StorageKind::SharedMemory ? context.Properties.SharedMemories() : context.Properties.LocalMemories();
    const StructuredIr::MemoryDefinition* memory = definitions.Find(ConstantSource(operation, 0)->Value);
    if (memory == nullptr || !IsConstantIndexBeyond(operation.GetSource(1), memory->ArrayLength))
        return false;
    elementType = ElementOf(memory->Type);
    return true;
}

// The value an access beyond a memory reads.
OperationResult Zero(CodeGenContext& context, AggregateType type) {
    switch (type) {
    case AggregateType::FP32:
        return OperationResult(type, context.ConstantFP32(0.0f));
    case AggregateType::S32:
        return OperationResult(type, context.ConstantS32(0));
    default:
        return OperationResult(AggregateType::U32, context.ConstantU32(0));
    }
}

OperationResult GenerateLoadOrStore(CodeGenContext& context, const AstOperation& operation, bool isStore) {
    AggregateType elementType = AggregateType::Invalid;
    if (IsBeyondMemory(context, operation, elementType))
        return isStore ? OperationResult::Invalid() : Zero(context, elementType);
    SpvInst* pointer = Instructions::GetStoragePointer(context, operation, elementType);
    if (isStore) {
        SpvInst* value = context.Get(elementType, operation.GetSource(operation.SourcesCount() - 1));
        context.Store(pointer, value);
        return OperationResult::Invalid();
    }
    SpvInst* resultType = context.GetType(elementType);
    return OperationResult(elementType, context.Load(resultType, pointer));
}

OperationResult GenerateAtomicMemoryBinary(CodeGenContext& context, const AstOperation& operation, AtomicFn fn) {
    AggregateType elementType = AggregateType::Invalid;
    if (IsBeyondMemory(context, operation, elementType))
        return Zero(context, elementType);
    SpvInst* pointer = Instructions::GetStoragePointer(context, operation, elementType);
    SpvInst* value = context.Get(elementType, operation.GetSource(operation.SourcesCount() - 1));
    SpvInst* scope = context.ConstantU32(static_cast<uint32_t>(spv::Scope::Device));
    SpvInst* semantics = context.ConstantU32(0);
    SpvInst* resultType = context.GetType(elementType);
    return OperationResult(elementType, (context.*fn)(resultType, pointer, scope, semantics, value));
}

} // namespace

OperationResult Instructions::GenerateLoad(CodeGenContext& context, const AstOperation& operation) {
    return GenerateLoadOrStore(context, operation, false);
}

OperationResult Instructions::GenerateStore(CodeGenContext& context, const AstOperation& operation) {
    return GenerateLoadOrStore(context, operation, true);
}

OperationResult Instructions::GenerateAtomicAdd(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicIAdd);
}

OperationResult Instructions::GenerateAtomicAnd(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicAnd);
}

OperationResult Instructions::GenerateAtomicMinS32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicSMin);
}

OperationResult Instructions::GenerateAtomicMinU32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicUMin);
}

OperationResult Instructions::GenerateAtomicMaxS32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicSMax);
}

OperationResult Instructions::GenerateAtomicMaxU32(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicUMax);
}

OperationResult Instructions::GenerateAtomicOr(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicOr);
}

OperationResult Instructions::GenerateAtomicSwap(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicExchange);
}

OperationResult Instructions::GenerateAtomicXor(CodeGenContext& context, const AstOperation& operation) {
    return GenerateAtomicMemoryBinary(context, operation, &Module::AtomicXor);
}

OperationResult Instructions::GenerateAtomicCompareAndSwap(CodeGenContext& context, const AstOperation& operation) {
    AggregateType elementType = AggregateType::Invalid;
    if (IsBeyondMemory(context, operation, elementType))
        return Zero(context, elementType);
    SpvInst* pointer = GetStoragePointer(context, operation, elementType);
    int32_t last = operation.SourcesCount() - 1;
    SpvInst* comparator = context.Get(elementType, operation.GetSource(last - 1));
    SpvInst* value = context.Get(elementType, operation.GetSource(last));
    SpvInst* scope = context.ConstantU32(static_cast<uint32_t>(spv::Scope::Device));
    SpvInst* semantics = context.ConstantU32(0);
    SpvInst* resultType = context.GetType(elementType);
    SpvInst* result =
        context.AtomicCompareExchange(resultType, pointer, scope, semantics, semantics, value, comparator);
    return OperationResult(elementType, result);
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
