#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader::Translation {

// IR functions the translator writes itself, on request of a pass.
enum class HelperFunctionName : int32_t {
    Invalid = 0,
    ConvertDoubleToFloat = 1,
    ConvertFloatToDouble = 2,
    SharedAtomicMaxS32 = 3,
    SharedAtomicMinS32 = 4,
    SharedStore8 = 5,
    SharedStore16 = 6,
    Shuffle = 7,
    ShuffleDown = 8,
    ShuffleUp = 9,
    ShuffleXor = 10,
    TexelFetchScale = 11,
    TextureSizeUnscale = 12,
};

// Member name ("SharedStore8"); the decimal value for anything else.
const char* HelperFunctionNameText(HelperFunctionName name) noexcept;

} // namespace Zerivox::Graphics::Shader::Translation
