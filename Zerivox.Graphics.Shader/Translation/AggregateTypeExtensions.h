#pragma once
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::Translation::AggregateTypeExtensions {

// Bytes of one value: 4 per Bool/FP32/S32/U32 element, 8 per FP64 element,
// 0 for other element types, times the vector size; the Array flag is ignored.
constexpr int GetSizeInBytes(AggregateType type) {
    int elementSize;
    switch (type & AggregateType::ElementTypeMask) {
        case AggregateType::Bool:
        case AggregateType::FP32:
        case AggregateType::S32:
        case AggregateType::U32:
            elementSize = 4;
            break;
        case AggregateType::FP64:
            elementSize = 8;
            break;
        default:
            elementSize = 0;
            break;
    }
    switch (type & AggregateType::ElementCountMask) {
        case AggregateType::Vector2:
            return elementSize * 2;
        case AggregateType::Vector3:
            return elementSize * 3;
        case AggregateType::Vector4:
            return elementSize * 4;
        default:
            return elementSize;
    }
}

} // namespace Zerivox::Graphics::Shader::Translation::AggregateTypeExtensions
