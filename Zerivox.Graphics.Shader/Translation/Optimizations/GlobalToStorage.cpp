#include "Zerivox.Graphics.Shader/Translation/Optimizations/GlobalToStorage.h"

#include <array>
#include <cstddef>
#include <string>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

namespace {

bool IsGlobalMemory(StorageKind kind) {
    return kind == StorageKind::GlobalMemory || kind == StorageKind::GlobalMemoryS8 ||
           kind == StorageKind::GlobalMemoryS16 || kind == StorageKind::GlobalMemoryU8 ||
           kind == StorageKind::GlobalMemoryU16;
}

Operation* DefiningOperation(const Operand* operand) {
    return operand != nullptr && operand->Definition != nullptr ? operand->Definition->AsOperation() : nullptr;
}

// Operation's source at index, or null when it has no such source.
Operand* SourceOrNull(const Operation* operation, int index) {
    return index < operation->SourcesCount() ? operation->GetSource(index) : nullptr;
}

// x = Add(Constant, LocalVariable) in either order: the local and the constant.
bool TrySplitAddOfConstant(Operand* x, Operand*& local, Operand*& constant) {
    Operation* add = DefiningOperation(x);
    if (add == nullptr || add->Inst != Instruction::Add || add->SourcesCount() != 2)
        return false;
    Operand* src1 = add->GetSource(0);
    Operand* src2 = add->GetSource(1);
    if (src1->Type == OperandType::Constant && src2->Type == OperandType::LocalVariable) {
        local = src2;
        constant = src1;
        return true;
    }
    if (src2->Type == OperandType::Constant && src1->Type == OperandType::LocalVariable) {
        local = src1;
        constant = src2;
        return true;
    }
    return false;
}

std::string FailureMessage(const char* what, Instruction inst) {
    std::string message = what;
    message += " storage buffer for global memory operation \"";
    message += InstructionName(inst);
    message += "\".";
    return message;
}

} // namespace

// ---- GtsContext ----

std::size_t GlobalToStorage::GtsContext::LsKeyHash::operator()(const LsKey& key) const noexcept {
    std::size_t h = std::hash<const void*>()(key.BaseOffset);
    h = h * 31 + std::hash<int32_t>()(key.ConstOffset);
    h = h * 31 + static_cast<std::size_t>(key.Type);
    return h;
}

void GlobalToStorage::GtsContext::AddMemoryTargetCb(LsMemoryType type, Operand* baseOffset, int32_t constOffset,
                                                    uint32_t targetCb, const SearchResult& result) {
    LsKey key{baseOffset, constOffset, type};
    Common::OrderedMap<uint32_t, SearchResult>& targets = MemoryTargets[key];
    SearchResult* existing = targets.Find(targetCb);
    if (existing == nullptr) {
        targets.Set(targetCb, result);
        return;
    }
    // The same buffer stored twice with different offsets: only the buffer is known.
    if (existing->Offset != nullptr &&
        (existing->Offset != result.Offset || existing->ConstOffset != result.ConstOffset)) {
        *existing = SearchResult{nullptr, result.SbCbSlot, result.SbCbOffset, 0};
    }
}

void GlobalToStorage::GtsContext::ForgetMemoryTargets(LsMemoryType type, Operand* baseOffset, int32_t constOffset) {
    LsKey key{baseOffset, constOffset, type};
    if (Common::OrderedMap<uint32_t, SearchResult>* targets = MemoryTargets.Find(key); targets != nullptr) {
        targets->Clear();
    }
}

bool GlobalToStorage::GtsContext::TryGetMemoryTargetCb(LsMemoryType type, Operand* baseOffset, int32_t constOffset,
                                                       SearchResult& result) const {
    LsKey key{baseOffset, constOffset, type};
    const Common::OrderedMap<uint32_t, SearchResult>* targets = MemoryTargets.Find(key);
    if (targets == nullptr || targets->Count() != 1)
        return false;
    const SearchResult& candidate = targets->ItemAt(0).second;
    if (!candidate.Found())
        return false;
    result = candidate;
    return true;
}

// ---- The pass ----

bool GlobalToStorage::RunPass(HelperFunctionManager& hfm, std::span<BasicBlock* const> blocks,
                              ResourceManager& resourceManager, IGpuAccessor& gpuAccessor,
                              TargetLanguage targetLanguage) {
    GtsContext gtsContext(hfm);
    bool changed = false;

    for (BasicBlock* block : blocks) {
        INode* node = block->Operations.First();
        while (node != nullptr) {
            Operation* operation = node->AsOperation();
            if (operation == nullptr) {
                node = node->ListNext();
                continue;
            }

            if (IsGlobalMemory(operation->StorageKind)) {
                // Replaced by a storage access, a call or a constant, or deleted.
                // Every node this creates is marked too, for the second
                // clean-up, which visits only marked nodes.
                changed = true;
                Utils::MarkForCleanUp(operation);
                INode* replaced = ReplaceGlobalMemoryWithStorage(gtsContext, resourceManager, gpuAccessor,
                                                                 targetLanguage, block, operation);
                if (replaced != nullptr) {
                    node = replaced->ListNext();
                    continue;
                }

                gpuAccessor.Log(FailureMessage("Failed to reserve", operation->Inst));

                // Without a buffer the access reads 0 and writes nothing.
                INode* following = operation->ListNext();
                if (operation->Dest() != nullptr) {
                    Operand* zero = OperandHelper::MakeConstant(operation->Arena(), 0);
                    operation->TurnInto(Instruction::Copy, zero);
                } else {
                    Utils::DeleteNode(operation);
                }
                node = following;
                continue;
            }

            if (operation->Inst == Instruction::Store && (operation->StorageKind == StorageKind::LocalMemory ||
                                                          operation->StorageKind == StorageKind::SharedMemory)) {
                LsMemoryType type;
                Operand* baseOffset;
                int32_t constOffset;
                if (TryGetMemoryOffsets(operation, type, baseOffset, constOffset)) {
                    Operand* value = operation->GetSource(operation->SourcesCount() - 1);
                    SearchResult result = FindUniqueBaseAddressCb(gtsContext, block, value, false);
                    if (result.Found()) {
                        uint32_t targetCb = GetTargetKey(result.SbCbSlot, result.SbCbOffset);
                        gtsContext.AddMemoryTargetCb(type, baseOffset, constOffset, targetCb, result);
                    } else {
                        // The location now holds something else: a later load must
                        // not be bound to the buffer recorded before.
                        gtsContext.ForgetMemoryTargets(type, baseOffset, constOffset);
                    }
                }
            }

            node = node->ListNext();
        }
    }
    return changed;
}

INode* GlobalToStorage::ReplaceGlobalMemoryWithStorage(GtsContext& gtsContext, ResourceManager& resourceManager,
                                                       IGpuAccessor& gpuAccessor, TargetLanguage targetLanguage,
                                                       BasicBlock* block, Operation* operation) {
    IrArena& arena = operation->Arena();
    NodeList* list = operation->List();
    Operand* address = operation->GetSource(0);

    SearchResult result = FindUniqueBaseAddressCb(gtsContext, block, address, true);

    if (!result.Found() || result.Offset == nullptr) {
        // The address may lie in any of several buffers.
        int32_t functionId;
        if (!TryGenerateMultiTargetStorageOp(gtsContext, resourceManager, gpuAccessor, targetLanguage, block, operation,
                                             functionId)) {
            return nullptr;
        }
        return GenerateCallStorageOp(operation, nullptr, functionId);
    }

    Operand* offset;
    if (gpuAccessor.QueryHasUnalignedStorageBuffer()) {
        // The host binds the buffer from its base rounded down to the
        // alignment, so the offset counts from there.
        int32_t alignment = gpuAccessor.QueryHostStorageBufferOffsetAlignment();
        Operand* baseLow = OperandHelper::MakeConstantBufferOperand(arena, result.SbCbSlot, result.SbCbOffset);
        Operand* alignMask =
            OperandHelper::MakeConstant(arena, static_cast<int32_t>(0u - static_cast<uint32_t>(alignment)));
        Operand* alignedBase = OperandHelper::MakeLocal(arena);
        Operation* andOp = arena.NewOperation(Instruction::BitwiseAnd, alignedBase, {baseLow, alignMask});
        andOp->set_Revisit(true);
        list->AddBefore(operation, andOp);

        offset = OperandHelper::MakeLocal(arena);
        Operation* subOp = arena.NewOperation(Instruction::Subtract, offset, {address, alignedBase});
        subOp->set_Revisit(true);
        list->AddBefore(operation, subOp);
    } else if (result.ConstOffset != 0) {
        Operand* constOffset = OperandHelper::MakeConstant(arena, result.ConstOffset);
        offset = OperandHelper::MakeLocal(arena);
        Operation* addOp = arena.NewOperation(Instruction::Add, offset, {result.Offset, constOffset});
        addOp->set_Revisit(true);
        list->AddBefore(operation, addOp);
    } else {
        offset = result.Offset;
    }

    if (CanUseInlineStorageOp(operation, targetLanguage)) {
        return GenerateInlineStorageOp(resourceManager, operation, offset, result);
    }

    int32_t functionId;
    if (!TryGenerateSingleTargetStorageOp(gtsContext, resourceManager, targetLanguage, operation, result, functionId)) {
        return nullptr;
    }
    return GenerateCallStorageOp(operation, offset, functionId);
}

GlobalToStorage::SearchResult GlobalToStorage::FindUniqueBaseAddressCb(GtsContext& gtsContext, BasicBlock* block,
                                                                       Operand* address, bool needsOffset) {
    Operand* baseAddress = Utils::FindLastOperation(address, block);
    if (baseAddress->Type == OperandType::ConstantBuffer) {
        Operand* zero = OperandHelper::MakeConstant(block->Arena(), 0);
        return GetBaseAddressCbWithOffset(baseAddress, zero, 0);
    }

    Operation* addOp = DefiningOperation(baseAddress);
    if (addOp == nullptr || addOp->Inst != Instruction::Add) {
        return FindBaseAddressCbFromMemory(gtsContext, addOp, 0, needsOffset);
    }
    if (addOp->SourcesCount() != 2)
        return SearchResult::NotFound();

    int32_t constOffset = 0;
    Operand* src1 = addOp->GetSource(0);
    Operand* src2 = addOp->GetSource(1);

    Operand* base = nullptr;
    Operand* constant = nullptr;
    if (src1->Type == OperandType::LocalVariable && src2->Type == OperandType::Constant) {
        base = Utils::FindLastOperation(src1, block);
        constant = src2;
    } else if (src2->Type == OperandType::LocalVariable && src1->Type == OperandType::Constant) {
        base = Utils::FindLastOperation(src2, block);
        constant = src1;
    }

    if (base != nullptr) {
        SearchResult result = GetBaseAddressCbWithOffset(base, constant, 0);
        if (result.Found())
            return result;

        constOffset = constant->Value;
        Operation* baseAddOp = DefiningOperation(base);
        if (baseAddOp == nullptr || baseAddOp->Inst != Instruction::Add) {
            return FindBaseAddressCbFromMemory(gtsContext, baseAddOp, constOffset, needsOffset);
        }
        if (baseAddOp->SourcesCount() != 2)
            return SearchResult::NotFound();
        src1 = baseAddOp->GetSource(0);
        src2 = baseAddOp->GetSource(1);
    }

    if (src1->Type == OperandType::ConstantBuffer && src2->Type != OperandType::ConstantBuffer) {
        return GetBaseAddressCbWithOffset(src1, src2, constOffset);
    }
    return GetBaseAddressCbWithOffset(src2, src1, constOffset);
}

GlobalToStorage::SearchResult GlobalToStorage::FindBaseAddressCbFromMemory(GtsContext& gtsContext, Operation* operation,
                                                                           int32_t constOffset, bool needsOffset) {
    if (operation == nullptr)
        return SearchResult::NotFound();

    LsMemoryType type;
    Operand* baseOffset;
    int32_t memoryConstOffset;
    SearchResult result;
    if (!TryGetMemoryOffsets(operation, type, baseOffset, memoryConstOffset) ||
        !gtsContext.TryGetMemoryTargetCb(type, baseOffset, memoryConstOffset, result)) {
        return SearchResult::NotFound();
    }

    if (result.Offset == nullptr && needsOffset)
        return SearchResult::NotFound();

    result.ConstOffset =
        static_cast<int32_t>(static_cast<uint32_t>(result.ConstOffset) + static_cast<uint32_t>(constOffset));
    return result;
}

GlobalToStorage::SearchResult GlobalToStorage::GetBaseAddressCbWithOffset(Operand* baseAddress, Operand* offset,
                                                                          int32_t constOffset) {
    if (baseAddress->Type != OperandType::ConstantBuffer)
        return SearchResult::NotFound();

    int32_t wordOffset = baseAddress->GetCbufOffset();
    // Descriptors are 64-bit aligned: an odd word cannot hold a base address.
    if ((wordOffset & 1) != 0)
        return SearchResult::NotFound();

    return SearchResult{offset, baseAddress->GetCbufSlot(), wordOffset, constOffset};
}

bool GlobalToStorage::TryGetMemoryOffsets(Operation* operation, LsMemoryType& type, Operand*& baseOffset,
                                          int32_t& constOffset) {
    baseOffset = nullptr;
    constOffset = 0;
    if (operation->Inst != Instruction::Load && operation->Inst != Instruction::Store)
        return false;

    if (operation->StorageKind == StorageKind::LocalMemory) {
        type = LsMemoryType::Local;
        return TryGetLocalMemoryOffset(operation, constOffset);
    }
    if (operation->StorageKind == StorageKind::SharedMemory) {
        type = LsMemoryType::Shared;
        return TryGetSharedMemoryOffsets(operation, baseOffset, constOffset);
    }
    return false;
}

bool GlobalToStorage::TryGetSharedMemoryOffsets(Operation* operation, Operand*& baseOffset, int32_t& constOffset) {
    baseOffset = nullptr;
    constOffset = 0;

    // Shared memory is indexed by word: the word index is the byte address >> 2.
    Operation* shiftOp = DefiningOperation(SourceOrNull(operation, 1));
    if (shiftOp == nullptr || shiftOp->Inst != Instruction::ShiftRightU32 || shiftOp->SourcesCount() != 2) {
        return false;
    }
    Operand* shift = shiftOp->GetSource(1);
    if (shift->Type != OperandType::Constant || shift->Value != 2)
        return false;

    Operand* byteOffset = shiftOp->GetSource(0);
    Operand* local;
    Operand* constant;
    if (TrySplitAddOfConstant(byteOffset, local, constant)) {
        baseOffset = local;
        constOffset = constant->Value;
    } else {
        baseOffset = byteOffset;
    }
    return baseOffset->Type == OperandType::LocalVariable;
}

bool GlobalToStorage::TryGetLocalMemoryOffset(Operation* operation, int32_t& constOffset) {
    Operand* offset = SourceOrNull(operation, 1);
    if (offset == nullptr || offset->Type != OperandType::Constant)
        return false;
    constOffset = offset->Value;
    return true;
}

bool GlobalToStorage::CanUseInlineStorageOp(const Operation* operation, TargetLanguage targetLanguage) {
    if (operation->StorageKind != StorageKind::GlobalMemory)
        return false;
    return (operation->Inst != Instruction::AtomicMinS32 && operation->Inst != Instruction::AtomicMaxS32) ||
           targetLanguage == TargetLanguage::Spirv;
}

INode* GlobalToStorage::GenerateInlineStorageOp(ResourceManager& resourceManager, Operation* operation, Operand* offset,
                                                const SearchResult& result) {
    bool isStore = operation->Inst == Instruction::Store || InstructionExtensions::IsAtomic(operation->Inst);
    int32_t binding;
    if (!resourceManager.TryGetStorageBufferBinding(result.SbCbSlot, result.SbCbOffset, isStore, binding)) {
        return nullptr;
    }

    IrArena& arena = operation->Arena();
    NodeList* list = operation->List();

    Operand* two = OperandHelper::MakeConstant(arena, 2);
    Operand* wordOffset = OperandHelper::MakeLocal(arena);
    Operation* shiftOp = arena.NewOperation(Instruction::ShiftRightU32, wordOffset, {offset, two});
    shiftOp->set_Revisit(true);
    list->AddBefore(operation, shiftOp);

    Operand* bindingOperand = OperandHelper::MakeConstant(arena, binding);
    Operand* fieldIndex = OperandHelper::MakeConstant(arena, 0);
    // At most five sources: binding, field, word, then the compared and new
    // values of a swap or the stored value. Built on the stack: this runs for
    // every global memory access of the shader.
    std::array<Operand*, 5> sources{bindingOperand, fieldIndex, wordOffset};
    std::size_t used = 3;
    int count = operation->SourcesCount();
    if (operation->Inst == Instruction::AtomicCompareAndSwap) {
        sources[used++] = operation->GetSource(count - 2);
        sources[used++] = operation->GetSource(count - 1);
    } else if (isStore) {
        sources[used++] = operation->GetSource(count - 1);
    }

    Operation* storageOp = arena.NewOperation(operation->Inst, StorageKind::StorageBuffer, operation->Dest(),
                                              Operation::Operands(sources.data(), used));
    storageOp->set_Revisit(true);
    list->AddBefore(operation, storageOp);
    Utils::DeleteNode(operation);
    return storageOp;
}

INode* GlobalToStorage::GenerateCallStorageOp(Operation* operation, Operand* offset, int32_t functionId) {
    IrArena& arena = operation->Arena();
    NodeList* list = operation->List();

    std::vector<Operand*> sources;
    sources.push_back(OperandHelper::MakeConstant(arena, functionId));
    if (offset != nullptr) {
        sources.push_back(offset);
        for (int i = 2; i < operation->SourcesCount(); i++)
            sources.push_back(operation->GetSource(i));
    } else {
        for (int i = 0; i < operation->SourcesCount(); i++)
            sources.push_back(operation->GetSource(i));
    }

    if (operation->Dest() != nullptr) {
        Operand* result = OperandHelper::MakeLocal(arena);
        Operation* call = arena.NewOperation(Instruction::Call, result, sources);
        call->set_Revisit(true);
        list->AddBefore(operation, call);
        operation->TurnInto(Instruction::Copy, result);
        return operation;
    }

    Operation* call = arena.NewOperation(Instruction::Call, nullptr, sources);
    call->set_Revisit(true);
    list->AddBefore(operation, call);
    Utils::DeleteNode(operation);
    return call;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
