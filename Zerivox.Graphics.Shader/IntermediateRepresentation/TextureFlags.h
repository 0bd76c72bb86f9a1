#pragma once
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// Modifiers of a texture or image operation. Bits 16-19 hold the operation
// of an ImageAtomic (AtomicMask).
enum class TextureFlags : uint32_t {
    None = 0,
    Bindless = 1u << 0,
    Gather = 1u << 1,
    Derivatives = 1u << 2,
    IntCoords = 1u << 3,
    LodBias = 1u << 4,
    LodLevel = 1u << 5,
    Offset = 1u << 6,
    Offsets = 1u << 7,
    Coherent = 1u << 8,

    AtomicMask = 15u << 16,

    Add = 0u << 16,
    Minimum = 1u << 16,
    Maximum = 2u << 16,
    Increment = 3u << 16,
    Decrement = 4u << 16,
    BitwiseAnd = 5u << 16,
    BitwiseOr = 6u << 16,
    BitwiseXor = 7u << 16,
    Swap = 8u << 16,
    CAS = 9u << 16,
};

// HasFlag: every bit of flag is set in value (a zero flag is always "set").
ZV_ENUM_FLAGS(TextureFlags)

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
