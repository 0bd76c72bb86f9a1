#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/BufferUsageFlags.h"

namespace Zerivox::Graphics::Shader {

// One constant or storage buffer of a translated program. For a constant
// buffer Slot is the guest slot and the address fields are 0; for a storage
// buffer Slot is the storage buffer index and CbSlot/CbOffset locate the
// buffer's address in a constant buffer.
struct BufferDescriptor {
    int32_t Set = 0;
    int32_t Binding = 0;
    uint8_t Slot = 0;
    uint8_t CbSlot = 0;
    uint16_t CbOffset = 0;
    BufferUsageFlags Flags = BufferUsageFlags::None;

    constexpr BufferDescriptor() = default;
    constexpr BufferDescriptor(int32_t set, int32_t binding, uint8_t slot, uint8_t cbSlot = 0, uint16_t cbOffset = 0,
                               BufferUsageFlags flags = BufferUsageFlags::None)
        : Set(set), Binding(binding), Slot(slot), CbSlot(cbSlot), CbOffset(cbOffset), Flags(flags) {}

    friend constexpr bool operator==(const BufferDescriptor&, const BufferDescriptor&) = default;
};

} // namespace Zerivox::Graphics::Shader
