#include "Zerivox.Graphics.Shader/SetBindingPair.h"

namespace Zerivox::Graphics::Shader {

std::string SetBindingPair::ToString() const {
    return "SetBindingPair { SetIndex = " + std::to_string(SetIndex) + ", Binding = " + std::to_string(Binding) + " }";
}

} // namespace Zerivox::Graphics::Shader
