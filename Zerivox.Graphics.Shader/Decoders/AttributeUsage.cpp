#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"

#include <bit>
#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::Translation {

void AttributeUsage::SetInputUserAttribute(int index, int component) {
    if (index < 0 || index >= 32 || component < 0 || component >= 4) {
        throw Common::IndexOutOfRangeException("User attribute " + std::to_string(index) + " component " +
                                               std::to_string(component) + " is out of range.");
    }
    UsedInputAttributes |= 1u << index;
    OwnInputAttributes |= 1u << index;
    UsedInputComponents.set(static_cast<std::size_t>(index * 4 + component));
}

void AttributeUsage::SetAllInputUserAttributes() {
    UsedInputAttributes |= 0xFFFFu;
    for (std::size_t bit = 0; bit < 64; bit++) {
        UsedInputComponents.set(bit);
    }
}

void AttributeUsage::SetAllOutputUserAttributes() { UsedOutputAttributes |= 0xFFFFu; }

int AttributeUsage::GetPerPatchAttributeLocation(int index) const {
    if (PerPatchAttributeLocations.has_value()) {
        if (const int32_t* location = PerPatchAttributeLocations->Find(index)) {
            return *location;
        }
    }
    return index;
}

bool AttributeUsage::IsUsedOutputAttribute(int attr) const {
    if (!NextStageInputsKnown) {
        return true;
    }
    if (attr >= 0x80 && attr < 0x280) {
        int index = (attr - 0x80) / 16;
        return (NextStageInputAttributes & (1u << index)) != 0;
    }
    return true;
}

int AttributeUsage::GetFreeUserAttribute(bool isOutput, int n) const {
    uint32_t mask = isOutput ? NextStageInputAttributes : OwnInputAttributes;
    if (mask == ~0u) {
        return -1;
    }
    int bit = -1;
    for (int i = 0; i <= n; i++) {
        bit = std::countr_one(mask);
        mask |= 1u << bit;
        // A full mask has no later free attribute: the last one found stands.
        if (mask == ~0u) {
            break;
        }
    }
    return bit;
}

} // namespace Zerivox::Graphics::Shader::Translation
