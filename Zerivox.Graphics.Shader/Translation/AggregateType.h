#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader::Translation {

// Type of an IR value, attribute or resource field: element type in bits 0-7,
// element count in bits 8-9, Array flag above.
enum class AggregateType : uint32_t {
    Invalid = 0,
    Void = 1,
    Bool = 2,
    FP32 = 3,
    FP64 = 4,
    S32 = 5,
    U32 = 6,

    ElementTypeMask = 0xFF,

    ElementCountShift = 8,
    ElementCountMask = 0x300,

    Scalar = 0,
    Vector2 = 0x100,
    Vector3 = 0x200,
    Vector4 = 0x300,

    Array = 0x400,
};

ZV_ENUM_FLAGS(AggregateType)

} // namespace Zerivox::Graphics::Shader::Translation
