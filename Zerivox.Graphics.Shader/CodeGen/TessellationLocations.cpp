#include "Zerivox.Graphics.Shader/CodeGen/TessellationLocations.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen {

using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::StorageKind;
using StructuredIr::IoDefinition;

void CheckTessellationLocations(const Common::OrderedSet<IoDefinition>& ioDefinitions,
                                const Translation::AttributeUsage& attributeUsage,
                                const Translation::ShaderDefinitions& definitions) {
    if (definitions.Stage != ShaderStage::TessellationControl &&
        definitions.Stage != ShaderStage::TessellationEvaluation) {
        return;
    }
    for (const bool isOutput : {false, true}) {
        const StorageKind perVertexKind = isOutput ? StorageKind::Output : StorageKind::Input;
        const StorageKind perPatchKind = isOutput ? StorageKind::OutputPerPatch : StorageKind::InputPerPatch;
        const bool indexed = isOutput ? definitions.IndexedOutputAttributes : definitions.IndexedInputAttributes;
        // Locations taken by per-vertex user attributes (an indexed array
        // takes one per element).
        uint64_t taken = 0;
        for (const IoDefinition& definition : ioDefinitions) {
            if (definition.StorageKind != perVertexKind || definition.IoVariable != IoVariable::UserDefined)
                continue;
            const int32_t count = indexed ? IndexedUserAttributeCount : 1;
            for (int32_t i = 0; i < count; i++) {
                const int64_t location = static_cast<int64_t>(definition.Location) + i;
                if (location >= 0 && location < 64)
                    taken |= uint64_t{1} << location;
            }
        }
        for (const IoDefinition& definition : ioDefinitions) {
            if (definition.StorageKind != perPatchKind || definition.IoVariable != IoVariable::UserDefined)
                continue;
            const int32_t location = attributeUsage.GetPerPatchAttributeLocation(definition.Location);
            if (location >= 0 && location < 64 && (taken & (uint64_t{1} << location)) != 0) {
                throw Common::NotImplementedException(
                    std::string("Per-patch attribute ") + std::to_string(definition.Location) + " and a per-vertex " +
                    (isOutput ? "output" : "input") + " attribute both take location " + std::to_string(location) +
                    ", which the host's single location space cannot hold.");
            }
        }
    }
}

} // namespace Zerivox::Graphics::Shader::CodeGen
