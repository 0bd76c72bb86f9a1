#include <gtest/gtest.h>

#include "IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"

using namespace ZvTest;
using namespace Zerivox::Graphics::Shader::Translation;

namespace {

// One line per block: "B<i> idom B<j> df B.. B..", "idom -" when none.
std::string Describe(IrArena& arena, const std::vector<Operation*>& ops) {
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, ops);
    Dominance::FindDominators(cfg);
    Dominance::FindDominanceFrontiers(cfg.Blocks);
    std::string text;
    for (BasicBlock* block : cfg.Blocks) {
        text += "B" + std::to_string(block->Index) + " idom ";
        text += block->ImmediateDominator ? "B" + std::to_string(block->ImmediateDominator->Index) : "-";
        if (!block->DominanceFrontiers.empty()) {
            text += " df";
            for (BasicBlock* f : block->DominanceFrontiers) text += " B" + std::to_string(f->Index);
        }
        text += "\n";
    }
    return text;
}

TEST(DominanceTest, NestedLoops) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.Copy(b.R(0), b.C(0));  // B0
    b.Mark("outer");         // B1
    b.Copy(b.R(1), b.C(0));
    b.Mark("inner");  // B2: self loop
    b.BranchIfTrue("inner", b.P(0));
    b.BranchIfTrue("outer", b.P(1));  // B3: back edge to B1
    b.Return();                        // B4
    EXPECT_EQ(Describe(arena, b.Ops),
              "B0 idom B0\n"
              "B1 idom B0 df B1\n"
              "B2 idom B1 df B1 B2\n"
              "B3 idom B2 df B1\n"
              "B4 idom B3\n");
}

TEST(DominanceTest, IrreducibleLoop) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.BranchIfTrue("b2", b.P(0));  // B0 enters the cycle at B1 or B2
    b.Mark("b1");
    b.BranchIfTrue("exit", b.P(1));
    b.Mark("b2");
    b.BranchIfTrue("b1", b.P(2));
    b.Mark("exit");
    b.Return();
    EXPECT_EQ(Describe(arena, b.Ops),
              "B0 idom B0\n"
              "B1 idom B0 df B2 B3\n"
              "B2 idom B0 df B1 B3\n"
              "B3 idom B0\n");
}

TEST(DominanceTest, MergeWithAnUnreachablePredecessor) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.BranchIfTrue("m", b.P(0));  // B0
    b.Return();                    // B1
    b.Mark("loop");                // B2: a cycle the entry does not reach
    b.BranchIfTrue("loop", b.P(1));
    b.Mark("m");  // B3: merge of B0 and B2
    b.Return();
    EXPECT_EQ(Describe(arena, b.Ops),
              "B0 idom B0\n"
              "B1 idom B0\n"
              "B2 idom - df B3\n"
              "B3 idom B0\n");
}

}  // namespace
