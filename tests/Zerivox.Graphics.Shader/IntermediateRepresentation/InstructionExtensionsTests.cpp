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
