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
using IR::Instruction;

class DoubleToFloatTest : public ::testing::Test {
  protected:
    Testing::IrTestBuilder B;
    std::vector<IR::Function*> Functions{nullptr}; // slot 0: the shader's own function
    HelperFunctionManager Hfm{B.Arena, Functions, ShaderStage::Fragment};
};

TEST_F(DoubleToFloatTest, BlockWithoutDoublesIsUnchanged) {
    IR::Operation* add = B.Op(Instruction::FP32 | Instruction::Add, {B.Local(), B.Local()});
    IR::Operation* iadd = B.Op(Instruction::Add, {B.Local(), B.Local()});

    DoubleToFloat::RunPass(Hfm, B.Current);

    EXPECT_EQ(add->Inst, Instruction::FP32 | Instruction::Add);
    EXPECT_EQ(iadd->Inst, Instruction::Add);
    EXPECT_EQ(Functions.size(), 1u);
}

TEST_F(DoubleToFloatTest, DoublesAreComputedAsFloats) {
    IR::Operand* lo = B.Local();
    IR::Operand* hi = B.Local();
    IR::Operation* pack = B.Op(Instruction::PackDouble2x32, {lo, hi});
    IR::Operand* packed = pack->Dest();
    IR::Operation* add = B.Op(Instruction::FP64 | Instruction::Add, {packed, packed});
    IR::Operation* convert = B.Op(Instruction::ConvertFP64ToS32, {add->Dest()});
    IR::Operation* unpack = B.Op(Instruction::UnpackDouble2x32, {add->Dest()});
    unpack->Index = 1;
    IR::Operand* highWord = unpack->Dest();

    DoubleToFloat::RunPass(Hfm, B.Current);
    IR::IrVerifier::Verify(B.Blocks);

    auto nodes = Testing::IrTestBuilder::Nodes(B.Current);
    ASSERT_EQ(nodes.size(), 4u);

    IR::Operation* toFloat = nodes[0]->AsOperation();
    ASSERT_EQ(toFloat->Inst, Instruction::Call);
    EXPECT_EQ(toFloat->Dest(), packed);
    EXPECT_EQ(Functions.at(static_cast<size_t>(toFloat->GetSource(0)->Value))->Name, "ConvertDoubleToFloat");
    EXPECT_EQ(toFloat->GetSource(1), lo);
    EXPECT_EQ(toFloat->GetSource(2), hi);
    EXPECT_EQ(pack->List(), nullptr);
    EXPECT_FALSE(lo->Uses.Contains(pack));

    EXPECT_EQ(nodes[1], add);
    EXPECT_EQ(add->Inst, Instruction::FP32 | Instruction::Add);
    EXPECT_EQ(convert->Inst, Instruction::ConvertFP32ToS32);

    IR::Operation* toDouble = nodes[3]->AsOperation();
    ASSERT_EQ(toDouble->Inst, Instruction::Call);
    EXPECT_EQ(toDouble->DestsCount(), 0);
    EXPECT_EQ(Functions.at(static_cast<size_t>(toDouble->GetSource(0)->Value))->Name, "ConvertFloatToDouble");
    EXPECT_EQ(toDouble->GetSource(1), add->Dest());
    EXPECT_NE(toDouble->GetSource(2), highWord); // a fresh local for the unread low word
    EXPECT_TRUE(toDouble->GetSource(2)->Uses.Contains(toDouble));
    EXPECT_EQ(toDouble->GetSource(3), highWord);
}

TEST_F(DoubleToFloatTest, BlocksShareOneHelperFunction) {
    IR::BasicBlock* first = B.Current;
    B.Op(Instruction::PackDouble2x32, {B.Local(), B.Local()});
    IR::BasicBlock* second = B.NewBlock();
    B.Op(Instruction::PackDouble2x32, {B.Local(), B.Local()});

    DoubleToFloat::RunPass(Hfm, first);
    DoubleToFloat::RunPass(Hfm, second);

    int32_t id1 = first->Operations.First()->AsOperation()->GetSource(0)->Value;
    int32_t id2 = second->Operations.First()->AsOperation()->GetSource(0)->Value;
    EXPECT_EQ(id1, id2);
    EXPECT_EQ(Functions.size(), 2u);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
