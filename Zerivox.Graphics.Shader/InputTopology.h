#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class InputTopology : uint8_t {
    Points = 0,
    Lines = 1,
    LinesAdjacency = 2,
    Triangles = 3,
    TrianglesAdjacency = 4,
};

// Unknown values fall back to points; these helpers never fail.
struct InputTopologyExtensions {
    static const char* get_GlslString(InputTopology topology) noexcept;
    static int32_t get_InputVertexCount(InputTopology topology) noexcept;
    static int32_t get_InputVertexCountNoAdjacency(InputTopology topology) noexcept;
};

} // namespace Zerivox::Graphics::Shader
