#include "Zerivox.Graphics.Shader/OutputTopology.h"

namespace Zerivox::Graphics::Shader {

const char* OutputTopologyExtensions::get_GlslString(OutputTopology topology) noexcept {
    switch (topology) {
    case OutputTopology::LineStrip:
        return "line_strip";
    case OutputTopology::TriangleStrip:
        return "triangle_strip";
    default:
        return "points";
    }
}

} // namespace Zerivox::Graphics::Shader
