#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"

#include <cstdint>
#include <utility>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/KeyedPointerTable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"

namespace Zerivox::Graphics::Shader::Translation {

using namespace IntermediateRepresentation;
using Common::InvalidOperationException;

ControlFlowGraph::ControlFlowGraph(std::vector<BasicBlock*> blocks) : Blocks(std::move(blocks)) {
    if (Blocks.empty()) return;

    for (std::size_t i = 0; i < Blocks.size(); i++) {
        if (Blocks[i]->Index != static_cast<int>(i)) {
            throw InvalidOperationException("Block at position " + std::to_string(i) + " has index " +
                                            std::to_string(Blocks[i]->Index) + ".");
        }
    }

    auto indexOf = [&](const BasicBlock* block) -> std::size_t {
        auto index = static_cast<std::size_t>(block->Index);
        if (block->Index < 0 || index >= Blocks.size() || Blocks[index] != block) {
            throw InvalidOperationException("A successor edge leaves the function's blocks.");
        }
        return index;
    };

    // Explicit stack: guest functions can have thousands of blocks in a chain.
    // The map marks the walk's progress too: NotSeen, then Seen, then the
    // block's position once it is finished. The stack holds a path of the
    // walk, each block at most once.
    constexpr int NotSeen = -1;
    constexpr int Seen = -2;
    PostOrderMap.assign(Blocks.size(), NotSeen);
    auto visited = [&](std::size_t index) { return PostOrderMap[index] != NotSeen; };
    std::vector<BasicBlock*> stack;
    stack.reserve(Blocks.size());
    PostOrderBlocks.reserve(Blocks.size());
    PostOrderMap[0] = Seen;
    stack.push_back(Blocks[0]);
    while (!stack.empty()) {
        BasicBlock* block = stack.back();
        stack.pop_back();
        BasicBlock* next = block->Next();
        BasicBlock* branch = block->Branch();
        if (next != nullptr && !visited(indexOf(next))) {
            PostOrderMap[indexOf(next)] = Seen;
            stack.push_back(block);
            stack.push_back(next);
        } else if (branch != nullptr && !visited(indexOf(branch))) {
            PostOrderMap[indexOf(branch)] = Seen;
            stack.push_back(block);
            stack.push_back(branch);
        } else {
            PostOrderMap[indexOf(block)] = static_cast<int>(PostOrderBlocks.size());
            PostOrderBlocks.push_back(block);
        }
    }
    // Blocks the entry does not reach.
    for (int& position : PostOrderMap) {
        if (position == NotSeen) position = 0;
    }
}

bool ControlFlowGraph::EndsWithUnconditionalInst(const INode* node) {
    if (node == nullptr) return false;
    const Operation* op = node->AsOperation();
    if (op == nullptr) return false;
    return op->Inst == Instruction::Branch || op->Inst == Instruction::Discard || op->Inst == Instruction::Return;
}

namespace {

// Drops the blocks that no predecessor edge reaches, keeping the entry:
// removing one can orphan its successors, and a chain whose blocks branch
// backwards loses one block per sweep, so orphans are found through a queue
// fed as a block's last live predecessor goes. Cycles that nothing enters
// keep their predecessors and stay. The dropped blocks end with no edges;
// the predecessor lists of the blocks that stay keep their order.
void RemoveOrphans(std::vector<BasicBlock*>& blocks) {
    const std::size_t count = blocks.size();
    if (count < 2) return;

    // By Index (the position in blocks): 0 stays, 1 dropped, 2 stays and has
    // lost predecessors.
    constexpr uint8_t Dropped = 1;
    constexpr uint8_t LostPredecessors = 2;
    std::vector<uint8_t> state(count, 0);
    std::vector<std::size_t> livePredecessors(count);
    std::vector<BasicBlock*> queue;
    for (std::size_t i = 0; i < count; i++) {
        livePredecessors[i] = blocks[i]->Predecessors.size();
        if (i != 0 && livePredecessors[i] == 0) {
            state[i] = Dropped;
            queue.push_back(blocks[i]);
        }
    }
    if (queue.empty()) return;

    auto lose = [&](const BasicBlock* successor) {
        if (successor == nullptr) return;
        const auto index = static_cast<std::size_t>(successor->Index);
        if (--livePredecessors[index] == 0 && index != 0) {
            state[index] = Dropped;
            queue.push_back(blocks[index]);
        }
    };
    for (std::size_t q = 0; q < queue.size(); q++) {
        lose(queue[q]->Next());
        lose(queue[q]->Branch());
    }

    // Unlinking edge by edge would search and shift a predecessor list per
    // edge, which costs the square of a block's predecessor count when many
    // dropped blocks lead into it. Instead the lists that stay are filtered
    // once and set aside, the dropped blocks' lists emptied, so that clearing
    // the dropped blocks' links finds nothing to unlink; then they are put
    // back.
    auto dropped = [&](const BasicBlock* block) { return state[static_cast<std::size_t>(block->Index)] == Dropped; };
    std::vector<std::vector<BasicBlock*>> kept;
    std::vector<BasicBlock*> keptOwners;
    auto setAside = [&](BasicBlock* successor) {
        if (successor == nullptr) return;
        uint8_t& mark = state[static_cast<std::size_t>(successor->Index)];
        if (mark != 0) return;
        mark = LostPredecessors;
        std::erase_if(successor->Predecessors, dropped);
        keptOwners.push_back(successor);
        kept.emplace_back().swap(successor->Predecessors);
    };
    for (BasicBlock* block : queue) {
        setAside(block->Next());
        setAside(block->Branch());
    }
    for (BasicBlock* block : queue) block->Predecessors.clear();
    for (BasicBlock* block : queue) {
        block->set_Next(nullptr);
        block->set_Branch(nullptr);
    }
    for (std::size_t i = 0; i < keptOwners.size(); i++) keptOwners[i]->Predecessors.swap(kept[i]);

    std::size_t write = 1;
    for (std::size_t read = 1; read < count; read++) {
        BasicBlock* block = blocks[read];
        if (state[read] == Dropped) continue;
        block->Index = static_cast<int>(write);
        blocks[write++] = block;
    }
    blocks.resize(write);
}

} // namespace

ControlFlowGraph ControlFlowGraph::Create(IrArena& arena, std::span<Operation* const> operations) {
    // The block of each label by the label's address. A block is placed in
    // the function once its label is marked; until then its Index is -1.
    // Lookup only, never iterated.
    Common::KeyedPointerTable<BasicBlock> labels;
    auto labelKey = [](const Operand* label) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(label)); };
    std::vector<BasicBlock*> blocks;
    BasicBlock* current = nullptr;
    bool needsNewBlock = true;

    auto linkFallThrough = [&](BasicBlock* block) {
        if (current != nullptr && !EndsWithUnconditionalInst(current->GetLastOp())) current->set_Next(block);
        current = block;
    };
    auto newBlock = [&]() {
        BasicBlock* block = arena.NewBlock();
        block->Index = static_cast<int>(blocks.size());
        blocks.push_back(block);
        linkFallThrough(block);
        return block;
    };

    for (Operation* op : operations) {
        if (op->Inst == Instruction::MarkLabel) {
            Operand* label = op->Dest();
            if (label == nullptr) throw InvalidOperationException("MarkLabel without a label.");
            if (BasicBlock* block = labels.Find(labelKey(label))) {
                if (block->Index >= 0) throw InvalidOperationException("A label is marked twice.");
                block->Index = static_cast<int>(blocks.size());
                blocks.push_back(block);
                linkFallThrough(block);
            } else {
                labels.Set(labelKey(label), newBlock());
            }
        } else {
            if (needsNewBlock) newBlock();
            current->Operations.AddLast(op);
        }

        needsNewBlock = InstructionExtensions::IsBranch(op->Inst);
        if (needsNewBlock) {
            Operand* label = op->Dest();
            if (label == nullptr) throw InvalidOperationException("Branch without a target label.");
            BasicBlock* target = labels.Find(labelKey(label));
            if (target == nullptr) {
                target = arena.NewBlock();
                target->Index = -1;
                labels.Set(labelKey(label), target);
            }
            current->set_Branch(target);
        }
    }

    // A target that is never marked would be a block outside the function.
    // Only branches make edges to such a block, and every block with a
    // branch is in the function.
    for (const BasicBlock* block : blocks) {
        if (block->Branch() != nullptr && block->Branch()->Index < 0) {
            throw InvalidOperationException("A branch targets a label that is never marked.");
        }
    }

    RemoveOrphans(blocks);

    // An entry block that is a branch target (the function starts with a
    // loop) gets a new empty entry in front: the entry must run exactly once,
    // or its incoming argument copies would rerun every iteration and the
    // values carried around the loop would read as undefined at its head.
    if (!blocks.empty() && !blocks[0]->Predecessors.empty()) {
        BasicBlock* entry = arena.NewBlock();
        entry->set_Next(blocks[0]);
        blocks.insert(blocks.begin(), entry);
        for (std::size_t i = 0; i < blocks.size(); i++) blocks[i]->Index = static_cast<int>(i);
    }

    return ControlFlowGraph(std::move(blocks));
}

} // namespace Zerivox::Graphics::Shader::Translation
