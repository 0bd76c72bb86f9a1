#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

// A local or shared memory: ArrayLength elements of Type.
struct MemoryDefinition {
    std::string Name;
    Translation::AggregateType Type = Translation::AggregateType::Invalid;
    int32_t ArrayLength = 0;

    MemoryDefinition() = default;
    MemoryDefinition(std::string name, Translation::AggregateType type, int32_t arrayLength)
        : Name(std::move(name)), Type(type), ArrayLength(arrayLength) {}

    bool operator==(const MemoryDefinition&) const = default;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
