#pragma once
#include <bitset>
#include <cstdint>
#include <optional>

#include "Zerivox.Common/OrderedMap.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::Graphics::Shader::Translation {

// Which user attributes (and per-patch attributes) a shader reads and writes.
// Filled while the program is decoded and emitted; read by the passes and the
// back ends to declare inputs and outputs.
class AttributeUsage {
  public:
    explicit AttributeUsage(IGpuAccessor& gpuAccessor) : GpuAccessor(&gpuAccessor) {}

    Common::OrderedSet<int32_t> UsedInputAttributesPerPatch;
    Common::OrderedSet<int32_t> UsedOutputAttributesPerPatch;
    std::optional<Common::OrderedSet<int32_t>> NextStageInputsPerPatch;
    std::optional<Common::OrderedMap<int32_t, int32_t>> PerPatchAttributeLocations;

    IGpuAccessor* GpuAccessor;

    uint32_t UsedInputAttributes = 0;
    uint32_t UsedOutputAttributes = 0;
    uint32_t PassthroughAttributes = 0;
    uint32_t NextStageInputAttributes = 0;
    uint32_t OwnInputAttributes = 0;
    bool NextStageInputsKnown = false;
    bool NextStageInputComponentsKnown = false;
    // Bit 4 * attribute + component.
    std::bitset<128> NextStageInputComponents;
    std::bitset<128> UsedInputComponents;

    // Marks component `component` (0-3) of user input `index` (0-31) as read.
    void SetInputUserAttribute(int index, int component);
    // Attributes addressed through a register may be any of the first 16.
    void SetAllInputUserAttributes();
    void SetAllOutputUserAttributes();

    int GetPerPatchAttributeLocation(int index) const;
    // False only for user outputs the next stage is known not to read.
    bool IsUsedOutputAttribute(int attr) const;
    // The n-th (from 0) free user attribute of the direction; -1 when all are
    // taken. A negative answer ends the caller's search.
    int GetFreeUserAttribute(bool isOutput, int n) const;
};

} // namespace Zerivox::Graphics::Shader::Translation
