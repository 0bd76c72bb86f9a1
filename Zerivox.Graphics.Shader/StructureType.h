#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader {

// One member of a uniform or storage block. A member without the Array bit
// has ArrayLength 1; the Array bit with ArrayLength 0 is a runtime-sized
// array.
struct StructureField {
    Translation::AggregateType Type = Translation::AggregateType::Invalid;
    std::string Name;
    int32_t ArrayLength = 1;

    StructureField() = default;
    StructureField(Translation::AggregateType type, std::string name, int32_t arrayLength = 1)
        : Type(type), Name(std::move(name)), ArrayLength(arrayLength) {}

    friend bool operator==(const StructureField&, const StructureField&) = default;
};

// Ordered member list of a block; the block's layout rule is named by the
// buffer definition that holds it.
struct StructureType {
    std::vector<StructureField> Fields;

    StructureType() = default;
    explicit StructureType(std::vector<StructureField> fields) : Fields(std::move(fields)) {}
};

} // namespace Zerivox::Graphics::Shader
