#include <gtest/gtest.h>

#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/DrawParametersReplace.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/ForcePreciseEnable.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/SharedAtomicSignedCas.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/SharedStoreSmallIntCas.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/ShufflePass.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformPasses.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/VectorComponentSelect.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::OperandType;
using IR::StorageKind;

class VectorSelectGpu : public Testing::FakeGpuAccessor {
  public:
    bool NeedsVectorComponentSelect = false;
    bool QueryHostNeedsVectorComponentSelect() override { return NeedsVectorComponentSelect; }
};

class TransformsTest : public ::testing::Test {
  protected:
    VectorSelectGpu Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Compute, Gpu, Reservations};
    ShaderDefinitions Definitions{ShaderStage::Compute, 1, 1, 1};
    Testing::IrTestBuilder B;
    std::vector<IR::Function*> Functions{nullptr};
    HelperFunctionManager Hfm{B.Arena, Functions, ShaderStage::Compute};
    FeatureFlags Features = FeatureFlags::None;

    TransformContext Context(ShaderStage stage, TargetLanguage language = TargetLanguage::Spirv) {
        return TransformContext{Hfm,      B.Blocks, Definitions, Resources, Gpu, Features, TargetGraphicsApi::Vulkan,
                                language, stage};
    }
    IR::Operation* Producer(const IR::Operand* value) { return value->Definition->AsOperation(); }
    const IR::Function* Callee(const IR::Operation* call) {
        return Functions.at(static_cast<size_t>(call->GetSource(0)->Value));
    }
};

// Records every visit; inserts a node after the first one it sees and one
// before the second, to show which of them the walk then meets.
struct RecordingPass {
    static inline std::vector<IR::INode*> Visited;
    static inline IR::Operation* InsertedBefore = nullptr;
    static inline IR::Operation* InsertedAfter = nullptr;

    static bool IsEnabled(IGpuAccessor&, ShaderStage, TargetLanguage, FeatureFlags) { return true; }
    static IR::INode* RunPass(TransformContext&, IR::INode* node) {
        Visited.push_back(node);
        IR::Operation* op = node->AsOperation();
        if (Visited.size() == 1) {
            InsertedAfter = op->Arena().NewOperation(Instruction::Barrier, nullptr, {});
            op->List()->AddAfter(op, InsertedAfter);
        } else if (Visited.size() == 3) {
            InsertedBefore = op->Arena().NewOperation(Instruction::Barrier, nullptr, {});
            op->List()->AddBefore(op, InsertedBefore);
        }
        return node;
    }
};

TEST_F(TransformsTest, DriverVisitsOperationsAndWhatIsInsertedAfter) {
    IR::Operand* phiDest = B.Local();
    IR::PhiNode* phi = B.Arena.NewPhi(phiDest);
    phi->AddSource(B.Current, B.Const(1));
    B.Current->Operations.AddLast(phi);
    IR::Operation* first = B.Op(Instruction::Add, {phiDest, B.Const(1)});
    IR::Operation* second = B.Op(Instruction::Add, {phiDest, B.Const(2)});
    B.NewBlock();
    IR::Operation* third = B.Op(Instruction::Add, {phiDest, B.Const(3)});

    RecordingPass::Visited.clear();
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<RecordingPass>(context);

    std::vector<IR::INode*> expected{first, RecordingPass::InsertedAfter, second, third};
    EXPECT_EQ(RecordingPass::Visited, expected);
    EXPECT_EQ(RecordingPass::InsertedBefore->ListNext(), second);
}

// Removes every Barrier without replacing it, returning the node before it
// (null for the first node of a block).
struct RemovingPass {
    static inline std::vector<IR::INode*> Visited;

    static bool IsEnabled(IGpuAccessor&, ShaderStage, TargetLanguage, FeatureFlags) { return true; }
    static IR::INode* RunPass(TransformContext&, IR::INode* node) {
        Visited.push_back(node);
        IR::Operation* op = node->AsOperation();
        if (op->Inst != Instruction::Barrier)
            return node;
        IR::INode* previous = node->ListPrevious();
        Optimizations::Utils::DeleteNode(op);
        return previous;
    }
};

TEST_F(TransformsTest, DriverGoesOnAfterANodeRemovedWithoutReplacement) {
    IR::Operation* first = B.Op(Instruction::Barrier, {});
    IR::Operation* second = B.Op(Instruction::Add, {B.Const(1), B.Const(2)});
    IR::Operation* third = B.Op(Instruction::Barrier, {});
    IR::Operation* fourth = B.Op(Instruction::Add, {B.Const(3), B.Const(4)});

    RemovingPass::Visited.clear();
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<RemovingPass>(context);

    std::vector<IR::INode*> expected{first, second, third, fourth};
    EXPECT_EQ(RemovingPass::Visited, expected);
    EXPECT_EQ(Testing::IrTestBuilder::Nodes(B.Current), (std::vector<IR::INode*>{second, fourth}));
    IR::IrVerifier::Verify(B.Blocks);
}

TEST_F(TransformsTest, DrawParametersAreRecordedInVertexShadersOnly) {
    for (ShaderStage stage : {ShaderStage::Vertex, ShaderStage::Fragment}) {
        for (int word : {0x18F, 0x191}) {
            Testing::IrTestBuilder b;
            b.Op(Instruction::Add, {b.Cbuf(0, word), b.Const(1)});
            Features = FeatureFlags::None;
            TransformContext context{
                Hfm,  b.Blocks, Definitions, Resources, Gpu, Features, TargetGraphicsApi::Vulkan, TargetLanguage::Spirv,
                stage};
            TransformPasses::RunPass<DrawParametersReplace>(context);
            bool expected = stage == ShaderStage::Vertex && word == 0x191;
            EXPECT_EQ(HasFlag(Features, FeatureFlags::DrawParameters), expected) << word;
        }
    }
}

TEST_F(TransformsTest, ReciprocalOfSumWithConstantKeepsSumPrecise) {
    constexpr Instruction FAdd = Instruction::FP32 | Instruction::Add;
    constexpr Instruction FDiv = Instruction::FP32 | Instruction::Divide;
    IR::Operation* sumConst = B.Op(FAdd, {B.Local(), B.FConst(2.0f)});
    B.Op(FDiv, {B.FConst(1.0f), sumConst->Dest()});
    IR::Operation* sumVar = B.Op(FAdd, {B.Local(), B.Local()});
    B.Op(FDiv, {B.FConst(1.0f), sumVar->Dest()});
    IR::Operation* sumTwo = B.Op(FAdd, {B.Local(), B.FConst(2.0f)});
    B.Op(FDiv, {B.FConst(2.0f), sumTwo->Dest()});

    Gpu.ReducedPrecision = false;
    TransformContext context = Context(ShaderStage::Fragment);
    TransformPasses::RunPass<ForcePreciseEnable>(context);
    EXPECT_FALSE(sumConst->ForcePrecise);

    Gpu.ReducedPrecision = true;
    TransformContext vertex = Context(ShaderStage::Vertex);
    TransformPasses::RunPass<ForcePreciseEnable>(vertex);
    EXPECT_FALSE(sumConst->ForcePrecise);

    TransformPasses::RunPass<ForcePreciseEnable>(context);
    EXPECT_TRUE(sumConst->ForcePrecise);
    EXPECT_FALSE(sumVar->ForcePrecise);
    EXPECT_FALSE(sumTwo->ForcePrecise);
}

TEST_F(TransformsTest, DynamicComponentReadBecomesSelects) {
    int32_t binding = Resources.GetConstantBufferBinding(1);
    IR::Operand* index = B.Local();
    IR::Operation* load =
        B.Op(Instruction::Load, StorageKind::ConstantBuffer, {B.Const(binding), B.Const(0), B.Const(2), index});
    IR::Operation* scalarRead = B.Op(Instruction::Load, StorageKind::ConstantBuffer, {B.Const(0), B.Const(4), index});

    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<VectorComponentSelect>(context);
    EXPECT_EQ(load->Inst, Instruction::Load); // the host did not ask

    Gpu.NeedsVectorComponentSelect = true;
    TransformPasses::RunPass<VectorComponentSelect>(context);
    IR::IrVerifier::Verify(B.Blocks);

    ASSERT_EQ(load->Inst, Instruction::Copy);
    // r = select(i == 3, v3, select(i == 2, v2, select(i == 1, v1, v0)))
    IR::Operand* r = load->GetSource(0);
    for (int component = 3; component >= 1; component--) {
        IR::Operation* select = Producer(r);
        ASSERT_EQ(select->Inst, Instruction::ConditionalSelect);
        IR::Operation* compare = Producer(select->GetSource(0));
        EXPECT_EQ(compare->Inst, Instruction::CompareEqual);
        EXPECT_EQ(compare->GetSource(0), index);
        EXPECT_EQ(compare->GetSource(1)->Value, component);
        EXPECT_EQ(Producer(select->GetSource(1))->GetSource(3)->Value, component);
        r = select->GetSource(2);
    }
    EXPECT_EQ(Producer(r)->Inst, Instruction::Load);
    EXPECT_EQ(Producer(r)->GetSource(3)->Value, 0);
    // The support buffer's field 4 is a scalar: nothing to select.
    EXPECT_EQ(scalarRead->Inst, Instruction::Load);
}

TEST_F(TransformsTest, SmallSharedStoresBecomeCasCalls) {
    const std::string before = Testing::IrText(R"(
        B0:
          Store.SharedMemory8 0, %0, %1
          Store.SharedMemory16 0, %2, %3
          Store.SharedMemory 0, %4, %5
    )");
    B.ParseBlocks(before);

    // Without shared memory in use the pass leaves the stores alone.
    Features = FeatureFlags::None;
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<SharedStoreSmallIntCas>(context);
    EXPECT_EQ(B.Text(), before);

    Features = FeatureFlags::SharedMemory;
    TransformPasses::RunPass<SharedStoreSmallIntCas>(context);
    IR::IrVerifier::Verify(B.Blocks);

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          Call 1, %0, %1
          Call 2, %2, %3
          Store.SharedMemory 0, %4, %5
    )");
    auto nodes = Testing::IrTestBuilder::Nodes(B.Current);
    EXPECT_EQ(Callee(nodes[0]->AsOperation())->Name, "SharedStore8_0");
    EXPECT_EQ(Callee(nodes[1]->AsOperation())->Name, "SharedStore16_0");
    EXPECT_EQ(nodes[0]->AsOperation()->GetSource(1), B.Var(0));
}

TEST_F(TransformsTest, SignedSharedAtomicsBecomeCasCallsOutsideSpirv) {
    IR::Operation* max = B.Op(Instruction::AtomicMaxS32, StorageKind::SharedMemory, {B.Const(0), B.Local(), B.Local()});
    IR::Operation* minU =
        B.Op(Instruction::AtomicMinU32, StorageKind::SharedMemory, {B.Const(0), B.Local(), B.Local()});
    IR::Operation* onBuffer =
        B.Op(Instruction::AtomicMinS32, StorageKind::StorageBuffer, {B.Const(1), B.Const(0), B.Local(), B.Local()});
    IR::Operand* maxResult = max->Dest();
    Features = FeatureFlags::SharedMemory;

    TransformContext spirv = Context(ShaderStage::Compute, TargetLanguage::Spirv);
    TransformPasses::RunPass<SharedAtomicSignedCas>(spirv);
    EXPECT_NE(max->List(), nullptr);

    TransformContext glsl = Context(ShaderStage::Compute, TargetLanguage::Glsl);
    TransformPasses::RunPass<SharedAtomicSignedCas>(glsl);
    IR::IrVerifier::Verify(B.Blocks);
    IR::Operation* call = Producer(maxResult);
    ASSERT_EQ(call->Inst, Instruction::Call);
    EXPECT_EQ(Callee(call)->Name, "SharedAtomicMax_0");
    EXPECT_EQ(max->List(), nullptr);
    EXPECT_NE(minU->List(), nullptr);
    EXPECT_NE(onBuffer->List(), nullptr);
}

TEST_F(TransformsTest, ShufflesBecomeCallsWithTheInRangeOut) {
    auto shuffle = [&](IR::Operand* value, IR::Operand*& inRange) {
        IR::Operand* result = B.Local();
        inRange = B.Local();
        B.Current->Operations.AddLast(
            B.Arena.NewOperation(Instruction::ShuffleXor, 0, {result, inRange}, {value, B.Const(1), B.Const(0x1F)}));
        return result;
    };
    IR::Operand* inRange1;
    IR::Operand* inRange2;
    IR::Operand* result1 = shuffle(B.Local(), inRange1);
    IR::Operand* result2 = shuffle(B.Local(), inRange2);
    IR::Operation* oneResult = B.Op(Instruction::Shuffle, {B.Local(), B.Local()});

    Features = FeatureFlags::None;
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<ShufflePass>(context);
    EXPECT_EQ(Producer(result1)->Inst, Instruction::ShuffleXor);

    Features = FeatureFlags::Shuffle;
    TransformPasses::RunPass<ShufflePass>(context);
    IR::IrVerifier::Verify(B.Blocks);

    IR::Operation* call1 = Producer(result1);
    IR::Operation* call2 = Producer(result2);
    ASSERT_EQ(call1->Inst, Instruction::Call);
    ASSERT_EQ(call1->SourcesCount(), 5);
    EXPECT_EQ(call1->GetSource(4), inRange1);
    EXPECT_EQ(call2->GetSource(4), inRange2);
    EXPECT_EQ(call1->GetSource(0)->Value, call2->GetSource(0)->Value);
    EXPECT_EQ(Callee(call1)->Name, "ShuffleXor");
    EXPECT_EQ(oneResult->Inst, Instruction::Shuffle);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Transforms
