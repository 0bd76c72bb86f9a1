#include "Zerivox.Graphics.Shader/TessPatchType.h"

namespace Zerivox::Graphics::Shader {

const char* TessPatchTypeExtensions::get_Glsl(TessPatchType type) noexcept {
    switch (type) {
    case TessPatchType::Isolines:
        return "isolines";
    case TessPatchType::Quads:
        return "quads";
    default:
        return "triangles";
    }
}

} // namespace Zerivox::Graphics::Shader
