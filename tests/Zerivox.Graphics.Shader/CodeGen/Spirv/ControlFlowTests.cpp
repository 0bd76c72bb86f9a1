#include "SpirvTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

// Structured blocks become selection and loop constructs; code that follows a
// return, discard, break or continue in the same block lands in a new
// (unreachable) block, and a loop body that ends in a jump does not also
// branch to the continue block.
TEST(SpirvControlFlowTests, JumpsInsideBlocksKeepEveryBlockTerminatedOnce) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Fragment);
    p.Io(StorageKind::Output, IoVariable::FragmentOutputColor, 0);
    AstOperand* x = p.Local(AggregateType::S32);
    p.Assign(p.Main, x, p.Const(1));

    AstBlock* ifBlock = p.Block(p.Main, AstBlockType::If, p.Op(Instruction::CompareLess, {x, p.Const(5)}));
    p.Add(ifBlock, p.Op(Instruction::Return, {}));
    p.Assign(ifBlock, x, p.Const(2));
    AstBlock* elseBlock = p.Block(p.Main, AstBlockType::Else);
    p.Assign(elseBlock, x, p.Const(3));

    AstBlock* loop = p.Block(p.Main, AstBlockType::DoWhile, p.Op(Instruction::CompareLess, {x, p.Const(10)}));
    p.Assign(loop, x, p.Op(Instruction::Add, {x, p.Const(1)}));
    AstBlock* breakIf = p.Block(loop, AstBlockType::If, p.Op(Instruction::CompareEqual, {x, p.Const(7)}));
    p.Add(breakIf, p.Op(Instruction::LoopBreak, {}));
    AstBlock* continueIf = p.Block(loop, AstBlockType::If, p.Op(Instruction::CompareEqual, {x, p.Const(8)}));
    p.Add(continueIf, p.Op(Instruction::LoopContinue, {}));
    AstBlock* inner = p.Block(loop, AstBlockType::DoWhile, p.Const(0));
    p.Add(inner, p.Op(Instruction::LoopBreak, {}));
    p.Add(loop, p.Op(Instruction::LoopBreak, {}));

    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::Output,
                       {p.Const(int32_t(IoVariable::FragmentOutputColor)), p.Const(0), p.Const(0),
                        p.Op(Instruction::ConvertS32ToFP32, {x})}));
    p.Add(p.Main, p.Op(Instruction::Discard, {}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_EQ(Lines(text, "OpSelectionMerge").size(), 3u);
    EXPECT_EQ(Lines(text, "OpLoopMerge").size(), 2u);
    EXPECT_EQ(Lines(text, "OpKill").size(), 1u);
    // The discard ends the function: no return is appended after it.
    EXPECT_TRUE(Lines(text, "OpReturn").size() == 1u) << text;
}

// A function that falls off its end returns; a value-returning function that
// does (only unreachable code can) returns a zero value, and calls
// pass locals by pointer.
TEST(SpirvControlFlowTests, CallsAndReturnsOfSeveralFunctions) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    SIR::StructuredFunction* callee =
        p.AddFunction("fun1", AggregateType::S32, {AggregateType::S32, AggregateType::S32}, {AggregateType::S32});
    AstOperand* argument = p.Argument(2);
    callee->MainBlock->Add(
        p.Info.Arena.New<SIR::AstAssignment>(argument, p.Op(Instruction::Add, {p.Argument(0), p.Argument(1)})));
    AstBlock* branch =
        p.Block(callee->MainBlock, AstBlockType::If, p.Op(Instruction::CompareLess, {p.Argument(0), p.Const(0)}));
    p.Add(branch, p.Op(Instruction::Return, {p.Const(-1)}));
    AstBlock* otherwise = p.Block(callee->MainBlock, AstBlockType::Else);
    p.Add(otherwise, p.Op(Instruction::Return, {p.Argument(1)}));

    AstOperand* a = p.Local(AggregateType::S32);
    AstOperand* b = p.Local(AggregateType::S32);
    AstOperand* out = p.Local(AggregateType::S32);
    AstOperand* result = p.Local(AggregateType::S32);
    p.Assign(p.Main, a, p.Const(3));
    p.Assign(p.Main, b, p.Const(4));
    std::vector<IAstNode*> sources{p.Const(1), a, b, out};
    p.Assign(p.Main, result,
             p.Info.Arena.New<AstOperation>(Instruction::Call, StorageKind::None, false,
                                            std::span<IAstNode* const>(sources), 3));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_EQ(Lines(text, "OpFunctionCall").size(), 1u);
    EXPECT_EQ(Lines(text, "OpFunctionParameter").size(), 3u);
    EXPECT_EQ(Lines(text, "OpReturnValue").size(), 3u);
}

TEST(SpirvControlFlowTests, UnstructuredInputFailsWithATypedError) {
    SpirvProgram branch(ShaderStage::Compute);
    branch.Add(branch.Main, branch.Op(Instruction::Branch, {}));
    try {
        branch.Generate();
        FAIL() << "expected an error";
    } catch (const Zerivox::Common::NotImplementedException& e) {
        EXPECT_STREQ(e.what(), "Branch");
    }

    SpirvProgram outsideLoop(ShaderStage::Compute);
    outsideLoop.Add(outsideLoop.Main, outsideLoop.Op(Instruction::LoopBreak, {}));
    EXPECT_THROW(outsideLoop.Generate(), Zerivox::Common::InvalidOperationException);

    SpirvProgram flagged(ShaderStage::Compute);
    flagged.Add(flagged.Main, flagged.Op(static_cast<Instruction>(0x1FFFF), {}));
    EXPECT_THROW(flagged.Generate(), Zerivox::Common::IndexOutOfRangeException);
}

} // namespace

namespace {

// Workgroup barriers exist only where invocations form workgroups (compute,
// tessellation control); on a host without barriers in divergent code only
// those in the entry function's top level before any return survive.
TEST(SpirvControlFlowTests, BarriersOnlyWhereTheyAreAllowed) {
    ZV_REQUIRE_SPIRV_TOOLS();
    struct Case {
        ShaderStage Stage;
        bool Divergent;
        std::size_t ControlBarriers;
    };
    for (const Case& c : {Case{ShaderStage::Compute, true, 3}, Case{ShaderStage::Compute, false, 1},
                          Case{ShaderStage::Fragment, true, 0}, Case{ShaderStage::Vertex, true, 0}}) {
        SCOPED_TRACE(std::string(ShaderStageName(c.Stage)) + (c.Divergent ? " divergent" : " uniform"));
        SpirvProgram p(c.Stage);
        p.Host.HasBarrierInDivergentCode = c.Divergent;
        p.Add(p.Main, p.Op(Instruction::Barrier, {}));
        AstBlock* branch = p.Block(p.Main, AstBlockType::If, p.Const(-1));
        p.Add(branch, p.Op(Instruction::Barrier, {}));
        p.Add(branch, p.Op(Instruction::Return, {}));
        p.Add(p.Main, p.Op(Instruction::Barrier, {}));
        p.Add(p.Main, p.Op(Instruction::GroupMemoryBarrier, {}));
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        std::string text = Disassemble(bytes);
        EXPECT_EQ(Lines(text, "OpControlBarrier").size(), c.ControlBarriers);
        std::vector<std::string> memoryBarriers = Lines(text, "OpMemoryBarrier");
        ASSERT_EQ(memoryBarriers.size(), 1u);
        EXPECT_TRUE(
            Contains(memoryBarriers[0], c.Stage == ShaderStage::Compute ? "Barrier %uint_2 " : "Barrier %uint_1"))
            << memoryBarriers[0];
    }
}

} // namespace
