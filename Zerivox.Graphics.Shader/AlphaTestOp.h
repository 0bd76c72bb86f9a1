#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader {

enum class AlphaTestOp : int32_t {
    Never = 1,
    Less = 2,
    Equal = 3,
    LessOrEqual = 4,
    Greater = 5,
    NotEqual = 6,
    GreaterOrEqual = 7,
    Always = 8,
};

} // namespace Zerivox::Graphics::Shader
