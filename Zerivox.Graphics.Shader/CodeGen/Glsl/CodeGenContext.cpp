#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"

#include <algorithm>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/CodeGenParameters.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

namespace {
constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view Tab = "    ";
} // namespace

CodeGenContext::CodeGenContext(const StructuredIr::StructuredProgramInfo& info, const CodeGenParameters& parameters)
    : Info(info), AttributeUsage(parameters.AttributeUsage), Definitions(parameters.Definitions),
      Properties(parameters.Properties), HostCapabilities(parameters.HostCapabilities),
      GpuAccessor(parameters.GpuAccessor), TargetApi(parameters.GraphicsApi) {}

void CodeGenContext::AppendLine(std::string_view text) {
    _text += Indentation;
    _text += text;
    _text += LineEnd;
}

void CodeGenContext::AppendLine() { _text += LineEnd; }

void CodeGenContext::AppendRaw(std::string_view text) { _text += text; }

void CodeGenContext::EnterScope() {
    AppendLine("{");
    Level++;
    Indentation = GetIndentation(Level);
}

void CodeGenContext::LeaveScope(std::string_view suffix) {
    if (Level == 0)
        return;
    Level--;
    Indentation = GetIndentation(Level);
    _text += Indentation;
    _text += '}';
    _text += suffix;
    _text += LineEnd;
}

std::string CodeGenContext::GetIndentation(int32_t level) {
    std::string indentation;
    for (int32_t i = 0; i < level; i++)
        indentation += Tab;
    return indentation;
}

Translation::AggregateType CodeGenContext::ImageComponentType(SetBindingPair key, TextureFormat operationFormat) const {
    const StructuredIr::TextureDefinition* definition = Properties.Images().Find(key);
    TextureFormat format = definition != nullptr ? definition->Format : operationFormat;
    Translation::AggregateType component = TextureFormatExtensions::GetComponentType(format);
    if (component == Translation::AggregateType::FP32 &&
        std::find(AtomicImages.begin(), AtomicImages.end(), key) != AtomicImages.end()) {
        return Translation::AggregateType::U32;
    }
    return component;
}

const StructuredIr::StructuredFunction& CodeGenContext::GetFunction(int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= Info.Functions.size()) {
        throw Common::ArgumentOutOfRangeException(
            "Index was out of range. Must be non-negative and less than the size of the collection.");
    }
    return *Info.Functions[static_cast<std::size_t>(index)];
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
