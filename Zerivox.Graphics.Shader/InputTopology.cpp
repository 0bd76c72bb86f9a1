#include "Zerivox.Graphics.Shader/InputTopology.h"

namespace Zerivox::Graphics::Shader {

const char* InputTopologyExtensions::get_GlslString(InputTopology topology) noexcept {
    switch (topology) {
    case InputTopology::Lines:
        return "lines";
    case InputTopology::LinesAdjacency:
        return "lines_adjacency";
    case InputTopology::Triangles:
        return "triangles";
    case InputTopology::TrianglesAdjacency:
        return "triangles_adjacency";
    default:
        return "points";
    }
}

int32_t InputTopologyExtensions::get_InputVertexCount(InputTopology topology) noexcept {
    switch (topology) {
    case InputTopology::Lines:
        return 2;
    case InputTopology::LinesAdjacency:
        return 4;
    case InputTopology::Triangles:
        return 3;
    case InputTopology::TrianglesAdjacency:
        return 6;
    default:
        return 1;
    }
}

int32_t InputTopologyExtensions::get_InputVertexCountNoAdjacency(InputTopology topology) noexcept {
    switch (topology) {
    case InputTopology::Lines:
    case InputTopology::LinesAdjacency:
        return 2;
    case InputTopology::Triangles:
    case InputTopology::TrianglesAdjacency:
        return 3;
    default:
        return 1;
    }
}

} // namespace Zerivox::Graphics::Shader
