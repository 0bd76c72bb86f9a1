#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/GpuGraphicsState.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/OutputTopology.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderHeader.h"
#include "Zerivox.Graphics.Shader/Translation/TransformFeedbackOutput.h"

namespace Zerivox::Graphics::Shader::Translation {

using TransformFeedbackOutputArray = std::array<TransformFeedbackOutput, 192>;

// Key of a transform-feedback captured output: which variable, location and
// component.
struct TransformFeedbackVariable {
    IntermediateRepresentation::IoVariable IoVariable = IntermediateRepresentation::IoVariable::Invalid;
    int32_t Location = 0;
    int32_t Component = 0;

    constexpr TransformFeedbackVariable() = default;
    constexpr TransformFeedbackVariable(IntermediateRepresentation::IoVariable ioVariable, int32_t location,
                                        int32_t component)
        : IoVariable(ioVariable), Location(location), Component(component) {}

    constexpr bool operator==(const TransformFeedbackVariable&) const = default;
    // "UserDefined.2.0"
    std::string ToString() const;
};

struct TransformFeedbackVariableHash {
    std::size_t operator()(const TransformFeedbackVariable& v) const noexcept {
        return static_cast<std::size_t>(static_cast<uint32_t>(v.IoVariable) | (static_cast<uint32_t>(v.Location) << 8) |
                                        (static_cast<uint32_t>(v.Component) << 16));
    }
};

// Static facts of one shader that every later stage consults. Built once per
// translation; afterwards only the two indexed-attribute findings of the
// decoder change.
class ShaderDefinitions {
  public:
    static constexpr int32_t TransformFeedbackOutputCount = 192;

    // Compute form.
    ShaderDefinitions(ShaderStage stage, int32_t workgroupSizeX, int32_t workgroupSizeY, int32_t workgroupSizeZ);

    // Graphics form. transformFeedbackOutputs has one entry per output
    // attribute word; transformFeedbackVecMap has bit v set
    // when any word of attribute vector v is captured.
    ShaderDefinitions(ShaderStage stage, const GpuGraphicsState& graphicsState, bool geometryPassthrough,
                      int32_t threadsPerInputPrimitive, Shader::OutputTopology outputTopology,
                      int32_t maxOutputVertexCount, const std::array<ImapPixelType, 32>& imapTypes,
                      int32_t fragmentOutputMap, bool writesSampleMask, bool writesDepth,
                      bool scaledVertexFormatsSupported, uint64_t transformFeedbackVecMap,
                      std::optional<TransformFeedbackOutputArray> transformFeedbackOutputs);

    ShaderStage Stage;
    GpuGraphicsState GraphicsState{};
    bool GeometryPassthrough = false;
    int32_t ThreadsPerInputPrimitive = 0;
    Shader::OutputTopology OutputTopology = static_cast<Shader::OutputTopology>(0);
    int32_t MaxOutputVertices = 0;
    // Present for graphics stages only.
    std::optional<std::array<ImapPixelType, 32>> ImapTypes;
    int32_t FragmentOutputMap = 0;
    bool WritesSampleMask = false;
    bool WritesDepth = false;
    bool IsLastVertexStage = false;
    bool ScaledVertexFormatsSupported = false;
    bool TransformFeedbackEnabled = false;
    std::optional<TransformFeedbackOutputArray> TransformFeedbackOutputs;
    Common::OrderedMap<TransformFeedbackVariable, TransformFeedbackOutput, TransformFeedbackVariableHash>
        TransformFeedbackVariables;
    int32_t WorkgroupSizeX = 0;
    int32_t WorkgroupSizeY = 0;
    int32_t WorkgroupSizeZ = 0;

    // Set by the decoder when attributes are addressed through a register.
    bool IndexedInputAttributes = false;
    bool IndexedOutputAttributes = false;

    InputTopology get_InputTopology() const { return GraphicsState.Topology; }

    bool HasTransformFeedbackOutputs() const;
    bool HasTransformFeedbackOutputs(bool isOutput) const;
    bool HasPerLocationInputOrOutput(IntermediateRepresentation::IoVariable ioVariable, bool isOutput) const;
    // Number (1-4) of adjacent captured words starting at component 0 of user
    // attribute `location`, when `component` lies in that run; else 1.
    int32_t GetTransformFeedbackOutputComponents(int32_t location, int32_t component) const;
    AggregateType GetFragmentOutputColorType(int32_t location) const;
    AggregateType GetUserDefinedType(int32_t location, bool isOutput) const;
    bool IsAttributeSint(int32_t location) const;
    bool IsAttributePacked(int32_t location) const;
    bool IsAttributePackedRgb10A2Signed(int32_t location) const;
    int32_t GetGeometryOutputIndexBufferStridePerInstance() const;

  private:
    void PopulateTransformFeedbackDefinitions(uint64_t transformFeedbackVecMap);
};

} // namespace Zerivox::Graphics::Shader::Translation
