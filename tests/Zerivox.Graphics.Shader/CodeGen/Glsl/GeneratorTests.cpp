// The text's frame: header, prototypes, functions, statements, blocks and
// their indentation, and the barrier rule for hosts that cannot run
// barriers in divergent code.
#include "GlslTestSupport.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstComment.h"

using namespace Zerivox::Graphics::Shader::Testing;
using Zerivox::Graphics::Shader::ShaderStage;
namespace Glsl = Zerivox::Graphics::Shader::CodeGen::Glsl;

namespace {

TEST(GlslGenerator, MinimalComputeShaderText) {
    GlslProgram p(ShaderStage::Compute);
    AstOperand* x = p.Local(AggregateType::S32);
    p.Assign(p.Main, x, p.Const(1));
    p.Add(p.Main, p.Op(Instruction::Return, {}));
    std::string text = GenerateGlsl(p);
    EXPECT_EQ(text, "#version 460 core\r\n"
                    "#extension GL_ARB_gpu_shader_int64 : enable\r\n"
                    "#extension GL_KHR_shader_subgroup_basic : enable\r\n"
                    "#extension GL_KHR_shader_subgroup_ballot : enable\r\n"
                    "#extension GL_KHR_shader_subgroup_shuffle : enable\r\n"
                    "#extension GL_ARB_shader_group_vote : enable\r\n"
                    "#extension GL_EXT_shader_image_load_formatted : enable\r\n"
                    "#extension GL_EXT_texture_shadow_lod : enable\r\n"
                    "#extension GL_ARB_compute_shader : enable\r\n"
                    "#pragma optionNV(fastmath off)\r\n"
                    "\r\n"
                    "int undef = 0;\r\n"
                    "\r\n"
                    "layout (local_size_x = 8, local_size_y = 1, local_size_z = 1) in;\r\n"
                    "\r\n"
                    "\r\n"
                    "void main()\r\n"
                    "{\r\n"
                    "    int temp_0;\r\n"
                    "    temp_0 = 1;\r\n"
                    "    return;\r\n"
                    "}\r\n");
    EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");
}

// Prototypes of functions 1 to n - 1, their bodies each followed by an empty
// line, then function 0 as main whatever its name; locals numbered through
// the whole text in printing order; arguments a0, a1, ... with the outputs
// after the inputs.
TEST(GlslGenerator, FunctionsPrototypesAndLocals) {
    GlslProgram p(ShaderStage::Compute);
    p.Function->Name = "entry";
    auto* fun1 = p.AddFunction("fun1", AggregateType::Void, {}, {});
    auto* fun2 = p.AddFunction("fun2", AggregateType::S32, {AggregateType::S32, AggregateType::S32},
                               {AggregateType::S32});
    AstOperand* t1 = p.Local(AggregateType::FP32, fun1);
    p.Assign(fun1->MainBlock, t1, p.ConstF(2.0f));
    p.Assign(fun2->MainBlock, p.Argument(2), p.Op(Instruction::Add, {p.Argument(0), p.Argument(1)}));
    p.Add(fun2->MainBlock, p.Op(Instruction::Return, {p.Argument(1)}));
    AstOperand* result = p.Local(AggregateType::S32);
    AstOperand* out = p.Local(AggregateType::S32);
    p.Add(p.Main, p.Op(Instruction::Call, {p.Const(1)}));
    p.Assign(p.Main, result, p.Op(Instruction::Call, {p.Const(2), p.Const(3), p.Const(4), out}));

    std::string text = GenerateGlsl(p);
    std::vector<std::string> lines = TextLines(text);
    auto at = std::find(lines.begin(), lines.end(), "void fun1();");
    ASSERT_NE(at, lines.end()) << text;
    std::vector<std::string> tail(at, lines.end());
    EXPECT_EQ(Joined(tail), "void fun1();\n"
                            "int fun2(int a0, int a1, out int a2);\n"
                            "\n"
                            "void fun1()\n"
                            "{\n"
                            "    precise float temp_0;\n"
                            "    temp_0 = 2.0;\n"
                            "}\n"
                            "\n"
                            "int fun2(int a0, int a1, out int a2)\n"
                            "{\n"
                            "    a2 = a0 + a1;\n"
                            "    return a1;\n"
                            "}\n"
                            "\n"
                            "void main()\n"
                            "{\n"
                            "    int temp_1;\n"
                            "    int temp_2;\n"
                            "    fun1();\n"
                            "    temp_1 = fun2(3, 4, temp_2);\n"
                            "}\n");
    EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");

    // With reduced precision float locals and parameters lose "precise".
    p.Host.HasReducedPrecision = true;
    EXPECT_TRUE(Contains(GenerateGlsl(p), "\r\n    float temp_0;\r\n"));
}

// Heads, braces and indentation of nested blocks; conditions as literals,
// booleans as they are, integers compared with 0; comments at the level of
// the statements around them; an operation without text leaves no line.
TEST(GlslGenerator, BlocksAndIndentation) {
    GlslProgram p(ShaderStage::Fragment);
    p.Host.HasFragmentShaderInterlock = false;
    AstOperand* i = p.Local(AggregateType::S32);
    AstOperand* b = p.Local(AggregateType::Bool);
    p.Assign(p.Main, i, p.Const(0));
    AstBlock* loop = p.Block(p.Main, AstBlockType::DoWhile, p.Op(Instruction::CompareLess, {i, p.Const(4)}));
    AstBlock* ifBlock = p.Block(loop, AstBlockType::If, i);
    p.Main->Add(p.Info.Arena.New<Zerivox::Graphics::Shader::StructuredIr::AstComment>(p.Info.Arena, "0x0008: text"));
    ifBlock->Add(p.Info.Arena.New<Zerivox::Graphics::Shader::StructuredIr::AstComment>(p.Info.Arena, "inner"));
    p.Assign(ifBlock, b, p.Const(1));
    p.Block(loop, AstBlockType::Else);
    p.Assign(loop, i, p.Op(Instruction::Add, {i, p.Const(1)}));
    p.Block(p.Main, AstBlockType::If, p.Const(0));
    AstBlock* elseIf = p.Block(p.Main, AstBlockType::ElseIf, b);
    p.Add(elseIf, p.Op(Instruction::FSIBegin, {}));
    p.Add(elseIf, p.Op(Instruction::Discard, {}));

    std::string text = GenerateGlsl(p);
    EXPECT_EQ(Joined(MainStatements(text)), "    temp_0 = 0;\n"
                                            "    do\n"
                                            "    {\n"
                                            "        if ((temp_0 != 0))\n"
                                            "        {\n"
                                            "            // inner\n"
                                            "            temp_1 = true;\n"
                                            "        }\n"
                                            "        else\n"
                                            "        {\n"
                                            "        }\n"
                                            "        temp_0 = temp_0 + 1;\n"
                                            "    }\n"
                                            "    while (temp_0 < 4);\n"
                                            "    // 0x0008: text\n"
                                            "    if (false)\n"
                                            "    {\n"
                                            "    }\n"
                                            "    else if (temp_1)\n"
                                            "    {\n"
                                            "        discard;\n"
                                            "    }\n");
    EXPECT_EQ(CompileError(text, ShaderStage::Fragment), "");
}

// Barriers on a host that cannot run them in divergent code: only those in
// main's own block before any return are kept; with the capability, all.
TEST(GlslGenerator, BarriersOnHostsWithoutDivergentBarriers) {
    struct Case {
        bool Capability;
        const char* Expected;
    };
    const Case cases[] = {
        {false, "    barrier();\n    if (true)\n    {\n        return;\n    }\n"},
        {true, "    barrier();\n    if (true)\n    {\n        barrier();\n        return;\n    }\n    barrier();\n"},
    };
    for (const Case& c : cases) {
        GlslProgram p(ShaderStage::Compute);
        p.Host.HasBarrierInDivergentCode = c.Capability;
        auto* helper = p.AddFunction("helper", AggregateType::Void, {}, {});
        p.Add(helper->MainBlock, p.Op(Instruction::Barrier, {}));
        p.Add(p.Main, p.Op(Instruction::Barrier, {}));
        AstBlock* branch = p.Block(p.Main, AstBlockType::If, p.Const(1));
        p.Add(branch, p.Op(Instruction::Barrier, {}));
        p.Add(branch, p.Op(Instruction::Return, {}));
        p.Add(p.Main, p.Op(Instruction::Barrier, {}));
        std::string text = GenerateGlsl(p);
        EXPECT_EQ(Joined(MainStatements(text)), c.Expected) << c.Capability;
        EXPECT_EQ(Contains(text, "void helper()\r\n{\r\n    barrier();\r\n}"), c.Capability);
    }
}

// GLSL allows a tessellation control barrier only in main's own block
// before any return; a module may synchronise anywhere, so a barrier kept
// elsewhere fails by name instead of giving text glslang rejects. A host
// without divergent barriers drops it there, as both back ends do.
TEST(GlslGenerator, TessellationControlBarrierOutsideMainsBlockFails) {
    struct Case {
        const char* What;
        bool Capability;
        bool Nested;   // in an if of main
        bool Helper;   // in another function
        bool Returned; // after a return in main
        bool Fails;
    };
    const Case cases[] = {
        {"main's block", true, false, false, false, false},
        {"an if", true, true, false, false, true},
        {"another function", true, false, true, false, true},
        {"after a return", true, false, false, true, true},
        {"an if, host without divergent barriers", false, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        GlslProgram p(ShaderStage::TessellationControl);
        p.Host.HasBarrierInDivergentCode = c.Capability;
        if (c.Returned) {
            AstBlock* branch = p.Block(p.Main, AstBlockType::If, p.Local(AggregateType::Bool));
            p.Add(branch, p.Op(Instruction::Return, {}));
        }
        AstBlock* block = p.Main;
        if (c.Helper)
            block = p.AddFunction("helper", AggregateType::Void, {}, {})->MainBlock;
        if (c.Nested)
            block = p.Block(block, AstBlockType::If, p.Local(AggregateType::Bool));
        p.Add(block, p.Op(Instruction::Barrier, {}));
        try {
            std::string text = GenerateGlsl(p);
            EXPECT_FALSE(c.Fails) << text;
            EXPECT_EQ(CompileError(text, ShaderStage::TessellationControl), "") << text;
        } catch (const Zerivox::Common::NotSupportedException& e) {
            EXPECT_TRUE(c.Fails);
            EXPECT_STREQ(e.what(), "A tessellation control barrier inside flow control, outside main or after a "
                                   "return has no GLSL form.");
        }
    }
}

TEST(GlslGenerator, FailuresNameWhatWasWrong) {
    {
        GlslProgram p(ShaderStage::Compute);
        p.Block(p.Main, AstBlockType::While, p.Const(1));
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), "Found unexpected block type \"While\".");
        }
    }
    {
        GlslProgram p(ShaderStage::Compute);
        p.Info.Functions.clear();
        EXPECT_THROW(GenerateGlsl(p), Zerivox::Common::ArgumentOutOfRangeException);
    }
    {
        GlslProgram p(ShaderStage::Compute);
        p.Add(p.Main, p.Op(Instruction::Call, {p.Const(5)}));
        EXPECT_THROW(GenerateGlsl(p), Zerivox::Common::ArgumentOutOfRangeException);
    }
    {
        // Only variables are written: an assignment to a constant fails as
        // in the SPIR-V back end.
        GlslProgram p(ShaderStage::Compute);
        p.Assign(p.Main, p.Const(0), p.Const(1));
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::NotImplementedException& e) {
            EXPECT_STREQ(e.what(), "Constant");
        }
        EXPECT_THROW(p.Generate(), Zerivox::Common::NotImplementedException);
    }
    EXPECT_EQ(Glsl::CodeGenContext::GetIndentation(3), "            ");
    EXPECT_EQ(Glsl::CodeGenContext::GetIndentation(-1), "");
}

} // namespace
