#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Simplification.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;

// The text after simplifying every operation of the text before, in order.
std::string Simplify(Testing::IrTestBuilder& b, std::string_view before) {
    b.ParseBlocks(before);
    for (IR::INode* node : Testing::IrTestBuilder::Nodes(b.Current)) Simplification::RunPass(node->AsOperation());
    return b.Text();
}

// x op k and k op x, x being %1: a copy of x, a constant, or unchanged. An
// operand the rewrite drops must no longer list the operation as its reader
// (constants keep no list of readers).
TEST(SimplificationTest, NeutralOperandGivesCopyAbsorbingOperandGivesConstant) {
    struct Case {
        const char* Before;
        const char* After;
    };
    const Case cases[] = {
        {"%0 = BitwiseAnd %1, -1", "%0 = Copy %1"},
        {"%0 = BitwiseAnd -1, %1", "%0 = Copy %1"},
        {"%0 = BitwiseAnd %1, 0", "%0 = Copy 0"},
        {"%0 = BitwiseOr %1, 0", "%0 = Copy %1"},
        {"%0 = BitwiseOr 0, %1", "%0 = Copy %1"},
        {"%0 = BitwiseOr %1, -1", "%0 = Copy -1"},
        {"%0 = BitwiseExclusiveOr %1, 0", "%0 = Copy %1"},
        {"%0 = Add 0, %1", "%0 = Copy %1"},
        {"%0 = Add %1, 0", "%0 = Copy %1"},
        {"%0 = Multiply %1, 1", "%0 = Copy %1"},
        {"%0 = Multiply 1, %1", "%0 = Copy %1"},
        {"%0 = Divide %1, 1", "%0 = Copy %1"},
        {"%0 = ShiftLeft %1, 0", "%0 = Copy %1"},
        {"%0 = ShiftRightS32 %1, 0", "%0 = Copy %1"},
        {"%0 = ShiftRightU32 %1, 0", "%0 = Copy %1"},
        {"%0 = Subtract %1, 0", "%0 = Copy %1"},
        // Not neutral on that side, not absorbing, or a float addition of
        // zero, which would turn -0.0 into 0.0.
        {"%0 = Subtract 0, %1", "%0 = Subtract 0, %1"},
        {"%0 = Divide 1, %1", "%0 = Divide 1, %1"},
        {"%0 = Multiply %1, 0", "%0 = Multiply %1, 0"},
        {"%0 = Add.FP32 %1, 0.0", "%0 = Add.FP32 %1, 0.0"},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        IR::Operation* op = b.ParseOperations(c.Before).at(0);
        std::vector<IR::Operand*> sources;
        for (int i = 0; i < op->SourcesCount(); i++) sources.push_back(op->GetSource(i));

        Simplification::RunPass(op);

        EXPECT_EQ(IR::IrPrinter::PrintOperations({&op, 1}), std::string(c.After) + "\n") << c.Before;
        for (IR::Operand* source : sources) {
            bool kept = false;
            for (int i = 0; i < op->SourcesCount(); i++) kept |= op->GetSource(i) == source;
            EXPECT_EQ(source->Uses.Contains(op), kept && source->Type == IR::OperandType::LocalVariable)
                << c.Before;
        }
    }
}

// x != 0 of a comparison x is x; against another constant, or of a value
// that is not a comparison, it stays.
TEST(SimplificationTest, CompareNotEqualZeroOfComparisonIsTheComparison) {
    Testing::IrTestBuilder b;
    ZV_EXPECT_IR(Simplify(b, R"(
        B0:
          %0 = CompareLess.FP32 %1, %2
          %3 = CompareNotEqual 0, %0
          %4 = CompareNotEqual %0, 1
          %5 = BitwiseAnd %6, %7
          %8 = CompareNotEqual %5, 0
    )"), R"(
        B0:
          %0 = CompareLess.FP32 %1, %2
          %3 = Copy %0
          %4 = CompareNotEqual %0, 1
          %5 = BitwiseAnd %6, %7
          %8 = CompareNotEqual %5, 0
    )");
}

TEST(SimplificationTest, SelectOnConstantCondition) {
    Testing::IrTestBuilder b;
    ZV_EXPECT_IR(Simplify(b, R"(
        B0:
          %2 = ConditionalSelect 5, %0, %1
          %3 = ConditionalSelect 0, %0, %1
          %4 = ConditionalSelect %5, %0, %1
    )"), R"(
        B0:
          %0 = Copy %1
          %2 = Copy %3
          %4 = ConditionalSelect %5, %1, %3
    )");
}

// x = a ^ b; y = x ^ b; x ^ y swaps a and b: three copies, unless x has
// another reader that needs a ^ b.
TEST(SimplificationTest, XorSwapBecomesCopies) {
    Testing::IrTestBuilder swap;
    ZV_EXPECT_IR(Simplify(swap, R"(
        B0:
          %2 = BitwiseExclusiveOr %0, %1
          %3 = BitwiseExclusiveOr %2, %1
          %4 = BitwiseExclusiveOr %2, %3
    )"), R"(
        B0:
          %0 = Copy %1
          %2 = Copy %3
          %4 = Copy %0
    )");
    EXPECT_EQ(swap.Var(2)->Definition->AsOperation()->GetSource(0), swap.Var(1));
    EXPECT_EQ(swap.Var(3)->Definition->AsOperation()->GetSource(0), swap.Var(0));

    // Numbered as the printer numbers, so that unchanged IR prints the same.
    Testing::IrTestBuilder reread;
    const std::string before = Testing::IrText(R"(
        B0:
          %0 = BitwiseExclusiveOr %1, %2
          %3 = BitwiseExclusiveOr %0, %2
          %4 = BitwiseExclusiveOr %0, %3
          %5 = Add %0, 1
    )");
    EXPECT_EQ(Simplify(reread, before), before);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
