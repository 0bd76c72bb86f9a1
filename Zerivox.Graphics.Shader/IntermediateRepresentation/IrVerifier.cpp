#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {

[[noreturn]] void Fail(const BasicBlock* block, const std::string& what) {
    std::string message = "IR check failed";
    if (block != nullptr) message += " in block " + std::to_string(block->Index);
    throw Common::InvalidOperationException(message + ": " + what);
}

bool IsBranch(Instruction inst) {
    return inst == Instruction::Branch || inst == Instruction::BranchIfFalse || inst == Instruction::BranchIfTrue;
}

int CountSlots(const INode* node, const Operand* operand) {
    int count = 0;
    for (int i = 0; i < node->SourcesCount(); i++) {
        if (node->GetSource(i) == operand) count++;
    }
    return count;
}

}  // namespace

void IrVerifier::Verify(std::span<BasicBlock* const> blocks) {
    // Lookup-only containers: failures report the first problem in block
    // order, never an order taken from hashing.
    std::unordered_set<const BasicBlock*> blockSet(blocks.begin(), blocks.end());
    std::unordered_set<const INode*> nodes;
    std::vector<const Operand*> locals;
    std::unordered_set<const Operand*> seenLocals;

    for (std::size_t i = 0; i < blocks.size(); i++) {
        const BasicBlock* block = blocks[i];
        if (block->Index != static_cast<int>(i)) Fail(block, "index differs from position " + std::to_string(i));
        for (const BasicBlock* succ : {block->Next(), block->Branch()}) {
            if (succ != nullptr && blockSet.count(succ) == 0) Fail(block, "successor outside the blocks");
        }
    }

    // Incoming edges of every block, counted per source block.
    std::unordered_map<const BasicBlock*, std::unordered_map<const BasicBlock*, int>> edges;
    for (const BasicBlock* block : blocks) {
        if (block->Next() != nullptr) edges[block->Next()][block]++;
        if (block->Branch() != nullptr) edges[block->Branch()][block]++;
    }

    for (const BasicBlock* block : blocks) {
        // Predecessors: exactly one entry per incoming edge.
        const std::unordered_map<const BasicBlock*, int>& expected = edges[block];
        std::unordered_map<const BasicBlock*, int> listed;
        for (const BasicBlock* pred : block->Predecessors) listed[pred]++;
        if (expected != listed) Fail(block, "predecessor list does not match the edges");

        // List links.
        const INode* previous = nullptr;
        int count = 0;
        bool pastPhis = false;
        for (const INode* node = block->Operations.First(); node != nullptr; node = node->ListNext()) {
            if (node->List() != &block->Operations) Fail(block, "node linked into another list");
            if (node->ListPrevious() != previous) Fail(block, "broken previous link");
            if (!nodes.insert(node).second) Fail(block, "node appears twice");
            previous = node;
            count++;

            if (node->IsPhi()) {
                if (pastPhis) Fail(block, "phi after a non-phi node");
                const PhiNode* phi = node->AsPhi();
                for (const PhiNode::PhiSource& source : phi->PhiSources()) {
                    if (blockSet.count(source.Block) == 0) Fail(block, "phi source block outside the blocks");
                }
            } else {
                pastPhis = true;
                const Operation* op = node->AsOperation();
                if (IsBranch(op->Inst) && node->ListNext() != nullptr) Fail(block, "branch in the middle of a block");
            }

            for (int d = 0; d < node->DestsCount(); d++) {
                const Operand* dest = node->GetDest(d);
                if (dest != nullptr && dest->Type == OperandType::LocalVariable) {
                    if (dest->Definition != node) Fail(block, "local destination without its definition link");
                    if (seenLocals.insert(dest).second) locals.push_back(dest);
                }
            }
            for (int s = 0; s < node->SourcesCount(); s++) {
                const Operand* source = node->GetSource(s);
                if (source == nullptr || source->Type != OperandType::LocalVariable) continue;
                if (source->Uses.RefCount(node) != static_cast<uint32_t>(CountSlots(node, source))) {
                    Fail(block, "use set of a local does not count this node's sources");
                }
                if (seenLocals.insert(source).second) locals.push_back(source);
            }
        }
        if (previous != block->Operations.Last()) Fail(block, "last link does not match the list end");
        if (count != block->Operations.Count()) Fail(block, "node count does not match the list");

        const INode* last = block->GetLastOp();
        const Operation* lastOp = last != nullptr ? last->AsOperation() : nullptr;
        if (lastOp != nullptr) {
            if (IsBranch(lastOp->Inst) && block->Branch() == nullptr) Fail(block, "branch without a target block");
            bool unconditional = lastOp->Inst == Instruction::Branch || lastOp->Inst == Instruction::Return ||
                                 lastOp->Inst == Instruction::Discard;
            if (unconditional && block->Next() != nullptr) Fail(block, "fall-through after an unconditional end");
        }
    }

    for (const Operand* local : locals) {
        for (const INode* user : local->Uses) {
            if (nodes.count(user) == 0) Fail(nullptr, "a local lists a user that is not in the blocks");
            if (CountSlots(user, local) == 0) Fail(nullptr, "a local lists a user that does not read it");
        }
    }
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
