#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

Translation::AggregateType StructuredFunction::GetArgumentType(int32_t index) const {
    if (index >= 0) {
        auto i = static_cast<std::size_t>(index);
        if (i < InArguments.size()) return InArguments[i];
        i -= InArguments.size();
        if (i < OutArguments.size()) return OutArguments[i];
    }
    throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
