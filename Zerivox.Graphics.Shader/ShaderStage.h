#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class ShaderStage : uint8_t {
    Compute = 0,
    Vertex = 1,
    TessellationControl = 2,
    TessellationEvaluation = 3,
    Geometry = 4,
    Fragment = 5,
    Count = 6,
};

// Member name of a stage ("Fragment"); the decimal value for anything else.
const char* ShaderStageName(ShaderStage stage) noexcept;

} // namespace Zerivox::Graphics::Shader
