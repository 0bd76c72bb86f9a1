#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class TessPatchType : int32_t {
    Isolines = 0,
    Triangles = 1,
    Quads = 2,
};

struct TessPatchTypeExtensions {
    // Unknown values give "triangles".
    static const char* get_Glsl(TessPatchType type) noexcept;
};

} // namespace Zerivox::Graphics::Shader
