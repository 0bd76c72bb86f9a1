#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/Decoders/FeatureFlags.h"

namespace Zerivox::Graphics::Shader::Translation {

// Which special outputs and user attribute locations a shader touches; used
// to lay out the outputs of stages that pass data through memory.
struct IoUsage {
    FeatureFlags UsedFeatures = FeatureFlags::None;
    uint8_t ClipDistancesWritten = 0;
    uint32_t UserDefinedMap = 0;
    // A geometry shader writes the primitive id output.
    bool WritesPrimitiveId = false;

    constexpr IoUsage() = default;
    constexpr IoUsage(FeatureFlags usedFeatures, uint8_t clipDistancesWritten, uint32_t userDefinedMap,
                      bool writesPrimitiveId = false)
        : UsedFeatures(usedFeatures), ClipDistancesWritten(clipDistancesWritten), UserDefinedMap(userDefinedMap),
          WritesPrimitiveId(writesPrimitiveId) {}

    constexpr bool get_UsesRtLayer() const { return HasFlag(UsedFeatures, FeatureFlags::RtLayer); }
    constexpr bool get_UsesViewportIndex() const { return HasFlag(UsedFeatures, FeatureFlags::ViewportIndex); }
    constexpr bool get_UsesViewportMask() const { return HasFlag(UsedFeatures, FeatureFlags::ViewportMask); }

    constexpr IoUsage Combine(const IoUsage& other) const {
        return IoUsage(UsedFeatures | other.UsedFeatures,
                       static_cast<uint8_t>(ClipDistancesWritten | other.ClipDistancesWritten),
                       UserDefinedMap | other.UserDefinedMap, WritesPrimitiveId || other.WritesPrimitiveId);
    }

    constexpr bool operator==(const IoUsage&) const = default;
};

} // namespace Zerivox::Graphics::Shader::Translation
