// Expressions: operators and their parentheses, casts between the scalar
// types, literals where constants are consumed, the calls with generators
// of their own, and the built-in variable map.
#include "GlslTestSupport.h"

#include <cmath>
#include <functional>
#include <set>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/IoMap.h"

using namespace Zerivox::Graphics::Shader::Testing;
using namespace Zerivox::Graphics::Shader;
namespace Glsl = Zerivox::Graphics::Shader::CodeGen::Glsl;

namespace {

constexpr Instruction F32 = Instruction::FP32;

// The right side of the last statement of main, "temp_N = <text>;".
std::string LastAssigned(const std::string& text) {
    std::vector<std::string> statements = MainStatements(text);
    if (statements.empty())
        return "<none>";
    std::string line = statements.back();
    std::size_t equals = line.find(" = ");
    if (equals == std::string::npos || line.back() != ';')
        return "<statement> " + line;
    return line.substr(equals + 3, line.size() - equals - 4);
}

// Locals a, b, c, d (temp_0 to temp_3) of one type, and the expression that
// a case builds assigned to a fifth local of the result type.
struct ExprCase {
    const char* Name;
    AggregateType Operands;
    AggregateType Result;
    std::function<IAstNode*(GlslProgram&, AstOperand**)> Build;
    const char* Expected;
};

void RunCases(const std::vector<ExprCase>& cases, ShaderStage stage = ShaderStage::Compute) {
    for (const ExprCase& c : cases) {
        GlslProgram p(stage);
        AstOperand* v[4];
        for (AstOperand*& local : v) {
            local = p.Local(c.Operands);
            p.Assign(p.Main, local, p.Const(1));
        }
        IAstNode* expr = c.Build(p, v);
        AstOperand* result = p.Local(c.Result);
        p.Assign(p.Main, result, expr);
        std::string text = GenerateGlsl(p);
        EXPECT_EQ(LastAssigned(text), c.Expected) << c.Name;
        EXPECT_EQ(CompileError(text, stage), "") << c.Name << "\n" << text;
    }
}

TEST(GlslExpressions, OperatorsAndParentheses) {
    using P = GlslProgram;
    const auto S = AggregateType::S32;
    const auto F = AggregateType::FP32;
    const auto B = AggregateType::Bool;
    const auto U = AggregateType::U32;
    RunCases({
        {"right-nested subtraction", S, S,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::Subtract, {v[0], p.Op(Instruction::Subtract, {v[1], v[2]})});
         },
         "temp_0 - (temp_1 - temp_2)"},
        {"left-nested subtraction", S, S,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::Subtract, {p.Op(Instruction::Subtract, {v[0], v[1]}), v[2]});
         },
         "temp_0 - temp_1 - temp_2"},
        {"sum of sums stays flat", S, S,
         [](P& p, AstOperand** v) { return p.Op(Instruction::Add, {v[0], p.Op(Instruction::Add, {v[1], v[2]})}); },
         "temp_0 + temp_1 + temp_2"},
        {"float sum inside an integer sum", F, F,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::Add | F32, {v[0], p.Op(Instruction::Add | F32, {v[1], v[2]})});
         },
         "temp_0 + temp_1 + temp_2"},
        {"sum times", S, S,
         [](P& p, AstOperand** v) { return p.Op(Instruction::Multiply, {p.Op(Instruction::Add, {v[0], v[1]}), v[2]}); },
         "(temp_0 + temp_1) * temp_2"},
        {"comparisons under a logical and", S, B,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::LogicalAnd, {p.Op(Instruction::CompareLess, {v[0], v[1]}),
                                                   p.Op(Instruction::CompareLess, {v[2], v[3]})});
         },
         "temp_0 < temp_1 && temp_2 < temp_3"},
        {"nested selection", S, S,
         [](P& p, AstOperand** v) {
             IAstNode* inner = p.Op(Instruction::ConditionalSelect,
                                    {p.Op(Instruction::CompareLess, {v[1], v[2]}), v[0], v[1]});
             return p.Op(Instruction::ConditionalSelect, {p.Op(Instruction::CompareLess, {v[0], v[3]}), inner, v[2]});
         },
         "temp_0 < temp_3 ? (temp_1 < temp_2 ? temp_0 : temp_1) : temp_2"},
        {"not of a comparison", S, B,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::LogicalNot, {p.Op(Instruction::CompareLess, {v[0], v[1]})});
         },
         "!(temp_0 < temp_1)"},
        {"complement of a negative constant", S, S,
         [](P& p, AstOperand**) { return p.Op(Instruction::BitwiseNot, {p.Const(-5)}); }, "~(-5)"},
        {"integer negation", S, S, [](P& p, AstOperand** v) { return p.Op(Instruction::Negate, {v[0]}); },
         "0 - temp_0"},
        {"negation of a negative constant", S, S,
         [](P& p, AstOperand**) { return p.Op(Instruction::Negate, {p.Const(-5)}); }, "0 - -5"},
        // Float negation flips the sign bit, as the guest does: -(+0.0) is -0.0.
        {"float negation of a sum", F, F,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::Negate | F32, {p.Op(Instruction::Add | F32, {v[0], v[1]})});
         },
         "-(temp_0 + temp_1)"},
        {"float negation as a factor", F, F,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::Multiply | F32, {v[1], p.Op(Instruction::Negate | F32, {v[0]})});
         },
         "temp_1 * (-temp_0)"},
        {"float negation of a negative constant", F, F,
         [](P& p, AstOperand**) { return p.Op(Instruction::Negate | F32, {p.ConstF(-2.0f)}); }, "-(-2.0)"},
        // GLSL's != is true for NaN; the guest's ordered inequality is not.
        {"ordered float inequality", F, B,
         [](P& p, AstOperand** v) { return p.Op(Instruction::CompareNotEqual | F32, {v[0], v[1]}); },
         "Helper_OrderedNotEqual(temp_0, temp_1)"},
        {"integer inequality", S, B,
         [](P& p, AstOperand** v) { return p.Op(Instruction::CompareNotEqual, {v[0], v[1]}); },
         "temp_0 != temp_1"},
        {"logical shift of a signed value", S, S,
         [](P& p, AstOperand** v) { return p.Op(Instruction::ShiftRightU32, {v[0], p.Const(3)}); },
         "int(uint(temp_0) >> 3)"},
        {"unsigned minimum with all ones", U, U,
         [](P& p, AstOperand** v) { return p.Op(Instruction::MinimumU32, {v[0], p.Const(-1)}); },
         "min(temp_0, 0xFFFFFFFFu)"},
        {"float constant", F, F,
         [](P& p, AstOperand** v) { return p.Op(Instruction::Add | F32, {v[0], p.Const(1065353216)}); },
         "temp_0 + 1.0"},
        {"NaN constant as its bits", F, F,
         [](P& p, AstOperand** v) { return p.Op(Instruction::Add | F32, {v[0], p.Const(0x7FC00000)}); },
         "temp_0 + intBitsToFloat(0x7FC00000)"},
        {"boolean as float", B, F, [](P&, AstOperand** v) { return v[0]; }, "intBitsToFloat((temp_0 ? -1 : 0))"},
        {"boolean as unsigned", B, U, [](P&, AstOperand** v) { return v[0]; }, "(temp_0 ? 0xFFFFFFFFu : 0u)"},
        {"float as boolean", F, B, [](P&, AstOperand** v) { return v[0]; }, "(floatBitsToInt(temp_0) != 0)"},
        {"unsigned as float", U, F, [](P&, AstOperand** v) { return v[0]; }, "uintBitsToFloat(temp_0)"},
        {"sum as boolean", S, B, [](P& p, AstOperand** v) { return p.Op(Instruction::Add, {v[0], v[1]}); },
         "(temp_0 + temp_1 != 0)"},
        {"selection as boolean", S, B,
         [](P& p, AstOperand** v) {
             return p.Op(Instruction::ConditionalSelect, {p.Op(Instruction::CompareLess, {v[0], v[1]}), v[0], v[1]});
         },
         "((temp_0 < temp_1 ? temp_0 : temp_1) != 0)"},
        {"scalar component", F, F,
         [](P& p, AstOperand** v) { return p.Op(Instruction::VectorExtract | F32, {v[0], p.Const(1)}); }, "temp_0"},
        {"half packing", F, U,
         [](P& p, AstOperand** v) { return p.Op(Instruction::PackHalf2x16, {v[0], p.ConstF(0.5f)}); },
         "packHalf2x16(vec2(temp_0, 0.5))"},
        {"shuffle", F, F, [](P& p, AstOperand** v) { return p.Op(Instruction::Shuffle, {v[0], p.Const(3)}); },
         "subgroupShuffle(temp_0, 3u)"},
        {"derivative outside fragment shaders", F, F,
         [](P& p, AstOperand** v) { return p.Op(Instruction::Ddx, {v[0]}); }, "0.0"},
    });
}

// A helper the text calls is declared even when only a block's condition
// calls it.
TEST(GlslExpressions, HelpersForConditions) {
    GlslProgram p(ShaderStage::Compute);
    AstOperand* f = p.Local(AggregateType::FP32);
    p.Assign(p.Main, f, p.ConstF(1.0f));
    AstBlock* loop = p.Block(p.Main, AstBlockType::DoWhile,
                             p.Op(Instruction::CompareNotEqual | F32, {f, p.ConstF(0.0f)}));
    p.Assign(loop, f, p.Op(Instruction::Multiply | F32, {f, p.ConstF(0.5f)}));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"bool Helper_OrderedNotEqual(float x, float y)\n{\n    return x < y || x > y;\n}",
                                ""}));
    EXPECT_TRUE(HasLines(text, {"    while (Helper_OrderedNotEqual(temp_0, 0.0));"}));
    EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");

    GlslProgram q(ShaderStage::Compute);
    AstOperand* d = q.Local(AggregateType::FP64);
    q.Assign(q.Main, d, q.Op(Instruction::ConvertFP32ToFP64, {q.ConstF(1.0f)}));
    AstBlock* branch =
        q.Block(q.Main, AstBlockType::If, q.Op(Instruction::CompareNotEqual | Instruction::FP64, {d, d}));
    q.Add(branch, q.Op(Instruction::Return, {}));
    text = GenerateGlsl(q);
    EXPECT_TRUE(HasLines(text, {"bool Helper_OrderedNotEqual(double x, double y)\n{\n    return x < y || x > y;\n}",
                                ""}));
    EXPECT_FALSE(Contains(text, "Helper_OrderedNotEqual(float"));
    EXPECT_TRUE(HasLines(text, {"    if (Helper_OrderedNotEqual(temp_0, temp_0))"}));
    EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");
}

TEST(GlslExpressions, FragmentOnlyOperations) {
    using P = GlslProgram;
    const auto F = AggregateType::FP32;
    const auto U = AggregateType::U32;
    RunCases({{"derivative", F, F, [](P& p, AstOperand** v) { return p.Op(Instruction::Ddy, {v[0]}); },
               "dFdy(temp_0)"},
              {"half unpacking", U, F,
               [](P& p, AstOperand** v) {
                   AstOperation* op = p.Op(Instruction::UnpackHalf2x16, {v[0]});
                   op->Index = 1;
                   return op;
               },
               "unpackHalf2x16(temp_0).y"}},
             ShaderStage::Fragment);
}

TEST(GlslExpressions, BallotSpellingFollowsTheHostExtension) {
    struct Case {
        bool Arb;
        int32_t Index;
        const char* Expected;
    };
    const Case cases[] = {
        {true, 1, "unpackUint2x32(ballotARB(temp_0)).y"},
        {true, 2, "0u"},
        {false, 1, "subgroupBallot(temp_0).y"},
        {false, 3, "subgroupBallot(temp_0).w"},
    };
    for (const Case& c : cases) {
        GlslProgram p(ShaderStage::Compute);
        p.Host.HasArbShaderBallot = c.Arb;
        AstOperand* b = p.Local(AggregateType::Bool);
        p.Assign(p.Main, b, p.Const(1));
        AstOperand* r = p.Local(AggregateType::U32);
        AstOperation* ballot = p.Op(Instruction::Ballot, {b});
        ballot->Index = c.Index;
        p.Assign(p.Main, r, ballot);
        std::string text = GenerateGlsl(p);
        EXPECT_EQ(LastAssigned(text), c.Expected);
        EXPECT_EQ(CompileError(text, ShaderStage::Compute), "") << text;
    }
}

// Returns take the function's own result type: nothing from a void
// function, an undefined value from a function with a result given none.
TEST(GlslExpressions, ReturnsAndStatementsWithoutText) {
    GlslProgram p(ShaderStage::Vertex);
    auto* withResult = p.AddFunction("fun1", AggregateType::S32, {}, {});
    AstBlock* branch = p.Block(withResult->MainBlock, AstBlockType::If, p.Const(1));
    p.Add(branch, p.Op(Instruction::Return, {p.ConstF(1.0f)}));
    p.Add(withResult->MainBlock, p.Op(Instruction::Return, {}));
    p.Add(p.Main, p.Op(Instruction::Barrier, {}));
    p.Add(p.Main, p.Op(Instruction::GroupMemoryBarrier, {}));
    p.Add(p.Main, p.Op(Instruction::Return, {p.Const(3)}));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"int fun1()", "{", "    if (true)", "    {", "        return 0x3F800000;", "    }",
                                "    return undef;", "}"}))
        << text;
    EXPECT_EQ(Joined(MainStatements(text)), "    memoryBarrier();\n    return;\n");
    EXPECT_EQ(CompileError(text, ShaderStage::Vertex), "");
}

TEST(GlslExpressions, FailuresNameTheTypes) {
    GlslProgram p(ShaderStage::Compute);
    AstOperand* f = p.Local(AggregateType::FP32);
    AstOperand* d = p.Local(AggregateType::FP64);
    p.Assign(p.Main, d, f);
    try {
        GenerateGlsl(p);
        ADD_FAILURE();
    } catch (const Zerivox::Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Invalid reinterpret cast from \"FP32\" to \"FP64\".");
    }
    // GLSL would quietly compute these in float; the operations exist for
    // floats only.
    for (Instruction inst : {Instruction::Floor, Instruction::Modulo, Instruction::FusedMultiplyAdd}) {
        GlslProgram r(ShaderStage::Compute);
        AstOperand* i = r.Local(AggregateType::S32);
        r.Assign(r.Main, i, r.Op(inst, {i, i, i}));
        try {
            GenerateGlsl(r);
            ADD_FAILURE();
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string(IntermediateRepresentation::InstructionName(inst)) + " has no integer form.");
        }
    }

    // Operations of one stage only fail, named, in any other.
    struct StageCase {
        ShaderStage Stage;
        Instruction Inst;
        const char* Message;
    };
    const StageCase stageCases[] = {
        {ShaderStage::Compute, Instruction::Discard, "Discard cannot run in a Compute shader."},
        {ShaderStage::Vertex, Instruction::EmitVertex, "EmitVertex cannot run in a Vertex shader."},
        {ShaderStage::Fragment, Instruction::EndPrimitive, "EndPrimitive cannot run in a Fragment shader."},
    };
    for (const StageCase& c : stageCases) {
        GlslProgram s(c.Stage);
        s.Add(s.Main, s.Op(c.Inst, {}));
        try {
            GenerateGlsl(s);
            ADD_FAILURE() << c.Message;
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }

    GlslProgram q(ShaderStage::Compute);
    q.Add(q.Main, q.Op(Instruction::Load, StorageKind::StorageBuffer, {q.Local(AggregateType::S32), q.Const(0)}));
    try {
        GenerateGlsl(q);
        ADD_FAILURE();
    } catch (const Zerivox::Common::InvalidOperationException& e) {
        EXPECT_STREQ(e.what(), "First input of Load with StorageBuffer storage must be a constant operand.");
    }
}

// Atomics take the memory location first; signed minimum and maximum on a
// storage buffer go through its signed view, so that glslang picks the
// signed atomic (the buffer's words are unsigned). Signed ones on shared
// memory never get here: for GLSL the translator turns them into
// compare-and-swap loops first.
TEST(GlslExpressions, AtomicsOnBuffersAndSharedMemoryUseTheirViews) {
    GlslProgram p(ShaderStage::Compute);
    StructureType fields({StructureField(AggregateType::Array | AggregateType::U32, "data", 0)});
    p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std430, 0, 1, "sb", fields));
    p.Properties.AddSharedMemory(SIR::MemoryDefinition("shared_memory", AggregateType::Array | AggregateType::U32, 64));
    AstOperand* i = p.Local(AggregateType::S32);
    AstOperand* r = p.Local(AggregateType::S32);
    AstOperand* u = p.Local(AggregateType::U32);
    p.Assign(p.Main, i, p.Const(2));
    p.Assign(p.Main, r, p.Op(Instruction::AtomicMinS32, StorageKind::StorageBuffer, {p.Const(1), p.Const(0), i, p.Const(-7)}));
    p.Assign(p.Main, u, p.Op(Instruction::AtomicMaxU32, StorageKind::StorageBuffer, {p.Const(1), p.Const(0), i, p.Const(-7)}));
    p.Assign(p.Main, u, p.Op(Instruction::AtomicAdd, StorageKind::SharedMemory, {p.Const(0), i, p.Const(5)}));
    p.Assign(p.Main, u, p.Op(Instruction::AtomicCompareAndSwap, StorageKind::SharedMemory, {p.Const(0), i, p.Const(5), r}));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"layout (set = 0, binding = 1, std430) buffer _sb_s32", "{", "    int data[];",
                                "} sb_s32;", ""}))
        << text;
    EXPECT_TRUE(HasLines(text, {"    temp_1 = atomicMin(sb_s32.data[temp_0], -7);",
                                "    temp_2 = atomicMax(sb.data[temp_0], 0xFFFFFFF9u);",
                                "    temp_2 = atomicAdd(shared_memory[temp_0], 5u);",
                                "    temp_2 = atomicCompSwap(shared_memory[temp_0], 5u, uint(temp_1));"}))
        << text;
    std::string disassembly = CompiledDisassembly(text, ShaderStage::Compute);
    ASSERT_NE(disassembly, "") << CompileError(text, ShaderStage::Compute);
    EXPECT_EQ(Lines(disassembly, "OpAtomicSMin").size(), 1u);
    EXPECT_EQ(Lines(disassembly, "OpAtomicUMax").size(), 1u);
}

// Float literals come back from glslang as the very constants they were
// made of.
TEST(GlslExpressions, GlslangReadsFloatLiteralsBackToTheirBits) {
    GlslProgram p(ShaderStage::Compute);
    StructureType fields({StructureField(AggregateType::Array | AggregateType::FP32, "data", 0)});
    p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std430, 0, 1, "sb", fields));
    std::set<uint32_t> expected;
    uint32_t bits = 0x2468ACE1u;
    int32_t index = 0;
    while (expected.size() < 3000) {
        bits = bits * 1664525u + 1013904223u;
        float value = std::bit_cast<float>(bits);
        if (!std::isfinite(value) || !expected.insert(bits).second)
            continue;
        p.Add(p.Main, p.Op(Instruction::Store, StorageKind::StorageBuffer,
                           {p.Const(1), p.Const(0), p.Const(index++), p.Const(static_cast<int32_t>(bits))}));
    }
    std::string text = GenerateGlsl(p);
    Zerivox::TestTools::GlslCompileResult compiled = Zerivox::TestTools::CompileGlsl(text, ShaderStage::Compute);
    ASSERT_TRUE(compiled.Ok) << compiled.Error;
    // OpTypeFloat 32 (opcode 22) gives the type id; OpConstant (43) of that
    // type carries one word of value.
    const std::vector<uint32_t>& words = compiled.Words;
    uint32_t floatType = 0;
    std::set<uint32_t> constants;
    for (std::size_t at = 5; at < words.size();) {
        uint32_t opcode = words[at] & 0xFFFFu;
        uint32_t count = words[at] >> 16;
        ASSERT_GT(count, 0u);
        if (opcode == 22 && count == 3 && words[at + 2] == 32)
            floatType = words[at + 1];
        if (opcode == 43 && count == 4 && words[at + 1] == floatType && floatType != 0)
            constants.insert(words[at + 3]);
        at += count;
    }
    for (uint32_t expectedBits : expected)
        EXPECT_TRUE(constants.count(expectedBits)) << std::hex << expectedBits;
}

// Vulkan GLSL has no gl_InstanceID or gl_VertexID; the guest's instance and
// vertex numbers count from the draw's first instance and vertex.
TEST(GlslIoMap, InstanceAndVertexNumbers) {
    GlslProgram p(ShaderStage::Vertex);
    AstOperand* i = p.Local(AggregateType::S32);
    p.Assign(p.Main, i, p.Op(Instruction::Load, StorageKind::Input, {p.Const(static_cast<int32_t>(IoVariable::InstanceId))}));
    p.Assign(p.Main, i, p.Op(Instruction::Load, StorageKind::Input, {p.Const(static_cast<int32_t>(IoVariable::VertexId))}));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"    temp_0 = (gl_InstanceIndex - gl_BaseInstanceARB);",
                                "    temp_0 = (gl_VertexIndex - gl_BaseVertexARB);"}))
        << text;
    std::string disassembly = CompiledDisassembly(text, ShaderStage::Vertex);
    ASSERT_NE(disassembly, "") << CompileError(text, ShaderStage::Vertex);
    EXPECT_TRUE(Contains(disassembly, "BuiltIn BaseInstance"));
    EXPECT_TRUE(Contains(disassembly, "BuiltIn VertexIndex"));
}

TEST(GlslIoMap, VariablesByStageAndHost) {
    GlslProgram geometry(ShaderStage::Geometry);
    GlslProgram fragment(ShaderStage::Fragment);
    Translation::HostCapabilities arb;
    arb.HasArbShaderBallot = true;
    Translation::HostCapabilities khr;
    using Glsl::Instructions::IoMap;
    struct Case {
        GlslProgram* Program;
        const Translation::HostCapabilities* Host;
        IoVariable Variable;
        bool IsOutput;
        const char* Name;
        AggregateType Type;
    };
    const Case cases[] = {
        {&geometry, &khr, IoVariable::PrimitiveId, false, "gl_PrimitiveIDIn", AggregateType::S32},
        {&geometry, &khr, IoVariable::PrimitiveId, true, "gl_PrimitiveID", AggregateType::S32},
        {&fragment, &khr, IoVariable::PrimitiveId, false, "gl_PrimitiveID", AggregateType::S32},
        {&fragment, &arb, IoVariable::SubgroupLtMask, false, "unpackUint2x32(gl_SubGroupLtMaskARB)",
         AggregateType::Vector2 | AggregateType::U32},
        {&fragment, &khr, IoVariable::SubgroupLtMask, false, "gl_SubgroupLtMask",
         AggregateType::Vector4 | AggregateType::U32},
        {&fragment, &arb, IoVariable::SubgroupLaneId, false, "gl_SubGroupInvocationARB", AggregateType::U32},
        {&fragment, &khr, IoVariable::FragmentCoord, false, "gl_FragCoord",
         AggregateType::Vector4 | AggregateType::FP32},
        {&fragment, &khr, IoVariable::Invalid, false, "", AggregateType::Invalid},
    };
    for (const Case& c : cases) {
        auto [name, type] = IoMap::GetGlslVariable(*c.Program->Definitions, *c.Host, c.Variable, -1, 0, c.IsOutput,
                                                   false);
        EXPECT_EQ(name, c.Name);
        EXPECT_EQ(type, c.Type) << c.Name;
    }
    EXPECT_TRUE(IoMap::IsPerVertexBuiltIn(ShaderStage::TessellationEvaluation, IoVariable::Position, false));
    EXPECT_FALSE(IoMap::IsPerVertexBuiltIn(ShaderStage::TessellationEvaluation, IoVariable::Position, true));
    EXPECT_TRUE(IoMap::IsPerVertexBuiltIn(ShaderStage::TessellationControl, IoVariable::Position, true));
    EXPECT_FALSE(IoMap::IsPerVertexBuiltIn(ShaderStage::Vertex, IoVariable::Position, false));

    // A user output captured as a lone component is a variable of its own.
    Translation::TransformFeedbackOutputArray xfb{};
    xfb[32 + 4 * 3 + 2] = Translation::TransformFeedbackOutput(0, 0, 4);
    GlslProgram vertex(ShaderStage::Vertex, {}, 1, OutputTopology::TriangleStrip, 3, xfb);
    vertex.Definitions->TransformFeedbackEnabled = true;
    EXPECT_EQ(IoMap::GetGlslVariable(*vertex.Definitions, khr, IoVariable::UserDefined, 3, 2, true, false).first,
              "out_attr3_z");
    EXPECT_EQ(IoMap::GetGlslVariable(*vertex.Definitions, khr, IoVariable::UserDefined, 3, 2, true, true).first,
              "patch_attr_3");
    EXPECT_EQ(IoMap::GetGlslVariable(*geometry.Definitions, khr, IoVariable::UserDefined, 3, 2, true, false).first,
              "out_attr3");
}

} // namespace
