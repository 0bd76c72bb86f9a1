// Member names of the IR enumerations, for messages and the IR printer.
#include <array>
#include <string_view>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandType.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {
template <std::size_t N>
std::string_view Lookup(const std::array<std::string_view, N>& names, int32_t value) {
    return value >= 0 && static_cast<std::size_t>(value) < N ? names[static_cast<std::size_t>(value)]
                                                             : std::string_view{};
}
}  // namespace

std::string_view OperandTypeName(OperandType type) {
    static constexpr std::array<std::string_view, 7> Names = {
        "Argument", "Constant", "ConstantBuffer", "Label", "LocalVariable", "Register", "Undefined",
    };
    return Lookup(Names, static_cast<int32_t>(type));
}

std::string_view StorageKindName(StorageKind kind) {
    static constexpr std::array<std::string_view, 16> Names = {
        "None",           "Input",          "InputPerPatch",   "Output",
        "OutputPerPatch", "ConstantBuffer", "StorageBuffer",   "LocalMemory",
        "SharedMemory",   "SharedMemory8",  "SharedMemory16",  "GlobalMemory",
        "GlobalMemoryS8", "GlobalMemoryS16", "GlobalMemoryU8", "GlobalMemoryU16",
    };
    return Lookup(Names, static_cast<int32_t>(kind));
}

std::string_view IoVariableName(IoVariable variable) {
    static constexpr std::array<std::string_view, 42> Names = {
        "Invalid",
        "BackColorDiffuse",
        "BackColorSpecular",
        "BaseInstance",
        "BaseVertex",
        "ClipDistance",
        "CtaId",
        "DrawIndex",
        "FogCoord",
        "FragmentCoord",
        "FragmentOutputColor",
        "FragmentOutputDepth",
        "FrontColorDiffuse",
        "FrontColorSpecular",
        "FrontFacing",
        "GlobalId",
        "InstanceId",
        "InstanceIndex",
        "InvocationId",
        "Layer",
        "PatchVertices",
        "PointCoord",
        "PointSize",
        "Position",
        "PrimitiveId",
        "SubgroupEqMask",
        "SubgroupGeMask",
        "SubgroupGtMask",
        "SubgroupLaneId",
        "SubgroupLeMask",
        "SubgroupLtMask",
        "TessellationCoord",
        "TessellationLevelInner",
        "TessellationLevelOuter",
        "TextureCoord",
        "ThreadId",
        "ThreadKill",
        "UserDefined",
        "VertexId",
        "VertexIndex",
        "ViewportIndex",
        "ViewportMask",
    };
    return Lookup(Names, static_cast<int32_t>(variable));
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
