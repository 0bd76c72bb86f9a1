#include <gtest/gtest.h>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"
#include "Zerivox.Graphics.Shader/Translation/Ssa.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::Decoders::Register;
using Zerivox::Graphics::Shader::Decoders::RegisterType;
using Zerivox::Graphics::Shader::Testing::IrTestBuilder;
using Zerivox::Graphics::Shader::Testing::IrText;

namespace {

ControlFlowGraph ToSsa(IrArena& arena, const std::vector<Operation*>& ops) {
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, ops);
    Dominance::FindDominators(cfg);
    Dominance::FindDominanceFrontiers(cfg.Blocks);
    Ssa::Rename(cfg.Blocks);
    IrVerifier::Verify(cfg.Blocks);
    return cfg;
}

// The guest code as the emitter leaves it, renamed into SSA form and printed.
std::string Rename(std::string_view code) {
    IrTestBuilder b;
    return IrPrinter::PrintBlocks(ToSsa(b.Arena, b.ParseOperations(code)).Blocks);
}

TEST(SsaTest, LoopCarriedValueGetsAPhiAtTheHead) {
    EXPECT_EQ(Rename(R"(
                  R0 = Copy 0
                  MarkLabel L0
                  R0 = Add R0, 1
                  BranchIfTrue L0, P0
                  R1 = Copy R0
                  Return
              )"),
              "B0: next B1\n"
              "  %0 = Copy 0\n"
              "B1: preds B0 B1 next B2 branch B1\n"
              "  %1 = Phi [B0: %0], [B1: %2]\n"
              "  %2 = Add %1, 1\n"
              "  BranchIfTrue L0, undef\n"
              "B2: preds B1\n"
              "  %3 = Copy %2\n"
              "  Return\n");
}

TEST(SsaTest, PhiSourceNamesTheBlockWhereTheValueWasFound) {
    EXPECT_EQ(Rename(R"(
                  R0 = Copy 1
                  BranchIfTrue L0, P0
                  R0 = Copy 2
                  Branch L1
                  MarkLabel L0
                  R2 = Copy 5
                  MarkLabel L1
                  R1 = Copy R0
                  Return
              )"),
              "B0: next B1 branch B2\n"
              "  %0 = Copy 1\n"
              "  BranchIfTrue L0, undef\n"
              "B1: preds B0 branch B3\n"
              "  %1 = Copy 2\n"
              "  Branch L1\n"
              "B2: preds B0 next B3\n"
              "  %2 = Copy 5\n"
              "B3: preds B1 B2\n"
              "  %3 = Phi [B1: %1], [B0: %0]\n"
              "  %4 = Copy %3\n"
              "  Return\n");
}

TEST(SsaTest, LocalReadsWritesAndUndefinedValues) {
    IrTestBuilder b;
    std::vector<Operation*> ops = b.ParseOperations(R"(
        R5 = Add R1, R1
        R5 = Copy 2
        R6 = Add R5, R2
        Return
    )");
    ControlFlowGraph cfg = ToSsa(b.Arena, ops);
    // A read before any write is undefined; a write makes a new value.
    EXPECT_EQ(IrPrinter::PrintBlocks(cfg.Blocks), IrText(R"(
        B0:
          %0 = Add undef, undef
          %1 = Copy 2
          %2 = Add %1, undef
          Return
    )"));
    // One undefined value per register: both reads of R1 are the same one,
    // R2's is another.
    Operation* first = ops[0];
    Operation* last = ops[2];
    EXPECT_EQ(first->GetSource(0), first->GetSource(1));
    EXPECT_NE(last->GetSource(1), first->GetSource(0));
}

// Predicates and flags rename like general registers, each by its own key.
TEST(SsaTest, PredicatesAndFlagsKeepSeparateKeys) {
    IrTestBuilder b;
    std::vector<Operation*> ops = b.ParseOperations(R"(
        P3 = Copy -1
        CC.3 = Copy 0
        R3 = Copy 7
        R4 = ConditionalSelect P3, CC.3, R3
        Return
    )");
    EXPECT_EQ(IrPrinter::PrintBlocks(ToSsa(b.Arena, ops).Blocks), IrText(R"(
        B0:
          %0 = Copy -1
          %1 = Copy 0
          %2 = Copy 7
          %3 = ConditionalSelect %0, %1, %2
          Return
    )"));

    const std::pair<Register, int> keys[] = {
        {Register(0, RegisterType::Gpr), 0},          {Register(254, RegisterType::Gpr), 254},
        {Register(0, RegisterType::Predicate), 255},  {Register(6, RegisterType::Predicate), 261},
        {Register(0, RegisterType::Flag), 262},       {Register(3, RegisterType::Flag), 265},
    };
    for (auto [reg, key] : keys) {
        EXPECT_EQ(Ssa::GetKeyFromRegister(reg), key);
        EXPECT_EQ(Ssa::GetRegisterFromKey(key), reg);
    }
    EXPECT_THROW(Ssa::GetKeyFromRegister(Register(255, RegisterType::Gpr)),
                 Zerivox::Common::ArgumentOutOfRangeException);
    EXPECT_THROW(Ssa::GetKeyFromRegister(Register(7, RegisterType::Predicate)),
                 Zerivox::Common::ArgumentOutOfRangeException);
}

TEST(SsaTest, FunctionStartingWithALoopKeepsItsCarriedValue) {
    EXPECT_EQ(Rename(R"(
                  MarkLabel L0
                  R0 = Add R0, 1
                  BranchIfTrue L0, P0
                  Return
              )"),
              "B0: next B1\n"
              "B1: preds B1 B0 next B2 branch B1\n"
              "  %0 = Phi [B1: %1], [B0: undef]\n"
              "  %1 = Add %0, 1\n"
              "  BranchIfTrue L0, undef\n"
              "B2: preds B1\n"
              "  Return\n");
}

TEST(SsaTest, UnreachableCycleReadsBecomeUndefined) {
    // Nothing reaches the cycle at L1; it has no dominator.
    EXPECT_EQ(Rename(R"(
                  BranchIfTrue L0, P0
                  Return
                  MarkLabel L1
                  R0 = Add R1, 1
                  BranchIfTrue L1, P1
                  MarkLabel L0
                  R2 = Copy R0
                  Return
              )"),
              "B0: next B1 branch B3\n"
              "  BranchIfTrue L0, undef\n"
              "B1: preds B0\n"
              "  Return\n"
              "B2: preds B2 next B3 branch B2\n"
              "  %0 = Add undef, 1\n"
              "  BranchIfTrue L1, undef\n"
              "B3: preds B0 B2\n"
              "  %1 = Phi [B0: undef], [B2: %0]\n"
              "  %2 = Copy %1\n"
              "  Return\n");
}

// 50000 conditional writes in a row: the read at the end needs a chain of
// phis as long as the function, which must not exhaust the stack.
TEST(SsaTest, LongPhiChainsNeedNoDeepRecursion) {
    const int count = 50000;
    std::string code = "R0 = Copy 0\n";
    for (int i = 0; i < count; i++) {
        const std::string skip = "L" + std::to_string(i);
        code += "BranchIfTrue " + skip + ", P0\nR0 = Copy " + std::to_string(i + 1) + "\nMarkLabel " + skip + "\n";
    }
    code += "R1 = Copy R0\nReturn\n";
    IrTestBuilder b;
    std::vector<Operation*> ops = b.ParseOperations(code);
    Operation* read = ops[ops.size() - 2];
    ControlFlowGraph cfg = ToSsa(b.Arena, ops);
    INode* phi = read->GetSource(0)->Definition;
    ASSERT_TRUE(phi->IsPhi());
    int depth = 0;
    while (phi != nullptr && phi->IsPhi()) {
        depth++;
        Operand* incoming = phi->GetSource(0);  // the skipping edge
        phi = incoming->Definition;
    }
    EXPECT_EQ(depth, count);
}

}  // namespace
