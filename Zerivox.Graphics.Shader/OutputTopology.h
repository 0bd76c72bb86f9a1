#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

// Values as the shader program header stores them.
enum class OutputTopology : uint8_t {
    PointList = 1,
    LineStrip = 6,
    TriangleStrip = 7,
};

struct OutputTopologyExtensions {
    // Unknown values give "points".
    static const char* get_GlslString(OutputTopology topology) noexcept;
};

} // namespace Zerivox::Graphics::Shader
