#include "Zerivox.Graphics.Shader/StructuredIr/IoDefinition.h"

#include <string_view>

namespace Zerivox::Graphics::Shader::StructuredIr {

static void AppendName(std::string& text, std::string_view name, int32_t value) {
    if (name.empty()) {
        text += std::to_string(value);
    } else {
        text += name;
    }
}

std::string IoDefinition::ToString() const {
    std::string text;
    AppendName(text, IntermediateRepresentation::StorageKindName(StorageKind), static_cast<int32_t>(StorageKind));
    text += '.';
    AppendName(text, IntermediateRepresentation::IoVariableName(IoVariable), static_cast<int32_t>(IoVariable));
    text += '.';
    text += std::to_string(Location);
    text += '.';
    text += std::to_string(Component);
    return text;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
