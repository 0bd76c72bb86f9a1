#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/IoMap.h"

#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using IntermediateRepresentation::IoVariable;
using Translation::AggregateType;

namespace {
constexpr const char* Components = "xyzw";
}

GlslVariable IoMap::GetGlslVariable(const Translation::ShaderDefinitions& definitions,
                                    const Translation::HostCapabilities& hostCapabilities, IoVariable ioVariable,
                                    int32_t location, int32_t component, bool isOutput, bool isPerPatch) {
    using T = AggregateType;
    bool arb = hostCapabilities.HasArbShaderBallot;
    switch (ioVariable) {
    case IoVariable::BackColorDiffuse:
        return {"gl_BackColor", T::Vector4 | T::FP32};
    case IoVariable::BackColorSpecular:
        return {"gl_BackSecondaryColor", T::Vector4 | T::FP32};
    case IoVariable::BaseInstance:
        return {"gl_BaseInstanceARB", T::S32};
    case IoVariable::BaseVertex:
        return {"gl_BaseVertexARB", T::S32};
    case IoVariable::ClipDistance:
        return {"gl_ClipDistance", T::Array | T::FP32};
    case IoVariable::CtaId:
        return {"gl_WorkGroupID", T::Vector3 | T::U32};
    case IoVariable::DrawIndex:
        return {"gl_DrawIDARB", T::S32};
    case IoVariable::FogCoord:
        return {"gl_FogFragCoord", T::FP32};
    case IoVariable::FragmentCoord:
        return {"gl_FragCoord", T::Vector4 | T::FP32};
    case IoVariable::FragmentOutputColor:
        return GetFragmentOutputColorVariableName(definitions, location);
    case IoVariable::FragmentOutputDepth:
        return {"gl_FragDepth", T::FP32};
    case IoVariable::FrontColorDiffuse:
        return {"gl_FrontColor", T::Vector4 | T::FP32};
    case IoVariable::FrontColorSpecular:
        return {"gl_FrontSecondaryColor", T::Vector4 | T::FP32};
    case IoVariable::FrontFacing:
        return {"gl_FrontFacing", T::Bool};
    case IoVariable::GlobalId:
        return {"gl_GlobalInvocationID", T::Vector3 | T::U32};
    case IoVariable::InstanceId:
        return {"gl_InstanceID", T::S32};
    case IoVariable::InstanceIndex:
        return {"gl_InstanceIndex", T::S32};
    case IoVariable::InvocationId:
        return {"gl_InvocationID", T::S32};
    case IoVariable::Layer:
        return {"gl_Layer", T::S32};
    case IoVariable::PatchVertices:
        return {"gl_PatchVerticesIn", T::S32};
    case IoVariable::PointCoord:
        return {"gl_PointCoord", T::Vector2 | T::FP32};
    case IoVariable::PointSize:
        return {"gl_PointSize", T::FP32};
    case IoVariable::Position:
        return {"gl_Position", T::Vector4 | T::FP32};
    case IoVariable::PrimitiveId:
        return GetPrimitiveIdVariableName(definitions.Stage, isOutput);
    case IoVariable::SubgroupEqMask:
        return GetSubgroupMaskVariableName(arb, "Eq");
    case IoVariable::SubgroupGeMask:
        return GetSubgroupMaskVariableName(arb, "Ge");
    case IoVariable::SubgroupGtMask:
        return GetSubgroupMaskVariableName(arb, "Gt");
    case IoVariable::SubgroupLaneId:
        return GetSubgroupInvocationIdVariableName(arb);
    case IoVariable::SubgroupLeMask:
        return GetSubgroupMaskVariableName(arb, "Le");
    case IoVariable::SubgroupLtMask:
        return GetSubgroupMaskVariableName(arb, "Lt");
    case IoVariable::TessellationCoord:
        return {"gl_TessCoord", T::Vector3 | T::FP32};
    case IoVariable::TessellationLevelInner:
        return {"gl_TessLevelInner", T::Array | T::FP32};
    case IoVariable::TessellationLevelOuter:
        return {"gl_TessLevelOuter", T::Array | T::FP32};
    case IoVariable::TextureCoord:
        return {"gl_TexCoord", T::Array | T::Vector4 | T::FP32};
    case IoVariable::ThreadId:
        return {"gl_LocalInvocationID", T::Vector3 | T::U32};
    case IoVariable::ThreadKill:
        return {"gl_HelperInvocation", T::Bool};
    case IoVariable::UserDefined:
        return GetUserDefinedVariableName(definitions, location, component, isOutput, isPerPatch);
    case IoVariable::VertexId:
        return {"gl_VertexID", T::S32};
    case IoVariable::VertexIndex:
        return {"gl_VertexIndex", T::S32};
    case IoVariable::ViewportIndex:
        return {"gl_ViewportIndex", T::S32};
    case IoVariable::ViewportMask:
        return {"gl_ViewportMask", T::Array | T::S32};
    default:
        return {"", T::Invalid};
    }
}

bool IoMap::SplitsCapturedComponents(const Translation::ShaderDefinitions& definitions, bool isOutput,
                                     bool isPerPatch) {
    if (isPerPatch || (isOutput && definitions.Stage == ShaderStage::TessellationControl))
        return false;
    return definitions.HasTransformFeedbackOutputs(isOutput);
}

bool IoMap::IsPerVertexBuiltIn(ShaderStage stage, IoVariable ioVariable, bool isOutput) {
    switch (ioVariable) {
    case IoVariable::ClipDistance:
    case IoVariable::Layer:
    case IoVariable::PointCoord:
    case IoVariable::PointSize:
    case IoVariable::Position:
    case IoVariable::ViewportIndex:
    case IoVariable::ViewportMask:
        break;
    default:
        return false;
    }
    if (isOutput)
        return stage == ShaderStage::TessellationControl;
    return stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation ||
           stage == ShaderStage::Geometry;
}

GlslVariable IoMap::GetFragmentOutputColorVariableName(const Translation::ShaderDefinitions& definitions,
                                                       int32_t location) {
    if (location < 0)
        return {"out_attr", definitions.GetFragmentOutputColorType(0)};
    return {"out_attr" + std::to_string(location), definitions.GetFragmentOutputColorType(location)};
}

GlslVariable IoMap::GetPrimitiveIdVariableName(ShaderStage stage, bool isOutput) {
    if (stage == ShaderStage::Geometry && !isOutput)
        return {"gl_PrimitiveIDIn", AggregateType::S32};
    return {"gl_PrimitiveID", AggregateType::S32};
}

GlslVariable IoMap::GetSubgroupMaskVariableName(bool hasArbShaderBallot, const char* cc) {
    if (hasArbShaderBallot) {
        return {std::string("unpackUint2x32(gl_SubGroup") + cc + "MaskARB)",
                AggregateType::Vector2 | AggregateType::U32};
    }
    return {std::string("gl_Subgroup") + cc + "Mask", AggregateType::Vector4 | AggregateType::U32};
}

GlslVariable IoMap::GetSubgroupInvocationIdVariableName(bool hasArbShaderBallot) {
    return {hasArbShaderBallot ? "gl_SubGroupInvocationARB" : "gl_SubgroupInvocationID", AggregateType::U32};
}

GlslVariable IoMap::GetUserDefinedVariableName(const Translation::ShaderDefinitions& definitions, int32_t location,
                                               int32_t component, bool isOutput, bool isPerPatch) {
    std::string name = isPerPatch ? "patch_attr_" : isOutput ? "out_attr" : "in_attr";
    if (location < 0)
        return {name, definitions.GetUserDefinedType(0, isOutput)};
    name += std::to_string(location);
    if (SplitsCapturedComponents(definitions, isOutput, isPerPatch) &&
        definitions.GetTransformFeedbackOutputComponents(location, component) == 1) {
        name += '_';
        name += Components[component & 3];
    }
    return {name, definitions.GetUserDefinedType(location, isOutput)};
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
