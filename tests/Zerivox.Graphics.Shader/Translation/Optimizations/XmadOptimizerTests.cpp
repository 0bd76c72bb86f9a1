#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/XmadOptimizer.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;

IR::Operation* Producer(const IR::Operand* value) { return value->Definition->AsOperation(); }

// What the emitter leaves for a 32x32 product of %1 and %3 plus %23 (locals
// numbered as the printer numbers them):
// XMAD t0 = a.lo*b.lo + c; XMAD.MRG t1 = a.lo*b.hi; XMAD.PSL.CBCC
// r = a.hi*t1.hi + t0, each result copied into its register's local.
constexpr const char* Mul32x32PlusC = R"(
    B0:
      %0 = BitwiseAnd %1, 65535
      %2 = BitwiseAnd %3, 65535
      %4 = Multiply %0, %2
      %5 = Add %4, %23
      %6 = Copy %5
      %7 = BitwiseAnd %1, 65535
      %8 = ShiftRightU32 %3, 16
      %9 = Multiply %7, %8
      %10 = Add %9, 0
      %11 = BitwiseAnd %10, 65535
      %12 = ShiftLeft %3, 16
      %13 = BitwiseOr %11, %12
      %14 = Copy %13
      %15 = ShiftRightU32 %1, 16
      %16 = ShiftRightU32 %14, 16
      %17 = Multiply %15, %16
      %18 = ShiftLeft %17, 16
      %19 = ShiftLeft %14, 16
      %20 = Add %6, %19
      %21 = Add %18, %20
      %22 = Copy %21
)";

TEST(XmadOptimizerTest, ThreeXmadProductBecomesOneMultiply) {
    Testing::IrTestBuilder b;
    std::string code = Mul32x32PlusC;
    code.replace(code.find("%23"), 3, "0");
    b.ParseBlocks(code);
    IR::Operation* last = Producer(b.Var(21));

    XmadOptimizer::RunPass(b.Current);

    IR::Operation* mul = Producer(b.Var(21));
    EXPECT_EQ(mul->Inst, Instruction::Multiply);
    EXPECT_EQ(mul->GetSource(0), b.Var(1));
    EXPECT_EQ(mul->GetSource(1), b.Var(3));
    EXPECT_EQ(last->List(), nullptr);
    // The last Add becomes the product; the rest is left for the dead-code pass.
    ZV_EXPECT_IR_LINES(b.Text(), "%20 = Add %6, %19", "%21 = Multiply %1, %3", "%22 = Copy %21");
}

TEST(XmadOptimizerTest, AddendBecomesAddAfterMultiply) {
    Testing::IrTestBuilder b;
    b.ParseBlocks(Mul32x32PlusC);

    XmadOptimizer::RunPass(b.Current);

    IR::Operation* add = Producer(b.Var(21));
    ASSERT_EQ(add->Inst, Instruction::Add);
    EXPECT_EQ(add->GetSource(1), b.Var(23));
    IR::Operation* mul = Producer(add->GetSource(0));
    EXPECT_EQ(mul->Inst, Instruction::Multiply);
    EXPECT_EQ(mul->GetSource(0), b.Var(1));
    EXPECT_EQ(mul->GetSource(1), b.Var(3));
    EXPECT_EQ(mul->ListNext(), add);
}

// What the emitter leaves for a 32x16 product of %1 and the factor k:
// XMAD t0 = a.lo*k + 0; XMAD.PSL r = a.hi*k + t0.
std::string Mul32x16(std::string_view k) {
    std::string code = R"(
        B0:
          %0 = BitwiseAnd %1, 65535
          %2 = BitwiseAnd K, 65535
          %3 = Multiply %0, %2
          %4 = Add %3, 0
          %5 = Copy %4
          %6 = ShiftRightU32 %1, 16
          %7 = BitwiseAnd K, 65535
          %8 = Multiply %6, %7
          %9 = ShiftLeft %8, 16
          %10 = Add %9, %5
          %11 = Copy %10
    )";
    for (std::size_t at = code.find('K'); at != std::string::npos; at = code.find('K', at))
        code.replace(at, 1, k);
    return code;
}

// Only a constant factor that fits 16 unsigned bits makes the 32x16 form a
// product.
TEST(XmadOptimizerTest, ShortProductBecomesMultiplyOnlyFor16BitConstantFactor) {
    struct Case {
        const char* K;
        const char* Product;  // what %10 becomes; null when nothing changes
    };
    const Case cases[] = {
        {"1000", "%10 = Multiply %1, 1000"},
        {"65535", "%10 = Multiply %1, 65535"},
        {"65536", nullptr},
        {"-1", nullptr},
    };
    for (const Case& c : cases) {
        Testing::IrTestBuilder b;
        b.ParseBlocks(Mul32x16(c.K));
        const std::string before = b.Text();

        XmadOptimizer::RunPass(b.Current);

        if (c.Product != nullptr) {
            ZV_EXPECT_IR_LINES(b.Text(), "%9 = ShiftLeft %8, 16", c.Product, "%11 = Copy %10");
        } else {
            EXPECT_EQ(b.Text(), before) << c.K;
        }
    }
}

TEST(XmadOptimizerTest, OtherShapesAreLeftAlone) {
    const std::string shapes[] = {
        // The 32x32 sequence on signed halves.
        Testing::IrText(R"(
            B0:
              %0 = BitfieldExtractS32 %1, 0, 16
              %2 = BitfieldExtractS32 %3, 0, 16
              %4 = Multiply %0, %2
              %5 = Add %4, 0
              %6 = Copy %5
              %7 = BitfieldExtractS32 %1, 0, 16
              %8 = ShiftRightS32 %3, 16
              %9 = Multiply %7, %8
              %10 = Add %9, 0
              %11 = BitwiseAnd %10, 65535
              %12 = ShiftLeft %3, 16
              %13 = BitwiseOr %11, %12
              %14 = Copy %13
              %15 = ShiftRightS32 %1, 16
              %16 = ShiftRightS32 %14, 16
              %17 = Multiply %15, %16
              %18 = ShiftLeft %17, 16
              %19 = ShiftLeft %14, 16
              %20 = Add %6, %19
              %21 = Add %18, %20
              %22 = Copy %21
        )"),
        // A register factor in the 32x16 form.
        Mul32x16("%50"),
        // Add(v, low*low + something not shifted by 16).
        Testing::IrText(R"(
            B0:
              %0 = BitwiseAnd %1, 65535
              %2 = BitwiseAnd %3, 65535
              %4 = Multiply %0, %2
              %5 = Add %4, 0
              %6 = Copy %5
              %7 = Add %6, %8
              %9 = Add %10, %7
        )"),
    };
    for (const std::string& shape : shapes) {
        Testing::IrTestBuilder b;
        b.ParseBlocks(shape);
        const std::string before = b.Text();

        XmadOptimizer::RunPass(b.Current);

        EXPECT_EQ(b.Text(), before);
    }
}

// t1 (%14) is also read by an addition after the sequence: the product
// replaces the last Add, and t1 and its reader stay as they were.
TEST(XmadOptimizerTest, IntermediatesReadElsewhereKeepTheirReaders) {
    Testing::IrTestBuilder b;
    std::string code = Mul32x32PlusC;
    code.replace(code.find("%23"), 3, "0");
    b.ParseBlocks(code + "      %23 = Add %14, 5\n");

    XmadOptimizer::RunPass(b.Current);

    ZV_EXPECT_IR_LINES(b.Text(), "%13 = BitwiseOr %11, %12", "%14 = Copy %13", "%21 = Multiply %1, %3",
                       "%22 = Copy %21", "%23 = Add %14, 5");
    EXPECT_TRUE(b.Var(14)->Uses.Contains(Producer(b.Var(23))));
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
