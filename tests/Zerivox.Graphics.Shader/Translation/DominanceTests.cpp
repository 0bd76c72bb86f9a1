#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::Testing::IrTestBuilder;

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

// The same for guest code as the emitter leaves it.
std::string Describe(std::string_view code) {
    IrTestBuilder b;
    return Describe(b.Arena, b.ParseOperations(code));
}

TEST(DominanceTest, NestedLoops) {
    EXPECT_EQ(Describe(R"(
                  R0 = Copy 0
                  MarkLabel L0
                  R1 = Copy 0
                  MarkLabel L1
                  BranchIfTrue L1, P0
                  BranchIfTrue L0, P1
                  Return
              )"),
              "B0 idom B0\n"
              "B1 idom B0 df B1\n"
              "B2 idom B1 df B1 B2\n"
              "B3 idom B2 df B1\n"
              "B4 idom B3\n");
}

TEST(DominanceTest, IrreducibleLoop) {
    // B0 enters the cycle at B1 or B2.
    EXPECT_EQ(Describe(R"(
                  BranchIfTrue L2, P0
                  MarkLabel L1
                  BranchIfTrue L3, P1
                  MarkLabel L2
                  BranchIfTrue L1, P2
                  MarkLabel L3
                  Return
              )"),
              "B0 idom B0\n"
              "B1 idom B0 df B2 B3\n"
              "B2 idom B0 df B1 B3\n"
              "B3 idom B0\n");
}

TEST(DominanceTest, MergeWithAnUnreachablePredecessor) {
    // B2 is a cycle the entry does not reach; B3 merges B0 and B2.
    EXPECT_EQ(Describe(R"(
                  BranchIfTrue L0, P0
                  Return
                  MarkLabel L1
                  BranchIfTrue L1, P1
                  MarkLabel L0
                  Return
              )"),
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
        const int count = pick(1, 12);
        std::string code;
        for (int i = 0; i < count; i++) {
            code += "MarkLabel L" + std::to_string(i) + "\nR0 = Copy " + std::to_string(i) + "\n";
            const std::string target = "L" + std::to_string(pick(0, count - 1));
            const int kind = pick(0, 9);
            if (kind < 3 && i + 1 < count) continue;  // falls through
            if (kind < 5) {
                code += "Branch " + target + "\n";
            } else if (kind < 9) {
                code += "BranchIfTrue " + target + ", P0\n";
                if (i + 1 == count) code += "Return\n";
            } else {
                code += "Return\n";
            }
        }
        IrTestBuilder b;
        IrArena& arena = b.Arena;
        const std::vector<Operation*> ops = b.ParseOperations(code);
        ControlFlowGraph cfg = ControlFlowGraph::Create(arena, ops);
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
                                        << code;
        }
    }
}

}  // namespace
