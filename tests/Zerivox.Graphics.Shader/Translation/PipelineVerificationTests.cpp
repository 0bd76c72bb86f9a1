#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Optimizer.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformPasses.h"

// The pipeline's own checks between passes: they exist only in builds that
// verify IR (the test builds, unless configured otherwise).
namespace Zerivox::Graphics::Shader::Translation {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::OperandHelper::MakeConstant;
using IR::OperandHelper::MakeLocal;

// One block: x = 1; y = x + 2; Return.
class PipelineVerificationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!IR::VerifyIrAfterPasses)
            GTEST_SKIP() << "built without ZV_VERIFY_IR";
        Block->Operations.AddLast(Arena.NewOperation(Instruction::Copy, X, {MakeConstant(Arena, 1)}));
        Block->Operations.AddLast(Read);
        Block->Operations.AddLast(Arena.NewOperation(Instruction::Return, nullptr, {}));
    }

    Testing::FakeGpuAccessor Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Compute, Gpu, Reservations};
    ShaderDefinitions Definitions{ShaderStage::Compute, 1, 1, 1};
    IR::IrArena Arena;
    std::vector<IR::Function*> Functions{nullptr};
    HelperFunctionManager Hfm{Arena, Functions, ShaderStage::Compute};
    FeatureFlags Features = FeatureFlags::None;
    IR::BasicBlock* Block = Arena.NewBlock();
    std::vector<IR::BasicBlock*> Blocks{Block};
    IR::Operand* X = MakeLocal(Arena);
    IR::Operation* Read = Arena.NewOperation(Instruction::Add, MakeLocal(Arena), {X, MakeConstant(Arena, 2)});

    Transforms::TransformContext Context() {
        return Transforms::TransformContext{Hfm,
                                            Blocks,
                                            Definitions,
                                            Resources,
                                            Gpu,
                                            Features,
                                            TargetGraphicsApi::Vulkan,
                                            TargetLanguage::Spirv,
                                            ShaderStage::Compute};
    }
};

// Moves every Add to the front of its block, before the definitions it reads.
struct HoistsAdds {
    static bool IsEnabled(IGpuAccessor&, ShaderStage, TargetLanguage, FeatureFlags) { return true; }
    static IR::INode* RunPass(Transforms::TransformContext&, IR::INode* node) {
        IR::INode* previous = node->ListPrevious();
        if (node->AsOperation()->Inst != Instruction::Add || previous == nullptr)
            return node;
        IR::NodeList* list = node->List();
        list->Remove(node);
        list->AddFirst(node);
        return previous;
    }
};

// Puts a barrier before every Return: the IR changes and stays valid.
struct AddsBarrier {
    static bool IsEnabled(IGpuAccessor&, ShaderStage, TargetLanguage, FeatureFlags) { return true; }
    static IR::INode* RunPass(Transforms::TransformContext&, IR::INode* node) {
        if (node->AsOperation()->Inst == Instruction::Return) {
            node->List()->AddBefore(node, node->Arena().NewOperation(Instruction::Barrier, nullptr, {}));
        }
        return node;
    }
};

TEST_F(PipelineVerificationTest, ATransformThatBreaksTheIrIsNamed) {
    Transforms::TransformContext context = Context();
    try {
        Transforms::TransformPasses::RunPassChecked<HoistsAdds>(context, "HoistsAdds");
        ADD_FAILURE() << "the pipeline accepted a read moved before its definition";
    } catch (const Common::InvalidOperationException& e) {
        EXPECT_EQ(std::string(e.what()), "IR invalid after HoistsAdds: in block 0: node 0 reads a local defined by "
                                         "node 1, which does not come before it");
    }

    // A transform that changes the IR and keeps it valid passes the check.
    IR::NodeList& list = Block->Operations;
    list.Remove(Read);
    list.AddAfter(list.First(), Read);
    EXPECT_NO_THROW(Transforms::TransformPasses::RunPassChecked<AddsBarrier>(context, "AddsBarrier"));
    EXPECT_EQ(list.Last()->ListPrevious()->AsOperation()->Inst, Instruction::Barrier);
}

TEST_F(PipelineVerificationTest, AFoldThatLeavesNoCopyToPropagateStillCountsAsAChange) {
    // An operation without a destination whose sources are constants is
    // folded in place into a Copy that nothing propagates. The clean-up
    // loop must count that as a change: a round that reports none must
    // have left the IR as it found it.
    // It is the only thing that changes, so the round it happens in would
    // otherwise be the last.
    IR::BasicBlock* block = Arena.NewBlock();
    std::vector<IR::BasicBlock*> blocks{block};
    IR::Operation* fold =
        Arena.NewOperation(Instruction::Add, nullptr, {MakeConstant(Arena, 3), MakeConstant(Arena, 4)});
    block->Operations.AddLast(fold);
    block->Operations.AddLast(Arena.NewOperation(Instruction::Return, nullptr, {}));
    EXPECT_NO_THROW(Optimizations::Optimizer::RunOptimizationPasses(blocks, Resources));
    EXPECT_EQ(fold->Inst, Instruction::Copy);
    EXPECT_EQ(fold->GetSource(0)->Value, 7);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation
