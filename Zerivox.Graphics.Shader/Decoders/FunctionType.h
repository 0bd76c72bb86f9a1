#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader::Decoders {

// What a decoded guest function is. Only User functions are emitted as IR; the
// others are recognised fragment-interlock helpers whose calls become a single
// operation (FsiBegin, FsiEnd) or nothing (FsiGetAddress).
enum class FunctionType : uint8_t {
    User = 0,
    FsiGetAddress = 1,
    FsiBegin = 2,
    FsiEnd = 3,
};

} // namespace Zerivox::Graphics::Shader::Decoders
