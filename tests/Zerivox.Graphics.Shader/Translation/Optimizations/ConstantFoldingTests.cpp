#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/ConstantFolding.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::OperandType;
using Testing::IrTestBuilder;

constexpr Instruction F32 = Instruction::FP32;
constexpr int32_t True = -1;
constexpr int32_t False = 0;
constexpr int32_t IntMin = std::numeric_limits<int32_t>::min();

int32_t Bits(float f) { return std::bit_cast<int32_t>(f); }
const int32_t Inf = Bits(std::numeric_limits<float>::infinity());
const int32_t NaN = Bits(std::numeric_limits<float>::quiet_NaN());

struct FoldCase {
    const char* Name;
    Instruction Inst;
    std::vector<int32_t> Sources;
    int32_t Expected;
    int32_t Index = 0;
};

class ConstantFoldingTest : public ::testing::Test {
  protected:
    Testing::FakeGpuAccessor Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Fragment, Gpu, Reservations};
    IrTestBuilder B;

    IR::Operation* Make(Instruction inst, const std::vector<int32_t>& sources, int32_t index = 0) {
        IR::Operation* op = B.Op(inst, {});
        for (int32_t value : sources)
            op->AppendSources({B.Const(value)});
        op->Index = index;
        return op;
    }
};

void ExpectFolded(const IR::Operation* op, int32_t expected, const char* name) {
    ASSERT_EQ(op->Inst, Instruction::Copy) << name;
    ASSERT_EQ(op->SourcesCount(), 1) << name;
    EXPECT_EQ(op->GetSource(0)->Type, OperandType::Constant) << name;
    EXPECT_EQ(op->GetSource(0)->Value, expected) << name << " gave 0x" << std::hex << op->GetSource(0)->Value;
}

TEST_F(ConstantFoldingTest, IntegerRulesWrapAndNeverTrap) {
    const FoldCase cases[] = {
        {"add wraps", Instruction::Add, {0x7FFFFFFF, 1}, IntMin},
        {"sub wraps", Instruction::Subtract, {IntMin, 1}, 0x7FFFFFFF},
        {"mul keeps low bits", Instruction::Multiply, {0x10001, 0x10001}, 0x20001},
        {"mul overflow", Instruction::Multiply, {IntMin, -1}, IntMin},
        {"negate min", Instruction::Negate, {IntMin}, IntMin},
        {"negate", Instruction::Negate, {5}, -5},
        {"div by zero", Instruction::Divide, {7, 0}, 0},
        {"div toward zero", Instruction::Divide, {-7, 2}, -3},
        {"div min by -1", Instruction::Divide, {IntMin, -1}, IntMin},
        {"shl count mod 32", Instruction::ShiftLeft, {1, 33}, 2},
        {"shl by 32", Instruction::ShiftLeft, {1, 32}, 1},
        {"shl negative count", Instruction::ShiftLeft, {1, -1}, IntMin},
        {"sar", Instruction::ShiftRightS32, {-8, 1}, -4},
        {"shr", Instruction::ShiftRightU32, {-8, 29}, 7},
        {"and", Instruction::BitwiseAnd, {0xF0F0, 0x0FF0}, 0x00F0},
        {"or", Instruction::BitwiseOr, {0xF000, 0x000F}, 0xF00F},
        {"xor", Instruction::BitwiseExclusiveOr, {0xFF, 0x0F}, 0xF0},
        {"not", Instruction::BitwiseNot, {0}, -1},
        {"bitcount", Instruction::BitCount, {-1}, 32},
        {"max signed", Instruction::Maximum, {-1, 1}, 1},
        {"max unsigned", Instruction::MaximumU32, {-1, 1}, -1},
        {"min signed", Instruction::Minimum, {-1, 1}, -1},
        {"min unsigned", Instruction::MinimumU32, {-1, 1}, 1},
        {"clamp", Instruction::Clamp, {-5, -2, 3}, -2},
        {"clamp unsigned", Instruction::ClampU32, {-5, 2, 300}, 300},
        {"eq", Instruction::CompareEqual, {3, 3}, True},
        {"ne", Instruction::CompareNotEqual, {3, 3}, False},
        {"lt signed", Instruction::CompareLess, {-1, 1}, True},
        {"lt unsigned", Instruction::CompareLessU32, {-1, 1}, False},
        {"le", Instruction::CompareLessOrEqual, {1, 1}, True},
        {"le unsigned", Instruction::CompareLessOrEqualU32, {2, 1}, False},
        {"gt", Instruction::CompareGreater, {1, -1}, True},
        {"gt unsigned", Instruction::CompareGreaterU32, {1, -1}, False},
        {"ge", Instruction::CompareGreaterOrEqual, {-1, -1}, True},
        {"ge unsigned", Instruction::CompareGreaterOrEqualU32, {-1, 0}, True},
        {"isnan", Instruction::IsNan, {NaN}, True},
        {"isnan inf", Instruction::IsNan, {Inf}, False},
    };
    for (const FoldCase& c : cases) {
        IR::Operation* op = Make(c.Inst, c.Sources, c.Index);
        ConstantFolding::RunPass(Resources, op);
        ExpectFolded(op, c.Expected, c.Name);
    }
}

TEST_F(ConstantFoldingTest, FloatRulesAreExactBinary32) {
    const int32_t denormMin = 1; // smallest subnormal
    const FoldCase cases[] = {
        {"add", F32 | Instruction::Add, {Bits(0.1f), Bits(0.2f)}, Bits(0.1f + 0.2f)},
        {"add rounds to even", F32 | Instruction::Add, {Bits(16777216.0f), Bits(1.0f)}, Bits(16777216.0f)},
        {"sub", F32 | Instruction::Subtract, {Bits(1.0f), Bits(3.0f)}, Bits(-2.0f)},
        {"mul keeps subnormal", F32 | Instruction::Multiply, {denormMin, Bits(2.0f)}, 2},
        {"mul subnormal result", F32 | Instruction::Multiply, {Bits(std::ldexp(1.0f, -126)), Bits(0.5f)}, 0x00400000},
        {"div by zero", F32 | Instruction::Divide, {Bits(1.0f), Bits(0.0f)}, Inf},
        {"div by -zero",
         F32 | Instruction::Divide,
         {Bits(1.0f), Bits(-0.0f)},
         Bits(-std::numeric_limits<float>::infinity())},
        {"negate zero", F32 | Instruction::Negate, {0}, IntMin},
        {"negate nan keeps payload", F32 | Instruction::Negate, {0x7FC01234}, static_cast<int32_t>(0xFFC01234u)},
        {"clamp low", F32 | Instruction::Clamp, {Bits(-2.0f), Bits(0.0f), Bits(1.0f)}, Bits(0.0f)},
        {"clamp high", F32 | Instruction::Clamp, {Bits(5.0f), Bits(0.0f), Bits(1.0f)}, Bits(1.0f)},
        {"clamp nan stays", F32 | Instruction::Clamp, {NaN, Bits(0.0f), Bits(1.0f)}, NaN},
        {"eq nan", F32 | Instruction::CompareEqual, {NaN, NaN}, False},
        {"eq signed zeros", F32 | Instruction::CompareEqual, {0, IntMin}, True},
        {"ne nan", F32 | Instruction::CompareNotEqual, {NaN, Bits(1.0f)}, True},
        {"ne equal", F32 | Instruction::CompareNotEqual, {Bits(1.0f), Bits(1.0f)}, False},
        {"lt nan", F32 | Instruction::CompareLess, {NaN, Inf}, False},
        {"le", F32 | Instruction::CompareLessOrEqual, {Bits(1.0f), Bits(1.0f)}, True},
        {"gt inf", F32 | Instruction::CompareGreater, {Inf, Bits(1e38f)}, True},
        {"ge nan", F32 | Instruction::CompareGreaterOrEqual, {Bits(1.0f), NaN}, False},
    };
    for (const FoldCase& c : cases) {
        IR::Operation* op = Make(c.Inst, c.Sources, c.Index);
        ConstantFolding::RunPass(Resources, op);
        ExpectFolded(op, c.Expected, c.Name);
    }

    // inf - inf is a NaN of any payload.
    IR::Operation* op = Make(F32 | Instruction::Subtract, {Inf, Inf});
    ConstantFolding::RunPass(Resources, op);
    ASSERT_EQ(op->Inst, Instruction::Copy);
    EXPECT_TRUE(std::isnan(op->GetSource(0)->AsFloat()));
}

TEST_F(ConstantFoldingTest, BitfieldExtractAndHalfUnpack) {
    const int32_t halfMinus2 = 0xC000, halfOne = 0x3C00;
    const FoldCase cases[] = {
        {"u32", Instruction::BitfieldExtractU32, {0x5A3, 4, 4}, 10},
        {"s32 negative", Instruction::BitfieldExtractS32, {0xF0, 4, 4}, -1},
        {"s32 positive", Instruction::BitfieldExtractS32, {0x70, 4, 4}, 7},
        {"u32 whole word", Instruction::BitfieldExtractU32, {-2, 0, 32}, -2},
        {"s32 top bit", Instruction::BitfieldExtractS32, {IntMin, 31, 1}, -1},
        // An empty field reads as 0, as the generated code computes it.
        {"u32 length 0", Instruction::BitfieldExtractU32, {0x5A3, 4, 0}, 0},
        {"s32 length 0", Instruction::BitfieldExtractS32, {-1, 0, 0}, 0},
        {"half low", Instruction::UnpackHalf2x16, {(halfOne << 16) | halfMinus2}, Bits(-2.0f), 0},
        {"half high", Instruction::UnpackHalf2x16, {(halfOne << 16) | halfMinus2}, Bits(1.0f), 1},
        {"half subnormal", Instruction::UnpackHalf2x16, {0x0001}, Bits(std::ldexp(1.0f, -24)), 0},
        {"half negative zero", Instruction::UnpackHalf2x16, {0x8000}, IntMin, 0},
        {"half infinity", Instruction::UnpackHalf2x16, {0x7C00}, Inf, 0},
        {"half max", Instruction::UnpackHalf2x16, {0x7BFF}, Bits(65504.0f), 0},
    };
    for (const FoldCase& c : cases) {
        IR::Operation* op = Make(c.Inst, c.Sources, c.Index);
        ConstantFolding::RunPass(Resources, op);
        ExpectFolded(op, c.Expected, c.Name);
    }

    IR::Operation* nan = Make(Instruction::UnpackHalf2x16, {0x7E00});
    ConstantFolding::RunPass(Resources, nan);
    ASSERT_EQ(nan->Inst, Instruction::Copy);
    EXPECT_TRUE(std::isnan(nan->GetSource(0)->AsFloat()));
}

TEST_F(ConstantFoldingTest, LeavesUnfoldableOperationsAlone) {
    struct Case {
        Instruction Inst;
        std::vector<int32_t> Sources;
    };
    const Case cases[] = {
        {Instruction::FP64 | Instruction::Add, {1, 2}},
        {Instruction::Modulo, {7, 2}},
        {Instruction::Absolute, {-1}},
        {Instruction::ConvertFP32ToS32, {NaN}},
        {F32 | Instruction::IsNan, {NaN}},
        {F32 | Instruction::CompareLessU32, {1, 2}},
        {F32 | Instruction::Maximum, {1, 2}},
    };
    for (const Case& c : cases) {
        IR::Operation* op = Make(c.Inst, c.Sources);
        ConstantFolding::RunPass(Resources, op);
        EXPECT_EQ(op->Inst, c.Inst);
        EXPECT_EQ(op->SourcesCount(), static_cast<int>(c.Sources.size()));
    }

    IR::Operation* mixed = B.Op(Instruction::Add, {B.Const(1), B.Local()});
    ConstantFolding::RunPass(Resources, mixed);
    EXPECT_EQ(mixed->Inst, Instruction::Add);
}

TEST_F(ConstantFoldingTest, ClampWithCrossedBoundsFails) {
    struct Case {
        Instruction Inst;
        std::vector<int32_t> Sources;
        const char* Message;
    };
    const Case cases[] = {
        {Instruction::Clamp, {0, 5, 3}, "'5' cannot be greater than 3."},
        {Instruction::ClampU32, {0, -1, 3}, "'4294967295' cannot be greater than 3."},
        {F32 | Instruction::Clamp, {0, Bits(1.5f), Bits(0.5f)}, "'1.5' cannot be greater than 0.5."},
    };
    for (const Case& c : cases) {
        IR::Operation* op = Make(c.Inst, c.Sources);
        try {
            ConstantFolding::RunPass(Resources, op);
            ADD_FAILURE() << c.Message;
        } catch (const Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}

TEST_F(ConstantFoldingTest, ConstantBufferLoadBecomesWordOperand) {
    int32_t binding = Resources.GetConstantBufferBinding(3);

    IR::Operation* load = Make(Instruction::Load, {binding, 0, 2, 1});
    load->StorageKind = IR::StorageKind::ConstantBuffer;
    ConstantFolding::RunPass(Resources, load);
    ASSERT_EQ(load->Inst, Instruction::Copy);
    EXPECT_EQ(load->GetSource(0)->Type, OperandType::ConstantBuffer);
    EXPECT_EQ(load->GetSource(0)->Value, (3 << 27) | 9);

    IR::Operation* unknownBinding = Make(Instruction::Load, {binding + 100, 0, 2, 1});
    unknownBinding->StorageKind = IR::StorageKind::ConstantBuffer;
    ConstantFolding::RunPass(Resources, unknownBinding);
    EXPECT_EQ(unknownBinding->Inst, Instruction::Load);

    IR::Operation* otherField = Make(Instruction::Load, {binding, 1, 2, 1});
    otherField->StorageKind = IR::StorageKind::ConstantBuffer;
    ConstantFolding::RunPass(Resources, otherField);
    EXPECT_EQ(otherField->Inst, Instruction::Load);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
