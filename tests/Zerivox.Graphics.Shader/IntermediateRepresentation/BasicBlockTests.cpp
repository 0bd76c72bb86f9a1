#include <gtest/gtest.h>

#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;

namespace {

class BasicBlockTest : public ::testing::Test {
protected:
    IrArena arena;
    Operation* Op(Instruction inst) { return arena.NewOperation(inst, nullptr, {}); }
    static std::vector<INode*> Nodes(const BasicBlock* block) {
        std::vector<INode*> nodes;
        for (INode* node : block->Operations) nodes.push_back(node);
        return nodes;
    }
};

TEST_F(BasicBlockTest, ListEditsThroughNodeHandles) {
    BasicBlock* block = arena.NewBlock();
    Operation* a = Op(Instruction::Barrier);
    Operation* b = Op(Instruction::Barrier);
    Operation* c = Op(Instruction::Barrier);
    Operation* d = Op(Instruction::Barrier);
    block->Operations.AddLast(b);
    block->Operations.AddFirst(a);
    block->Operations.AddAfter(b, d);
    block->Operations.AddBefore(d, c);
    EXPECT_EQ(Nodes(block), (std::vector<INode*>{a, b, c, d}));

    block->Operations.Remove(b);
    EXPECT_EQ(b->ListNext(), nullptr);
    EXPECT_EQ(b->List(), nullptr);
    EXPECT_EQ(a->ListNext(), c);
    block->Operations.Remove(d);
    EXPECT_EQ(block->Operations.Last(), c);
    EXPECT_EQ(block->Operations.Count(), 2);

    // A node is in at most one list; anchors must be in this one.
    EXPECT_THROW(block->Operations.AddLast(a), Zerivox::Common::InvalidOperationException);
    EXPECT_THROW(block->Operations.AddAfter(b, d), Zerivox::Common::InvalidOperationException);
}

TEST_F(BasicBlockTest, WalkMayRemoveTheVisitedNode) {
    BasicBlock* block = arena.NewBlock();
    std::vector<INode*> all;
    for (int i = 0; i < 5; i++) {
        all.push_back(Op(i % 2 == 0 ? Instruction::Barrier : Instruction::MemoryBarrier));
        block->Operations.AddLast(all.back());
    }
    for (INode* node : block->Operations) {
        if (node->AsOperation()->Inst == Instruction::Barrier) block->Operations.Remove(node);
    }
    EXPECT_EQ(Nodes(block), (std::vector<INode*>{all[1], all[3]}));
}

TEST_F(BasicBlockTest, RemoveNodeDropsItsUses) {
    BasicBlock* block = arena.NewBlock();
    Operand* x = OperandHelper::MakeLocal(arena);
    Operation* op = arena.NewOperation(Instruction::Add, OperandHelper::MakeLocal(arena), {x, x});
    block->Operations.AddLast(op);
    RemoveNode(op);
    EXPECT_TRUE(block->Operations.empty());
    EXPECT_TRUE(x->Uses.empty());
}

TEST_F(BasicBlockTest, AppendGoesBeforeFinalControlFlow) {
    struct Case {
        Instruction last;  // None: empty block
        bool before;
    };
    const Case cases[] = {
        {Instruction::None, false},
        {Instruction::Return, true},
        {Instruction::Discard, true},
        {Instruction::BranchIfTrue, true},
        {Instruction::Copy, false},
        {Instruction::Return | Instruction::FP32, false},  // a flagged code is not control flow
    };
    for (const Case& c : cases) {
        BasicBlock* block = arena.NewBlock();
        Operation* last = nullptr;
        if (c.last != Instruction::None) {
            last = Op(c.last);
            block->Operations.AddLast(last);
        }
        Operation* added = Op(Instruction::Barrier);
        block->Append(added);
        EXPECT_EQ(block->GetLastOp(), c.before ? static_cast<INode*>(last) : added) << InstructionName(c.last);
    }
}

TEST_F(BasicBlockTest, SuccessorLinksKeepPredecessorsInEdgeOrder) {
    BasicBlock* a = arena.NewBlock();
    BasicBlock* b = arena.NewBlock();
    BasicBlock* target = arena.NewBlock();
    b->set_Branch(target);
    a->set_Next(target);
    a->set_Branch(target);  // both edges of a: listed twice
    EXPECT_EQ(target->Predecessors, (std::vector<BasicBlock*>{b, a, a}));

    a->set_Next(nullptr);  // drops one occurrence only
    EXPECT_EQ(target->Predecessors, (std::vector<BasicBlock*>{b, a}));

    b->set_Branch(target);  // re-setting moves b to the end
    EXPECT_EQ(target->Predecessors, (std::vector<BasicBlock*>{a, b}));
}

}  // namespace
