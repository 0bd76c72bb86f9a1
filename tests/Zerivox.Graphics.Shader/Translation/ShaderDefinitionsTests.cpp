#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "FakeGpuAccessor.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::IntermediateRepresentation::IoVariable;

namespace {

ShaderDefinitions Graphics(ShaderStage stage, OutputTopology topology = OutputTopology::PointList,
                           int32_t maxOutputVertices = 0, GpuGraphicsState state = {},
                           std::optional<TransformFeedbackOutputArray> outputs = std::nullopt) {
    return ShaderDefinitions(stage, state, false, 0, topology, maxOutputVertices, {}, 0, false, false, true, 0,
                             std::move(outputs));
}

// Header words 0 and 4; word 2 gives one thread per input primitive.
ShaderHeader HeaderWithWord0(uint32_t word0, uint32_t word4 = 0) {
    std::vector<uint64_t> code(10, 0);
    code[0] = word0;
    code[1] = 1u << 24;
    code[2] = word4;
    return ShaderHeader(code);
}

} // namespace

TEST(ShaderDefinitionsTests, PassthroughOnlyForGeometryAndFollowsInputTopology) {
    Testing::FakeGpuAccessor accessor;
    accessor.GraphicsState.Topology = InputTopology::TrianglesAdjacency;

    auto vertex = Translator::CreateGraphicsDefinitions(accessor, HeaderWithWord0((1u << 10) | (1u << 24), 7));
    EXPECT_FALSE(vertex->GeometryPassthrough);
    EXPECT_EQ(vertex->MaxOutputVertices, 7);
    EXPECT_TRUE(vertex->IsLastVertexStage);

    auto geometry = Translator::CreateGraphicsDefinitions(accessor, HeaderWithWord0((4u << 10) | (1u << 24), 7));
    EXPECT_TRUE(geometry->GeometryPassthrough);
    EXPECT_EQ(geometry->MaxOutputVertices, 3);

    auto fragment = Translator::CreateGraphicsDefinitions(accessor, HeaderWithWord0(5u << 10));
    EXPECT_FALSE(fragment->IsLastVertexStage);
    EXPECT_TRUE(fragment->ScaledVertexFormatsSupported);
}

TEST(ShaderDefinitionsTests, ComputeForm) {
    Testing::FakeGpuAccessor accessor;
    accessor.WorkgroupSize[0] = 64;
    accessor.WorkgroupSize[1] = 2;
    accessor.WorkgroupSize[2] = 3;
    auto definitions = Translator::CreateComputeDefinitions(accessor);
    EXPECT_EQ(definitions->Stage, ShaderStage::Compute);
    EXPECT_EQ(definitions->WorkgroupSizeX, 64);
    EXPECT_EQ(definitions->WorkgroupSizeY, 2);
    EXPECT_EQ(definitions->WorkgroupSizeZ, 3);
    EXPECT_FALSE(definitions->ImapTypes.has_value());
    EXPECT_FALSE(definitions->IsLastVertexStage);
    EXPECT_FALSE(definitions->HasTransformFeedbackOutputs());
}

TEST(ShaderDefinitionsTests, GeometryIndexBufferStride) {
    EXPECT_EQ(
        Graphics(ShaderStage::Geometry, OutputTopology::LineStrip, 10).GetGeometryOutputIndexBufferStridePerInstance(),
        15);
    EXPECT_EQ(Graphics(ShaderStage::Geometry, OutputTopology::TriangleStrip, 10)
                  .GetGeometryOutputIndexBufferStridePerInstance(),
              13);
    EXPECT_EQ(
        Graphics(ShaderStage::Geometry, OutputTopology::PointList, 10).GetGeometryOutputIndexBufferStridePerInstance(),
        20);
}

TEST(ShaderDefinitionsTests, AttributeTypes) {
    GpuGraphicsState state;
    state.AttributeTypes[0] = AttributeType::Sint;
    state.AttributeTypes[1] = AttributeType::Uscaled;
    state.AttributeTypes[2] = AttributeType::Sint | AttributeType::Packed;
    state.AttributeTypes[3] = AttributeType::Float | AttributeType::PackedRgb10A2Signed;
    state.AttributeTypes[4] = static_cast<AttributeType>(9);
    state.FragmentOutputTypes[7] = AttributeType::Uint;

    ShaderDefinitions vertex = Graphics(ShaderStage::Vertex, OutputTopology::PointList, 0, state);
    EXPECT_EQ(vertex.GetUserDefinedType(0, false), AggregateType::Vector4 | AggregateType::S32);
    EXPECT_EQ(vertex.GetUserDefinedType(1, false), AggregateType::Vector4 | AggregateType::FP32);
    EXPECT_EQ(vertex.GetUserDefinedType(0, true), AggregateType::Vector4 | AggregateType::FP32);
    EXPECT_THROW(vertex.GetUserDefinedType(4, false), Zerivox::Common::ArgumentException);
    EXPECT_THROW(vertex.GetUserDefinedType(32, false), Zerivox::Common::IndexOutOfRangeException);
    vertex.IndexedInputAttributes = true;
    EXPECT_EQ(static_cast<uint32_t>(vertex.GetUserDefinedType(4, false)), 0x703u);

    EXPECT_TRUE(vertex.IsAttributeSint(0));
    EXPECT_TRUE(vertex.IsAttributeSint(2));
    EXPECT_TRUE(vertex.IsAttributePacked(2));
    EXPECT_FALSE(vertex.IsAttributePacked(3));
    EXPECT_TRUE(vertex.IsAttributePackedRgb10A2Signed(3));
    EXPECT_THROW(vertex.IsAttributeSint(-1), Zerivox::Common::IndexOutOfRangeException);

    ShaderDefinitions fragment = Graphics(ShaderStage::Fragment, OutputTopology::PointList, 0, state);
    EXPECT_EQ(fragment.GetUserDefinedType(0, false), AggregateType::Vector4 | AggregateType::FP32);
    EXPECT_EQ(fragment.GetFragmentOutputColorType(7), AggregateType::Vector4 | AggregateType::U32);
    EXPECT_EQ(fragment.GetFragmentOutputColorType(0), AggregateType::Vector4 | AggregateType::FP32);
    EXPECT_THROW(fragment.GetFragmentOutputColorType(8), Zerivox::Common::IndexOutOfRangeException);

    EXPECT_TRUE(fragment.HasPerLocationInputOrOutput(IoVariable::FragmentOutputColor, true));
    EXPECT_TRUE(fragment.HasPerLocationInputOrOutput(IoVariable::UserDefined, false));
    EXPECT_FALSE(fragment.HasPerLocationInputOrOutput(IoVariable::Position, true));
}

TEST(ShaderDefinitionsTests, TransformFeedbackLayoutFromTheHost) {
    Testing::FakeGpuAccessor accessor;
    uint64_t vecMap = 1;
    EXPECT_FALSE(Translator::GetTransformFeedbackOutputs(accessor, vecMap).has_value());
    EXPECT_EQ(vecMap, 0u);

    accessor.TransformFeedbackEnabled = true;
    accessor.TransformFeedbackLocations[0] = {32, 33, 34, 200, 255};
    accessor.TransformFeedbackStrides = {16, 32, 0, 0};
    accessor.TransformFeedbackLocations[1] = {191, 33};
    auto outputs = Translator::GetTransformFeedbackOutputs(accessor, vecMap);
    ASSERT_TRUE(outputs.has_value());
    EXPECT_EQ((*outputs)[32], TransformFeedbackOutput(0, 0, 16));
    EXPECT_EQ((*outputs)[34], TransformFeedbackOutput(0, 8, 16));
    // A word named twice keeps the later buffer's position.
    EXPECT_EQ((*outputs)[33], TransformFeedbackOutput(1, 4, 32));
    EXPECT_EQ((*outputs)[191], TransformFeedbackOutput(1, 0, 32));
    EXPECT_FALSE((*outputs)[35].Valid);
    EXPECT_EQ(vecMap, (1ull << 8) | (1ull << 47));

    // An enabled layout that captures nothing is still a layout.
    accessor.TransformFeedbackLocations = {};
    outputs = Translator::GetTransformFeedbackOutputs(accessor, vecMap);
    ASSERT_TRUE(outputs.has_value());
    EXPECT_EQ(vecMap, 0u);
}

TEST(ShaderDefinitionsTests, CapturedRunLength) {
    TransformFeedbackOutputArray outputs{};
    outputs[32] = TransformFeedbackOutput(0, 0, 16);
    outputs[33] = TransformFeedbackOutput(0, 4, 16);
    outputs[34] = TransformFeedbackOutput(1, 8, 16); // buffers are not compared
    outputs[36] = TransformFeedbackOutput(0, 0, 16);
    outputs[37] = TransformFeedbackOutput(0, 8, 16); // not adjacent
    ShaderDefinitions definitions = Graphics(ShaderStage::Vertex, OutputTopology::PointList, 0, {}, outputs);

    struct Case {
        int32_t location, component, expected;
    };
    for (Case c : {Case{0, 0, 3}, Case{0, 2, 3}, Case{0, 3, 1}, Case{1, 0, 1}, Case{1, 1, 1}, Case{2, 0, 1}}) {
        EXPECT_EQ(definitions.GetTransformFeedbackOutputComponents(c.location, c.component), c.expected)
            << c.location << "." << c.component;
    }
    EXPECT_THROW(definitions.GetTransformFeedbackOutputComponents(40, 0), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(definitions.GetTransformFeedbackOutputComponents(-9, 0), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_TRUE(definitions.HasTransformFeedbackOutputs(true));
    EXPECT_FALSE(definitions.HasTransformFeedbackOutputs(false));
}

TEST(ShaderDefinitionsTests, TransformFeedbackVariables) {
    TransformFeedbackOutputArray outputs{};
    outputs[28] = TransformFeedbackOutput(1, 0, 16); // Position.x
    outputs[32] = TransformFeedbackOutput(0, 0, 16); // user 0, x..z as one run
    outputs[33] = TransformFeedbackOutput(0, 4, 16);
    outputs[34] = TransformFeedbackOutput(0, 8, 16);
    outputs[41] = TransformFeedbackOutput(2, 12, 32); // user 2, y on its own
    uint64_t vecMap = (1ull << 7) | (1ull << 8) | (1ull << 10);
    ShaderDefinitions definitions(ShaderStage::Vertex, {}, false, 0, OutputTopology::PointList, 0, {}, 0, false, false,
                                  true, vecMap, outputs);

    const auto& variables = definitions.TransformFeedbackVariables;
    ASSERT_EQ(variables.Count(), 3u);
    EXPECT_EQ(variables.ItemAt(0).first.ToString(), "Position.0.0");
    EXPECT_EQ(variables.ItemAt(0).second, outputs[28]);
    EXPECT_EQ(variables.ItemAt(1).first.ToString(), "UserDefined.0.0");
    EXPECT_EQ(variables.ItemAt(1).second, outputs[32]);
    EXPECT_EQ(variables.ItemAt(2).first.ToString(), "UserDefined.2.1");
    EXPECT_EQ(variables.ItemAt(2).second, outputs[41]);
}
