#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramContext.h"

#include <algorithm>
#include <utility>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using namespace IntermediateRepresentation;
using Translation::AggregateType;

StructuredProgramContext::StructuredProgramContext(const Translation::AttributeUsage& attributeUsage,
                                                   const Translation::ShaderDefinitions& definitions,
                                                   Translation::ResourceManager& resourceManager, bool debugMode)
    : Info(std::make_unique<StructuredProgramInfo>()), Definitions(definitions), ResourceManager(resourceManager),
      DebugMode(debugMode) {
    if (definitions.GeometryPassthrough) {
        uint32_t mask = attributeUsage.PassthroughAttributes;
        for (int32_t location = 0; location < 32; location++) {
            if ((mask & (1u << location)) != 0) {
                Info->IoDefinitions.Add(IoDefinition(StorageKind::Input, IoVariable::UserDefined, location, 0));
            }
        }
        Info->IoDefinitions.Add(IoDefinition(StorageKind::Input, IoVariable::Position, 0, 0));
        Info->IoDefinitions.Add(IoDefinition(StorageKind::Input, IoVariable::PointSize, 0, 0));
        Info->IoDefinitions.Add(IoDefinition(StorageKind::Input, IoVariable::ClipDistance, 0, 0));
    }
}

std::size_t LocalOperandMap::SlotOf(const Operand* key) const {
    // Fibonacci hashing of the address; the low bits of a pointer are mostly
    // alignment, so the high bits of the product pick the slot.
    const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    const std::size_t mask = _size - 1;
    std::size_t slot = static_cast<std::size_t>(mixed >> 32) & mask;
    while (_slots[slot].Key != nullptr && _slots[slot].Key != key) slot = (slot + 1) & mask;
    return slot;
}

AstOperand* LocalOperandMap::Find(const Operand* key) const {
    if (_count == 0 || key == nullptr) return nullptr;
    return _slots[SlotOf(key)].Value;
}

void LocalOperandMap::Insert(const Operand* key, AstOperand* value) {
    // At most half full, so probes stay short and always meet an empty slot.
    if ((_count + 1) * 2 > _size) Grow();
    Slot& slot = _slots[SlotOf(key)];
    if (slot.Key == nullptr) _count++;
    slot = Slot{key, value};
}

void LocalOperandMap::Clear() {
    if (_count == 0) return;
    for (std::size_t i = 0; i < _size; i++) _slots[i] = Slot{nullptr, nullptr};
    _count = 0;
}

void LocalOperandMap::Grow() { Rehash(_size == 0 ? 64 : _size * 2); }

void LocalOperandMap::Reserve(std::size_t count) {
    // At most half full, as Insert keeps it.
    if (count > (std::size_t{1} << 40)) throw Common::OverflowException("Too many locals for the operand table.");
    std::size_t slots = _size == 0 ? 64 : _size;
    while (count * 2 > slots) slots *= 2;
    if (slots != _size) Rehash(slots);
}

void LocalOperandMap::Rehash(std::size_t slots) {
    std::unique_ptr<Slot[]> old = std::exchange(_slots, std::unique_ptr<Slot[]>(new Slot[slots]()));
    const std::size_t oldSize = std::exchange(_size, slots);
    if (_count == 0) return;
    for (std::size_t i = 0; i < oldSize; i++) {
        if (old[i].Key != nullptr) _slots[SlotOf(old[i].Key)] = old[i];
    }
}

void StructuredProgramContext::EnterFunction(int32_t blocksCount, std::string name, AggregateType returnType,
                                             std::vector<AggregateType> inArguments,
                                             std::vector<AggregateType> outArguments) {
    LoopTails.clear();
    BlockStack.clear();
    LocalsMap.Clear();
    GotoTempAsgs.clear();
    Gotos.clear();

    CurrentBlock = Arena().New<AstBlock>(AstBlockType::Main, nullptr);
    CurrEndIndex = blocksCount;
    LoopEndIndex = blocksCount;
    CurrentFunction = std::make_unique<StructuredFunction>(CurrentBlock, std::move(name), returnType,
                                                           std::move(inArguments), std::move(outArguments));
}

void StructuredProgramContext::LeaveFunction() { Info->Functions.push_back(std::move(CurrentFunction)); }

void StructuredProgramContext::EnterBlock(BasicBlock* block) {
    // Close every AST block that ends where this IR block begins.
    while (CurrEndIndex == block->Index && !BlockStack.empty()) {
        const BlockStackEntry entry = BlockStack.back();
        BlockStack.pop_back();
        CurrentBlock = entry.Block;
        CurrEndIndex = entry.EndIndex;
        LoopEndIndex = entry.LoopEndIndex;
    }

    auto label = GotoTempAsgs.find(block->Index);
    if (label != GotoTempAsgs.end()) AddGotoTempReset(block, label->second);

    LookForDoWhileStatements(block);
}

static Operation* BranchOf(BasicBlock* block) {
    INode* last = block->GetLastOp();
    Operation* branch = last != nullptr ? last->AsOperation() : nullptr;
    if (branch == nullptr ||
        (branch->Inst != Instruction::Branch && branch->Inst != Instruction::BranchIfTrue &&
         branch->Inst != Instruction::BranchIfFalse)) {
        throw Common::InvalidOperationException("A back edge does not end in a branch.");
    }
    return branch;
}

// The farthest back edge that fits the current region becomes a DoWhile over
// the blocks from here to its source; every other back edge into the block is
// reached through a goto, whose label is placed here.
void StructuredProgramContext::LookForDoWhileStatements(BasicBlock* block) {
    // Only the farthest back edge and whether there is any other one matter,
    // so one scan replaces sorting a copy of the predecessor list (the first
    // of equally far entries wins, as a stable sort would order them).
    BasicBlock* farthest = nullptr;
    std::size_t backEdges = 0;
    for (BasicBlock* predecessor : block->Predecessors) {
        if (predecessor->Index < block->Index) continue;
        backEdges++;
        if (farthest == nullptr || predecessor->Index > farthest->Index) farthest = predecessor;
    }
    if (farthest == nullptr) return;

    if (farthest->Index < CurrEndIndex) {
        IAstNode* condition = GetBranchCond(AstBlockType::DoWhile, BranchOf(farthest));
        AstBlock* loop = Arena().New<AstBlock>(AstBlockType::DoWhile, condition);
        AddNode(loop);
        PushBlock(loop);
        CurrEndIndex = farthest->Index + 1;
        LoopEndIndex = CurrEndIndex;
        LoopTails.insert(farthest);
        if (backEdges == 1) return;
    }
    AddGotoTempReset(block, GetGotoTempAsg(block->Index));
}

void StructuredProgramContext::LookForIfStatements(BasicBlock* block, Operation* branch) {
    BasicBlock* target = block->Branch();
    if (target == nullptr) return;

    int32_t targetIndex = target->Index;
    bool inRegion = targetIndex < CurrEndIndex || (targetIndex == CurrEndIndex && targetIndex < LoopEndIndex);
    bool backward = targetIndex <= block->Index;

    if (inRegion && !backward) {
        IAstNode* condition = GetBranchCond(AstBlockType::If, branch);
        NewBlock(AstBlockType::If, condition, targetIndex);
        return;
    }
    if (LoopTails.count(block) != 0) return;

    AstAssignment* label = GetGotoTempAsg(targetIndex);
    IAstNode* taken = GetBranchCond(AstBlockType::DoWhile, branch);
    AstAssignment* setTemp = Arena().New<AstAssignment>(label->Destination(), taken);
    AddNode(setTemp);
    AstOperation* gotoNode = Arena().New<AstOperation>(branch->Inst, std::span<IAstNode* const>());
    AddNode(gotoNode);
    Gotos.push_back(GotoStatement{gotoNode, label, backward});
}

AstAssignment* StructuredProgramContext::GetGotoTempAsg(int32_t blockIndex) {
    auto found = GotoTempAsgs.find(blockIndex);
    if (found != GotoTempAsgs.end()) return found->second;
    AstOperand* temp = NewTemp(AggregateType::Bool);
    AstOperand* falseValue = NewConstant(0);
    AstAssignment* label = Arena().New<AstAssignment>(temp, falseValue);
    GotoTempAsgs.emplace(blockIndex, label);
    return label;
}

void StructuredProgramContext::AddGotoTempReset(BasicBlock* block, AstAssignment* label) {
    if (label->Parent() != nullptr) return;
    AddNode(label);
    // A jump into a block other than the entry may be met before any label
    // ran, so the temp also starts false at function entry.
    if (block->Index != 0) {
        AstOperand* falseValue = NewConstant(0);
        AstAssignment* reset = Arena().New<AstAssignment>(label->Destination(), falseValue);
        CurrentFunction->MainBlock->AddFirst(reset);
    }
}

void StructuredProgramContext::PushBlock(AstBlock* block) {
    BlockStack.push_back(BlockStackEntry{CurrentBlock, CurrEndIndex, LoopEndIndex});
    CurrentBlock = block;
}

void StructuredProgramContext::NewBlock(AstBlockType type, IAstNode* condition, int32_t endIndex) {
    AstBlock* block = Arena().New<AstBlock>(type, condition);
    AddNode(block);
    PushBlock(block);
    CurrEndIndex = endIndex;
    if (type == AstBlockType::DoWhile) LoopEndIndex = endIndex;
}

IAstNode* StructuredProgramContext::GetBranchCond(AstBlockType type, Operation* branch) {
    if (branch->Inst == Instruction::Branch) return NewConstant(type == AstBlockType::If ? 0 : -1);

    IAstNode* condition = GetOperand(branch->GetSource(0));
    bool invert = (branch->Inst == Instruction::BranchIfTrue && type == AstBlockType::If) ||
                  (branch->Inst == Instruction::BranchIfFalse && type != AstBlockType::If);
    return invert ? AstHelper::InverseCond(Arena(), condition) : condition;
}

// The function's list of locals is the one node set whose destructor always
// runs (with the function), so it keeps its blocks on the heap: it grows to
// as many entries as the shader has values, and in the arena every block it
// outgrew would stay taken until the program ends.
void StructuredProgramContext::AddLocal(AstOperand* local) { CurrentFunction->Locals.AddNew(local, nullptr); }

AstOperand* StructuredProgramContext::NewTemp(AggregateType type) {
    AstOperand* temp = Arena().New<AstOperand>(OperandType::LocalVariable, 0);
    temp->VarType = type;
    AddLocal(temp);
    return temp;
}

AstOperand* StructuredProgramContext::NewConstant(int32_t value) {
    return Arena().New<AstOperand>(OperandType::Constant, value);
}

IAstNode* StructuredProgramContext::GetOperandOrCbLoad(Operand* operand) {
    if (operand == nullptr || operand->Type != OperandType::ConstantBuffer) return GetOperand(operand);

    int32_t slot = operand->GetCbufSlot();
    int32_t wordOffset = operand->GetCbufOffset();
    int32_t binding = ResourceManager.GetConstantBufferBinding(slot);
    ResourceManager.SetUsedConstantBufferBinding(binding);

    AstOperand* bindingOperand = NewConstant(binding);
    AstOperand* fieldOperand = NewConstant(0);
    AstOperand* vectorOperand = NewConstant(wordOffset >> 2);
    AstOperand* elementOperand = NewConstant(wordOffset & 3);
    IAstNode* sources[] = {bindingOperand, fieldOperand, vectorOperand, elementOperand};
    return Arena().New<AstOperation>(Instruction::Load, StorageKind::ConstantBuffer, false,
                                     std::span<IAstNode* const>(sources), 4);
}

AstOperand* StructuredProgramContext::GetOperand(Operand* operand) {
    if (operand == nullptr) return nullptr;
    if (operand->Type != OperandType::LocalVariable) return Arena().New<AstOperand>(operand->Type, operand->Value);

    if (AstOperand* found = LocalsMap.Find(operand)) return found;
    AstOperand* local = Arena().New<AstOperand>(operand->Type, operand->Value);
    LocalsMap.Insert(operand, local);
    AddLocal(local);
    return local;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
