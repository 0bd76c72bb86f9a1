// Types the structurer and the GLSL back end give results and sources.
#include <gtest/gtest.h>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using IntermediateRepresentation::Instruction;
using StructuredIr::InstructionInfo;
using Translation::AggregateType;
constexpr Instruction F32 = Instruction::FP32;
constexpr Instruction F64 = Instruction::FP64;

TEST(InstructionInfoTests, DestinationTypes) {
    struct Case {
        Instruction Inst;
        AggregateType Expected;
    };
    const Case cases[] = {
        {Instruction::Add | F32, AggregateType::FP32},
        {Instruction::Add, AggregateType::S32},
        {Instruction::Add | F64, AggregateType::FP64},
        {Instruction::CompareLess | F32, AggregateType::Bool},
        {Instruction::Copy, AggregateType::S32},
        {Instruction::ShiftRightU32, AggregateType::U32},
        {Instruction::VectorExtract | F32, AggregateType::FP32},
        {Instruction::ImageAtomic, AggregateType::S32},
        {Instruction::ConvertFP64ToFP32, AggregateType::FP32},
    };
    for (const Case& c : cases) EXPECT_EQ(InstructionInfo::GetDestVarType(c.Inst), c.Expected) << static_cast<uint32_t>(c.Inst);

    try {
        InstructionInfo::GetDestVarType(Instruction::Store);
        FAIL();
    } catch (const Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Invalid operand for instruction \"Store\".");
    }
    EXPECT_THROW(InstructionInfo::GetDestVarType(Instruction::BranchIfTrue), Common::ArgumentException);
}

TEST(InstructionInfoTests, SourceTypes) {
    struct Case {
        Instruction Inst;
        int32_t Index;
        AggregateType Expected;
    };
    const Case cases[] = {
        {Instruction::CompareLess | F32, 0, AggregateType::FP32},
        {Instruction::ConditionalSelect | F32, 0, AggregateType::Bool},
        {Instruction::ConditionalSelect | F32, 2, AggregateType::FP32},
        {Instruction::VectorExtract, 0, AggregateType::Vector4},
        {Instruction::VectorExtract, 1, AggregateType::S32},
        {Instruction::AtomicAdd, 2, AggregateType::S32},  // fixed rule, not the table's U32
        {Instruction::TextureSample, 5, AggregateType::FP32},
        {Instruction::Call, 9, AggregateType::S32},
        {Instruction::ShiftRightU32, 1, AggregateType::S32},
        {Instruction::BitfieldExtractU32, 0, AggregateType::U32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InstructionInfo::GetSrcVarType(c.Inst, c.Index), c.Expected)
            << static_cast<uint32_t>(c.Inst) << " source " << c.Index;
    }
    EXPECT_THROW(InstructionInfo::GetSrcVarType(Instruction::Add, 2), Common::IndexOutOfRangeException);
    // A flagged Load is not caught by the fixed rule and has no listed sources.
    EXPECT_THROW(InstructionInfo::GetSrcVarType(Instruction::Load | F32, 0), Common::IndexOutOfRangeException);
    EXPECT_THROW(InstructionInfo::GetSrcVarType(static_cast<Instruction>(0xFFFF), 0), Common::IndexOutOfRangeException);
}

TEST(InstructionInfoTests, Unary) {
    EXPECT_TRUE(InstructionInfo::IsUnary(Instruction::Negate | F32));
    EXPECT_TRUE(InstructionInfo::IsUnary(Instruction::Ceiling));
    EXPECT_TRUE(InstructionInfo::IsUnary(Instruction::Copy));
    EXPECT_FALSE(InstructionInfo::IsUnary(Instruction::Add));
    EXPECT_FALSE(InstructionInfo::IsUnary(Instruction::TextureSample));
    EXPECT_FALSE(InstructionInfo::IsUnary(Instruction::Load));
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
