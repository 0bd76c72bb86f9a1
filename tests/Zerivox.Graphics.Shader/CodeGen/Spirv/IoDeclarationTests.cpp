#include "SpirvTestSupport.h"
#include "Zerivox.Common/Exceptions.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

// Fragment inputs and outputs: dual-source colour outputs share the first
// location with indexes 0 and 1; integer built-ins are flat; reading the
// layer or primitive id needs Geometry, reading the viewport index
// MultiViewport.
TEST(SpirvIoDeclarationTests, FragmentOutputsAndBuiltInInputs) {
    ZV_REQUIRE_SPIRV_TOOLS();
    GpuGraphicsState state;
    state.DualSourceBlend = true;
    SpirvProgram p(ShaderStage::Fragment, state);
    AstOperand* f = p.Local(AggregateType::FP32);
    AstOperand* i = p.Local(AggregateType::S32);
    for (IoVariable variable : {IoVariable::PrimitiveId, IoVariable::Layer, IoVariable::ViewportIndex}) {
        p.Io(StorageKind::Input, variable);
        p.Assign(p.Main, i, p.Op(Instruction::Load, StorageKind::Input, {p.Const(int32_t(variable))}));
    }
    p.Io(StorageKind::Input, IoVariable::FragmentCoord);
    p.Assign(p.Main, f,
             p.Op(Instruction::Load, StorageKind::Input, {p.Const(int32_t(IoVariable::FragmentCoord)), p.Const(1)}));
    for (int32_t location : {0, 1, 2}) {
        p.Io(StorageKind::Output, IoVariable::FragmentOutputColor, location);
        p.Add(p.Main, p.Op(Instruction::Store, StorageKind::Output,
                           {p.Const(int32_t(IoVariable::FragmentOutputColor)), p.Const(location), p.Const(0), f}));
    }
    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    std::vector<std::string> decorations = Lines(text, "OpDecorate");
    std::vector<std::string> expected{"BuiltIn PrimitiveId",
                                      "Flat",
                                      "BuiltIn Layer",
                                      "Flat",
                                      "BuiltIn ViewportIndex",
                                      "Flat",
                                      "BuiltIn FragCoord",
                                      "Location 0",
                                      "Index 0",
                                      "Location 0",
                                      "Index 1",
                                      "Location 2"};
    ASSERT_EQ(decorations.size(), expected.size()) << text;
    for (std::size_t k = 0; k < expected.size(); k++)
        EXPECT_TRUE(Contains(decorations[k], expected[k])) << decorations[k];
    EXPECT_EQ(Lines(text, "OpCapability Geometry").size(), 1u);
    EXPECT_EQ(Lines(text, "OpCapability MultiViewport").size(), 1u);
}

// Transform feedback shapes user outputs: a lone captured component is a
// scalar with a Component decoration, a run of three a three-component
// vector; captured variables carry their buffer, stride and offset.
TEST(SpirvIoDeclarationTests, TransformFeedbackShapesUserOutputs) {
    ZV_REQUIRE_SPIRV_TOOLS();
    Translation::TransformFeedbackOutputArray xfb{};
    xfb[32 + 4 * 1 + 1] = Translation::TransformFeedbackOutput(0, 4, 16);
    for (int32_t c = 0; c < 3; c++)
        xfb[32 + 4 * 2 + c] = Translation::TransformFeedbackOutput(1, 4 * c, 12);
    SpirvProgram p(ShaderStage::Vertex, {}, 1, OutputTopology::TriangleStrip, 3, xfb);
    p.Definitions->TransformFeedbackVariables.Set(Translation::TransformFeedbackVariable(IoVariable::UserDefined, 1, 1),
                                                  Translation::TransformFeedbackOutput(0, 4, 16));
    p.Io(StorageKind::Output, IoVariable::UserDefined, 1, 1);
    p.Io(StorageKind::Output, IoVariable::UserDefined, 2, 0);
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::Output,
                       {p.Const(int32_t(IoVariable::UserDefined)), p.Const(1), p.Const(1), p.ConstF(1.0f)}));
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::Output,
                       {p.Const(int32_t(IoVariable::UserDefined)), p.Const(2), p.Const(2), p.ConstF(2.0f)}));
    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_TRUE(Contains(text, "OpCapability TransformFeedback"));
    EXPECT_TRUE(Contains(text, "Xfb"));
    EXPECT_TRUE(Contains(text, "Component 1"));
    EXPECT_TRUE(Contains(text, "XfbBuffer 0"));
    EXPECT_TRUE(Contains(text, "XfbStride 16"));
    EXPECT_TRUE(Contains(text, "OpTypePointer Output %float"));
    EXPECT_TRUE(Contains(text, "OpTypePointer Output %v3float"));
}

// Per-patch outputs of a tessellation control shader are not arrays and are
// decorated Patch; its other outputs are arrays over the output vertices.
TEST(SpirvIoDeclarationTests, TessellationControlPerPatchAndPerVertexOutputs) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::TessellationControl, {}, 4);
    p.Io(StorageKind::OutputPerPatch, IoVariable::UserDefined, 2);
    p.Io(StorageKind::OutputPerPatch, IoVariable::TessellationLevelInner);
    p.Io(StorageKind::Output, IoVariable::UserDefined, 0);
    p.Io(StorageKind::Input, IoVariable::InvocationId);
    AstOperation* invocation =
        p.Op(Instruction::Load, StorageKind::Input, {p.Const(int32_t(IoVariable::InvocationId))});
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::OutputPerPatch,
                       {p.Const(int32_t(IoVariable::UserDefined)), p.Const(2), p.Const(1), p.ConstF(1.0f)}));
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::OutputPerPatch,
                       {p.Const(int32_t(IoVariable::TessellationLevelInner)), p.Const(0), p.ConstF(1.0f)}));
    p.Add(p.Main,
          p.Op(Instruction::Store, StorageKind::Output,
               {p.Const(int32_t(IoVariable::UserDefined)), p.Const(0), invocation, p.Const(3), p.ConstF(1.0f)}));
    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_EQ(Lines(text, "OpDecorate").size(), 8u) << text;
    EXPECT_TRUE(Contains(text, "Patch"));
    EXPECT_TRUE(Contains(text, "Location 2"));
    EXPECT_TRUE(Contains(text, "OpTypeArray %v4float %uint_4"));
}

// Per-patch and per-vertex user attributes share the host's location space:
// where the two kinds meet at a location (directly, or inside an indexed
// per-vertex array of 16 locations), the translation fails with a typed
// error rather than writing a module with two variables at one location.
TEST(SpirvIoDeclarationTests, PerPatchAndPerVertexAttributesMeetingAtALocationFail) {
    struct Case {
        const char* What;
        ShaderStage Stage;
        StorageKind PerVertex, PerPatch;
        int32_t VertexLocation, PatchLocation;
        bool Indexed;
        const char* Error; // null: a valid module
    };
    const Case cases[] = {
        {"control outputs apart", ShaderStage::TessellationControl, StorageKind::Output, StorageKind::OutputPerPatch, 0,
         2, false, nullptr},
        {"control outputs at one location", ShaderStage::TessellationControl, StorageKind::Output,
         StorageKind::OutputPerPatch, 2, 2, false,
         "Per-patch attribute 2 and a per-vertex output attribute both take location 2, which the host's single "
         "location space cannot hold."},
        {"evaluation inputs inside an indexed array", ShaderStage::TessellationEvaluation, StorageKind::Input,
         StorageKind::InputPerPatch, 0, 5, true,
         "Per-patch attribute 5 and a per-vertex input attribute both take location 5, which the host's single "
         "location space cannot hold."},
        {"evaluation inputs beyond an indexed array", ShaderStage::TessellationEvaluation, StorageKind::Input,
         StorageKind::InputPerPatch, 0, 16, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        SpirvProgram p(c.Stage, {}, 3);
        const bool output = c.PerVertex == StorageKind::Output;
        if (c.Indexed)
            (output ? p.Definitions->IndexedOutputAttributes : p.Definitions->IndexedInputAttributes) = true;
        p.Io(c.PerVertex, IoVariable::UserDefined, c.VertexLocation);
        p.Io(c.PerPatch, IoVariable::UserDefined, c.PatchLocation);
        if (c.Stage == ShaderStage::TessellationControl)
            p.Io(StorageKind::Input, IoVariable::InvocationId);
        p.Add(p.Main, p.Op(Instruction::Return, {}));
        if (c.Error == nullptr) {
            std::vector<uint8_t> bytes = p.Generate();
            EXPECT_EQ(Validate(bytes), "");
            continue;
        }
        try {
            p.Generate();
            ADD_FAILURE() << "expected an error";
        } catch (const Zerivox::Common::NotImplementedException& e) {
            EXPECT_STREQ(e.what(), c.Error);
        }
    }
}

} // namespace
