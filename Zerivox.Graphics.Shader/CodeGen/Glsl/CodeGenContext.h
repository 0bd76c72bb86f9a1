#pragma once
// Per-translation state of the GLSL back end: what the program is made of,
// the text written so far and the indentation of the next line.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/CodeGen/Glsl/OperandManager.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/Translation/HostCapabilities.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Translation {
class AttributeUsage;
class ShaderDefinitions;
} // namespace Zerivox::Graphics::Shader::Translation
namespace Zerivox::Graphics::Shader::StructuredIr {
class ShaderProperties;
class StructuredFunction;
class StructuredProgramInfo;
} // namespace Zerivox::Graphics::Shader::StructuredIr
namespace Zerivox::Graphics::Shader::CodeGen {
class CodeGenParameters;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

class CodeGenContext {
  public:
    CodeGenContext(const StructuredIr::StructuredProgramInfo& info, const CodeGenParameters& parameters);
    CodeGenContext(const CodeGenContext&) = delete;
    CodeGenContext& operator=(const CodeGenContext&) = delete;

    // The function being printed; arguments are typed by it.
    const StructuredIr::StructuredFunction* CurrentFunction = nullptr;
    const StructuredIr::StructuredProgramInfo& Info;
    const Translation::AttributeUsage& AttributeUsage;
    const Translation::ShaderDefinitions& Definitions;
    const StructuredIr::ShaderProperties& Properties;
    const Translation::HostCapabilities& HostCapabilities;
    IGpuAccessor& GpuAccessor;
    Translation::TargetGraphicsApi TargetApi;
    Glsl::OperandManager OperandManager;

    // Storage buffers that signed atomic minimum or maximum operations use:
    // each also gets a view of its words as signed integers, because GLSL
    // picks the atomic's signedness from the memory's type.
    std::vector<int32_t> SignedAtomicBuffers;
    // The program compares floats for ordered inequality, or samples at float
    // coordinates: the helpers that spell them are appended.
    // Images that atomics use: atomics exist for integer texels only, so
    // such an image whose format reads as float is seen as 32-bit unsigned.
    std::vector<SetBindingPair> AtomicImages;
    bool UsesOrderedNotEqual = false;
    bool UsesOrderedNotEqualDouble = false;
    bool UsesFloatTextureCoordinates = false;

    // Nesting level; Indentation is four spaces per level.
    int32_t Level = 0;
    std::string Indentation;

    // Indentation, text, CR LF. Without text: CR LF alone (an empty line is
    // never indented).
    void AppendLine(std::string_view text);
    void AppendLine();
    // Text as it is, with nothing added.
    void AppendRaw(std::string_view text);

    // "{" at the current level, then one level deeper.
    void EnterScope();
    // One level out, then "}" and the suffix; nothing at level 0.
    void LeaveScope(std::string_view suffix = {});

    static std::string GetIndentation(int32_t level);

    // ArgumentOutOfRangeException for an index outside the program's functions.
    const StructuredIr::StructuredFunction& GetFunction(int32_t index) const;

    const std::string& GetCode() const { return _text; }

    // The texel component type of the image as declared: its format's, or
    // U32 for a float-format image that atomics use.
    Translation::AggregateType ImageComponentType(SetBindingPair key, TextureFormat operationFormat) const;

  private:
    std::string _text;
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
