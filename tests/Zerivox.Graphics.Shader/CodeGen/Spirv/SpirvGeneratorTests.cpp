#include "SpirvTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

TEST(SpirvGeneratorTests, VertexShaderWritesPositionThroughPerVertexBlock) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Vertex);
    p.Io(StorageKind::Output, IoVariable::Position);
    p.Io(StorageKind::Output, IoVariable::UserDefined, 1);
    p.StoreOutput(p.Main, IoVariable::Position, {p.Const(2)}, p.ConstF(1.0f));
    p.StoreOutput(p.Main, IoVariable::UserDefined, {p.Const(1), p.Const(0)}, p.ConstF(0.5f));
    p.Add(p.Main, p.Op(Instruction::Return, {}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    std::vector<std::string> capabilities = Lines(text, "OpCapability");
    std::vector<std::string> expected{"OpCapability Shader",
                                      "OpCapability GroupNonUniformBallot",
                                      "OpCapability GroupNonUniformShuffle",
                                      "OpCapability GroupNonUniformVote",
                                      "OpCapability ImageBuffer",
                                      "OpCapability ImageGatherExtended",
                                      "OpCapability ImageQuery",
                                      "OpCapability SampledBuffer",
                                      "OpCapability Float64",
                                      "OpCapability DrawParameters"};
    EXPECT_EQ(capabilities, expected);
    EXPECT_TRUE(Lines(text, "OpExtension").empty());
    EXPECT_TRUE(Contains(text, "OpMemberDecorate %gl_PerVertex 0 BuiltIn Position"));
    EXPECT_TRUE(Contains(text, "Location 1"));
    EXPECT_FALSE(Contains(text, "gl_in"));
}

// Every stage: the module validates and carries the stage's execution modes
// and per-vertex array shapes.
TEST(SpirvGeneratorTests, EveryStageValidatesWithItsExecutionModes) {
    ZV_REQUIRE_SPIRV_TOOLS();
    struct Case {
        ShaderStage Stage;
        std::vector<std::string> Expected;
    };
    const std::vector<Case> cases{
        {ShaderStage::Compute, {"LocalSize 8 1 1", "OpEntryPoint GLCompute"}},
        {ShaderStage::TessellationControl,
         {"OutputVertices 4", "OpTypeArray %gl_PerVertex_0 %uint_4", "OpTypeArray %gl_PerVertex %uint_32",
          "OpTypeArray %v4float %uint_4", "OpCapability Tessellation"}},
        {ShaderStage::TessellationEvaluation, {"Triangles", "SpacingFractionalOdd", "VertexOrderCw"}},
        {ShaderStage::Geometry,
         {"InputTrianglesAdjacency", "Invocations 4", "OutputTriangleStrip", "OutputVertices 3",
          "OpTypeArray %gl_PerVertex %uint_6", "OpTypeArray %v4float %uint_6", "OpCapability Geometry"}},
        {ShaderStage::Fragment, {"OriginUpperLeft", "DepthReplacing", "EarlyFragmentTests"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ShaderStageName(c.Stage));
        GpuGraphicsState state;
        state.Topology = InputTopology::TrianglesAdjacency;
        state.TessellationPatchType = TessPatchType::Triangles;
        state.TessellationSpacing = TessSpacing::FractionalOdd;
        state.EarlyFragmentTests = true;
        SpirvProgram p(c.Stage, state, 4);
        AstOperand* value = p.Local(AggregateType::FP32);
        switch (c.Stage) {
        case ShaderStage::Compute:
            p.Io(StorageKind::Input, IoVariable::ThreadId);
            p.Assign(p.Main, value,
                     p.Op(Instruction::ConvertU32ToFP32, {p.Op(Instruction::Load, StorageKind::Input,
                                                               {p.Const(int32_t(IoVariable::ThreadId)), p.Const(0)})}));
            p.Add(p.Main, p.Op(Instruction::Barrier, {}));
            break;
        case ShaderStage::TessellationControl:
        case ShaderStage::TessellationEvaluation:
        case ShaderStage::Geometry:
            p.Io(StorageKind::Input, IoVariable::Position);
            p.Io(StorageKind::Input, IoVariable::UserDefined, 0);
            p.Io(StorageKind::Output, IoVariable::Position);
            p.Io(StorageKind::Output, IoVariable::UserDefined, 0);
            p.Assign(p.Main, value,
                     p.Op(Instruction::Load, StorageKind::Input,
                          {p.Const(int32_t(IoVariable::Position)), p.Const(1), p.Const(0)}));
            p.Assign(p.Main, value,
                     p.Op(Instruction::Add | Instruction::FP32, {value, p.Op(Instruction::Load, StorageKind::Input,
                                                                             {p.Const(int32_t(IoVariable::UserDefined)),
                                                                              p.Const(0), p.Const(2), p.Const(3)})}));
            if (c.Stage == ShaderStage::TessellationControl) {
                p.Io(StorageKind::Input, IoVariable::InvocationId);
                p.Io(StorageKind::OutputPerPatch, IoVariable::TessellationLevelOuter);
                AstOperation* invocation =
                    p.Op(Instruction::Load, StorageKind::Input, {p.Const(int32_t(IoVariable::InvocationId))});
                p.StoreOutput(p.Main, IoVariable::Position, {invocation, p.Const(0)}, value);
                p.Add(p.Main, p.Op(Instruction::Store, StorageKind::OutputPerPatch,
                                   {p.Const(int32_t(IoVariable::TessellationLevelOuter)), p.Const(1), value}));
            } else {
                p.StoreOutput(p.Main, IoVariable::Position, {p.Const(0)}, value);
                p.StoreOutput(p.Main, IoVariable::UserDefined, {p.Const(0), p.Const(1)}, value);
            }
            if (c.Stage == ShaderStage::Geometry) {
                p.Add(p.Main, p.Op(Instruction::EmitVertex, {}));
                p.Add(p.Main, p.Op(Instruction::EndPrimitive, {}));
            }
            break;
        case ShaderStage::Fragment:
            p.Io(StorageKind::Input, IoVariable::UserDefined, 3);
            p.Io(StorageKind::Output, IoVariable::FragmentOutputDepth);
            p.Assign(p.Main, value,
                     p.Op(Instruction::Load, StorageKind::Input,
                          {p.Const(int32_t(IoVariable::UserDefined)), p.Const(3), p.Const(1)}));
            p.Add(p.Main, p.Op(Instruction::Store, StorageKind::Output,
                               {p.Const(int32_t(IoVariable::FragmentOutputDepth)), value}));
            break;
        default:
            break;
        }
        std::vector<uint8_t> bytes = p.Generate();
        EXPECT_EQ(Validate(bytes), "");
        std::string text = Disassemble(bytes);
        for (const std::string& piece : c.Expected)
            EXPECT_TRUE(Contains(text, piece)) << piece << "\n" << text;
    }
}

} // namespace

namespace {

// Builder pools come back to the store after a module is written and are
// dropped when a translation fails; the store keeps at most one of each.
TEST(SpirvGeneratorTests, PoolsReturnAfterSuccessAndAreDroppedOnFailure) {
    auto generateValid = [] {
        SpirvProgram p(ShaderStage::Compute);
        p.Add(p.Main, p.Op(Instruction::Return, {}));
        return p.Generate();
    };
    std::vector<uint8_t> first = generateValid();
    EXPECT_EQ(Validate(first), "");
    EXPECT_EQ(CodeGen::Spirv::SpirvGenerator::SpareInstructionPools(), 1u);
    EXPECT_EQ(CodeGen::Spirv::SpirvGenerator::SpareLiteralPools(), 1u);
    // Reused pools hand out objects still holding the previous module's
    // contents: the module must come out the same.
    EXPECT_EQ(generateValid(), first);

    SpirvProgram failing(ShaderStage::Compute);
    failing.Add(failing.Main, failing.Op(Instruction::Copy, {}));
    EXPECT_THROW(failing.Generate(), Zerivox::Common::NotImplementedException);
    EXPECT_EQ(CodeGen::Spirv::SpirvGenerator::SpareInstructionPools(), 0u);
    EXPECT_EQ(CodeGen::Spirv::SpirvGenerator::SpareLiteralPools(), 0u);

    EXPECT_EQ(generateValid(), first);
    EXPECT_EQ(CodeGen::Spirv::SpirvGenerator::SpareInstructionPools(), 1u);
}

TEST(SpirvGeneratorTests, InvalidStageFactsFailWithTheirMessages) {
    SpirvProgram geometry(ShaderStage::Geometry, {}, 1, static_cast<OutputTopology>(2));
    try {
        geometry.Generate();
        FAIL() << "expected an error";
    } catch (const Zerivox::Common::InvalidOperationException& e) {
        EXPECT_STREQ(e.what(), "Invalid output topology \"2\".");
    }

    SpirvProgram patch(ShaderStage::TessellationControl, {}, 0);
    try {
        patch.Generate();
        FAIL() << "expected an error";
    } catch (const Zerivox::Common::InvalidOperationException& e) {
        EXPECT_STREQ(e.what(), "The program header gives the tessellation control shader 0 output vertices.");
    }

    SpirvProgram unknown(ShaderStage::Compute);
    unknown.Io(StorageKind::Input, IoVariable::FogCoord);
    try {
        unknown.Generate();
        FAIL() << "expected an error";
    } catch (const Zerivox::Common::InvalidOperationException& e) {
        EXPECT_STREQ(e.what(), "Unknown variable FogCoord.");
    }
}

} // namespace
