#pragma once
#include <cstdint>
#include <string>

#include "Zerivox.Common/EnumFlags.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader {

// Component type of a vertex attribute or fragment output: base kind in the
// low 6 bits, packing flags above.
enum class AttributeType : uint8_t {
    Float = 0,
    Sint = 1,
    Uint = 2,
    Sscaled = 3,
    Uscaled = 4,

    Packed = 0x40,
    PackedRgb10A2Signed = 0x80,
    AnyPacked = 0xC0,
};

ZV_ENUM_FLAGS(AttributeType)

// Member name, or the decimal value when the value is no member.
std::string AttributeTypeName(AttributeType type);

struct AttributeTypeExtensions {
    // Float -> FP32, Sint -> S32, Uint -> U32 (flag bits ignored); any other
    // base kind throws ArgumentException.
    static Translation::AggregateType get_Aggregate(AttributeType type);
    // As get_Aggregate, and scaled kinds read as float when the host supports
    // scaled formats, else as the matching integer type.
    static Translation::AggregateType AsAggregate(AttributeType type, bool supportsScaledFormats);
};

} // namespace Zerivox::Graphics::Shader
