#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/ConstantFolding.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;

// One operation before folding and the operation after, each written
// without its destination ("%0 = " is implied). Booleans are -1 and 0.
struct FoldCase {
    const char* Before;
    const char* After;
};

class ConstantFoldingTest : public ::testing::Test {
  protected:
    Testing::FakeGpuAccessor Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Fragment, Gpu, Reservations};
    IR::IrArena Arena;

    IR::Operation* Parse(std::string_view text) {
        return IR::IrParser::ParseOperations(Arena, "%0 = " + std::string(text)).at(0);
    }
    static std::string Print(IR::Operation* op) { return IR::IrPrinter::PrintOperations({&op, 1}); }

    // The folded text of the operation.
    std::string Fold(std::string_view before) {
        IR::Operation* op = Parse(before);
        ConstantFolding::RunPass(Resources, op);
        return Print(op);
    }
    // The expected text read back and printed again: a Copy prints its
    // constant as an integer, but the rows may write a float result as a
    // float (1.0, -0.0, inf, nan:0x...), which reads back to the same bits.
    std::string Expected(std::string_view after) { return Print(Parse(after)); }

    void ExpectFolds(std::span<const FoldCase> cases) {
        for (const FoldCase& c : cases) EXPECT_EQ(Fold(c.Before), Expected(c.After)) << c.Before;
    }
};

TEST_F(ConstantFoldingTest, IntegerRulesWrapAndNeverTrap) {
    const FoldCase cases[] = {
        {"Add 2147483647, 1", "Copy -2147483648"},
        {"Subtract -2147483648, 1", "Copy 2147483647"},
        // 0x10001 * 0x10001 keeps the low bits, 0x20001.
        {"Multiply 65537, 65537", "Copy 131073"},
        {"Multiply -2147483648, -1", "Copy -2147483648"},
        {"Negate -2147483648", "Copy -2147483648"},
        {"Negate 5", "Copy -5"},
        {"Divide 7, 0", "Copy 0"},
        {"Divide -7, 2", "Copy -3"},
        {"Divide -2147483648, -1", "Copy -2147483648"},
        // Shift counts are taken modulo 32.
        {"ShiftLeft 1, 33", "Copy 2"},
        {"ShiftLeft 1, 32", "Copy 1"},
        {"ShiftLeft 1, -1", "Copy -2147483648"},
        {"ShiftRightS32 -8, 1", "Copy -4"},
        {"ShiftRightU32 -8, 29", "Copy 7"},
        {"BitwiseAnd 61680, 4080", "Copy 240"},
        {"BitwiseOr 61440, 15", "Copy 61455"},
        {"BitwiseExclusiveOr 255, 15", "Copy 240"},
        {"BitwiseNot 0", "Copy -1"},
        {"BitCount -1", "Copy 32"},
        {"Maximum -1, 1", "Copy 1"},
        {"MaximumU32 -1, 1", "Copy -1"},
        {"Minimum -1, 1", "Copy -1"},
        {"MinimumU32 -1, 1", "Copy 1"},
        {"Clamp -5, -2, 3", "Copy -2"},
        {"ClampU32 -5, 2, 300", "Copy 300"},
        {"CompareEqual 3, 3", "Copy -1"},
        {"CompareNotEqual 3, 3", "Copy 0"},
        {"CompareLess -1, 1", "Copy -1"},
        {"CompareLessU32 -1, 1", "Copy 0"},
        {"CompareLessOrEqual 1, 1", "Copy -1"},
        {"CompareLessOrEqualU32 2, 1", "Copy 0"},
        {"CompareGreater 1, -1", "Copy -1"},
        {"CompareGreaterU32 1, -1", "Copy 0"},
        {"CompareGreaterOrEqual -1, -1", "Copy -1"},
        {"CompareGreaterOrEqualU32 -1, 0", "Copy -1"},
        {"IsNan nan:0x7fc00000", "Copy -1"},
        {"IsNan inf", "Copy 0"},
    };
    ExpectFolds(cases);
}

TEST_F(ConstantFoldingTest, FloatRulesAreExactBinary32) {
    const FoldCase cases[] = {
        {"Add.FP32 0.1, 0.2", "Copy 0.3"},
        // 2^24 + 1 is a tie, rounded to the even 2^24.
        {"Add.FP32 16777216.0, 1.0", "Copy 16777216.0"},
        {"Subtract.FP32 1.0, 3.0", "Copy -2.0"},
        // Subnormal operands and results are kept, not flushed to zero.
        {"Multiply.FP32 1e-45, 2.0", "Copy 3e-45"},
        {"Multiply.FP32 1.1754944e-38, 0.5", "Copy 5.877472e-39"},
        {"Divide.FP32 1.0, 0.0", "Copy inf"},
        {"Divide.FP32 1.0, -0.0", "Copy -inf"},
        {"Negate.FP32 0.0", "Copy -0.0"},
        {"Negate.FP32 nan:0x7fc01234", "Copy nan:0xffc01234"},
        {"Clamp.FP32 -2.0, 0.0, 1.0", "Copy 0.0"},
        {"Clamp.FP32 5.0, 0.0, 1.0", "Copy 1.0"},
        {"Clamp.FP32 nan:0x7fc00000, 0.0, 1.0", "Copy nan:0x7fc00000"},
        {"CompareEqual.FP32 nan:0x7fc00000, nan:0x7fc00000", "Copy 0"},
        {"CompareEqual.FP32 0.0, -0.0", "Copy -1"},
        {"CompareNotEqual.FP32 nan:0x7fc00000, 1.0", "Copy -1"},
        {"CompareNotEqual.FP32 1.0, 1.0", "Copy 0"},
        {"CompareLess.FP32 nan:0x7fc00000, inf", "Copy 0"},
        {"CompareLessOrEqual.FP32 1.0, 1.0", "Copy -1"},
        {"CompareGreater.FP32 inf, 1e+38", "Copy -1"},
        {"CompareGreaterOrEqual.FP32 1.0, nan:0x7fc00000", "Copy 0"},
    };
    ExpectFolds(cases);

    // inf - inf is a NaN of any payload.
    IR::Operation* op = Parse("Subtract.FP32 inf, inf");
    ConstantFolding::RunPass(Resources, op);
    ASSERT_EQ(op->Inst, Instruction::Copy);
    EXPECT_TRUE(std::isnan(op->GetSource(0)->AsFloat()));
}

TEST_F(ConstantFoldingTest, BitfieldExtractAndHalfUnpack) {
    const FoldCase cases[] = {
        // 0x5A3, bits 4..7.
        {"BitfieldExtractU32 1443, 4, 4", "Copy 10"},
        // 0xF0 and 0x70, bits 4..7, sign-extended.
        {"BitfieldExtractS32 240, 4, 4", "Copy -1"},
        {"BitfieldExtractS32 112, 4, 4", "Copy 7"},
        {"BitfieldExtractU32 -2, 0, 32", "Copy -2"},
        {"BitfieldExtractS32 -2147483648, 31, 1", "Copy -1"},
        // An empty field reads as 0, as the generated code computes it.
        {"BitfieldExtractU32 1443, 4, 0", "Copy 0"},
        {"BitfieldExtractS32 -1, 0, 0", "Copy 0"},
        // 0x3C00C000: half 1.0 high, half -2.0 low; the index picks the half
        // (and stays on the copy).
        {"UnpackHalf2x16 1006682112", "Copy -2.0"},
        {"UnpackHalf2x16#1 1006682112", "Copy#1 1.0"},
        // Half 0x0001 (2^-24), 0x8000, 0x7C00 and 0x7BFF.
        {"UnpackHalf2x16 1", "Copy 5.9604645e-08"},
        {"UnpackHalf2x16 32768", "Copy -0.0"},
        {"UnpackHalf2x16 31744", "Copy inf"},
        {"UnpackHalf2x16 31743", "Copy 65504.0"},
    };
    ExpectFolds(cases);

    // Half 0x7E00 is a NaN; its single-precision payload is not fixed.
    IR::Operation* nan = Parse("UnpackHalf2x16 32256");
    ConstantFolding::RunPass(Resources, nan);
    ASSERT_EQ(nan->Inst, Instruction::Copy);
    EXPECT_TRUE(std::isnan(nan->GetSource(0)->AsFloat()));
}

TEST_F(ConstantFoldingTest, LeavesUnfoldableOperationsAlone) {
    const char* cases[] = {
        "Add.FP64 1, 2",
        "Modulo 7, 2",
        "Absolute -1",
        "ConvertFP32ToS32 nan:0x7fc00000",
        "IsNan.FP32 nan:0x7fc00000",
        "CompareLessU32.FP32 1e-45, 3e-45",
        "Maximum.FP32 1e-45, 3e-45",
        "Add 1, %1",
    };
    for (const char* before : cases) EXPECT_EQ(Fold(before), Expected(before)) << before;
}

TEST_F(ConstantFoldingTest, ClampWithCrossedBoundsFails) {
    struct Case {
        const char* Before;
        const char* Message;
    };
    const Case cases[] = {
        {"Clamp 0, 5, 3", "'5' cannot be greater than 3."},
        {"ClampU32 0, -1, 3", "'4294967295' cannot be greater than 3."},
        {"Clamp.FP32 0.0, 1.5, 0.5", "'1.5' cannot be greater than 0.5."},
    };
    for (const Case& c : cases) {
        IR::Operation* op = Parse(c.Before);
        try {
            ConstantFolding::RunPass(Resources, op);
            ADD_FAILURE() << c.Message;
        } catch (const Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}

// A load of one word of a bound constant buffer (binding, field 0, vector
// 2, component 1: word 9) becomes a copy of that word as an operand (the
// copy keeps the load's storage kind); another binding or field stays a
// load.
TEST_F(ConstantFoldingTest, ConstantBufferLoadBecomesWordOperand) {
    const std::string binding = std::to_string(Resources.GetConstantBufferBinding(3));
    const std::string unknown = std::to_string(Resources.GetConstantBufferBinding(3) + 100);
    EXPECT_EQ(Fold("Load.ConstantBuffer " + binding + ", 0, 2, 1"), Expected("Copy.ConstantBuffer cb3[9]"));
    const std::string unchanged[] = {
        "Load.ConstantBuffer " + unknown + ", 0, 2, 1",
        "Load.ConstantBuffer " + binding + ", 1, 2, 1",
    };
    for (const std::string& before : unchanged) EXPECT_EQ(Fold(before), Expected(before)) << before;
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
