#pragma once
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class IrArena;

// A basic block of one function. Phis lead the operation list. Successor
// links go through set_Next/set_Branch so that Predecessors stays right:
// the order of Predecessors is the order in which edges were made, and a
// block whose Next and Branch both name one successor is listed there twice.
// Create with IrArena::NewBlock.
class BasicBlock {
public:
    explicit BasicBlock(IrArena& arena) : _arena(&arena) {}
    BasicBlock(const BasicBlock&) = delete;
    BasicBlock& operator=(const BasicBlock&) = delete;

    NodeList Operations;
    std::vector<BasicBlock*> Predecessors;
    Common::OrderedSet<BasicBlock*> DominanceFrontiers;
    BasicBlock* ImmediateDominator = nullptr;
    // Position of the block in its function.
    int Index = 0;

    BasicBlock* Next() const { return _next; }
    BasicBlock* Branch() const { return _branch; }
    void set_Next(BasicBlock* block) { _next = AddSuccessor(_next, block); }
    void set_Branch(BasicBlock* block) { _branch = AddSuccessor(_branch, block); }

    // Unlinks this block from oldBlock's predecessors (first occurrence) and
    // appends it to newBlock's; returns newBlock. Either may be null.
    BasicBlock* AddSuccessor(BasicBlock* oldBlock, BasicBlock* newBlock);

    // Last node, null when the list is empty.
    INode* GetLastOp() const { return Operations.Last(); }

    // Appends a node, but before a final control-flow operation.
    void Append(INode* node);

    // Branch, BranchIfFalse, BranchIfTrue, Discard, Return, compared on the
    // whole value (a flagged instruction is not control flow).
    static bool IsControlFlowInst(Instruction inst) {
        return inst == Instruction::Branch || inst == Instruction::BranchIfFalse ||
               inst == Instruction::BranchIfTrue || inst == Instruction::Discard || inst == Instruction::Return;
    }

    IrArena& Arena() const { return *_arena; }

private:
    IrArena* _arena;
    BasicBlock* _next = nullptr;
    BasicBlock* _branch = nullptr;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
