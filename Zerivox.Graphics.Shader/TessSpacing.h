#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class TessSpacing : int32_t {
    EqualSpacing = 0,
    FractionalEven = 1,
    FractionalOdd = 2,
};

struct TessSpacingExtensions {
    // Unknown values give "equal_spacing".
    static const char* get_Glsl(TessSpacing spacing) noexcept;
};

} // namespace Zerivox::Graphics::Shader
