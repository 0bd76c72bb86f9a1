#include "SpirvTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

// Conversions between the types values are read as: booleans travel as -1/0,
// doubles meet 32-bit values through a value conversion (a bit cast must keep
// the width), and an undefined vector is OpUndef (no scalar literal fits it).
TEST(SpirvValueTests, ConversionsBetweenValueTypesValidate) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    AstOperand* asUnsigned = p.Local(AggregateType::U32);
    AstOperand* asBool = p.Local(AggregateType::Bool);
    AstOperand* asDouble = p.Local(AggregateType::FP64);
    AstOperand* asInt = p.Local(AggregateType::S32);
    AstOperand* vector = p.Local(AggregateType::FP32 | AggregateType::Vector4);
    AstOperand* uvector = p.Local(AggregateType::U32 | AggregateType::Vector2);

    p.Assign(p.Main, asUnsigned, p.Op(Instruction::CompareLess, {p.Const(1), p.Const(2)}));
    p.Assign(p.Main, asBool, p.Op(Instruction::Add | Instruction::FP32, {p.ConstF(1.0f), p.ConstF(-1.0f)}));
    p.Assign(p.Main, asDouble, p.Const(0x3F800000));
    p.Assign(p.Main, asInt, p.Op(Instruction::ConvertFP32ToFP64, {p.ConstF(2.0f)}));
    p.Assign(p.Main, asDouble, asInt);
    p.Assign(p.Main, vector, p.Undefined());
    p.Assign(p.Main, uvector, p.Undefined());
    p.Assign(p.Main, asBool, p.Undefined());
    p.Assign(p.Main, asInt, p.Op(Instruction::VectorExtract, {vector, p.Const(3)}));
    p.Assign(p.Main, asInt, p.Op(Instruction::VectorExtract, {vector, asInt}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_TRUE(Contains(text, "OpSelect %int %")) << text;
    EXPECT_TRUE(Contains(text, "%int_n1 %int_0"));
    EXPECT_EQ(Lines(text, "OpINotEqual").size(), 1u);
    EXPECT_TRUE(Contains(text, "OpConstant %double 1"));
    EXPECT_EQ(Lines(text, "OpFConvert").size(), 3u);
    EXPECT_EQ(Lines(text, "OpUndef").size(), 2u);
    EXPECT_TRUE(Contains(text, "OpConstantFalse %bool"));
    EXPECT_EQ(Lines(text, "OpCompositeExtract").size(), 1u);
    EXPECT_EQ(Lines(text, "OpVectorExtractDynamic").size(), 1u);
}

// Float arithmetic keeps its exact result (NoContraction) unless the host
// computes at reduced precision and the operation is not marked precise;
// integer and unary operations are never decorated.
TEST(SpirvValueTests, NoContractionFollowsHostPrecisionAndPreciseMark) {
    ZV_REQUIRE_SPIRV_TOOLS();
    for (bool reduced : {false, true}) {
        SCOPED_TRACE(reduced ? "reduced" : "full");
        SpirvProgram p(ShaderStage::Compute);
        p.Host.HasReducedPrecision = reduced;
        AstOperand* f = p.Local(AggregateType::FP32);
        AstOperand* i = p.Local(AggregateType::S32);
        p.Assign(p.Main, f, p.Op(Instruction::Add | Instruction::FP32, {p.ConstF(1.0f), p.ConstF(2.0f)}));
        std::vector<IAstNode*> sources{f, p.ConstF(3.0f)};
        p.Assign(p.Main, f,
                 p.Info.Arena.New<AstOperation>(Instruction::Multiply | Instruction::FP32, StorageKind::None, true,
                                                std::span<IAstNode* const>(sources), 2));
        p.Assign(p.Main, f, p.Op(Instruction::Negate | Instruction::FP32, {f}));
        p.Assign(p.Main, i, p.Op(Instruction::Add, {p.Const(1), p.Const(2)}));
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        EXPECT_EQ(Lines(Disassemble(bytes), "OpDecorate").size(), reduced ? 1u : 2u);
    }
}

// SwizzleAdd selects per lane a 2-bit entry of the mask; the quad's lane 0
// takes the top entry (bits 6-7) and lane 3 the bottom one, so the entry
// index is 3 - (lane & 3).
TEST(SpirvValueTests, SwizzleAddTakesTheQuadsFirstLaneFromTheTopOfTheMask) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Fragment);
    p.Info.HelperFlags = 0x400;
    AstOperand* f = p.Local(AggregateType::FP32);
    p.Assign(p.Main, f, p.Op(Instruction::SwizzleAdd, {p.ConstF(1.0f), p.ConstF(2.0f), p.Const(0x99)}));
    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_TRUE(Contains(text, "BuiltIn SubgroupLocalInvocationId"));
    std::vector<std::string> ops;
    for (const char* name : {"OpBitwiseAnd", "OpBitwiseXor", "OpShiftLeftLogical", "OpShiftRightLogical"}) {
        ASSERT_EQ(Lines(text, name).size(), name == std::string("OpBitwiseAnd") ? 2u : 1u) << name;
    }
    // lane & 3, then ^ 3 (entry index), then << 1 (bit position).
    std::string xorLine = Lines(text, "OpBitwiseXor")[0];
    EXPECT_TRUE(Contains(xorLine, "%uint_3")) << xorLine;
    EXPECT_LT(text.find("OpBitwiseXor"), text.find("OpShiftLeftLogical"));
}

} // namespace
