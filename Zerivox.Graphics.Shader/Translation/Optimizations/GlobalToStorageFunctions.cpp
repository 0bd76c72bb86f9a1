// The storage-buffer access functions that GlobalToStorage generates for
// accesses one inline storage operation cannot express.
#include <algorithm>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/GlobalToStorage.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;
namespace Insts = EmitterContextInsts;

namespace {

Operation* DefiningOperation(const Operand* operand) {
    return operand != nullptr && operand->Definition != nullptr ? operand->Definition->AsOperation() : nullptr;
}

bool IsSmallKind(StorageKind kind) {
    return kind == StorageKind::GlobalMemoryS8 || kind == StorageKind::GlobalMemoryS16 ||
           kind == StorageKind::GlobalMemoryU8 || kind == StorageKind::GlobalMemoryU16;
}

bool IsMemoryInstruction(Instruction inst) {
    return inst == Instruction::Load || inst == Instruction::Store || InstructionExtensions::IsAtomic(inst);
}

int32_t SlotOf(uint32_t targetCb) { return static_cast<int32_t>(targetCb & 0xFFFFu); }
int32_t OffsetOf(uint32_t targetCb) { return static_cast<int32_t>(targetCb >> 16); }

// The access's operands inside a generated function, after the leading
// address arguments: compare and value for a compare-and-swap, the value
// for a store or another atomic.
void GetValueArguments(IrArena& arena, Instruction inst, int firstArgument, Operand*& compare, Operand*& value,
                       int& inArgumentCount) {
    compare = nullptr;
    value = nullptr;
    inArgumentCount = firstArgument;
    if (inst == Instruction::AtomicCompareAndSwap) {
        compare = OperandHelper::MakeArgument(arena, firstArgument);
        value = OperandHelper::MakeArgument(arena, firstArgument + 1);
        inArgumentCount += 2;
    } else if (inst == Instruction::Store || InstructionExtensions::IsAtomic(inst)) {
        value = OperandHelper::MakeArgument(arena, firstArgument);
        inArgumentCount += 1;
    }
}

void EmitReturn(EmitterContext& context, Operand* value) {
    if (value != nullptr) {
        Insts::Return(context, value);
    } else {
        context.Add(Instruction::Return);
    }
}

IntermediateRepresentation::Function* MakeFunction(EmitterContext& context, std::string name, bool returnsValue,
                                                   int inArgumentCount) {
    ControlFlowGraph cfg = ControlFlowGraph::Create(context.Arena(), context.Operations);
    return context.Arena().NewFunction(std::move(cfg.Blocks), std::move(name), returnsValue, inArgumentCount, 0);
}

} // namespace

int32_t GlobalToStorage::GtsContext::AddFunction(const Operation* baseOp, bool isMultiTarget,
                                                 std::span<const uint32_t> targetCbs,
                                                 IntermediateRepresentation::Function* function) {
    std::vector<IntermediateRepresentation::Function*>& functions = Hfm.Functions();
    int32_t functionId = static_cast<int32_t>(functions.size());
    functions.push_back(function);
    Entries.push_back(Entry{std::vector<uint32_t>(targetCbs.begin(), targetCbs.end()), functionId, baseOp->Inst,
                            baseOp->StorageKind, isMultiTarget});
    return functionId;
}

bool GlobalToStorage::GtsContext::TryGetFunctionId(const Operation* baseOp, bool isMultiTarget,
                                                   std::span<const uint32_t> targetCbs, int32_t& functionId) const {
    for (const Entry& entry : Entries) {
        if (entry.Inst == baseOp->Inst && entry.StorageKind == baseOp->StorageKind &&
            entry.IsMultiTarget == isMultiTarget &&
            std::equal(entry.TargetCbs.begin(), entry.TargetCbs.end(), targetCbs.begin(), targetCbs.end())) {
            functionId = entry.FunctionId;
            return true;
        }
    }
    functionId = -1;
    return false;
}

bool GlobalToStorage::TryGenerateSingleTargetStorageOp(GtsContext& gtsContext, ResourceManager& resourceManager,
                                                       TargetLanguage targetLanguage, Operation* operation,
                                                       const SearchResult& result, int32_t& functionId) {
    const uint32_t targetCbs[] = {GetTargetKey(result.SbCbSlot, result.SbCbOffset)};
    if (gtsContext.TryGetFunctionId(operation, false, targetCbs, functionId))
        return true;

    IrArena& arena = gtsContext.Hfm.Arena();
    EmitterContext context(arena);

    Operand* offset = OperandHelper::MakeArgument(arena, 0);
    Operand* compare;
    Operand* value;
    int inArgumentCount;
    GetValueArguments(arena, operation->Inst, 1, compare, value, inArgumentCount);

    Operand* resultValue;
    if (!TryGenerateStorageOp(resourceManager, targetLanguage, context, operation->Inst, operation->StorageKind, offset,
                              compare, value, result, resultValue)) {
        functionId = 0;
        return false;
    }
    EmitReturn(context, resultValue);

    std::string name = GetFunctionName(operation, false, targetCbs);
    IntermediateRepresentation::Function* function =
        MakeFunction(context, std::move(name), resultValue != nullptr, inArgumentCount);
    functionId = gtsContext.AddFunction(operation, false, targetCbs, function);
    return true;
}

bool GlobalToStorage::TryGenerateMultiTargetStorageOp(GtsContext& gtsContext, ResourceManager& resourceManager,
                                                      IGpuAccessor& gpuAccessor, TargetLanguage targetLanguage,
                                                      BasicBlock* block, Operation* operation, int32_t& functionId) {
    Common::OrderedSet<uint32_t> targetCbSet;

    Operand* address = operation->GetSource(0);
    Operand* baseAddress = address;
    if (Operation* addOp = DefiningOperation(address);
        addOp != nullptr && addOp->Inst == Instruction::Add && addOp->SourcesCount() == 2) {
        Operand* src1 = addOp->GetSource(0);
        Operand* src2 = addOp->GetSource(1);
        if (src1->Type == OperandType::Constant && src2->Type == OperandType::LocalVariable) {
            baseAddress = src2;
        } else if (src2->Type == OperandType::Constant && src1->Type == OperandType::LocalVariable) {
            baseAddress = src1;
        }
    }

    PhiNode* rootPhi = baseAddress->Definition != nullptr ? baseAddress->Definition->AsPhi() : nullptr;
    if (rootPhi != nullptr) {
        // Breadth first over the phis that merge the possible base addresses.
        std::vector<PhiNode*> queue{rootPhi};
        Common::OrderedSet<PhiNode*> visited;
        visited.Add(rootPhi);
        for (std::size_t head = 0; head < queue.size(); head++) {
            PhiNode* phi = queue[head];
            for (int i = 0; i < phi->SourcesCount(); i++) {
                Operand* source = phi->GetSource(i);
                SearchResult result = FindUniqueBaseAddressCb(gtsContext, phi->GetBlock(i), source, false);
                if (result.Found()) {
                    targetCbSet.Add(GetTargetKey(result.SbCbSlot, result.SbCbOffset));
                } else if (PhiNode* sourcePhi = source->Definition != nullptr ? source->Definition->AsPhi() : nullptr;
                           sourcePhi != nullptr && visited.Add(sourcePhi)) {
                    queue.push_back(sourcePhi);
                }
            }
        }
    } else {
        SearchResult result = FindUniqueBaseAddressCb(gtsContext, block, address, false);
        if (result.Found()) {
            targetCbSet.Add(GetTargetKey(result.SbCbSlot, result.SbCbOffset));
        }
    }

    std::vector<uint32_t> targetCbs(targetCbSet.begin(), targetCbSet.end());
    std::sort(targetCbs.begin(), targetCbs.end());

    if (targetCbs.empty()) {
        std::string message = "Failed to find storage buffer for global memory operation \"";
        message += InstructionName(operation->Inst);
        message += "\".";
        gpuAccessor.Log(message);
    }

    if (gtsContext.TryGetFunctionId(operation, true, targetCbs, functionId))
        return true;

    IrArena& arena = gtsContext.Hfm.Arena();
    EmitterContext context(arena);

    Operand* low = OperandHelper::MakeArgument(arena, 0);
    Operand* high = OperandHelper::MakeArgument(arena, 1);
    Operand* compare;
    Operand* value;
    int inArgumentCount;
    GetValueArguments(arena, operation->Inst, 2, compare, value, inArgumentCount);

    for (uint32_t targetCb : targetCbs) {
        int32_t slot = SlotOf(targetCb);
        int32_t offset = OffsetOf(targetCb);

        Operand* baseLow = OperandHelper::MakeConstantBufferOperand(arena, slot, offset);
        Operand* baseHigh = OperandHelper::MakeConstantBufferOperand(arena, slot, offset + 1);
        Operand* size = OperandHelper::MakeConstantBufferOperand(arena, slot, offset + 2);

        // The address lies in [base, base + size) of this buffer exactly when
        // the 64-bit difference is below size.
        Operand* byteOffsetFromBase = Insts::ISubtract(context, low, baseLow);
        Operand* borrow = Insts::ICompareLessUnsigned(context, low, baseLow);
        Operand* inRange = Insts::ICompareLessUnsigned(context, byteOffsetFromBase, size);
        Operand* highSum = Insts::IAdd(context, high, borrow);
        Operand* sameHigh = Insts::ICompareEqual(context, highSum, baseHigh);
        Operand* hit = Insts::BitwiseAnd(context, inRange, sameHigh);

        Operand* skip = OperandHelper::MakeLabel(arena);
        Insts::BranchIfFalse(context, skip, hit);

        int32_t alignment = gpuAccessor.QueryHostStorageBufferOffsetAlignment();
        Operand* alignMask =
            OperandHelper::MakeConstant(arena, static_cast<int32_t>(0u - static_cast<uint32_t>(alignment)));
        Operand* alignedBase = Insts::BitwiseAnd(context, baseLow, alignMask);
        Operand* byteOffset = Insts::ISubtract(context, low, alignedBase);

        Operand* resultValue;
        SearchResult target{nullptr, slot, offset, 0};
        if (!TryGenerateStorageOp(resourceManager, targetLanguage, context, operation->Inst, operation->StorageKind,
                                  byteOffset, compare, value, target, resultValue)) {
            functionId = 0;
            return false;
        }
        EmitReturn(context, resultValue);
        context.MarkLabel(skip);
    }

    // An address outside every listed buffer reads 0 and writes nothing.
    bool returnsValue = operation->Dest() != nullptr;
    EmitReturn(context, returnsValue ? OperandHelper::MakeConstant(arena, 0) : nullptr);

    std::string name = GetFunctionName(operation, true, targetCbs);
    IntermediateRepresentation::Function* function =
        MakeFunction(context, std::move(name), returnsValue, inArgumentCount);
    functionId = gtsContext.AddFunction(operation, true, targetCbs, function);
    return true;
}

bool GlobalToStorage::TryGenerateStorageOp(ResourceManager& resourceManager, TargetLanguage targetLanguage,
                                           EmitterContext& context, Instruction inst, StorageKind storageKind,
                                           Operand* offset, Operand* compare, Operand* value,
                                           const SearchResult& result, Operand*& resultValue) {
    resultValue = nullptr;
    if (!IsMemoryInstruction(inst))
        return false;

    bool isStore = inst == Instruction::Store || InstructionExtensions::IsAtomic(inst);
    int32_t binding;
    if (!resourceManager.TryGetStorageBufferBinding(result.SbCbSlot, result.SbCbOffset, isStore, binding)) {
        return false;
    }

    IrArena& arena = context.Arena();
    Operand* two = OperandHelper::MakeConstant(arena, 2);
    Operand* wordOffset = Insts::ShiftRightU32(context, offset, two);
    Operand* field = OperandHelper::MakeConstant(arena, 0);
    constexpr StorageKind Sb = StorageKind::StorageBuffer;

    if (InstructionExtensions::IsAtomic(inst)) {
        if (IsSmallKind(storageKind)) {
            throw Common::NotImplementedException("The method or operation is not implemented.");
        }

        switch (inst) {
        case Instruction::AtomicAdd:
            resultValue = Insts::AtomicAdd(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicAnd:
            resultValue = Insts::AtomicAnd(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicCompareAndSwap:
            resultValue = Insts::AtomicCompareAndSwap(context, Sb, binding, field, wordOffset, compare, value);
            break;
        case Instruction::AtomicMinU32:
            resultValue = Insts::AtomicMinU32(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicMaxU32:
            resultValue = Insts::AtomicMaxU32(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicOr:
            resultValue = Insts::AtomicOr(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicSwap:
            resultValue = Insts::AtomicSwap(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicXor:
            resultValue = Insts::AtomicXor(context, Sb, binding, field, wordOffset, value);
            break;
        case Instruction::AtomicMinS32:
            if (targetLanguage == TargetLanguage::Spirv) {
                resultValue = Insts::AtomicMinS32(context, Sb, binding, field, wordOffset, value);
            } else {
                resultValue = GenerateAtomicCasLoop(context, wordOffset, binding, [&](Operand* memValue) {
                    return Insts::IMinimumS32(context, memValue, value);
                });
            }
            break;
        case Instruction::AtomicMaxS32:
            if (targetLanguage == TargetLanguage::Spirv) {
                resultValue = Insts::AtomicMaxS32(context, Sb, binding, field, wordOffset, value);
            } else {
                resultValue = GenerateAtomicCasLoop(context, wordOffset, binding, [&](Operand* memValue) {
                    return Insts::IMaximumS32(context, memValue, value);
                });
            }
            break;
        default:
            return false;
        }
        return true;
    }

    if (inst == Instruction::Store) {
        int bitSize;
        switch (storageKind) {
        case StorageKind::GlobalMemoryS8:
        case StorageKind::GlobalMemoryU8:
            bitSize = 8;
            break;
        case StorageKind::GlobalMemoryS16:
        case StorageKind::GlobalMemoryU16:
            bitSize = 16;
            break;
        default:
            bitSize = 32;
            break;
        }

        if (bitSize == 32) {
            Insts::Store(context, Sb, binding, field, wordOffset, value);
        } else {
            // Storage buffers are arrays of words: merge the bits into their
            // word without losing a concurrent write to its other bytes.
            Operand* bitOffset = HelperFunctionManager::GetBitOffset(context, offset);
            Operand* width = OperandHelper::MakeConstant(arena, bitSize);
            GenerateAtomicCasLoop(context, wordOffset, binding, [&](Operand* memValue) {
                return Insts::BitfieldInsert(context, memValue, value, bitOffset, width);
            });
        }
        return true;
    }

    // Load.
    Operand* word = Insts::Load(context, Sb, binding, field, wordOffset);
    if (!IsSmallKind(storageKind)) {
        resultValue = word;
        return true;
    }

    Operand* bitOffset = HelperFunctionManager::GetBitOffset(context, offset);
    switch (storageKind) {
    case StorageKind::GlobalMemoryS8:
    case StorageKind::GlobalMemoryS16: {
        Operand* shifted = Insts::ShiftRightS32(context, word, bitOffset);
        Operand* zero = OperandHelper::MakeConstant(arena, 0);
        Operand* bits = OperandHelper::MakeConstant(arena, storageKind == StorageKind::GlobalMemoryS8 ? 8 : 16);
        resultValue = Insts::BitfieldExtractS32(context, shifted, zero, bits);
        break;
    }
    default: {
        Operand* shifted = Insts::ShiftRightU32(context, word, bitOffset);
        Operand* mask = OperandHelper::MakeConstant(arena, storageKind == StorageKind::GlobalMemoryU8 ? 0xFF : 0xFFFF);
        resultValue = Insts::BitwiseAnd(context, shifted, mask);
        break;
    }
    }
    return true;
}

Operand* GlobalToStorage::GenerateAtomicCasLoop(EmitterContext& context, Operand* wordOffset, int32_t binding,
                                                const std::function<Operand*(Operand*)>& getValue) {
    IrArena& arena = context.Arena();
    constexpr StorageKind Sb = StorageKind::StorageBuffer;

    Operand* retry = OperandHelper::MakeLabel(arena);
    context.MarkLabel(retry);

    Operand* field = OperandHelper::MakeConstant(arena, 0);
    Operand* oldValue = Insts::Load(context, Sb, binding, field, wordOffset);
    Operand* newValue = getValue(oldValue);

    Operand* casField = OperandHelper::MakeConstant(arena, 0);
    Operand* seen = Insts::AtomicCompareAndSwap(context, Sb, binding, casField, wordOffset, oldValue, newValue);
    // Another invocation wrote the word between the load and the swap: retry.
    Operand* changed = Insts::ICompareNotEqual(context, seen, oldValue);
    Insts::BranchIfTrue(context, retry, changed);
    return oldValue;
}

std::string GlobalToStorage::GetFunctionName(const Operation* baseOp, bool isMultiTarget,
                                             std::span<const uint32_t> targetCbs) {
    std::string name(InstructionName(baseOp->Inst));
    switch (baseOp->StorageKind) {
    case StorageKind::GlobalMemoryS8:
        name += "S8";
        break;
    case StorageKind::GlobalMemoryS16:
        name += "S16";
        break;
    case StorageKind::GlobalMemoryU8:
        name += "U8";
        break;
    case StorageKind::GlobalMemoryU16:
        name += "U16";
        break;
    default:
        break;
    }
    if (isMultiTarget)
        name += "Multi";
    for (uint32_t targetCb : targetCbs) {
        name += "_c";
        name += std::to_string(SlotOf(targetCb));
        name += "o";
        name += std::to_string(OffsetOf(targetCb));
    }
    return name;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
