#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BranchElimination.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Optimizer.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;

class OptimizerTest : public ::testing::Test {
  protected:
    Testing::FakeGpuAccessor Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Fragment, Gpu, Reservations};
    Testing::IrTestBuilder B;

    void Optimize() {
        Optimizer::RunOptimizationPasses(B.Blocks, Resources);
        IR::IrVerifier::Verify(B.Blocks);
    }
    // The optimised text of the given blocks. Input/Output 37 is a
    // user-defined attribute.
    std::string Optimize(std::string_view before) {
        B.ParseBlocks(before);
        Optimize();
        return B.Text();
    }
};

TEST_F(OptimizerTest, DeadNodesGoButSideEffectsAndStoresStay) {
    ZV_EXPECT_IR(Optimize(R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = Multiply %0, %0
          %2 = Add %1, %0
          %3 = AtomicAdd.StorageBuffer 1, 0, %0, 1
          %4 = Call 3, %0
          Store.Output 37, 0, 0, %0
          Barrier
    )"), R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = AtomicAdd.StorageBuffer 1, 0, %0, 1
          %2 = Call 3, %0
          Store.Output 37, 0, 0, %0
          Barrier
    )");
    // The removed readers no longer count as uses of x.
    EXPECT_EQ(B.Var(0)->Uses.Count(), 3);
}

// A node with two destinations stays while one of them is read: it must keep
// its own sources, or they would be removed from under it.
TEST_F(OptimizerTest, RemoveNodeKeepsDefinitionWithAnotherLiveDestination) {
    B.ParseBlocks(R"(
        B0:
          %0 = Load.Input 37, 0
          %1, %2 = ShuffleUp %0, 1, 31
          %3 = Add %1, 1
          Store.Output 37, 0, 0, %2
    )");
    IR::Operation* shuffle = B.Var(1)->Definition->AsOperation();

    Optimizer::RemoveNode(B.Current, B.Var(3)->Definition->AsOperation());
    EXPECT_TRUE(B.Var(0)->Uses.Contains(shuffle));

    Optimize();
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Load.Input 37, 0
          %1, %2 = ShuffleUp %0, 1, 31
          Store.Output 37, 0, 0, %2
    )");
    EXPECT_TRUE(B.Var(0)->Uses.Contains(shuffle));
}

TEST_F(OptimizerTest, CopiesAndPhisPropagate) {
    ZV_EXPECT_IR(Optimize(R"(
        B0: next B1
          %0 = Copy 7
          Store.Output 37, 0, 0, %0
        B1: preds B0 B1 next B1
          %1 = Phi [B0: 5], [B1: 5]
          %2 = Phi [B0: %3], [B1: %4]
          Store.Output 37, 0, 0, %1
          Store.Output 37, 0, 0, %2
    )"), R"(
        B0: next B1
          Store.Output 37, 0, 0, 7
        B1: preds B0 B1 next B1
          %0 = Phi [B0: %1], [B1: %2]
          Store.Output 37, 0, 0, 5
          Store.Output 37, 0, 0, %0
    )");
}

// Operations and phis are rewritten and released through separate paths:
// a copy must reach both slots of an operation reading it twice and a phi
// reading it, and a dead phi must take along what only it reads.
TEST_F(OptimizerTest, CopyReachesEveryReaderAndDeadPhiReleasesItsSources) {
    ZV_EXPECT_IR(Optimize(R"(
        B0: next B1
          %0 = Load.Input 37, 0
          %1 = Copy %0
          %2 = Add %1, %1
          Store.Output 37, 0, 0, %2
          %3 = Multiply %0, 3
        B1: preds B0 B1 next B1
          %4 = Phi [B0: %1], [B1: %5]
          %6 = Phi [B0: %3], [B1: %7]
          Store.Output 37, 0, 0, %4
    )"), R"(
        B0: next B1
          %0 = Load.Input 37, 0
          %1 = Add %0, %0
          Store.Output 37, 0, 0, %1
        B1: preds B0 B1 next B1
          %2 = Phi [B0: %0], [B1: %3]
          Store.Output 37, 0, 0, %2
    )");
    // x is read by the Add (both slots) and the live phi, nothing else.
    EXPECT_EQ(B.Var(0)->Uses.Count(), 2);
}

TEST_F(OptimizerTest, FoldingChainsCollapseInOneFunction) {
    // ((2 + 3) * 4) - x stays a subtraction of a constant 20.
    ZV_EXPECT_IR(Optimize(R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = Add 2, 3
          %2 = Multiply %1, 4
          %3 = Subtract %2, %0
          Store.Output 37, 0, 0, %3
    )"), R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = Subtract 20, %0
          Store.Output 37, 0, 0, %1
    )");
}

TEST_F(OptimizerTest, PackThenUnpackBecomesCopyOfTheHalf) {
    ZV_EXPECT_IR(Optimize(R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = Load.Input 37, 1
          %2 = PackHalf2x16 %0, %1
          %3 = UnpackHalf2x16#1 %2
          %4 = UnpackHalf2x16 %2
          Store.Output 37, 0, 0, %3
          Store.Output 37, 0, 0, %4
    )"), R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = Load.Input 37, 1
          Store.Output 37, 0, 0, %1
          Store.Output 37, 0, 0, %0
    )");
}

// A lane-XOR shuffle of x added to x itself by the swizzle that takes the
// difference across the quad is a derivative: lane mask 1 with swizzle 0x99
// horizontal, lane mask 2 with 0xA5 vertical. Any other lane mask, swizzle,
// clamp (7171 is 0x1C03, the quad clamp; 7199 is 0x1C1F) or second value
// stays a swizzle add. The emitters build SwizzleAdd without a type flag.
TEST_F(OptimizerTest, QuadShuffleAndAddBecomesDerivative) {
    struct Case {
        const char* Shuffle;  // reads %0, writes %1 and %2
        const char* Add;      // writes %3, which the store reads
        const char* Result;   // the line replacing both; null when nothing changes
    };
    const Case cases[] = {
        {"%1, %2 = ShuffleXor %0, 1, 7171", "%3 = SwizzleAdd %1, %0, 153", "%1 = Ddx %0"},
        {"%1, %2 = ShuffleXor %0, 2, 7171", "%3 = SwizzleAdd %1, %0, 165", "%1 = Ddy %0"},
        {"%1, %2 = ShuffleXor %0, 1, 7171", "%3 = SwizzleAdd %1, %0, 165", nullptr},
        {"%1, %2 = ShuffleXor %0, 1, 7199", "%3 = SwizzleAdd %1, %0, 153", nullptr},
        {"%1, %2 = ShuffleXor %0, 1, 7171", "%3 = SwizzleAdd %1, %4, 153", nullptr},
        {"%1, %2 = ShuffleXor %0, 3, 7171", "%3 = SwizzleAdd %1, %0, 153", nullptr},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        const std::string before =
            std::string("B0:\n  %0 = Load 0\n  ") + c.Shuffle + "\n  " + c.Add + "\n  Store.Output %3\n";
        b.ParseBlocks(before);

        Optimizer::RunOptimizationPasses(b.Blocks, Resources);
        IR::IrVerifier::Verify(b.Blocks);

        const std::string after = c.Result == nullptr
                                      ? before
                                      : std::string("B0:\n  %0 = Load 0\n  ") + c.Result + "\n  Store.Output %1\n";
        EXPECT_EQ(b.Text(), after) << c.Shuffle << "; " << c.Add;
    }
}

// The unread loop phi is removed first; the add after it, read only by the
// phi, dies with it and leaves the block at once. The walk must step over it
// to the nodes behind, which are still cleaned up.
TEST_F(OptimizerTest, DefinitionDyingWithItsReaderLeavesTheBlockUnderTheWalk) {
    ZV_EXPECT_IR(Optimize(R"(
        B0: next B1
          %0 = Load.Input 37, 0
        B1: preds B0 B1 next B2 branch B1
          %1 = Phi [B0: %0], [B1: %2]
          %2 = Add %0, 1
          %3 = Add 1, 2
          BranchIfTrue L0, %3
        B2: preds B1
          Store.Output 37, 0, 0, %0
    )"), R"(
        B0: next B1
          %0 = Load.Input 37, 0
        B1: preds B0 B1 next B2 branch B1
          BranchIfTrue L0, 3
        B2: preds B1
          Store.Output 37, 0, 0, %0
    )");
    EXPECT_EQ(B.Var(0)->Uses.Count(), 1);
}

// Work that appears behind the walk: a rewrite that gives an earlier node
// something to do (a definition losing its last reader, a loop phi whose
// back-edge value became a copy, the first two XORs of a swap turned into
// copies by the third) must still be done on a later round.
TEST_F(OptimizerTest, WorkLeftBehindTheWalkIsDoneOnALaterRound) {
    struct Case {
        const char* Name;
        const char* Before;
        const char* After;
    };
    const Case cases[] = {
        {"reader rewritten to a constant", R"(
            B0:
              %0 = Load.Input 37, 0
              %1 = Multiply %0, 3
              %2 = BitwiseAnd %1, 0
              Store.Output 37, 0, 0, %2
        )", R"(
            B0:
              Store.Output 37, 0, 0, 0
        )"},
        {"reader in a later block", R"(
            B0: next B1
              %0 = Load.Input 37, 0
              %1 = ShiftLeft %0, 2
            B1: preds B0
              %2 = BitwiseOr %1, -1
              Store.Output 37, 0, 0, %2
        )", R"(
            B0: next B1
            B1: preds B0
              Store.Output 37, 0, 0, -1
        )"},
        {"loop phi fed by a copy", R"(
            B0: next B1
              %0 = Load.Input 37, 0
            B1: preds B0 B1 next B1
              %1 = Phi [B0: 5], [B1: %2]
              %3 = Add %1, 2
              %2 = Copy 5
              Store.Output 37, 0, 0, %3
        )", R"(
            B0: next B1
            B1: preds B0 B1 next B1
              Store.Output 37, 0, 0, 7
        )"},
        {"XOR swap", R"(
            B0:
              %0 = Load.Input 37, 0
              %1 = Load.Input 37, 1
              %2 = BitwiseExclusiveOr %0, %1
              %3 = BitwiseExclusiveOr %2, %1
              %4 = BitwiseExclusiveOr %2, %3
              Store.Output 37, 0, 0, %4
              Store.Output 37, 0, 1, %3
        )", R"(
            B0:
              %0 = Load.Input 37, 0
              %1 = Load.Input 37, 1
              Store.Output 37, 0, 0, %1
              Store.Output 37, 0, 1, %0
        )"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Testing::IrTestBuilder b;
        b.ParseBlocks(c.Before);
        Optimizer::RunOptimizationPasses(b.Blocks, Resources);
        IR::IrVerifier::Verify(b.Blocks);
        ZV_EXPECT_IR(b.Text(), c.After);
    }
}

// (x * w) * (1 / w), w the fragment coordinate's fourth component (input 9,
// component 3), is x again; only that operand order is recognised.
TEST_F(OptimizerTest, MultiplyByFragmentCoordWIsUndone) {
    struct Case {
        const char* Inner;   // x = %0, w = %1
        const char* Divide;  // w = %2
        const char* Outer;   // what %5 = %3 * %4 becomes
    };
    const Case cases[] = {
        {"%3 = Multiply.FP32 %0, %1", "%4 = Divide.FP32 1.0, %2", "%5 = Copy %0"},
        {"%3 = Multiply.FP32 %1, %0", "%4 = Divide.FP32 1.0, %2", "%5 = Multiply.FP32 %3, %4"},
        {"%3 = Multiply.FP32 %0, %1", "%4 = Divide.FP32 %2, 1.0", "%5 = Multiply.FP32 %3, %4"},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        const std::string head = std::string(R"(B0:
  %0 = Load.Input 37, 0
  %1 = Load.Input 9, 3
  %2 = Load.Input 9, 3
  )") + c.Inner + "\n  " + c.Divide + "\n  ";
        b.ParseBlocks(head + "%5 = Multiply.FP32 %3, %4\n");
        const uint64_t fingerprint = IR::IrVerifier::Fingerprint(*b.Current);

        // The report decides whether the optimiser cleans up again.
        const bool reported = Optimizer::EliminateMultiplyByFragmentCoordW(b.Current);

        EXPECT_EQ(b.Text(), head + c.Outer + "\n") << c.Inner << "; " << c.Divide;
        EXPECT_EQ(reported, IR::IrVerifier::Fingerprint(*b.Current) != fingerprint) << c.Inner << "; " << c.Divide;
    }
}

// B0 branches to B3 past an empty B1 and B2, which jumps to B3 itself: the
// conditional branch goes, and with it the condition it alone read.
TEST_F(OptimizerTest, RedundantConditionalBranchIsRemoved) {
    ZV_EXPECT_IR(Optimize(R"(
        B0: next B1 branch B3
          %0 = Load.Input 37, 0
          BranchIfTrue L0, %0
        B1: preds B0 next B2
        B2: preds B1 branch B3
          Branch L0
        B3: preds B0 B2
          Store.Output 37, 0, 0, 1
    )"), R"(
        B0: next B1
        B1: preds B0 next B2
        B2: preds B1 branch B3
          Branch L0
        B3: preds B2
          Store.Output 37, 0, 0, 1
    )");
}

TEST_F(OptimizerTest, EmptyBlockWithBranchTargetFails) {
    B.ParseBlocks(R"(
        B0: next B1 branch B2
          BranchIfTrue L0, %0
        B1: branch B2
        B2:
    )");

    try {
        BranchElimination::Next(B.Blocks[0]);
        FAIL();
    } catch (const Common::InvalidOperationException& e) {
        EXPECT_STREQ(e.what(), "Found a bogus empty block that \"ends with a branch\".");
    }
}

// Users translate shaders of many thousand operations: a round of the
// clean-up loop must stay linear, whatever chains of copies and dead values
// the emitters leave. Here a chain of additions of 0 feeds the store and a
// dead chain of multiplies reads its end.
TEST_F(OptimizerTest, CleanUpIsLinearOnLongChains) {
    constexpr int Length = 100000;
    std::string before = "B0:\n  %0 = Load.Input 37, 0\n";
    for (int i = 1; i <= Length; i++) {
        before += "  %" + std::to_string(i) + " = Add %" + std::to_string(i - 1) + ", 0\n";
    }
    std::string dead = std::to_string(Length);
    for (int i = Length + 1; i <= 2 * Length; i++) {
        before += "  %" + std::to_string(i) + " = Multiply %" + std::to_string(i - 1) + ", %" + dead + "\n";
    }
    before += "  Store.Output 37, 0, 0, %" + dead + "\n";
    B.ParseBlocks(before);

    auto start = std::chrono::steady_clock::now();
    Optimize();
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Load.Input 37, 0
          Store.Output 37, 0, 0, %0
    )");
    EXPECT_EQ(B.Var(0)->Definition->AsOperation()->Inst, Instruction::Load);
    EXPECT_LT(seconds, 20.0);
}

// The whole pass: the fragment-coordinate rewrite only in fragment shaders,
// double lowering only when the host lacks 64-bit floats, and the final
// clean-up removes what the rewrites left dead.
TEST_F(OptimizerTest, RunPassGatesStageAndFloat64Rewrites) {
    const char* before = R"(
        B0:
          %0 = Load.Input 37, 0
          %1 = Load.Input 9, 3
          %2 = Multiply.FP32 %0, %1
          %3 = Load.Input 9, 3
          %4 = Divide.FP32 1.0, %3
          %5 = Multiply.FP32 %2, %4
          %6 = PackDouble2x32 %5, %5
          Store.Output 0, 0, 0, %6
    )";
    struct Case {
        ShaderStage Stage;
        bool Float64;
        const char* After;
        size_t Functions;
    };
    const Case cases[] = {
        // x * w / w is x; the double packed from it becomes a call of the
        // helper that lowers the packing.
        {ShaderStage::Fragment, false, R"(
            B0:
              %0 = Load.Input 37, 0
              %1 = Call 1, %0, %0
              Store.Output 0, 0, 0, %1
        )", 2},
        {ShaderStage::Vertex, true, before, 1},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        b.ParseBlocks(before);

        std::vector<IR::Function*> functions{nullptr};
        HelperFunctionManager hfm(b.Arena, functions, c.Stage);
        ShaderDefinitions definitions(ShaderStage::Compute, 1, 1, 1);
        FeatureFlags features = FeatureFlags::None;
        Gpu.Float64 = c.Float64;
        Transforms::TransformContext context{
            hfm,    b.Blocks, definitions, Resources, Gpu, features, TargetGraphicsApi::Vulkan, TargetLanguage::Spirv,
            c.Stage};
        Optimizer::RunPass(context);
        IR::IrVerifier::Verify(b.Blocks);

        ZV_EXPECT_IR(b.Text(), c.After);
        EXPECT_EQ(functions.size(), c.Functions);
    }
}

// The second clean-up visits only the nodes the passes before it marked.
// Each case is at the first clean-up's fixed point until a pass rewrites it:
// the work that rewrite creates, in its block or another, must still be done.
TEST_F(OptimizerTest, SecondCleanUpTakesWhatTheRewritesBeforeItMade) {
    struct Case {
        const char* Name;
        const char* Before;
        const char* After;
    };
    const Case cases[] = {
        // The storage access reads word 0 >> 2 of its buffer: the shift it
        // gets folds and the access reads word 0.
        {"created shift of constants folds", R"(
            B0:
              %0 = Load.GlobalMemory cb1[4], %1
              Store.Output 37, 0, 0, %0
        )", R"(
            B0:
              %0 = Load.StorageBuffer 1, 0, 0
              Store.Output 37, 0, 0, %0
        )"},
        // Doubles are not folded; lowered to floats, the sum folds and the
        // conversion of it, now a copy, carries the constant (the bits of
        // 3.0) to the store.
        {"lowered double constants fold", R"(
            B0: next B1
              %0 = Add.FP64 1.0, 2.0
            B1: preds B0
              %1 = ConvertFP64ToFP32 %0
              Store.Output 37, 0, 0, %1
        )", R"(
            B0: next B1
            B1: preds B0
              Store.Output 37, 0, 0, 1077936128
        )"},
        // x * w / w becomes a copy of x in a later block than the products,
        // which lose their last reader and die, and so do the loads of w.
        {"products left unread in an earlier block", R"(
            B0: next B1
              %0 = Load.Input 37, 0
              %1 = Load.Input 9, 3
              %2 = Multiply.FP32 %0, %1
              %3 = Load.Input 9, 3
              %4 = Divide.FP32 1.0, %3
            B1: preds B0
              %5 = Multiply.FP32 %2, %4
              Store.Output 37, 0, 0, %5
        )", R"(
            B0: next B1
              %0 = Load.Input 37, 0
            B1: preds B0
              Store.Output 37, 0, 0, %0
        )"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Testing::IrTestBuilder b;
        b.ParseBlocks(c.Before);

        std::vector<IR::Function*> functions{nullptr};
        HelperFunctionManager hfm(b.Arena, functions, ShaderStage::Fragment);
        ShaderDefinitions definitions(ShaderStage::Compute, 1, 1, 1);
        FeatureFlags features = FeatureFlags::None;
        Gpu.Float64 = false;
        Transforms::TransformContext context{hfm,       b.Blocks, definitions, Resources, Gpu, features,
                                             TargetGraphicsApi::Vulkan, TargetLanguage::Spirv, ShaderStage::Fragment};
        Optimizer::RunPass(context);
        IR::IrVerifier::Verify(b.Blocks);

        ZV_EXPECT_IR(b.Text(), c.After);
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
