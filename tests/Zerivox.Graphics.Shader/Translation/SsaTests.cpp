#include <gtest/gtest.h>

#include "IrTestBuilder.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"
#include "Zerivox.Graphics.Shader/Translation/Ssa.h"

using namespace ZvTest;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::Decoders::Register;

namespace {

ControlFlowGraph ToSsa(IrArena& arena, const std::vector<Operation*>& ops) {
    ControlFlowGraph cfg = ControlFlowGraph::Create(arena, ops);
    Dominance::FindDominators(cfg);
    Dominance::FindDominanceFrontiers(cfg.Blocks);
    Ssa::Rename(cfg.Blocks);
    IrVerifier::Verify(cfg.Blocks);
    return cfg;
}

std::string Rename(IrArena& arena, const std::vector<Operation*>& ops) {
    return IrPrinter::PrintBlocks(ToSsa(arena, ops).Blocks);
}

TEST(SsaTest, LoopCarriedValueGetsAPhiAtTheHead) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.Copy(b.R(0), b.C(0));
    b.Mark("head");
    b.Add(b.R(0), b.R(0), b.C(1));  // reads the phi, then defines the next value
    b.BranchIfTrue("head", b.P(0));  // P0 is never written
    b.Copy(b.R(1), b.R(0));
    b.Return();
    EXPECT_EQ(Rename(arena, b.Ops),
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
    IrArena arena;
    IrTestBuilder b(arena);
    b.Copy(b.R(0), b.C(1));
    b.BranchIfTrue("else", b.P(0));
    b.Copy(b.R(0), b.C(2));
    b.Branch("end");
    b.Mark("else");
    b.Copy(b.R(2), b.C(5));  // the else side leaves R0 alone
    b.Mark("end");
    b.Copy(b.R(1), b.R(0));
    b.Return();
    EXPECT_EQ(Rename(arena, b.Ops),
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
    IrArena arena;
    IrTestBuilder b(arena);
    Operation* first = b.Add(b.R(5), b.R(1), b.R(1));  // R1 never written: one undef for both reads
    b.Copy(b.R(5), b.C(2));                                    // second write of R5
    Operation* last = b.Add(b.R(6), b.R(5), b.R(2));
    b.Return();
    ToSsa(arena, b.Ops);
    EXPECT_EQ(first->GetSource(0)->Type, OperandType::Undefined);
    EXPECT_EQ(first->GetSource(0), first->GetSource(1));
    Operand* secondDef = b.Ops[1]->Dest();
    EXPECT_EQ(last->GetSource(0), secondDef);
    EXPECT_NE(first->Dest(), secondDef);
    EXPECT_EQ(last->GetSource(1)->Type, OperandType::Undefined);
    EXPECT_NE(last->GetSource(1), first->GetSource(0));
}

// Predicates and flags rename like general registers, each by its own key.
TEST(SsaTest, PredicatesAndFlagsKeepSeparateKeys) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.Copy(b.P(3), b.C(-1));
    b.Copy(b.CC(3), b.C(0));
    b.Copy(b.R(3), b.C(7));
    Operation* use = b.Op(Instruction::ConditionalSelect, b.R(4), {b.P(3), b.CC(3), b.R(3)});
    b.Return();
    ToSsa(arena, b.Ops);
    EXPECT_EQ(use->GetSource(0), b.Ops[0]->Dest());
    EXPECT_EQ(use->GetSource(1), b.Ops[1]->Dest());
    EXPECT_EQ(use->GetSource(2), b.Ops[2]->Dest());

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
    IrArena arena;
    IrTestBuilder b(arena);
    b.Mark("head");
    b.Add(b.R(0), b.R(0), b.C(1));
    b.BranchIfTrue("head", b.P(0));
    b.Return();
    EXPECT_EQ(Rename(arena, b.Ops),
              "B0: next B1\n"
              "B1: preds B1 B0 next B2 branch B1\n"
              "  %0 = Phi [B1: %1], [B0: undef]\n"
              "  %1 = Add %0, 1\n"
              "  BranchIfTrue L0, undef\n"
              "B2: preds B1\n"
              "  Return\n");
}

TEST(SsaTest, UnreachableCycleReadsBecomeUndefined) {
    IrArena arena;
    IrTestBuilder b(arena);
    b.BranchIfTrue("m", b.P(0));
    b.Return();
    b.Mark("loop");  // nothing reaches this cycle; it has no dominator
    b.Add(b.R(0), b.R(1), b.C(1));
    b.BranchIfTrue("loop", b.P(1));
    b.Mark("m");
    b.Copy(b.R(2), b.R(0));
    b.Return();
    EXPECT_EQ(Rename(arena, b.Ops),
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
    IrArena arena;
    IrTestBuilder b(arena);
    const int count = 50000;
    b.Copy(b.R(0), b.C(0));
    for (int i = 0; i < count; i++) {
        std::string skip = "s" + std::to_string(i);
        b.BranchIfTrue(skip, b.P(0));
        b.Copy(b.R(0), b.C(i + 1));
        b.Mark(skip);
    }
    Operation* read = b.Copy(b.R(1), b.R(0));
    b.Return();
    ControlFlowGraph cfg = ToSsa(arena, b.Ops);
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
