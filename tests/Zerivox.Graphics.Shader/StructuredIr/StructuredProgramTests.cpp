// Shapes the structurer builds from small IR functions.
#include <gtest/gtest.h>

#include "StructuredTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrParser.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using namespace StructuredIr;
using Translation::AggregateType;

struct StructuredProgramTests : ::testing::Test {
    IR::IrArena Arena;
    StructurerEnvironment Env;
    std::unique_ptr<StructuredProgramInfo> Info;

    std::string Structure(IR::Function* function, bool debugMode = true,
                          Translation::TargetLanguage language = Translation::TargetLanguage::Spirv) {
        Info = Env.Structure({function}, debugMode, language);
        return AstPrinter().Print(Info->Functions.at(0)->MainBlock);
    }
    // A function from IR text. Conditions are Bool locals read from local
    // memory words 100, 101, ... (so nothing folds them); Store.LocalMemory
    // 0, k, k marks where block k's code ends up.
    IR::Function* Parse(std::string_view text) { return Parse(Arena, text); }
    static IR::Function* Parse(IR::IrArena& arena, std::string_view text) {
        return IR::IrParser::ParseFunction(arena, IrText(text));
    }
};

TEST_F(StructuredProgramTests, ControlFlowShapes) {
    struct Case {
        const char* Name;
        const char* Ir;
        const char* Expected;
    };
    const Case cases[] = {
        {"straight line",
         R"(fun0 in=0 out=0
            B0:
              Store.LocalMemory 0, 1, 1
              Store.LocalMemory 0, 2, 2
              Return
         )",
         "Store(0, 1, 1)\nStore(0, 2, 2)\nReturn()\n"},
        {"forward branch over two blocks",
         R"(fun0 in=0 out=0
            B0: next B1 branch B3
              %0 = Load.LocalMemory 0, 100
              %1 = CompareNotEqual %0, 0
              BranchIfTrue %1
            B1: next B2
              Store.LocalMemory 0, 1, 1
            B2: next B3
              Store.LocalMemory 0, 2, 2
            B3:
              Store.LocalMemory 0, 3, 3
              Return
         )",
         "v0 = Load(0, 100)\nv1 = CompareNotEqual(v0, 0)\nIf LogicalNot(v1) {\n  Store(0, 1, 1)\n  Store(0, 2, 2)\n}\n"
         "Store(0, 3, 3)\nReturn()\n"},
        {"conditional back edge",
         R"(fun0 in=0 out=0
            B0: next B1
              Store.LocalMemory 0, 0, 0
            B1: next B2
              Store.LocalMemory 0, 1, 1
            B2: next B3 branch B1
              %0 = Load.LocalMemory 0, 100
              %1 = CompareNotEqual %0, 0
              BranchIfTrue %1
            B3:
              Return
         )",
         "Store(0, 0, 0)\nDoWhile v0 {\n  Store(0, 1, 1)\n  v1 = Load(0, 100)\n  v0 = CompareNotEqual(v1, 0)\n}\nReturn()\n"},
        {"unconditional back edge",
         R"(fun0 in=0 out=0
            B0: next B1
              Store.LocalMemory 0, 0, 0
            B1: branch B1
              Store.LocalMemory 0, 1, 1
              Branch
         )",
         "Store(0, 0, 0)\nDoWhile -1 {\n  Store(0, 1, 1)\n}\n"},
        {"BranchIfFalse back edge repeats on false",
         R"(fun0 in=0 out=0
            B0: next B1 branch B0
              %0 = Load.LocalMemory 0, 100
              %1 = CompareNotEqual %0, 0
              BranchIfFalse %1
            B1:
              Return
         )",
         "DoWhile LogicalNot(v0) {\n  v1 = Load(0, 100)\n  v0 = CompareNotEqual(v1, 0)\n}\nReturn()\n"},
    };
    for (const Case& c : cases) {
        IR::IrArena arena;
        EXPECT_EQ(Structure(Parse(arena, c.Ir)), c.Expected) << c.Name;
    }
}

TEST_F(StructuredProgramTests, SecondBackEdgeBecomesAGotoThatIsEliminated) {
    // Blocks 1-3 loop twice back to block 1: 3 -> 1 becomes the DoWhile, 2 -> 1 a goto.
    std::string text = Structure(Parse(R"(fun0 in=0 out=0
        B0: next B1
          Store.LocalMemory 0, 0, 0
        B1: next B2
          Store.LocalMemory 0, 1, 1
        B2: next B3 branch B1
          %0 = Load.LocalMemory 0, 100
          %1 = CompareNotEqual %0, 0
          BranchIfTrue %1
        B3: next B4 branch B1
          Store.LocalMemory 0, 3, 3
          %2 = Load.LocalMemory 0, 101
          %3 = CompareNotEqual %2, 0
          BranchIfTrue %3
        B4:
          Return
    )"));
    // 3 -> 1 closes the DoWhile; the goto 2 -> 1 becomes a guarded continue
    // that also keeps the loop going.
    EXPECT_EQ(text,
              "v0 = 0\n"  // the goto temp starts false at function entry
              "Store(0, 0, 0)\n"
              "DoWhile LogicalOr(v1, v0) {\n"
              "  v0 = 0\n"  // its label at the loop head
              "  Store(0, 1, 1)\n"
              "  v2 = Load(0, 100)\n"
              "  v3 = CompareNotEqual(v2, 0)\n"
              "  v0 = v3\n"
              "  If v0 {\n"
              "    LoopContinue()\n"
              "  }\n"
              "  Store(0, 3, 3)\n"
              "  v4 = Load(0, 101)\n"
              "  v1 = CompareNotEqual(v4, 0)\n"
              "}\n"
              "Return()\n")
        << text;
}

TEST_F(StructuredProgramTests, TypesFollowInstructionsAndReaders) {
    // %9: a choice between doubles stays a double: read as integers, they
    // would go through single precision.
    std::string text = Structure(Parse(R"(fun0 in=0 out=1
        B0:
          %0 = Load.LocalMemory 0, 100
          %1 = CompareNotEqual %0, 0
          %2 = Load.LocalMemory 0, 101
          %3 = CompareNotEqual %2, 0
          %4 = BitwiseAnd %1, %3
          %5 = BitwiseAnd %1, 3
          %6 = ConditionalSelect %1, 1, 2
          %7 = Add.FP32 %6, %6
          %8 = ConditionalSelect %1, 1, 2
          a0 = Copy %8
          %9 = ConditionalSelect %1, 1, 2
          %10 = UnpackDouble2x32 %9
          Return
    )"));
    EXPECT_NE(text.find("v4 = LogicalAnd(v1, v3)"), std::string::npos) << text;
    EXPECT_NE(text.find("v5 = BitwiseAnd(v1, 3)"), std::string::npos) << text;
    EXPECT_NE(text.find("v6 = ConditionalSelect.f32(v1, 1, 2)"), std::string::npos) << text;
    EXPECT_NE(text.find("a0 = v8"), std::string::npos) << text;
    EXPECT_NE(text.find("v9 = ConditionalSelect.f64(v1, 1, 2)"), std::string::npos) << text;

    std::vector<AggregateType> types;
    for (AstOperand* local : Info->Functions[0]->Locals) types.push_back(local->VarType);
    // Local-memory loads are typed FP32 like every Load.
    const std::vector<AggregateType> expected = {AggregateType::FP32, AggregateType::Bool, AggregateType::FP32,
                                                 AggregateType::Bool, AggregateType::Bool, AggregateType::S32,
                                                 AggregateType::FP32, AggregateType::FP32, AggregateType::S32,
                                                 AggregateType::FP64, AggregateType::U32};
    EXPECT_EQ(types, expected);
}

TEST_F(StructuredProgramTests, ConstantBuffersAreBoundInFirstUseOrderAndReported) {
    // Function 0 reads slot 2 then slot 0; function 1 reads slot 5 and slot 2.
    IR::Function* f0 = Parse(R"(fun0 in=0 out=0
        B0:
          %0 = Add cb2[13], cb0[4]
          Return
    )");
    IR::Function* f1 = Parse(R"(fun1 in=0 out=0
        B0:
          %0 = Add cb5[0], cb2[1]
          Return
    )");
    Info = Env.Structure({f0, f1});
    EXPECT_EQ(AstPrinter().Print(Info->Functions[0]->MainBlock),
              "v0 = Add(Load(1, 0, 3, 1), Load(2, 0, 1, 0))\nReturn()\n");
    EXPECT_EQ(AstPrinter().Print(Info->Functions[1]->MainBlock),
              "v0 = Add(Load(3, 0, 0, 0), Load(1, 0, 0, 1))\nReturn()\n");
    std::vector<int32_t> used(Env.Resources.UsedConstantBufferBindings().begin(),
                              Env.Resources.UsedConstantBufferBindings().end());
    EXPECT_EQ(used, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(As<AstOperation>(As<AstAssignment>(Info->Functions[0]->MainBlock->First())->Source())->GetSource(0)->Kind(),
              AstNodeKind::Operation);
}

TEST_F(StructuredProgramTests, TextureSampleWithSeveralResultsGoesThroughOneVector) {
    EXPECT_EQ(Structure(Parse(R"(fun0 in=0 out=0
                  B0:
                    %0, %1, %2 = TextureSample{Texture2D set=0 binding=3}#7 0, 0
                    Return
              )")),
              "v0 = TextureSample(0, 0)\nv1 = VectorExtract(v0, 0)\nv2 = VectorExtract(v0, 1)\n"
              "v3 = VectorExtract(v0, 2)\nReturn()\n");
    const auto& locals = Info->Functions[0]->Locals;
    EXPECT_EQ(locals.First()->VarType, AggregateType::FP32 | AggregateType::Vector3);
    auto* texOp = As<AstTextureOperation>(As<AstAssignment>(Info->Functions[0]->MainBlock->First())->Source());
    ASSERT_NE(texOp, nullptr);
    EXPECT_EQ(texOp->Binding, 3);
    EXPECT_EQ(texOp->SamplerBinding, -1);
    EXPECT_EQ(texOp->Index, 0b0111);
}

TEST_F(StructuredProgramTests, CallsAfterRegisterPassing) {
    // Callee: two inputs, one output, no result. The caller's call has the
    // null result slot that register passing leaves, then the output.
    IR::Function* callerFunction = Parse(R"(fun0 in=0 out=0
        B0:
          %0 = Load.LocalMemory 0, 100
          %1 = CompareNotEqual %0, 0
          _, %2 = Call 1, %1, 7
          Store.LocalMemory 0, 1, 1
          Store.LocalMemory 0, 2, %2
          Return
    )");
    IR::Function* calleeFunction = Parse("fun1 in=2 out=1\nB0:\n  Return\n");

    for (auto language : {Translation::TargetLanguage::Spirv, Translation::TargetLanguage::Glsl}) {
        Info = Env.Structure({callerFunction, calleeFunction}, true, language);
        std::string text = AstPrinter().Print(Info->Functions[0]->MainBlock);
        // Nothing is assigned without a destination; the output is written by the call.
        EXPECT_EQ(text.find("null"), std::string::npos) << text;
        if (language == Translation::TargetLanguage::Spirv) {
            EXPECT_NE(text.find("v2 = v1\nv3 = 7\nCall(1, v2, v3, v4)\n"), std::string::npos) << text;
        } else {
            EXPECT_NE(text.find("\nCall(1, v1, 7, v2)\n"), std::string::npos) << text;
        }
        EXPECT_NE(text.find("Store(0, 2, v"), std::string::npos) << text;
        // The second run must not see the first run's phi-free IR change.
        auto* main = Info->Functions[0]->MainBlock;
        AstOperation* callNode = nullptr;
        for (IAstNode* node : *main) {
            if (auto* op = As<AstOperation>(node); op != nullptr && op->Inst == Instruction::Call) callNode = op;
        }
        ASSERT_NE(callNode, nullptr);
        auto* output = As<AstOperand>(callNode->GetSource(callNode->SourcesCount() - 1));
        EXPECT_TRUE(output->Defs.Contains(callNode));
        EXPECT_FALSE(output->Uses.Contains(callNode));
    }
}

TEST_F(StructuredProgramTests, CallOfAMissingFunctionIsRejected) {
    EXPECT_THROW(Structure(Parse("fun0 in=0 out=0\nB0:\n  Call 5\n  Return\n")),
                 Common::ArgumentOutOfRangeException);
}

TEST_F(StructuredProgramTests, InputsAndOutputsAreRecorded) {
    const std::string text = "fun0 in=0 out=0\nB0:\n  Store.Output " +
                             std::to_string(static_cast<int32_t>(IR::IoVariable::UserDefined)) +
                             ", 3, 2, 0\n  %0 = Load.Input " +
                             std::to_string(static_cast<int32_t>(IR::IoVariable::Position)) + ", 1\n  Return\n";
    auto build = [&text](IR::IrArena& arena) { return Parse(arena, text); };
    Env.Definitions.Stage = ShaderStage::Vertex;
    Env.Definitions.IsLastVertexStage = true;
    {
        IR::IrArena arena;
        Info = Env.Structure({build(arena)});
        std::vector<std::string> io;
        for (const IoDefinition& d : Info->IoDefinitions) io.push_back(d.ToString());
        EXPECT_EQ(io, (std::vector<std::string>{"Output.UserDefined.3.0", "Input.Position.0.0"}));
    }
    // With transform feedback capturing component 2 of location 3 alone, the
    // output is declared per component.
    Env.Definitions.TransformFeedbackEnabled = true;
    Translation::TransformFeedbackOutputArray outputs{};
    outputs[32 + 4 * 3 + 2].Valid = true;
    Env.Definitions.TransformFeedbackOutputs = outputs;
    {
        IR::IrArena arena;
        Info = Env.Structure({build(arena)});
        EXPECT_EQ(Info->IoDefinitions.ItemAt(0).ToString(), "Output.UserDefined.3.2");
    }
}

TEST_F(StructuredProgramTests, PhisBecomeCopiesAtTheEndOfEachPredecessor) {
    // Diamond: 0 -> (1 | 2) -> 3 with x = phi(1: 10, 2: 20) in block 3.
    // 1 -> 3 leaves the If by a goto, which becomes the If's Else.
    EXPECT_EQ(Structure(Parse(R"(fun0 in=0 out=0
                  B0: next B1 branch B2
                    %0 = Load.LocalMemory 0, 100
                    %1 = CompareNotEqual %0, 0
                    BranchIfTrue %1
                  B1: branch B3
                    Branch
                  B2: next B3
                  B3:
                    %2 = Phi [B1: 10], [B2: 20]
                    Store.LocalMemory 0, 5, %2
                    Return
              )")),
              "v0 = 0\nv1 = Load(0, 100)\nv2 = CompareNotEqual(v1, 0)\nIf LogicalNot(v2) {\n  v3 = 10\n  v0 = -1\n}\n"
              "Else {\n  v3 = 20\n}\nv0 = 0\nv4 = v3\nStore(0, 5, v4)\nReturn()\n");
}

TEST(StructuredProgramHelpers, LogicalFromBitwise) {
    EXPECT_EQ(StructuredProgram::GetLogicalFromBitwiseInst(Instruction::BitwiseNot), Instruction::LogicalNot);
    EXPECT_EQ(StructuredProgram::GetLogicalFromBitwiseInst(Instruction::BitwiseExclusiveOr),
              Instruction::LogicalExclusiveOr);
    try {
        StructuredProgram::GetLogicalFromBitwiseInst(Instruction::Add);
        FAIL();
    } catch (const Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Unexpected instruction \"Add\".");
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
