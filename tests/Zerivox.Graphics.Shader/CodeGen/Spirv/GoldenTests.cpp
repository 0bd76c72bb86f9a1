#include "SpirvTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

// The whole text of a small module: ids, section order, deduplicated types
// and constants, and the block layout of a loop with a conditional break.
TEST(SpirvGoldenTests, SmallComputeLoop) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    int32_t shared =
        p.Properties.AddSharedMemory(SIR::MemoryDefinition("sm", AggregateType::U32 | AggregateType::Array, 4));
    AstOperand* i = p.Local(AggregateType::S32);
    p.Assign(p.Main, i, p.Const(0));
    AstBlock* loop = p.Block(p.Main, AstBlockType::DoWhile, p.Op(Instruction::CompareLess, {i, p.Const(4)}));
    p.Add(loop, p.Op(Instruction::Store, StorageKind::SharedMemory, {p.Const(shared), i, i}));
    p.Assign(loop, i, p.Op(Instruction::Add, {i, p.Const(1)}));
    AstBlock* exit = p.Block(loop, AstBlockType::If, p.Op(Instruction::CompareEqual, {i, p.Const(3)}));
    p.Add(exit, p.Op(Instruction::LoopBreak, {}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    const char* expected = R"(OpCapability Shader
OpCapability GroupNonUniformBallot
OpCapability GroupNonUniformShuffle
OpCapability GroupNonUniformVote
OpCapability ImageBuffer
OpCapability ImageGatherExtended
OpCapability ImageQuery
OpCapability SampledBuffer
OpCapability Float64
OpMemoryModel Logical GLSL450
OpEntryPoint GLCompute %9 "main"
OpExecutionMode %9 LocalSize 8 1 1
%uint = OpTypeInt 32 0
%uint_4 = OpConstant %uint 4
%_arr_uint_uint_4 = OpTypeArray %uint %uint_4
%_ptr_Workgroup__arr_uint_uint_4 = OpTypePointer Workgroup %_arr_uint_uint_4
%6 = OpVariable %_ptr_Workgroup__arr_uint_uint_4 Workgroup
%void = OpTypeVoid
%8 = OpTypeFunction %void
%int = OpTypeInt 32 1
%_ptr_Function_int = OpTypePointer Function %int
%int_0 = OpConstant %int 0
%_ptr_Workgroup_uint = OpTypePointer Workgroup %uint
%int_1 = OpConstant %int 1
%bool = OpTypeBool
%int_3 = OpConstant %int 3
%int_4 = OpConstant %int 4
%9 = OpFunction %void None %8
%10 = OpLabel
%14 = OpVariable %_ptr_Function_int Function
OpStore %14 %int_0
OpBranch %16
%16 = OpLabel
OpLoopMerge %36 %32 None
OpBranch %17
%17 = OpLabel
%18 = OpLoad %int %14
%20 = OpAccessChain %_ptr_Workgroup_uint %6 %18
%21 = OpLoad %int %14
%22 = OpBitcast %uint %21
OpStore %20 %22
%23 = OpLoad %int %14
%25 = OpIAdd %int %23 %int_1
OpStore %14 %25
%27 = OpLoad %int %14
%29 = OpIEqual %bool %27 %int_3
OpSelectionMerge %31 None
OpBranchConditional %29 %30 %31
%30 = OpLabel
OpBranch %36
%31 = OpLabel
OpBranch %32
%32 = OpLabel
%33 = OpLoad %int %14
%35 = OpSLessThan %bool %33 %int_4
OpBranchConditional %35 %16 %36
%36 = OpLabel
OpReturn
OpFunctionEnd
)";
    EXPECT_EQ(Disassemble(bytes), expected);
}

} // namespace
