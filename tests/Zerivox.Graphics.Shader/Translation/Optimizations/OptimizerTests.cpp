#include <gtest/gtest.h>

#include <bit>
#include <chrono>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
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
using IR::IoVariable;
using IR::OperandType;
using IR::StorageKind;

bool InBlock(const IR::BasicBlock* block, const IR::INode* node) {
    for (const IR::INode* n : block->Operations) {
        if (n == node)
            return true;
    }
    return false;
}

class OptimizerTest : public ::testing::Test {
  protected:
    Testing::FakeGpuAccessor Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Fragment, Gpu, Reservations};
    Testing::IrTestBuilder B;

    IR::Operand* Input(IoVariable var, int component) {
        return B.Op(Instruction::Load, StorageKind::Input, {B.Const(static_cast<int32_t>(var)), B.Const(component)})
            ->Dest();
    }
    IR::Operation* Output(IR::Operand* value) {
        return B.Void(Instruction::Store, StorageKind::Output,
                      {B.Const(static_cast<int32_t>(IoVariable::UserDefined)), B.Const(0), B.Const(0), value});
    }
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
    IR::Operand* x = Input(IoVariable::UserDefined, 0);
    IR::Operation* xLoad = x->Definition->AsOperation();
    IR::Operand* value = B.Local();
    IR::Operand* inRange = B.Local();
    IR::Operation* shuffle =
        B.Arena.NewOperation(Instruction::ShuffleUp, 0, {value, inRange}, {x, B.Const(1), B.Const(0x1F)});
    B.Current->Operations.AddLast(shuffle);
    IR::Operation* valueReader = B.Op(Instruction::Add, {value, B.Const(1)});
    Output(inRange);

    Optimizer::RemoveNode(B.Current, valueReader);
    EXPECT_TRUE(x->Uses.Contains(shuffle));

    Optimize();
    EXPECT_TRUE(InBlock(B.Current, shuffle));
    EXPECT_TRUE(InBlock(B.Current, xLoad));
    EXPECT_TRUE(x->Uses.Contains(shuffle));
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

TEST_F(OptimizerTest, QuadShuffleAndAddBecomesDerivative) {
    struct Case {
        int32_t LaneMask;
        int32_t ShuffleMask;
        int32_t Swizzle;
        bool SameValue;
        Instruction Expected;
    };
    const Case cases[] = {
        {1, 0x1C03, 0x99, true, Instruction::Ddx},         {2, 0x1C03, 0xA5, true, Instruction::Ddy},
        {1, 0x1C03, 0xA5, true, Instruction::SwizzleAdd},  {1, 0x1C1F, 0x99, true, Instruction::SwizzleAdd},
        {1, 0x1C03, 0x99, false, Instruction::SwizzleAdd}, {3, 0x1C03, 0x99, true, Instruction::SwizzleAdd},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        IR::Operand* x = b.Val(Instruction::Load, {b.Const(0)});
        IR::Operand* shuffled = b.Local();
        IR::Operation* shuffle = b.Arena.NewOperation(Instruction::ShuffleXor, 0, {shuffled, b.Local()},
                                                      {x, b.Const(c.LaneMask), b.Const(c.ShuffleMask)});
        b.Current->Operations.AddLast(shuffle);
        IR::Operand* second = c.SameValue ? x : b.Local();
        IR::Operation* add = b.Op(Instruction::FP32 | Instruction::SwizzleAdd, {shuffled, second, b.Const(c.Swizzle)});
        // The emitters build SwizzleAdd without a type flag.
        add->Inst = Instruction::SwizzleAdd;
        b.Void(Instruction::Store, StorageKind::Output, {add->Dest()});

        Optimizer::RunOptimizationPasses(b.Blocks, Resources);
        IR::IrVerifier::Verify(b.Blocks);

        EXPECT_EQ(add->Inst, c.Expected) << c.LaneMask << " " << c.ShuffleMask << " " << c.Swizzle;
        if (c.Expected != Instruction::SwizzleAdd) {
            EXPECT_EQ(add->GetSource(0), x);
            EXPECT_FALSE(InBlock(b.Current, shuffle));
        }
    }
}

TEST_F(OptimizerTest, MultiplyByFragmentCoordWIsUndone) {
    struct Case {
        bool WFirstInInner;
        bool OneSecondInDivide;
        bool Folds;
    };
    const Case cases[] = {{false, false, true}, {true, false, false}, {false, true, false}};
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        auto input = [&](IoVariable var, int comp) {
            return b.Op(Instruction::Load, StorageKind::Input, {b.Const(static_cast<int32_t>(var)), b.Const(comp)})
                ->Dest();
        };
        IR::Operand* attr = input(IoVariable::UserDefined, 0);
        IR::Operand* w = input(IoVariable::FragmentCoord, 3);
        IR::Operand* w2 = input(IoVariable::FragmentCoord, 3);
        constexpr Instruction FMul = Instruction::FP32 | Instruction::Multiply;
        constexpr Instruction FDiv = Instruction::FP32 | Instruction::Divide;
        IR::Operand* inner = c.WFirstInInner ? b.Val(FMul, {w, attr}) : b.Val(FMul, {attr, w});
        IR::Operand* one = b.FConst(1.0f);
        IR::Operand* rcp = c.OneSecondInDivide ? b.Val(FDiv, {w2, one}) : b.Val(FDiv, {one, w2});
        IR::Operation* outer = b.Op(FMul, {inner, rcp});

        Optimizer::EliminateMultiplyByFragmentCoordW(b.Current);

        if (c.Folds) {
            EXPECT_EQ(outer->Inst, Instruction::Copy);
            EXPECT_EQ(outer->GetSource(0), attr);
        } else {
            EXPECT_EQ(outer->Inst, FMul);
        }
    }
}

TEST_F(OptimizerTest, RedundantConditionalBranchIsRemoved) {
    IR::Operand* target = B.Label();
    IR::BasicBlock* head = B.Current;
    IR::Operand* cond = Input(IoVariable::UserDefined, 0);
    IR::Operation* branchIf = B.Arena.NewOperation(Instruction::BranchIfTrue, target, {cond});
    head->Operations.AddLast(branchIf);
    IR::BasicBlock* empty = B.NewBlock();
    IR::BasicBlock* jump = B.NewBlock();
    jump->Operations.AddLast(B.Arena.NewOperation(Instruction::Branch, target, {}));
    IR::BasicBlock* tail = B.NewBlock();
    Output(B.Const(1));

    head->set_Next(empty);
    head->set_Branch(tail);
    empty->set_Next(jump);
    jump->set_Branch(tail);

    Optimize();

    EXPECT_EQ(head->Branch(), nullptr);
    EXPECT_FALSE(InBlock(head, branchIf));
    ASSERT_EQ(tail->Predecessors.size(), 1u);
    EXPECT_EQ(tail->Predecessors[0], jump);
    // The removed branch no longer reads its condition, which is now dead.
    EXPECT_TRUE(head->Operations.empty());
}

TEST_F(OptimizerTest, EmptyBlockWithBranchTargetFails) {
    IR::Operand* target = B.Label();
    IR::BasicBlock* head = B.Current;
    head->Operations.AddLast(B.Arena.NewOperation(Instruction::BranchIfTrue, target, {B.Local()}));
    IR::BasicBlock* bogus = B.NewBlock();
    IR::BasicBlock* tail = B.NewBlock();
    head->set_Next(bogus);
    head->set_Branch(tail);
    bogus->set_Branch(tail);

    try {
        BranchElimination::Next(head);
        FAIL();
    } catch (const Common::InvalidOperationException& e) {
        EXPECT_STREQ(e.what(), "Found a bogus empty block that \"ends with a branch\".");
    }
}

// Users translate shaders of many thousand operations: a round of the
// clean-up loop must stay linear, whatever chains of copies and dead values
// the emitters leave.
TEST_F(OptimizerTest, CleanUpIsLinearOnLongChains) {
    constexpr int Length = 100000;
    IR::Operand* value = Input(IoVariable::UserDefined, 0);
    for (int i = 0; i < Length; i++) {
        value = B.Val(Instruction::Add, {value, B.Const(0)});
    }
    IR::Operand* dead = value;
    for (int i = 0; i < Length; i++) {
        dead = B.Val(Instruction::Multiply, {dead, value});
    }
    IR::Operation* store = Output(value);

    auto start = std::chrono::steady_clock::now();
    Optimize();
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Load.Input 37, 0
          Store.Output 37, 0, 0, %0
    )");
    EXPECT_EQ(store->GetSource(3)->Definition->AsOperation()->Inst, Instruction::Load);
    EXPECT_LT(seconds, 20.0);
}

// The whole pass: the fragment-coordinate rewrite only in fragment shaders,
// double lowering only when the host lacks 64-bit floats, and the final
// clean-up removes what the rewrites left dead.
TEST_F(OptimizerTest, RunPassGatesStageAndFloat64Rewrites) {
    struct Case {
        ShaderStage Stage;
        bool Float64;
    };
    for (const Case& c : {Case{ShaderStage::Fragment, false}, Case{ShaderStage::Vertex, true}}) {
        Testing::IrTestBuilder b;
        auto input = [&](IoVariable var, int comp) {
            return b.Op(Instruction::Load, StorageKind::Input, {b.Const(static_cast<int32_t>(var)), b.Const(comp)})
                ->Dest();
        };
        constexpr Instruction FMul = Instruction::FP32 | Instruction::Multiply;
        IR::Operand* attr = input(IoVariable::UserDefined, 0);
        IR::Operand* inner = b.Val(FMul, {attr, input(IoVariable::FragmentCoord, 3)});
        IR::Operand* one = b.FConst(1.0f);
        IR::Operand* rcp = b.Val(Instruction::FP32 | Instruction::Divide, {one, input(IoVariable::FragmentCoord, 3)});
        IR::Operand* product = b.Val(FMul, {inner, rcp});
        IR::Operand* dbl = b.Val(Instruction::PackDouble2x32, {product, product});
        IR::Operation* store =
            b.Void(Instruction::Store, StorageKind::Output, {b.Const(0), b.Const(0), b.Const(0), dbl});

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

        IR::Operation* producer = store->GetSource(3)->Definition->AsOperation();
        if (c.Stage == ShaderStage::Fragment) {
            ASSERT_EQ(producer->Inst, Instruction::Call);
            EXPECT_EQ(producer->GetSource(1), attr);
            // Input load, call, store: the multiplies and divides are gone.
            ZV_EXPECT_IR(b.Text(), R"(
                B0:
                  %0 = Load.Input 37, 0
                  %1 = Call 1, %0, %0
                  Store.Output 0, 0, 0, %1
            )");
        } else {
            EXPECT_EQ(producer->Inst, Instruction::PackDouble2x32);
            EXPECT_EQ(producer->GetSource(0), product);
            EXPECT_EQ(functions.size(), 1u);
        }
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
