#include "Zerivox.Graphics.Shader/TessSpacing.h"

namespace Zerivox::Graphics::Shader {

const char* TessSpacingExtensions::get_Glsl(TessSpacing spacing) noexcept {
    switch (spacing) {
    case TessSpacing::FractionalEven:
        return "fractional_even_spacing";
    case TessSpacing::FractionalOdd:
        return "fractional_odd_spacing";
    default:
        return "equal_spacing";
    }
}

} // namespace Zerivox::Graphics::Shader
