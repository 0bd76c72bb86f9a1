#pragma once
// One input or output that a program touches: (storage kind, variable,
// location, component). Location is 0 for variables not addressed by location;
// Component is 0 unless a user attribute is captured by transform feedback as
// a single component.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

struct IoDefinition {
    IntermediateRepresentation::StorageKind StorageKind = IntermediateRepresentation::StorageKind::None;
    IntermediateRepresentation::IoVariable IoVariable = IntermediateRepresentation::IoVariable::Invalid;
    int32_t Location = 0;
    int32_t Component = 0;

    constexpr IoDefinition() = default;
    constexpr IoDefinition(IntermediateRepresentation::StorageKind storageKind,
                           IntermediateRepresentation::IoVariable ioVariable, int32_t location = 0,
                           int32_t component = 0)
        : StorageKind(storageKind), IoVariable(ioVariable), Location(location), Component(component) {}

    friend constexpr bool operator==(const IoDefinition&, const IoDefinition&) = default;

    // Fields packed into 8-bit lanes (large locations overlap; equality decides).
    constexpr int32_t GetHashCode() const {
        uint32_t h = static_cast<uint32_t>(StorageKind) | (static_cast<uint32_t>(IoVariable) << 8) |
                     (static_cast<uint32_t>(Location) << 16) | (static_cast<uint32_t>(Component) << 24);
        return static_cast<int32_t>(h);
    }

    // "Output.UserDefined.3.0": enumerations by member name (number when the
    // value has none), integers in decimal.
    std::string ToString() const;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr

template <>
struct std::hash<Zerivox::Graphics::Shader::StructuredIr::IoDefinition> {
    std::size_t operator()(const Zerivox::Graphics::Shader::StructuredIr::IoDefinition& d) const noexcept {
        return static_cast<std::size_t>(static_cast<uint32_t>(d.GetHashCode()));
    }
};
