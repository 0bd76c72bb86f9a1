#include <gtest/gtest.h>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandType.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using namespace Zerivox::Graphics::Shader::IntermediateRepresentation::InstructionExtensions;

TEST(InstructionExtensionsTest, ClassesLookAtTheCodeOnly) {
    EXPECT_TRUE(IsAtomic(Instruction::AtomicAdd));
    EXPECT_TRUE(IsAtomic(Instruction::AtomicXor));
    EXPECT_FALSE(IsAtomic(Instruction::Ballot));
    EXPECT_TRUE(IsComparison(Instruction::CompareLess | Instruction::FP32));
    EXPECT_FALSE(IsComparison(Instruction::ConditionalSelect));
    EXPECT_TRUE(IsTextureQuery(Instruction::Lod | Instruction::FP32));
    EXPECT_FALSE(IsTextureQuery(Instruction::TextureSample));
    EXPECT_TRUE(IsImage(Instruction::ImageLoad));
    EXPECT_FALSE(IsImageStore(Instruction::ImageLoad));
    EXPECT_TRUE(IsImageStore(Instruction::ImageAtomic));
}

// Each row is one line of the instruction list as the optimiser, the
// structurer and the back ends see it; a line with a lost or extra fact
// shows here by name.
TEST(InstructionExtensionsTest, FactsOfSampleInstructions) {
    using F = InstructionFact;
    struct Case {
        Instruction Inst;
        InstructionFact Facts;
    };
    const Case cases[] = {
        {Instruction::AtomicCompareAndSwap, F::Atomic | F::SideEffects},
        {Instruction::AtomicXor | Instruction::FP32, F::Atomic | F::SideEffects},
        {Instruction::Call, F::SideEffects},
        {Instruction::ImageAtomic, F::Image | F::WritesImage | F::SideEffects},
        {Instruction::ImageStore, F::Image | F::WritesImage},
        {Instruction::ImageLoad, F::Image},
        {Instruction::Load, F::None},
        {Instruction::Store, F::None},
        {Instruction::Branch, F::Branch | F::Structural},
        {Instruction::BranchIfTrue, F::Branch | F::Structural},
        {Instruction::Return, F::None},
        {Instruction::Discard, F::None},
        {Instruction::Copy, F::Structural},
        {Instruction::MarkLabel, F::Structural},
        {Instruction::Add | Instruction::FP64, F::Commutative},
        {Instruction::Subtract, F::None},
        {Instruction::CompareEqual, F::Comparison | F::Commutative},
        {Instruction::CompareLessU32, F::Comparison},
        {Instruction::LogicalExclusiveOr, F::Commutative},
        {Instruction::TextureQuerySize, F::TextureQuery},
        {Instruction::TextureSample, F::None},
        // Codes beyond the list have no facts (and are not read out of bounds).
        {Instruction::Count, F::None},
        {static_cast<Instruction>(0xFFFF), F::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<uint32_t>(FactsOf(c.Inst)), static_cast<uint32_t>(c.Facts))
            << InstructionName(c.Inst) << " (" << static_cast<uint32_t>(c.Inst) << ")";
    }
}

// The values are printed in debug text and stored in test expectations: a
// line moved or inserted in the middle of the instruction list shows here.
TEST(InstructionExtensionsTest, InstructionValuesStayPut) {
    struct Case {
        Instruction Inst;
        uint32_t Value;
    };
    const Case cases[] = {
        {Instruction::None, 0},       {Instruction::Absolute, 1},   {Instruction::AtomicXor, 12},
        {Instruction::Comment, 31},   {Instruction::Copy, 53},      {Instruction::ImageAtomic, 72},
        {Instruction::MarkLabel, 83}, {Instruction::Store, 108},    {Instruction::VoteAny, 120},
        {Instruction::Count, 121},    {Instruction::FP32, 0x10000}, {Instruction::FP64, 0x20000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<uint32_t>(c.Inst), c.Value) << InstructionName(c.Inst);
    }
}

TEST(InstructionExtensionsTest, NameTablesMatchValues) {
    EXPECT_EQ(InstructionName(Instruction::Absolute), "Absolute");
    EXPECT_EQ(InstructionName(Instruction::MarkLabel | Instruction::FP64), "MarkLabel");
    EXPECT_EQ(InstructionName(Instruction::VoteAny), "VoteAny");
    EXPECT_EQ(InstructionName(static_cast<Instruction>(121)), "");
    EXPECT_EQ(IoVariableName(IoVariable::UserDefined), "UserDefined");
    EXPECT_EQ(IoVariableName(IoVariable::ViewportMask), "ViewportMask");
    EXPECT_EQ(StorageKindName(StorageKind::GlobalMemoryU16), "GlobalMemoryU16");
    EXPECT_EQ(OperandTypeName(OperandType::Undefined), "Undefined");
}
