#pragma once
#include <cstdint>
#include <string_view>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// Built-in and user inputs/outputs named by Input/Output accesses.
// UserDefined is addressed by location, FragmentOutputColor by render target.
enum class IoVariable : int32_t {
    Invalid = 0,
    BackColorDiffuse = 1,
    BackColorSpecular = 2,
    BaseInstance = 3,
    BaseVertex = 4,
    ClipDistance = 5,
    CtaId = 6,
    DrawIndex = 7,
    FogCoord = 8,
    FragmentCoord = 9,
    FragmentOutputColor = 10,
    FragmentOutputDepth = 11,
    FrontColorDiffuse = 12,
    FrontColorSpecular = 13,
    FrontFacing = 14,
    GlobalId = 15,
    InstanceId = 16,
    InstanceIndex = 17,
    InvocationId = 18,
    Layer = 19,
    PatchVertices = 20,
    PointCoord = 21,
    PointSize = 22,
    Position = 23,
    PrimitiveId = 24,
    SubgroupEqMask = 25,
    SubgroupGeMask = 26,
    SubgroupGtMask = 27,
    SubgroupLaneId = 28,
    SubgroupLeMask = 29,
    SubgroupLtMask = 30,
    TessellationCoord = 31,
    TessellationLevelInner = 32,
    TessellationLevelOuter = 33,
    TextureCoord = 34,
    ThreadId = 35,
    ThreadKill = 36,
    UserDefined = 37,
    VertexId = 38,
    VertexIndex = 39,
    ViewportIndex = 40,
    ViewportMask = 41,
};

// Member name ("Position"); empty text for values outside the enumeration.
std::string_view IoVariableName(IoVariable variable);

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
