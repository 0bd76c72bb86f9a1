#pragma once
#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IoDefinition.h"

namespace Zerivox::Graphics::Shader::Translation {
class AttributeUsage;
class ShaderDefinitions;
} // namespace Zerivox::Graphics::Shader::Translation

namespace Zerivox::Graphics::Shader::CodeGen {

// Per-patch and per-vertex user attributes of one interface share a single
// location space on the host, while the guest keeps them apart. Locations
// follow the attribute numbers (both tessellation stages must agree without
// seeing each other), so a shader whose two kinds meet at a location cannot
// be declared in either language: throws NotImplementedException naming the
// attribute and the location. Does nothing outside the tessellation stages.
void CheckTessellationLocations(const Common::OrderedSet<StructuredIr::IoDefinition>& ioDefinitions,
                                const Translation::AttributeUsage& attributeUsage,
                                const Translation::ShaderDefinitions& definitions);

// How many locations a register-indexed array of user attributes spans.
inline constexpr int32_t IndexedUserAttributeCount = 16;

} // namespace Zerivox::Graphics::Shader::CodeGen
