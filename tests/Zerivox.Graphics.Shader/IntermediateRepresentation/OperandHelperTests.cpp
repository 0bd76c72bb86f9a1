#include <gtest/gtest.h>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using Decoders::Register;
using Decoders::RegisterType;

TEST(OperandHelperTest, RegisterFactoryTurnsZeroAndTrueIntoConstants) {
    struct Case {
        Register reg;
        OperandType type;
        int32_t value;
    };
    const Case cases[] = {
        {Register(255, RegisterType::Gpr), OperandType::Constant, 0},
        {Register(7, RegisterType::Predicate), OperandType::Constant, -1},
        {Register(254, RegisterType::Gpr), OperandType::Register, (1 << 24) | 254},
        {Register(6, RegisterType::Predicate), OperandType::Register, (2 << 24) | 6},
        {Register(3, RegisterType::Flag), OperandType::Register, 3},
    };
    IrArena arena;
    for (const Case& c : cases) {
        Operand* operand = OperandHelper::Register(arena, c.reg);
        EXPECT_EQ(operand->Type, c.type) << c.reg.Index;
        EXPECT_EQ(operand->Value, c.value) << c.reg.Index;
        EXPECT_EQ(operand->Definition, nullptr);
        if (c.type == OperandType::Register) {
            EXPECT_EQ(operand->GetRegister(), c.reg);
        }
    }
}

TEST(OperandHelperTest, FactoriesMakeFreshEncodedOperands) {
    IrArena arena;
    Operand* cb = OperandHelper::MakeConstantBufferOperand(arena, 3, 100);
    EXPECT_EQ(cb->Value, (3 << 27) | 100);
    EXPECT_EQ(cb->GetCbufSlot(), 3);
    EXPECT_EQ(cb->GetCbufOffset(), 100);
    // Slot 31 sets the sign bit; the readers still decode it.
    Operand* high = OperandHelper::MakeConstantBufferOperand(arena, 31, 0x7FFFFFF);
    EXPECT_EQ(high->GetCbufSlot(), 31);
    EXPECT_EQ(high->GetCbufOffset(), 0x7FFFFFF);

    EXPECT_EQ(OperandHelper::MakeFloatConstant(arena, 1.0f)->Value, 0x3F800000);
    EXPECT_EQ(OperandHelper::MakeFloatConstant(arena, -2.5f)->AsFloat(), -2.5f);
    // No interning: equal constants are distinct objects.
    EXPECT_NE(OperandHelper::MakeConstant(arena, 1), OperandHelper::MakeConstant(arena, 1));
    EXPECT_EQ(OperandHelper::MakeArgument(arena, 4)->Value, 4);
    EXPECT_EQ(OperandHelper::MakeUndefined(arena)->Type, OperandType::Undefined);
}
