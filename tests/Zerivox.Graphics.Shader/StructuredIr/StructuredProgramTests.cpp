// Shapes the structurer builds from small IR functions.
#include <gtest/gtest.h>

#include "StructuredTestSupport.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"

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
    // A Bool local read from input memory word `word` (so nothing folds it).
    IR::Operand* Cond(FunctionBuilder& f, int block, int32_t word) {
        IR::Operand* value = f.Local();
        f.Emit(block, Instruction::Load, StorageKind::LocalMemory, value, {f.Const(0), f.Const(word)});
        IR::Operand* cond = f.Local();
        f.Emit(block, Instruction::CompareNotEqual, cond, {value, f.Const(0)});
        return cond;
    }
};

TEST_F(StructuredProgramTests, ControlFlowShapes) {
    struct Case {
        const char* Name;
        std::function<IR::Function*(StructuredProgramTests&, IR::IrArena&)> Build;
        const char* Expected;
    };
    const Case cases[] = {
        {"straight line",
         [](StructuredProgramTests&, IR::IrArena& arena) {
             FunctionBuilder f(arena, 1);
             f.Mark(0, 1);
             f.Mark(0, 2);
             f.Return(0);
             return f.Finish();
         },
         "Store(0, 1, 1)\nStore(0, 2, 2)\nReturn()\n"},
        {"forward branch over two blocks",
         [](StructuredProgramTests& t, IR::IrArena& arena) {
             FunctionBuilder f(arena, 4);
             IR::Operand* c = t.Cond(f, 0, 100);
             f.JumpIf(0, 3, c);
             f.Mark(1, 1);
             f.FallTo(1, 2);
             f.Mark(2, 2);
             f.FallTo(2, 3);
             f.Mark(3, 3);
             f.Return(3);
             return f.Finish();
         },
         "v0 = Load(0, 100)\nv1 = CompareNotEqual(v0, 0)\nIf LogicalNot(v1) {\n  Store(0, 1, 1)\n  Store(0, 2, 2)\n}\n"
         "Store(0, 3, 3)\nReturn()\n"},
        {"conditional back edge",
         [](StructuredProgramTests& t, IR::IrArena& arena) {
             FunctionBuilder f(arena, 4);
             f.Mark(0, 0);
             f.FallTo(0, 1);
             f.Mark(1, 1);
             f.FallTo(1, 2);
             IR::Operand* c = t.Cond(f, 2, 100);
             f.JumpIf(2, 1, c);
             f.Return(3);
             return f.Finish();
         },
         "Store(0, 0, 0)\nDoWhile v0 {\n  Store(0, 1, 1)\n  v1 = Load(0, 100)\n  v0 = CompareNotEqual(v1, 0)\n}\nReturn()\n"},
        {"unconditional back edge",
         [](StructuredProgramTests&, IR::IrArena& arena) {
             FunctionBuilder f(arena, 2);
             f.Mark(0, 0);
             f.FallTo(0, 1);
             f.Mark(1, 1);
             f.Jump(1, 1);
             return f.Finish();
         },
         "Store(0, 0, 0)\nDoWhile -1 {\n  Store(0, 1, 1)\n}\n"},
        {"BranchIfFalse back edge repeats on false",
         [](StructuredProgramTests& t, IR::IrArena& arena) {
             FunctionBuilder f(arena, 2);
             IR::Operand* c = t.Cond(f, 0, 100);
             f.JumpIf(0, 0, c, false);
             f.Return(1);
             return f.Finish();
         },
         "DoWhile LogicalNot(v0) {\n  v1 = Load(0, 100)\n  v0 = CompareNotEqual(v1, 0)\n}\nReturn()\n"},
    };
    for (const Case& c : cases) {
        IR::IrArena arena;
        IR::Function* function = c.Build(*this, arena);
        EXPECT_EQ(Structure(function), c.Expected) << c.Name;
    }
}

TEST_F(StructuredProgramTests, SecondBackEdgeBecomesAGotoThatIsEliminated) {
    // Blocks 1-3 loop twice back to block 1: 3 -> 1 becomes the DoWhile, 2 -> 1 a goto.
    FunctionBuilder f(Arena, 5);
    f.Mark(0, 0);
    f.FallTo(0, 1);
    f.Mark(1, 1);
    f.FallTo(1, 2);
    IR::Operand* c2 = Cond(f, 2, 100);
    f.JumpIf(2, 1, c2);
    f.Mark(3, 3);
    IR::Operand* c3 = Cond(f, 3, 101);
    f.JumpIf(3, 1, c3);
    f.Return(4);
    std::string text = Structure(f.Finish());
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
    FunctionBuilder f(Arena, 1);
    IR::Operand* a = Cond(f, 0, 100);
    IR::Operand* b = Cond(f, 0, 101);
    IR::Operand* both = f.Local();
    f.Emit(0, Instruction::BitwiseAnd, both, {a, b});
    IR::Operand* mixed = f.Local();
    f.Emit(0, Instruction::BitwiseAnd, mixed, {a, f.Const(3)});
    IR::Operand* select = f.Local();
    f.Emit(0, Instruction::ConditionalSelect, select, {a, f.Const(1), f.Const(2)});
    IR::Operand* sum = f.Local();
    f.Emit(0, Instruction::Add | Instruction::FP32, sum, {select, select});
    IR::Operand* plain = f.Local();
    f.Emit(0, Instruction::ConditionalSelect, plain, {a, f.Const(1), f.Const(2)});
    f.Emit(0, Instruction::Copy, IR::OperandHelper::MakeArgument(Arena, 0), {plain});
    // A choice between doubles stays a double: read as integers, they would
    // go through single precision.
    IR::Operand* wide = f.Local();
    f.Emit(0, Instruction::ConditionalSelect, wide, {a, f.Const(1), f.Const(2)});
    IR::Operand* high = f.Local();
    f.Emit(0, Instruction::UnpackDouble2x32, high, {wide});
    f.Return(0);

    std::string text = Structure(f.Finish("fun0", false, 0, 1));
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
    FunctionBuilder f0(Arena, 1);
    IR::Operand* x = f0.Local();
    f0.Emit(0, Instruction::Add, x,
            {IR::OperandHelper::MakeConstantBufferOperand(Arena, 2, 13),
             IR::OperandHelper::MakeConstantBufferOperand(Arena, 0, 4)});
    f0.Return(0);
    FunctionBuilder f1(Arena, 1);
    IR::Operand* y = f1.Local();
    f1.Emit(0, Instruction::Add, y,
            {IR::OperandHelper::MakeConstantBufferOperand(Arena, 5, 0),
             IR::OperandHelper::MakeConstantBufferOperand(Arena, 2, 1)});
    f1.Return(0);

    Info = Env.Structure({f0.Finish(), f1.Finish("fun1")});
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
    FunctionBuilder f(Arena, 1);
    IR::Operand* r0 = f.Local();
    IR::Operand* r1 = f.Local();
    IR::Operand* r2 = f.Local();
    IR::Operand* dests[] = {r0, r1, r2};
    IR::Operand* sources[] = {f.Const(0), f.Const(0)};
    IR::TextureOperation* sample = Arena.NewTextureOperation(
        Instruction::TextureSample, SamplerType::Texture2D, TextureFormat::Unknown, IR::TextureFlags::None, 0, 3,
        0b0111, IR::Operation::Operands(dests), IR::Operation::Operands(sources));
    f.Blocks[0]->Operations.AddLast(sample);
    f.Return(0);

    EXPECT_EQ(Structure(f.Finish()),
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
    FunctionBuilder callee(Arena, 1);
    callee.Return(0);
    FunctionBuilder caller(Arena, 1);
    IR::Operand* in0 = Cond(caller, 0, 100);
    IR::Operand* out = caller.Local();
    IR::Operand* dests[] = {nullptr, out};
    IR::Operand* sources[] = {caller.Const(1), in0, caller.Const(7)};
    IR::Operation* call = Arena.NewOperation(Instruction::Call, 0, IR::Operation::Operands(dests),
                                             IR::Operation::Operands(sources));
    caller.Blocks[0]->Operations.AddLast(call);
    caller.Mark(0, 1);
    caller.Emit(0, Instruction::Store, StorageKind::LocalMemory, nullptr, {caller.Const(0), caller.Const(2), out});
    caller.Return(0);
    IR::Function* callerFunction = caller.Finish();
    IR::Function* calleeFunction = callee.Finish("fun1", false, 2, 1);

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
    FunctionBuilder f(Arena, 1);
    f.Emit(0, Instruction::Call, nullptr, {f.Const(5)});
    f.Return(0);
    EXPECT_THROW(Structure(f.Finish()), Common::ArgumentOutOfRangeException);
}

TEST_F(StructuredProgramTests, InputsAndOutputsAreRecorded) {
    auto build = [this](IR::IrArena& arena) {
        FunctionBuilder f(arena, 1);
        f.Emit(0, Instruction::Store, StorageKind::Output, nullptr,
               {f.Const(static_cast<int32_t>(IR::IoVariable::UserDefined)), f.Const(3), f.Const(2), f.Const(0)});
        IR::Operand* position = f.Local();
        f.Emit(0, Instruction::Load, StorageKind::Input, position,
               {f.Const(static_cast<int32_t>(IR::IoVariable::Position)), f.Const(1)});
        f.Return(0);
        return f.Finish();
    };
    (void)this;
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
    FunctionBuilder f(Arena, 4);
    IR::Operand* c = Cond(f, 0, 100);
    f.JumpIf(0, 2, c);
    f.Jump(1, 3);
    f.FallTo(2, 3);
    IR::Operand* x = f.Local();
    IR::PhiNode* phi = Arena.NewPhi(x);
    phi->AddSource(f.Blocks[1], f.Const(10));
    phi->AddSource(f.Blocks[2], f.Const(20));
    f.Blocks[3]->Operations.AddFirst(phi);
    f.Emit(3, Instruction::Store, StorageKind::LocalMemory, nullptr, {f.Const(0), f.Const(5), x});
    f.Return(3);

    // 1 -> 3 leaves the If by a goto, which becomes the If's Else.
    EXPECT_EQ(Structure(f.Finish()),
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
