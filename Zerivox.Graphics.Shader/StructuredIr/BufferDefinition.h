#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "Zerivox.Graphics.Shader/StructureType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

// Layout rule by which a back end places a block's members.
enum class BufferLayout : int32_t {
    Std140 = 0,
    Std430 = 1,
};

// Declaration of one uniform (constant) or storage buffer block.
struct BufferDefinition {
    BufferLayout Layout = BufferLayout::Std140;
    int32_t Set = 0;
    int32_t Binding = 0;
    std::string Name;
    StructureType Type;

    BufferDefinition() = default;
    BufferDefinition(BufferLayout layout, int32_t set, int32_t binding, std::string name, StructureType type)
        : Layout(layout), Set(set), Binding(binding), Name(std::move(name)), Type(std::move(type)) {}
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
