#include <gtest/gtest.h>

#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Simplification.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::OperandType;

// x op k and k op x, with the expected outcome: copy of x, a constant, or unchanged.
TEST(SimplificationTest, NeutralAndAbsorbingOperands) {
    enum class Expect { CopyX, Const, Same };
    struct Case {
        const char* Name;
        Instruction Inst;
        bool ConstantFirst;
        int32_t K;
        Expect Outcome;
        int32_t Value = 0;
    };
    const Case cases[] = {
        {"x & -1", Instruction::BitwiseAnd, false, -1, Expect::CopyX},
        {"-1 & x", Instruction::BitwiseAnd, true, -1, Expect::CopyX},
        {"x & 0", Instruction::BitwiseAnd, false, 0, Expect::Const, 0},
        {"x | 0", Instruction::BitwiseOr, false, 0, Expect::CopyX},
        {"0 | x", Instruction::BitwiseOr, true, 0, Expect::CopyX},
        {"x | -1", Instruction::BitwiseOr, false, -1, Expect::Const, -1},
        {"x ^ 0", Instruction::BitwiseExclusiveOr, false, 0, Expect::CopyX},
        {"0 + x", Instruction::Add, true, 0, Expect::CopyX},
        {"x + 0", Instruction::Add, false, 0, Expect::CopyX},
        {"x * 1", Instruction::Multiply, false, 1, Expect::CopyX},
        {"1 * x", Instruction::Multiply, true, 1, Expect::CopyX},
        {"x / 1", Instruction::Divide, false, 1, Expect::CopyX},
        {"x << 0", Instruction::ShiftLeft, false, 0, Expect::CopyX},
        {"x >> 0", Instruction::ShiftRightS32, false, 0, Expect::CopyX},
        {"x >>> 0", Instruction::ShiftRightU32, false, 0, Expect::CopyX},
        {"x - 0", Instruction::Subtract, false, 0, Expect::CopyX},
        {"0 - x", Instruction::Subtract, true, 0, Expect::Same},
        {"1 / x", Instruction::Divide, true, 1, Expect::Same},
        {"x * 0", Instruction::Multiply, false, 0, Expect::Same},
        {"float x + 0", Instruction::FP32 | Instruction::Add, false, 0, Expect::Same},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        IR::Operand* x = b.Local();
        IR::Operand* k = b.Const(c.K);
        IR::Operation* op = c.ConstantFirst ? b.Op(c.Inst, {k, x}) : b.Op(c.Inst, {x, k});
        Simplification::RunPass(op);
        switch (c.Outcome) {
        case Expect::CopyX:
            EXPECT_EQ(op->Inst, Instruction::Copy) << c.Name;
            EXPECT_EQ(op->GetSource(0), x) << c.Name;
            EXPECT_FALSE(k->Uses.Contains(op)) << c.Name;
            break;
        case Expect::Const:
            EXPECT_EQ(op->Inst, Instruction::Copy) << c.Name;
            EXPECT_EQ(op->GetSource(0)->Type, OperandType::Constant) << c.Name;
            EXPECT_EQ(op->GetSource(0)->Value, c.Value) << c.Name;
            EXPECT_FALSE(x->Uses.Contains(op)) << c.Name;
            break;
        case Expect::Same:
            EXPECT_EQ(op->Inst, c.Inst) << c.Name;
            EXPECT_EQ(op->SourcesCount(), 2) << c.Name;
            break;
        }
    }
}

TEST(SimplificationTest, CompareNotEqualZeroOfComparisonIsTheComparison) {
    Testing::IrTestBuilder b;
    IR::Operand* cmp = b.Val(Instruction::FP32 | Instruction::CompareLess, {b.Local(), b.Local()});
    IR::Operation* ne = b.Op(Instruction::CompareNotEqual, {b.Const(0), cmp});
    IR::Operation* neOne = b.Op(Instruction::CompareNotEqual, {cmp, b.Const(1)});
    IR::Operand* notCmp = b.Val(Instruction::BitwiseAnd, {b.Local(), b.Local()});
    IR::Operation* neOther = b.Op(Instruction::CompareNotEqual, {notCmp, b.Const(0)});

    Simplification::RunPass(ne);
    Simplification::RunPass(neOne);
    Simplification::RunPass(neOther);

    EXPECT_EQ(ne->Inst, Instruction::Copy);
    EXPECT_EQ(ne->GetSource(0), cmp);
    EXPECT_EQ(neOne->Inst, Instruction::CompareNotEqual);
    EXPECT_EQ(neOther->Inst, Instruction::CompareNotEqual);
}

// The text after simplifying every operation of the text before, in order.
std::string Simplify(Testing::IrTestBuilder& b, std::string_view before) {
    b.ParseBlocks(before);
    for (IR::INode* node : Testing::IrTestBuilder::Nodes(b.Current)) Simplification::RunPass(node->AsOperation());
    return b.Text();
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
