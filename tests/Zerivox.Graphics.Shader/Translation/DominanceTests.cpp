#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

// The iterated frontier must be the closure of the frontier sets on any
// graph: random graphs with loops, irreducible cycles, blocks the entry does
// not reach, branches to the entry and both edges to one block, each asked
// for random sets of defining blocks.
TEST(DominanceTest, IteratedFrontierIsTheClosureOfTheFrontiers) {
    std::mt19937 rng(7);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    for (int graph = 0; graph < 1500; graph++) {
        IrArena arena;
        IrTestBuilder b(arena);
        const int count = pick(1, 12);
        for (int i = 0; i < count; i++) {
            b.Mark("b" + std::to_string(i));
            b.Copy(b.R(0), b.C(i));
            const std::string target = "b" + std::to_string(pick(0, count - 1));
            const int kind = pick(0, 9);
            if (kind < 3 && i + 1 < count) continue;  // falls through
            if (kind < 5) {
                b.Branch(target);
            } else if (kind < 9) {
                b.BranchIfTrue(target, b.P(0));
                if (i + 1 == count) b.Return();
            } else {
                b.Return();
            }
        }
        ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.Ops);
        Dominance::FindDominators(cfg);
        Dominance::FindDominanceFrontiers(cfg.Blocks);
        Dominance::IteratedFrontier frontier(cfg.Blocks);
        const int blocks = static_cast<int>(cfg.Blocks.size());
        for (int query = 0; query < 4; query++) {
            std::vector<int32_t> defs;
            for (int i = 0; i < blocks; i++)
                if (pick(0, 3) == 0) defs.push_back(i);
            std::vector<bool> in(static_cast<std::size_t>(blocks), false);
            std::vector<int32_t> work = defs;
            while (!work.empty()) {
                BasicBlock* block = cfg.Blocks[static_cast<std::size_t>(work.back())];
                work.pop_back();
                for (BasicBlock* f : block->DominanceFrontiers) {
                    if (!in[static_cast<std::size_t>(f->Index)]) {
                        in[static_cast<std::size_t>(f->Index)] = true;
                        work.push_back(f->Index);
                    }
                }
            }
            std::vector<int32_t> expected;
            for (int i = 0; i < blocks; i++)
                if (in[static_cast<std::size_t>(i)]) expected.push_back(i);
            std::span<const int32_t> got = frontier.Compute(defs);
            std::vector<int32_t> actual(got.begin(), got.end());
            std::sort(actual.begin(), actual.end());
            ASSERT_EQ(actual, expected) << "graph " << graph << " query " << query << "\n"
                                        << Describe(arena, b.Ops);
        }
    }
}

}  // namespace
