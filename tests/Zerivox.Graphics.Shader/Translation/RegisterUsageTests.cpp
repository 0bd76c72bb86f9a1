#include <gtest/gtest.h>

#include <memory>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"
#include "Zerivox.Graphics.Shader/Translation/RegisterUsage.h"
#include "Zerivox.Graphics.Shader/Translation/Ssa.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::Decoders::Register;
using Zerivox::Graphics::Shader::Decoders::RegisterType;
using Zerivox::Graphics::Shader::Testing::IrTestBuilder;

namespace {

std::string Names(const std::vector<Register>& regs) {
    std::string text;
    for (const Register& r : regs) {
        if (!text.empty()) text += ' ';
        text += r.Type == RegisterType::Gpr ? "R" : r.Type == RegisterType::Predicate ? "P" : "CC";
        text += std::to_string(r.Index);
    }
    return text;
}

TEST(RegisterUsageTest, PartialWritesPassThroughAndArgumentsFollowRegisterOrder) {
    // R1 is read before it is written (in), R2 written on every path (out
    // only), R0 written on one path only (in and out).
    IrTestBuilder b;
    IrArena& arena = b.Arena;
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.ParseOperations(R"(
        R1 = Add R1, 1
        R2 = Copy 0
        CC.N = Copy 0
        BranchIfTrue L0, P0
        R0 = Copy 5
        MarkLabel L0
        Return
    )"));
    RegisterUsage::FunctionRegisterUsage usage = RegisterUsage::RunPass(cfg);
    EXPECT_EQ(Names(usage.InArguments), "R0 R1 P0");
    EXPECT_EQ(Names(usage.OutArguments), "R0 R1 R2 CC1");
    IrVerifier::Verify(cfg.Blocks);
    EXPECT_EQ(IrPrinter::PrintBlocks(cfg.Blocks),
              "B0: next B1 branch B2\n"
              "  R0 = Copy a0\n"
              "  R1 = Copy a1\n"
              "  P0 = Copy a2\n"
              "  R1 = Add R1, 1\n"
              "  R2 = Copy 0\n"
              "  CC.N = Copy 0\n"
              "  BranchIfTrue L0, P0\n"
              "B1: preds B0 next B2\n"
              "  R0 = Copy 5\n"
              "B2: preds B0 B1\n"
              "  a3 = Copy R0\n"
              "  a4 = Copy R1\n"
              "  a5 = Copy R2\n"
              "  a6 = Copy CC.N\n"
              "  Return\n");
}

TEST(RegisterUsageTest, ReturnBlocksAndFunctionsWithoutReturn) {
    IrTestBuilder b;
    IrArena& arena = b.Arena;
    {
        // Two returns: each gets the full, identically numbered set of copies.
        ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.ParseOperations(R"(
            R3 = Copy 1
            BranchIfTrue L0, P1
            Return
            MarkLabel L0
            Return
        )"));
        auto usage = RegisterUsage::RunPass(cfg);
        EXPECT_EQ(Names(usage.InArguments), "P1");
        EXPECT_EQ(Names(usage.OutArguments), "R3");
        EXPECT_EQ(IrPrinter::PrintBlocks(cfg.Blocks),
                  "B0: next B1 branch B2\n"
                  "  P1 = Copy a0\n"
                  "  R3 = Copy 1\n"
                  "  BranchIfTrue L0, P1\n"
                  "B1: preds B0\n"
                  "  a1 = Copy R3\n"
                  "  Return\n"
                  "B2: preds B0\n"
                  "  a1 = Copy R3\n"
                  "  Return\n");
    }
    {
        // Only a discard: no out-arguments. R3, written on one way into the
        // merge only, still comes in so that the other way has a value.
        ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.ParseOperations(R"(
            BranchIfTrue L1, P0
            R3 = Copy 1
            MarkLabel L1
            Discard
        )"));
        auto usage = RegisterUsage::RunPass(cfg);
        EXPECT_EQ(Names(usage.InArguments), "R3 P0");
        EXPECT_TRUE(usage.OutArguments.empty());
    }
}

// main -> A -> B -> C, and C calls B back on one path. Only C touches
// registers, yet every caller on the way must pass them on. R6 comes in as
// well: the call writes it on one way into C's last block only.
TEST(RegisterUsageTest, NestedCallsPassCalleeRegistersThroughEveryCaller) {
    IrTestBuilder b;
    IrArena& arena = b.Arena;
    const char* functions[] = {
        R"(
            Call 1
            R9 = Copy R6
            Return
        )",
        "Call 2\nReturn\n",
        "Call 3\nReturn\n",
        R"(
            BranchIfTrue L0, P0
            Call 2
            MarkLabel L0
            R6 = Add R5, 1
            Return
        )",
    };
    std::vector<std::unique_ptr<ControlFlowGraph>> graphs;
    for (const char* code : functions) {
        graphs.push_back(std::make_unique<ControlFlowGraph>(ControlFlowGraph::Create(arena, b.ParseOperations(code))));
    }
    std::vector<ControlFlowGraph*> pointers;
    for (auto& g : graphs) pointers.push_back(g.get());
    std::vector<RegisterUsage::FunctionRegisterUsage> usages = RegisterUsage::RunPass(pointers);

    ASSERT_EQ(usages.size(), 4u);
    EXPECT_TRUE(usages[0].InArguments.empty());
    for (int id = 1; id <= 3; id++) {
        EXPECT_EQ(Names(usages[id].InArguments), "R5 R6 P0") << id;
        EXPECT_EQ(Names(usages[id].OutArguments), "R6") << id;
    }

    for (auto& g : graphs) {
        RegisterUsage::FixupCalls(g->Blocks, usages);
        IrVerifier::Verify(g->Blocks);
    }
    EXPECT_EQ(IrPrinter::PrintBlocks(graphs[0]->Blocks),
              "B0:\n"
              "  _, R6 = Call 1, R5, R6, P0\n"
              "  R9 = Copy R6\n"
              "  Return\n");
    EXPECT_EQ(IrPrinter::PrintBlocks(graphs[1]->Blocks),
              "B0:\n"
              "  R5 = Copy a0\n"
              "  R6 = Copy a1\n"
              "  P0 = Copy a2\n"
              "  _, R6 = Call 2, R5, R6, P0\n"
              "  a3 = Copy R6\n"
              "  Return\n");
}

TEST(RegisterUsageTest, CalleeStartingWithALoopStillReceivesItsArguments) {
    IrTestBuilder b;
    IrArena& arena = b.Arena;
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, b.ParseOperations(R"(
        MarkLabel L0
        R0 = Add R0, 1
        BranchIfTrue L0, P0
        Return
    )"));
    auto usage = RegisterUsage::RunPass(cfg);
    EXPECT_EQ(Names(usage.InArguments), "R0 P0");
    EXPECT_EQ(Names(usage.OutArguments), "R0");
    Dominance::FindDominators(cfg);
    Dominance::FindDominanceFrontiers(cfg.Blocks);
    Ssa::Rename(cfg.Blocks);
    IrVerifier::Verify(cfg.Blocks);
    EXPECT_EQ(IrPrinter::PrintBlocks(cfg.Blocks),
              "B0: next B1\n"
              "  %0 = Copy a0\n"
              "  %1 = Copy a1\n"
              "B1: preds B1 B0 next B2 branch B1\n"
              "  %2 = Phi [B1: %3], [B0: %0]\n"
              "  %3 = Add %2, 1\n"
              "  BranchIfTrue L0, %1\n"
              "B2: preds B1\n"
              "  a2 = Copy %3\n"
              "  Return\n");
}

TEST(RegisterUsageTest, CallErrorsAndMaskWords) {
    IrTestBuilder b;
    ControlFlowGraph cfg = ControlFlowGraph::Create(b.Arena, b.ParseOperations("Call 5\nReturn\n"));
    std::vector<RegisterUsage::FunctionRegisterUsage> usages(2);
    EXPECT_THROW(RegisterUsage::FixupCalls(cfg.Blocks, usages), Zerivox::Common::ArgumentOutOfRangeException);

    RegisterUsage::RegisterMask mask(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(mask.GetMask(5), 6u);
    EXPECT_THROW(mask.GetMask(6), Zerivox::Common::ArgumentOutOfRangeException);
    EXPECT_THROW(mask.GetMask(-1), Zerivox::Common::ArgumentOutOfRangeException);
    EXPECT_TRUE((mask | ~mask) == RegisterUsage::RegisterMask::AllOnes());
    EXPECT_EQ(mask.GetHashCode(), RegisterUsage::RegisterMask(1, 2, 3, 4, 5, 6).GetHashCode());
}

}  // namespace
