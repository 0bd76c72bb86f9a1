#include "Zerivox.Graphics.Shader/AttributeType.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader {

using Translation::AggregateType;

std::string AttributeTypeName(AttributeType type) {
    switch (type) {
    case AttributeType::Float:
        return "Float";
    case AttributeType::Sint:
        return "Sint";
    case AttributeType::Uint:
        return "Uint";
    case AttributeType::Sscaled:
        return "Sscaled";
    case AttributeType::Uscaled:
        return "Uscaled";
    case AttributeType::Packed:
        return "Packed";
    case AttributeType::PackedRgb10A2Signed:
        return "PackedRgb10A2Signed";
    case AttributeType::AnyPacked:
        return "AnyPacked";
    }
    return std::to_string(static_cast<unsigned>(type));
}

namespace {
[[noreturn]] void ThrowInvalid(AttributeType type) {
    throw Common::ArgumentException("Invalid attribute type \"" + AttributeTypeName(type) + "\".");
}
constexpr uint8_t BaseKindMask = 0x3F;
} // namespace

AggregateType AttributeTypeExtensions::get_Aggregate(AttributeType type) {
    switch (static_cast<AttributeType>(static_cast<uint8_t>(type) & BaseKindMask)) {
    case AttributeType::Float:
        return AggregateType::FP32;
    case AttributeType::Sint:
        return AggregateType::S32;
    case AttributeType::Uint:
        return AggregateType::U32;
    default:
        ThrowInvalid(type);
    }
}

AggregateType AttributeTypeExtensions::AsAggregate(AttributeType type, bool supportsScaledFormats) {
    switch (static_cast<AttributeType>(static_cast<uint8_t>(type) & BaseKindMask)) {
    case AttributeType::Float:
        return AggregateType::FP32;
    case AttributeType::Sint:
        return AggregateType::S32;
    case AttributeType::Uint:
        return AggregateType::U32;
    case AttributeType::Sscaled:
        return supportsScaledFormats ? AggregateType::FP32 : AggregateType::S32;
    case AttributeType::Uscaled:
        return supportsScaledFormats ? AggregateType::FP32 : AggregateType::U32;
    default:
        ThrowInvalid(type);
    }
}

} // namespace Zerivox::Graphics::Shader
