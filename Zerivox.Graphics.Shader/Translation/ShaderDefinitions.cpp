#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

#include <bit>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/AttributeType.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/Instructions/AttributeMap.h"

namespace Zerivox::Graphics::Shader::Translation {

using IntermediateRepresentation::IoVariable;

std::string TransformFeedbackVariable::ToString() const {
    return std::string(IntermediateRepresentation::IoVariableName(IoVariable)) + "." + std::to_string(Location) + "." +
           std::to_string(Component);
}

ShaderDefinitions::ShaderDefinitions(ShaderStage stage, int32_t workgroupSizeX, int32_t workgroupSizeY,
                                     int32_t workgroupSizeZ)
    : Stage(stage), WorkgroupSizeX(workgroupSizeX), WorkgroupSizeY(workgroupSizeY), WorkgroupSizeZ(workgroupSizeZ) {}

ShaderDefinitions::ShaderDefinitions(ShaderStage stage, const GpuGraphicsState& graphicsState, bool geometryPassthrough,
                                     int32_t threadsPerInputPrimitive, Shader::OutputTopology outputTopology,
                                     int32_t maxOutputVertexCount, const std::array<ImapPixelType, 32>& imapTypes,
                                     int32_t fragmentOutputMap, bool writesSampleMask, bool writesDepth,
                                     bool scaledVertexFormatsSupported, uint64_t transformFeedbackVecMap,
                                     std::optional<TransformFeedbackOutputArray> transformFeedbackOutputs)
    : Stage(stage), GraphicsState(graphicsState), GeometryPassthrough(geometryPassthrough),
      ThreadsPerInputPrimitive(threadsPerInputPrimitive), OutputTopology(outputTopology), ImapTypes(imapTypes),
      FragmentOutputMap(fragmentOutputMap), WritesSampleMask(writesSampleMask), WritesDepth(writesDepth),
      IsLastVertexStage(stage < ShaderStage::Fragment), ScaledVertexFormatsSupported(scaledVertexFormatsSupported),
      TransformFeedbackEnabled(transformFeedbackOutputs.has_value() && stage != ShaderStage::TessellationControl),
      TransformFeedbackOutputs(TransformFeedbackEnabled ? std::move(transformFeedbackOutputs) : std::nullopt) {
    // A passthrough geometry shader re-emits its input primitive unchanged.
    MaxOutputVertices = geometryPassthrough
                            ? InputTopologyExtensions::get_InputVertexCountNoAdjacency(graphicsState.Topology)
                            : maxOutputVertexCount;
    // Transform feedback captures what the last stage before rasterisation
    // writes. Tessellation evaluation always follows a control shader, so
    // a control shader's outputs are never captured, and its per-vertex
    // output arrays cannot carry capture offsets.
    PopulateTransformFeedbackDefinitions(TransformFeedbackEnabled ? transformFeedbackVecMap : 0);
}

bool ShaderDefinitions::HasTransformFeedbackOutputs() const {
    return TransformFeedbackEnabled && (IsLastVertexStage || Stage == ShaderStage::Fragment);
}

bool ShaderDefinitions::HasTransformFeedbackOutputs(bool isOutput) const {
    return TransformFeedbackEnabled && (isOutput ? IsLastVertexStage : Stage == ShaderStage::Fragment);
}

bool ShaderDefinitions::HasPerLocationInputOrOutput(IoVariable ioVariable, bool isOutput) const {
    if (ioVariable == IoVariable::UserDefined) {
        return isOutput ? !IndexedOutputAttributes : !IndexedInputAttributes;
    }
    return ioVariable == IoVariable::FragmentOutputColor;
}

int32_t ShaderDefinitions::GetTransformFeedbackOutputComponents(int32_t location, int32_t component) const {
    if (!TransformFeedbackOutputs.has_value()) {
        return 1;
    }
    const TransformFeedbackOutputArray& outputs = *TransformFeedbackOutputs;
    const int64_t baseIndex = 32 + 4 * static_cast<int64_t>(location);
    if (location < 0 || baseIndex + 3 >= TransformFeedbackOutputCount) {
        throw Common::IndexOutOfRangeException("Transform feedback location " + std::to_string(location) +
                                               " is out of range.");
    }
    const auto base = static_cast<std::size_t>(baseIndex);
    int32_t count = 1;
    while (count < 4) {
        const TransformFeedbackOutput& previous = outputs[base + static_cast<std::size_t>(count) - 1];
        const TransformFeedbackOutput& current = outputs[base + static_cast<std::size_t>(count)];
        if (!previous.Valid || !current.Valid || current.Offset != previous.Offset + 4) {
            break;
        }
        count++;
    }
    return component < count ? count : 1;
}

static AggregateType ToAggregate(AttributeType type, bool supportsScaledFormats) {
    return AttributeTypeExtensions::AsAggregate(type, supportsScaledFormats);
}

static void CheckIndex(int32_t index, int32_t count, const char* what) {
    if (index < 0 || index >= count) {
        throw Common::IndexOutOfRangeException(std::string(what) + " " + std::to_string(index) + " is out of range.");
    }
}

AggregateType ShaderDefinitions::GetFragmentOutputColorType(int32_t location) const {
    CheckIndex(location, 8, "Render target");
    AttributeType type = GraphicsState.FragmentOutputTypes[static_cast<std::size_t>(location)];
    return AttributeTypeExtensions::get_Aggregate(type) | AggregateType::Vector4;
}

AggregateType ShaderDefinitions::GetUserDefinedType(int32_t location, bool isOutput) const {
    if ((isOutput && IndexedOutputAttributes) || (!isOutput && IndexedInputAttributes)) {
        return AggregateType::Array | AggregateType::Vector4 | AggregateType::FP32;
    }
    if (Stage == ShaderStage::Vertex && !isOutput) {
        CheckIndex(location, 32, "Vertex attribute");
        AttributeType type = GraphicsState.AttributeTypes[static_cast<std::size_t>(location)];
        return ToAggregate(type, ScaledVertexFormatsSupported) | AggregateType::Vector4;
    }
    return AggregateType::Vector4 | AggregateType::FP32;
}

bool ShaderDefinitions::IsAttributeSint(int32_t location) const {
    CheckIndex(location, 32, "Vertex attribute");
    auto raw = static_cast<uint8_t>(GraphicsState.AttributeTypes[static_cast<std::size_t>(location)]);
    return (raw & 0x3F) == static_cast<uint8_t>(AttributeType::Sint);
}

bool ShaderDefinitions::IsAttributePacked(int32_t location) const {
    CheckIndex(location, 32, "Vertex attribute");
    auto raw = static_cast<uint8_t>(GraphicsState.AttributeTypes[static_cast<std::size_t>(location)]);
    return (raw & static_cast<uint8_t>(AttributeType::Packed)) != 0;
}

bool ShaderDefinitions::IsAttributePackedRgb10A2Signed(int32_t location) const {
    CheckIndex(location, 32, "Vertex attribute");
    auto raw = static_cast<uint8_t>(GraphicsState.AttributeTypes[static_cast<std::size_t>(location)]);
    return (raw & static_cast<uint8_t>(AttributeType::PackedRgb10A2Signed)) != 0;
}

int32_t ShaderDefinitions::GetGeometryOutputIndexBufferStridePerInstance() const {
    switch (OutputTopology) {
    case Shader::OutputTopology::LineStrip:
        return MaxOutputVertices + MaxOutputVertices / 2;
    case Shader::OutputTopology::TriangleStrip:
        return MaxOutputVertices + MaxOutputVertices / 3;
    default:
        return MaxOutputVertices + MaxOutputVertices;
    }
}

void ShaderDefinitions::PopulateTransformFeedbackDefinitions(uint64_t transformFeedbackVecMap) {
    if (!TransformFeedbackOutputs.has_value()) {
        return;
    }
    const TransformFeedbackOutputArray& outputs = *TransformFeedbackOutputs;
    for (int32_t vector = 0; vector < TransformFeedbackOutputCount / 4; vector++) {
        if ((transformFeedbackVecMap & (1ull << vector)) == 0) {
            continue;
        }
        for (int32_t c = 0; c < 4; c++) {
            const int32_t word = vector * 4 + c;
            const TransformFeedbackOutput& output = outputs[static_cast<std::size_t>(word)];
            if (!output.Valid) {
                continue;
            }
            int32_t location = 0;
            IoVariable variable = Instructions::AttributeMap::GetIoVariable(*this, word * 4, location);
            // A user attribute captured as a run of words is keyed once, by
            // its first word; words captured on their own are keyed per
            // component.
            int32_t component = 0;
            if (variable == IoVariable::UserDefined && HasTransformFeedbackOutputs(true) &&
                GetTransformFeedbackOutputComponents(location, c) == 1) {
                component = c;
            }
            TransformFeedbackVariables.TryAdd(TransformFeedbackVariable(variable, location, component), output);
        }
    }
}

} // namespace Zerivox::Graphics::Shader::Translation
