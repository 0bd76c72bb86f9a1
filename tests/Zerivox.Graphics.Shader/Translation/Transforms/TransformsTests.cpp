#include <gtest/gtest.h>

#include <string>
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
    B.ParseBlocks(R"(
        B0:
          %0 = Phi [B0: 1]
          %1 = Add %0, 1
          %2 = Add %0, 2
        B1:
          %3 = Add %0, 3
    )");
    IR::INode* first = Producer(B.Var(1));
    IR::INode* second = Producer(B.Var(2));
    IR::INode* third = Producer(B.Var(3));

    RecordingPass::Visited.clear();
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<RecordingPass>(context);

    // The phi is not visited; the barrier inserted after the first operation
    // is, the one inserted before the second is not.
    std::vector<IR::INode*> expected{first, RecordingPass::InsertedAfter, second, third};
    EXPECT_EQ(RecordingPass::Visited, expected);
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Phi [B0: 1]
          %1 = Add %0, 1
          Barrier
          Barrier
          %2 = Add %0, 2
        B1:
          %3 = Add %0, 3
    )");
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
    B.ParseBlocks(R"(
        B0:
          Barrier
          %0 = Add 1, 2
          Barrier
          %1 = Add 3, 4
    )");
    std::vector<IR::INode*> before = Testing::IrTestBuilder::Nodes(B.Current);

    RemovingPass::Visited.clear();
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<RemovingPass>(context);

    // Every node is visited once, the removed first node of the block too.
    EXPECT_EQ(RemovingPass::Visited, before);
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Add 1, 2
          %1 = Add 3, 4
    )");
    IR::IrVerifier::Verify(B.Blocks);
}

// Words 0x190-0x192 (400-402) of constant buffer 0 hold the base vertex,
// base instance and draw index: a vertex shader reading one of them records
// the draw-parameters feature. Word 0x18F (399) lies outside.
TEST_F(TransformsTest, DrawParametersAreRecordedInVertexShadersOnly) {
    for (ShaderStage stage : {ShaderStage::Vertex, ShaderStage::Fragment}) {
        for (const char* word : {"399", "401"}) {
            Testing::IrTestBuilder b;
            b.ParseBlocks(std::string("B0:\n  %0 = Add cb0[") + word + "], 1\n");
            Features = FeatureFlags::None;
            TransformContext context{
                Hfm,  b.Blocks, Definitions, Resources, Gpu, Features, TargetGraphicsApi::Vulkan, TargetLanguage::Spirv,
                stage};
            TransformPasses::RunPass<DrawParametersReplace>(context);
            bool expected = stage == ShaderStage::Vertex && std::string(word) == "401";
            EXPECT_EQ(HasFlag(Features, FeatureFlags::DrawParameters), expected) << word;
        }
    }
}

// 1 / (x + constant) in a fragment shader on a host of reduced precision
// gets its sum marked precise; a sum of two values, a quotient with another
// numerator, another stage or another host is left alone.
TEST_F(TransformsTest, ReciprocalOfSumWithConstantKeepsSumPrecise) {
    const std::string before = Testing::IrText(R"(
        B0:
          %0 = Add.FP32 %1, 2.0
          %2 = Divide.FP32 1.0, %0
          %3 = Add.FP32 %4, %5
          %6 = Divide.FP32 1.0, %3
          %7 = Add.FP32 %8, 2.0
          %9 = Divide.FP32 2.0, %7
    )");
    B.ParseBlocks(before);

    Gpu.ReducedPrecision = false;
    TransformContext context = Context(ShaderStage::Fragment);
    TransformPasses::RunPass<ForcePreciseEnable>(context);
    EXPECT_EQ(B.Text(), before);

    Gpu.ReducedPrecision = true;
    TransformContext vertex = Context(ShaderStage::Vertex);
    TransformPasses::RunPass<ForcePreciseEnable>(vertex);
    EXPECT_EQ(B.Text(), before);

    TransformPasses::RunPass<ForcePreciseEnable>(context);
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Add.FP32 precise %1, 2.0
          %2 = Divide.FP32 1.0, %0
          %3 = Add.FP32 %4, %5
          %6 = Divide.FP32 1.0, %3
          %7 = Add.FP32 %8, 2.0
          %9 = Divide.FP32 2.0, %7
    )");
}

// A component of a constant-buffer vector picked by a run-time index, on a
// host that cannot index vectors: every component is loaded and the index
// selects among them. The support buffer's field 4 is a scalar.
TEST_F(TransformsTest, DynamicComponentReadBecomesSelects) {
    const std::string binding = std::to_string(Resources.GetConstantBufferBinding(1));
    const std::string before = Testing::IrText("B0:\n  %0 = Load.ConstantBuffer " + binding +
                                               ", 0, 2, %1\n  %2 = Load.ConstantBuffer 0, 4, %1\n");
    B.ParseBlocks(before);

    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<VectorComponentSelect>(context);
    EXPECT_EQ(B.Text(), before);  // the host did not ask

    Gpu.NeedsVectorComponentSelect = true;
    TransformPasses::RunPass<VectorComponentSelect>(context);
    IR::IrVerifier::Verify(B.Blocks);

    // r = select(i == 3, v3, select(i == 2, v2, select(i == 1, v1, v0))),
    // i being %3 after as before the scalar read.
    const std::string load = "Load.ConstantBuffer " + binding + ", 0, 2, ";
    ZV_EXPECT_IR(B.Text(), "B0:\n"
                           "  %0 = " + load + "0\n"
                           "  %1 = " + load + "1\n"
                           "  %2 = CompareEqual %3, 1\n"
                           "  %4 = ConditionalSelect %2, %1, %0\n"
                           "  %5 = " + load + "2\n"
                           "  %6 = CompareEqual %3, 2\n"
                           "  %7 = ConditionalSelect %6, %5, %4\n"
                           "  %8 = " + load + "3\n"
                           "  %9 = CompareEqual %3, 3\n"
                           "  %10 = ConditionalSelect %9, %8, %7\n"
                           "  %11 = Copy.ConstantBuffer %10\n"
                           "  %12 = Load.ConstantBuffer 0, 4, %3\n");
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

// Outside SPIR-V a signed atomic maximum or minimum on shared memory is a
// compare-and-swap loop in a function; unsigned ones and those on storage
// buffers stay.
TEST_F(TransformsTest, SignedSharedAtomicsBecomeCasCallsOutsideSpirv) {
    const std::string before = Testing::IrText(R"(
        B0:
          %0 = AtomicMaxS32.SharedMemory 0, %1, %2
          %3 = AtomicMinU32.SharedMemory 0, %4, %5
          %6 = AtomicMinS32.StorageBuffer 1, 0, %7, %8
    )");
    B.ParseBlocks(before);
    Features = FeatureFlags::SharedMemory;

    TransformContext spirv = Context(ShaderStage::Compute, TargetLanguage::Spirv);
    TransformPasses::RunPass<SharedAtomicSignedCas>(spirv);
    EXPECT_EQ(B.Text(), before);

    TransformContext glsl = Context(ShaderStage::Compute, TargetLanguage::Glsl);
    TransformPasses::RunPass<SharedAtomicSignedCas>(glsl);
    IR::IrVerifier::Verify(B.Blocks);
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, %1, %2
          %3 = AtomicMinU32.SharedMemory 0, %4, %5
          %6 = AtomicMinS32.StorageBuffer 1, 0, %7, %8
    )");
    EXPECT_EQ(Functions.at(1)->Name, "SharedAtomicMax_0");
}

// In a shader that uses shuffles, a shuffle writing a value and an in-range
// flag becomes a call of one shared function that writes the flag as its out
// argument; the one-result form stays.
TEST_F(TransformsTest, ShufflesBecomeCallsWithTheInRangeOut) {
    const std::string before = Testing::IrText(R"(
        B0:
          %0, %1 = ShuffleXor %2, 1, 31
          %3, %4 = ShuffleXor %5, 1, 31
          %6 = Shuffle %7, %8
    )");
    B.ParseBlocks(before);

    Features = FeatureFlags::None;
    TransformContext context = Context(ShaderStage::Compute);
    TransformPasses::RunPass<ShufflePass>(context);
    EXPECT_EQ(B.Text(), before);

    Features = FeatureFlags::Shuffle;
    TransformPasses::RunPass<ShufflePass>(context);
    IR::IrVerifier::Verify(B.Blocks);

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, %1, 1, 31, %2
          %3 = Call 1, %4, 1, 31, %5
          %6 = Shuffle %7, %8
    )");
    // The out argument is the shuffle's own in-range destination.
    EXPECT_EQ(Producer(B.Var(0))->GetSource(4), B.Var(1));
    EXPECT_EQ(Producer(B.Var(3))->GetSource(4), B.Var(4));
    EXPECT_EQ(Functions.at(1)->Name, "ShuffleXor");
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Transforms
