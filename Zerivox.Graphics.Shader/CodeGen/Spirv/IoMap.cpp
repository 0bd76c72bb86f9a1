#include "Zerivox.Graphics.Shader/CodeGen/Spirv/IoMap.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::StorageKind;
using Translation::AggregateType;

std::pair<spv::BuiltIn, AggregateType> IoMap::GetSpirvBuiltIn(IoVariable ioVariable) {
    using B = spv::BuiltIn;
    using T = AggregateType;
    switch (ioVariable) {
    case IoVariable::BaseInstance:
        return {B::BaseInstance, T::S32};
    case IoVariable::BaseVertex:
        return {B::BaseVertex, T::S32};
    case IoVariable::ClipDistance:
        return {B::ClipDistance, T::FP32 | T::Array};
    case IoVariable::CtaId:
        return {B::WorkgroupId, T::U32 | T::Vector3};
    case IoVariable::DrawIndex:
        return {B::DrawIndex, T::S32};
    case IoVariable::FragmentCoord:
        return {B::FragCoord, T::FP32 | T::Vector4};
    case IoVariable::FragmentOutputDepth:
        return {B::FragDepth, T::FP32};
    case IoVariable::FrontFacing:
        return {B::FrontFacing, T::Bool};
    case IoVariable::GlobalId:
        return {B::GlobalInvocationId, T::U32 | T::Vector3};
    case IoVariable::InstanceId:
        return {B::InstanceId, T::S32};
    case IoVariable::InstanceIndex:
        return {B::InstanceIndex, T::S32};
    case IoVariable::InvocationId:
        return {B::InvocationId, T::S32};
    case IoVariable::Layer:
        return {B::Layer, T::S32};
    case IoVariable::PatchVertices:
        return {B::PatchVertices, T::S32};
    case IoVariable::PointCoord:
        return {B::PointCoord, T::FP32 | T::Vector2};
    case IoVariable::PointSize:
        return {B::PointSize, T::FP32};
    case IoVariable::Position:
        return {B::Position, T::FP32 | T::Vector4};
    case IoVariable::PrimitiveId:
        return {B::PrimitiveId, T::S32};
    case IoVariable::SubgroupEqMask:
        return {B::SubgroupEqMask, T::U32 | T::Vector4};
    case IoVariable::SubgroupGeMask:
        return {B::SubgroupGeMask, T::U32 | T::Vector4};
    case IoVariable::SubgroupGtMask:
        return {B::SubgroupGtMask, T::U32 | T::Vector4};
    case IoVariable::SubgroupLaneId:
        return {B::SubgroupLocalInvocationId, T::U32};
    case IoVariable::SubgroupLeMask:
        return {B::SubgroupLeMask, T::U32 | T::Vector4};
    case IoVariable::SubgroupLtMask:
        return {B::SubgroupLtMask, T::U32 | T::Vector4};
    case IoVariable::TessellationCoord:
        return {B::TessCoord, T::FP32 | T::Vector3};
    case IoVariable::TessellationLevelInner:
        return {B::TessLevelInner, T::FP32 | T::Array};
    case IoVariable::TessellationLevelOuter:
        return {B::TessLevelOuter, T::FP32 | T::Array};
    case IoVariable::ThreadId:
        return {B::LocalInvocationId, T::U32 | T::Vector3};
    case IoVariable::ThreadKill:
        return {B::HelperInvocation, T::Bool};
    case IoVariable::VertexId:
        return {B::VertexId, T::S32};
    case IoVariable::VertexIndex:
        return {B::VertexIndex, T::S32};
    case IoVariable::ViewportIndex:
        return {B::ViewportIndex, T::S32};
    case IoVariable::ViewportMask:
        return {B::ViewportMaskNV, T::S32 | T::Array};
    default:
        return {static_cast<B>(0), T::Invalid};
    }
}

int32_t IoMap::GetSpirvBuiltInArrayLength(IoVariable ioVariable) {
    switch (ioVariable) {
    case IoVariable::ClipDistance:
        return 8;
    case IoVariable::TessellationLevelInner:
        return 2;
    case IoVariable::TessellationLevelOuter:
        return 4;
    case IoVariable::UserDefined:
        return 16;
    default:
        return 1;
    }
}

bool IoMap::IsPerVertex(IoVariable ioVariable, ShaderStage stage, bool isOutput) {
    switch (ioVariable) {
    case IoVariable::ClipDistance:
    case IoVariable::Layer:
    case IoVariable::PointCoord:
    case IoVariable::PointSize:
    case IoVariable::Position:
    case IoVariable::UserDefined:
    case IoVariable::ViewportIndex:
    case IoVariable::ViewportMask:
        break;
    default:
        return false;
    }
    return !isOutput && (stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation ||
                         stage == ShaderStage::Geometry);
}

bool IoMap::IsPerVertexArrayBuiltIn(StorageKind storageKind, ShaderStage stage) {
    if (storageKind == StorageKind::Output)
        return stage == ShaderStage::TessellationControl;
    return stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation ||
           stage == ShaderStage::Geometry;
}

int32_t IoMap::GetPerVertexStructFieldIndex(IoVariable ioVariable) {
    switch (ioVariable) {
    case IoVariable::Position:
        return 0;
    case IoVariable::PointSize:
        return 1;
    case IoVariable::ClipDistance:
        return 2;
    default:
        break;
    }
    std::string name(IntermediateRepresentation::IoVariableName(ioVariable));
    if (name.empty())
        name = std::to_string(static_cast<int32_t>(ioVariable));
    throw Common::ArgumentException("Invalid built-in variable " + name + ".");
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
