#include "Zerivox.Graphics.Shader/Translation/Optimizations/BranchElimination.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

bool BranchElimination::RunPass(BasicBlock* block) {
    if (block->Branch() == nullptr)
        return false;
    INode* last = block->GetLastOp();
    const Operation* branch = last != nullptr ? last->AsOperation() : nullptr;
    if (branch == nullptr)
        return false;

    BasicBlock* next = Next(block);
    if (!IsRedundantBranch(branch, next))
        return false;

    block->set_Branch(nullptr);
    return true;
}

bool BranchElimination::IsRedundantBranch(const Operation* current, const BasicBlock* next) {
    if (next == nullptr)
        return false;
    INode* first = next->Operations.First();
    const Operation* op = first != nullptr ? first->AsOperation() : nullptr;
    if (op == nullptr || op->Inst != Instruction::Branch)
        return false;
    return op->Dest() != nullptr && op->Dest() == current->Dest();
}

BasicBlock* BranchElimination::Next(const BasicBlock* block) {
    BasicBlock* next = block->Next();
    // Fall-through roads run forward, so they cannot loop; the slow cursor
    // only turns a malformed cycle into an error instead of a hang.
    const BasicBlock* slow = block;
    bool advanceSlow = false;
    while (next != nullptr && next->Operations.empty()) {
        if (next->Branch() != nullptr) {
            throw Common::InvalidOperationException("Found a bogus empty block that \"ends with a branch\".");
        }
        next = next->Next();
        if (advanceSlow)
            slow = slow->Next();
        advanceSlow = !advanceSlow;
        if (next == slow)
            throw Common::InvalidOperationException("Found a cycle of empty blocks.");
    }
    return next;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
