#include <gtest/gtest.h>

#include "IrTestBuilder.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"

using namespace ZvTest;
using Zerivox::Graphics::Shader::Translation::ControlFlowGraph;

namespace {

std::string Print(const ControlFlowGraph& cfg) {
    IrVerifier::Verify(cfg.Blocks);
    return IrPrinter::PrintBlocks(cfg.Blocks);
}

std::vector<int> PostOrder(const ControlFlowGraph& cfg) {
    std::vector<int> order;
    for (auto* block : cfg.PostOrderBlocks) order.push_back(block->Index);
    return order;
}

TEST(ControlFlowGraphTest, SplitsAtLabelsAndBranches) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.Copy(b.R(0), b.C(1));
    b.BranchIfTrue("else", b.P(0));
    b.Copy(b.R(1), b.C(2));
    b.Branch("end");
    b.Mark("else");
    b.Copy(b.R(1), b.C(3));
    b.Mark("end");
    b.Return();
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.Ops);
    EXPECT_EQ(Print(cfg),
              "B0: next B1 branch B2\n"
              "  R0 = Copy 1\n"
              "  BranchIfTrue L0, P0\n"
              "B1: preds B0 branch B3\n"
              "  R1 = Copy 2\n"
              "  Branch L1\n"
              "B2: preds B0 next B3\n"
              "  R1 = Copy 3\n"
              "B3: preds B1 B2\n"
              "  Return\n");
    EXPECT_EQ(PostOrder(cfg), (std::vector<int>{3, 1, 2, 0}));
    EXPECT_EQ(cfg.PostOrderMap, (std::vector<int>{3, 1, 2, 0}));
}

TEST(ControlFlowGraphTest, FallThroughEdgeCases) {
    IrArena arena;
    IrTestBuilder b(arena);
    // A conditional branch to the next label: both edges to one block.
    b.BranchIfFalse("next", b.P(1));
    b.Mark("next");
    // Code after Return stays in the block; the block then falls through
    // because its last node is no longer unconditional.
    b.Return();
    b.Copy(b.R(2), b.C(0));
    b.Mark("a");
    // A Return right before a label: no fall-through.
    b.Return();
    b.Mark("b");
    // Code after an unconditional branch forms a block nothing enters.
    b.Branch("a");
    b.Copy(b.R(3), b.C(0));
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.Ops);
    EXPECT_EQ(Print(cfg),
              "B0: next B1 branch B1\n"
              "  BranchIfFalse L0, P1\n"
              "B1: preds B0 B0 next B2\n"
              "  Return\n"
              "  R2 = Copy 0\n"
              "B2: preds B1\n"
              "  Return\n");
}

TEST(ControlFlowGraphTest, UnreachableChainsGoButUnreachableCyclesStay) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.Return();
    b.Mark("dead1");  // entered by nothing
    b.Branch("dead2");
    b.Mark("dead2");  // entered only from dead1: goes in a later pass
    b.Return();
    b.Mark("loop");  // a cycle nothing reaches keeps its predecessors
    b.BranchIfTrue("loop", b.P(0));
    b.Return();
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.Ops);
    EXPECT_EQ(Print(cfg),
              "B0:\n"
              "  Return\n"
              "B1: preds B1 next B2 branch B1\n"
              "  BranchIfTrue L0, P0\n"
              "B2: preds B1\n"
              "  Return\n");
    EXPECT_EQ(PostOrder(cfg), (std::vector<int>{0}));
}

TEST(ControlFlowGraphTest, EntryThatIsABranchTargetGetsAFreshEntry) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.Mark("head");
    b.Add(b.R(0), b.R(0), b.C(1));
    b.BranchIfTrue("head", b.P(0));
    b.Return();
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.Ops);
    EXPECT_EQ(Print(cfg),
              "B0: next B1\n"
              "B1: preds B1 B0 next B2 branch B1\n"
              "  R0 = Add R0, 1\n"
              "  BranchIfTrue L0, P0\n"
              "B2: preds B1\n"
              "  Return\n");
}

TEST(ControlFlowGraphTest, EmptyAndMalformedLists) {
    IrArena arena;
    EXPECT_TRUE(ControlFlowGraph::Create(arena, {}).Blocks.empty());

    IrTestBuilder unmarked(arena);
    unmarked.BranchIfTrue("nowhere", unmarked.P(0));
    unmarked.Return();
    EXPECT_THROW(ControlFlowGraph::Create(arena, unmarked.Ops), Zerivox::Common::InvalidOperationException);

    IrTestBuilder twice(arena);
    twice.Mark("x");
    twice.Return();
    twice.Mark("x");
    twice.Return();
    EXPECT_THROW(ControlFlowGraph::Create(arena, twice.Ops), Zerivox::Common::InvalidOperationException);
}

TEST(ControlFlowGraphTest, LongChainsNeedNoDeepRecursion) {
    IrArena arena;
    IrTestBuilder b(arena);
    const int count = 100000;
    for (int i = 0; i < count; i++) {
        b.BranchIfTrue("l" + std::to_string(i), b.P(0));
        b.Mark("l" + std::to_string(i));
    }
    b.Return();
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.Ops);
    ASSERT_EQ(cfg.Blocks.size(), static_cast<size_t>(count + 1));
    EXPECT_EQ(cfg.PostOrderBlocks.back(), cfg.Blocks[0]);
    EXPECT_EQ(cfg.PostOrderBlocks.front(), cfg.Blocks.back());
}

}  // namespace
