#include <gtest/gtest.h>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using Zerivox::Graphics::Shader::Testing::IrTestBuilder;
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
    IrTestBuilder b;
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, b.ParseOperations(R"(
        R0 = Copy 1
        BranchIfTrue L0, P0
        R1 = Copy 2
        Branch L1
        MarkLabel L0
        R1 = Copy 3
        MarkLabel L1
        Return
    )"));
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
    // A conditional branch to the next label (L0): both edges to one block.
    // Code after Return stays in the block; the block then falls through
    // because its last node is no longer unconditional. A Return right
    // before a label (L2): no fall-through. Code after an unconditional
    // branch forms a block nothing enters.
    IrTestBuilder b;
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, b.ParseOperations(R"(
        BranchIfFalse L0, P1
        MarkLabel L0
        Return
        R2 = Copy 0
        MarkLabel L1
        Return
        MarkLabel L2
        Branch L1
        R3 = Copy 0
    )"));
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
    // L0 is entered by nothing, L1 only from L0 (it goes in a later pass);
    // the cycle at L2 that nothing reaches keeps its predecessors.
    IrTestBuilder b;
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, b.ParseOperations(R"(
        Return
        MarkLabel L0
        Branch L1
        MarkLabel L1
        Return
        MarkLabel L2
        BranchIfTrue L2, P0
        Return
    )"));
    EXPECT_EQ(Print(cfg),
              "B0:\n"
              "  Return\n"
              "B1: preds B1 next B2 branch B1\n"
              "  BranchIfTrue L0, P0\n"
              "B2: preds B1\n"
              "  Return\n");
    EXPECT_EQ(PostOrder(cfg), (std::vector<int>{0}));
}

TEST(ControlFlowGraphTest, BackwardOrphanChainsGoWhole) {
    // L3 is entered by nothing; it branches back to L2, L2 to L1 and L1 to
    // L0 (each through the block after its conditional branch), so each is
    // orphaned only once the one after it is gone. All of them lead into L4
    // as well, which stays with its predecessors from the blocks that
    // remain, in their order.
    IrTestBuilder b;
    std::vector<Operation*> operations = b.ParseOperations(R"(
        BranchIfTrue L4, P0
        Branch L5
        MarkLabel L0
        BranchIfTrue L4, P0
        Return
        MarkLabel L1
        BranchIfTrue L4, P1
        Branch L0
        MarkLabel L2
        BranchIfTrue L4, P1
        Branch L1
        MarkLabel L3
        BranchIfTrue L2, P2
        Branch L4
        MarkLabel L5
        BranchIfTrue L4, P3
        Return
        MarkLabel L4
        Return
    )");
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, operations);
    EXPECT_EQ(Print(cfg),
              "B0: next B1 branch B4\n"
              "  BranchIfTrue L0, P0\n"
              "B1: preds B0 branch B2\n"
              "  Branch L1\n"
              "B2: preds B1 next B3 branch B4\n"
              "  BranchIfTrue L0, P3\n"
              "B3: preds B2\n"
              "  Return\n"
              "B4: preds B0 B2\n"
              "  Return\n");
    EXPECT_EQ(PostOrder(cfg), (std::vector<int>{3, 4, 2, 1, 0}));

}

TEST(ControlFlowGraphTest, EntryThatIsABranchTargetGetsAFreshEntry) {
    IrTestBuilder b;
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, b.ParseOperations(R"(
        MarkLabel L0
        R0 = Add R0, 1
        BranchIfTrue L0, P0
        Return
    )"));
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

    // A label is known first from a mark or first from a branch to it; both
    // roads must catch a second mark and a target never marked.
    const char* const malformed[] = {
        "BranchIfTrue L0, P0\nReturn\n",
        "MarkLabel L1\nReturn\nMarkLabel L1\nReturn\n",
        "BranchIfTrue L2, P0\nMarkLabel L2\nReturn\nMarkLabel L2\nReturn\n",
        "MarkLabel L3\nReturn\nBranchIfTrue L3, P0\nMarkLabel L3\nReturn\n",
        // The branch sits in a block nothing reaches, which is dropped later.
        "Return\nBranchIfTrue L4, P0\nReturn\n",
    };
    for (const char* code : malformed) {
        IrTestBuilder b;
        const std::vector<Operation*> operations = b.ParseOperations(code);
        EXPECT_THROW(ControlFlowGraph::Create(b.Arena, operations), Zerivox::Common::InvalidOperationException)
            << code;
    }
}

TEST(ControlFlowGraphTest, LongChainsNeedNoDeepRecursion) {
    const int count = 100000;
    std::string code;
    for (int i = 0; i < count; i++) {
        const std::string label = "L" + std::to_string(i);
        code += "BranchIfTrue " + label + ", P0\nMarkLabel " + label + "\n";
    }
    code += "Return\n";
    IrTestBuilder b;
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, b.ParseOperations(code));
    ASSERT_EQ(cfg.Blocks.size(), static_cast<size_t>(count + 1));
    EXPECT_EQ(cfg.PostOrderBlocks.back(), cfg.Blocks[0]);
    EXPECT_EQ(cfg.PostOrderBlocks.front(), cfg.Blocks.back());
}

}  // namespace
