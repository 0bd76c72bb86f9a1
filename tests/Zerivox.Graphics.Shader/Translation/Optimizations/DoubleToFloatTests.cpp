#include <gtest/gtest.h>

#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/DoubleToFloat.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;

class DoubleToFloatTest : public ::testing::Test {
  protected:
    Testing::IrTestBuilder B;
    std::vector<IR::Function*> Functions{nullptr}; // slot 0: the shader's own function
    HelperFunctionManager Hfm{B.Arena, Functions, ShaderStage::Fragment};

    // The pass must report exactly whether it changed the block: the
    // optimiser skips its second clean-up on that report.
    void Run(IR::BasicBlock* block) {
        const uint64_t fingerprint = IR::IrVerifier::Fingerprint(*block);
        const bool reported = DoubleToFloat::RunPass(Hfm, block);
        EXPECT_EQ(reported, IR::IrVerifier::Fingerprint(*block) != fingerprint);
    }
};

TEST_F(DoubleToFloatTest, BlockWithoutDoublesIsUnchanged) {
    const char* before = R"(
        B0:
          %0 = Add.FP32 %1, %2
          %3 = Add %4, %5
    )";
    B.ParseBlocks(before);

    Run(B.Current);

    ZV_EXPECT_IR(B.Text(), before);
    EXPECT_EQ(Functions.size(), 1u);
}

// A double made from two words is converted to a float by a helper call;
// arithmetic on it runs in single precision, and a word read back from it is
// produced by the reverse helper, with a fresh local for the unread word.
TEST_F(DoubleToFloatTest, DoublesAreComputedAsFloats) {
    B.ParseBlocks(R"(
        B0:
          %2 = PackDouble2x32 %0, %1
          %3 = Add.FP64 %2, %2
          %4 = ConvertFP64ToS32 %3
          %5 = UnpackDouble2x32#1 %3
    )");

    Run(B.Current);
    IR::IrVerifier::Verify(B.Blocks);

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, %1, %2
          %3 = Add.FP32 %0, %0
          %4 = ConvertFP32ToS32 %3
          Call 2, %3, %5, %6
    )");
    ASSERT_EQ(Functions.size(), 3u);
    EXPECT_EQ(Functions[1]->Name, "ConvertDoubleToFloat");
    EXPECT_EQ(Functions[2]->Name, "ConvertFloatToDouble");
    // The packed local keeps its name, the words keep their order, and the
    // removed pack no longer reads lo.
    IR::Operation* toFloat = B.Current->Operations.First()->AsOperation();
    EXPECT_EQ(toFloat->Dest(), B.Var(2));
    EXPECT_EQ(toFloat->GetSource(1), B.Var(0));
    EXPECT_EQ(toFloat->GetSource(2), B.Var(1));
    EXPECT_EQ(B.Var(0)->Uses.Count(), 1);
    // The high word read back is the one the unpack wrote.
    IR::Operation* toDouble = B.Current->Operations.Last()->AsOperation();
    EXPECT_EQ(toDouble->GetSource(3), B.Var(5));
}

TEST_F(DoubleToFloatTest, BlocksShareOneHelperFunction) {
    B.ParseBlocks(R"(
        B0:
          %0 = PackDouble2x32 %1, %2
        B1:
          %3 = PackDouble2x32 %4, %5
    )");

    Run(B.Blocks[0]);
    Run(B.Blocks[1]);

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, %1, %2
        B1:
          %3 = Call 1, %4, %5
    )");
    EXPECT_EQ(Functions.size(), 2u);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
