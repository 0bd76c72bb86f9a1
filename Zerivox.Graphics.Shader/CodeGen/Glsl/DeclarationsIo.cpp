// User inputs and outputs: per-vertex and per-patch attributes, fragment
// colours with dual-source blending, and transform-feedback captures.
#include <algorithm>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/IoMap.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using StructuredIr::IoDefinition;
using Translation::PixelImap;

namespace {

constexpr int32_t IndexedAttributeCount = 16;

std::string Decimal(int32_t value) { return std::to_string(value); }

char ComponentLetter(int32_t component) {
    if (component < 0 || component > 3)
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    return "xyzw"[component];
}

void SortByLocation(Declarations::IoList& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const IoDefinition& a, const IoDefinition& b) { return a.Location < b.Location; });
}

// One declaration per variable: definitions that differ only in a component
// that the variable's name does not carry (a whole vector) name the same
// variable, and GLSL forbids declaring it twice.
void DropRepeatedVariables(const CodeGenContext& context, Declarations::IoList& list, bool isOutput,
                           bool isPerPatch) {
    bool split = Instructions::IoMap::SplitsCapturedComponents(context.Definitions, isOutput, isPerPatch);
    std::vector<std::pair<int32_t, int32_t>> seen;
    Declarations::IoList kept;
    for (const IoDefinition& definition : list) {
        int32_t component = 0;
        if (split && context.Definitions.GetTransformFeedbackOutputComponents(definition.Location,
                                                                              definition.Component) == 1) {
            component = definition.Component;
        }
        std::pair<int32_t, int32_t> key(definition.Location, component);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            continue;
        seen.push_back(key);
        kept.push_back(definition);
    }
    list = std::move(kept);
}

std::string VectorTypeOf(int32_t components) {
    switch (components) {
    case 2:
        return "vec2";
    case 3:
        return "vec3";
    case 4:
        return "vec4";
    default:
        return "float";
    }
}

std::string Interpolation(const CodeGenContext& context, int32_t location) {
    if (context.Definitions.Stage != ShaderStage::Fragment)
        return std::string();
    if (!context.Definitions.ImapTypes.has_value() || location < 0 ||
        static_cast<std::size_t>(location) >= context.Definitions.ImapTypes->size()) {
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    }
    switch ((*context.Definitions.ImapTypes)[static_cast<std::size_t>(location)].GetFirstUsedType()) {
    case PixelImap::Constant:
        return "flat ";
    case PixelImap::ScreenLinear:
        return "noperspective ";
    default:
        return std::string();
    }
}

std::string TransformFeedbackQualifiers(const CodeGenContext& context, int32_t entry) {
    const auto& outputs = context.Definitions.TransformFeedbackOutputs;
    if (!outputs.has_value() || entry < 0 || static_cast<std::size_t>(entry) >= outputs->size())
        return std::string();
    const Translation::TransformFeedbackOutput& output = (*outputs)[static_cast<std::size_t>(entry)];
    if (!output.Valid)
        return std::string();
    return ", xfb_buffer = " + Decimal(output.Buffer) + ", xfb_offset = " + Decimal(output.Offset) +
           ", xfb_stride = " + Decimal(output.Stride);
}

} // namespace

bool Declarations::IsArrayAttributeGlsl(ShaderStage stage, bool isOutput) {
    if (isOutput)
        return stage == ShaderStage::TessellationControl;
    return stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation ||
           stage == ShaderStage::Geometry;
}

void Declarations::DeclareInputAttributes(CodeGenContext& context, IoList inputs) {
    if (context.Definitions.IndexedInputAttributes) {
        // Per-vertex inputs of the tessellation stages are arrays over the
        // patch as those of geometry shaders are over the primitive.
        std::string suffix = IsArrayAttributeGlsl(context.Definitions.Stage, false) ? "[]" : "";
        context.AppendLine("layout (location = 0) in vec4 in_attr" + suffix + "[" + Decimal(IndexedAttributeCount) +
                           "];");
        context.AppendLine();
        return;
    }
    SortByLocation(inputs);
    DropRepeatedVariables(context, inputs, false, false);
    for (const IoDefinition& definition : inputs)
        DeclareInputAttribute(context, definition.Location, definition.Component);
    if (!inputs.empty())
        context.AppendLine();
}

void Declarations::DeclareOutputAttributes(CodeGenContext& context, IoList outputs) {
    if (context.Definitions.IndexedOutputAttributes) {
        // Tessellation control outputs are arrays over the patch's vertices.
        std::string suffix = IsArrayAttributeGlsl(context.Definitions.Stage, true) ? "[]" : "";
        context.AppendLine("layout (location = 0) out vec4 out_attr" + suffix + "[" + Decimal(IndexedAttributeCount) +
                           "];");
        context.AppendLine();
        return;
    }
    SortByLocation(outputs);
    DropRepeatedVariables(context, outputs, true, false);
    std::size_t first = 0;
    if (context.Definitions.Stage == ShaderStage::Fragment && context.Definitions.GraphicsState.DualSourceBlend) {
        DeclareOutputDualSourceBlendAttribute(context, outputs.empty() ? 0 : outputs[0].Location);
        first = std::min<std::size_t>(2, outputs.size());
    }
    for (std::size_t i = first; i < outputs.size(); i++)
        DeclareOutputAttribute(context, outputs[i].Location, outputs[i].Component);
    if (outputs.size() > first)
        context.AppendLine();
}

void Declarations::DeclareInputAttributesPerPatch(CodeGenContext& context, IoList inputs) {
    SortByLocation(inputs);
    DropRepeatedVariables(context, inputs, false, true);
    for (const IoDefinition& definition : inputs)
        DeclareInputAttributePerPatch(context, definition.Location);
    if (!inputs.empty())
        context.AppendLine();
}

void Declarations::DeclareOutputAttributesPerPatch(CodeGenContext& context, IoList outputs) {
    DropRepeatedVariables(context, outputs, true, true);
    for (const IoDefinition& definition : outputs)
        DeclareOutputAttributePerPatch(context, definition.Location);
    if (!outputs.empty())
        context.AppendLine();
}

void Declarations::DeclareInputAttribute(CodeGenContext& context, int32_t location, int32_t component) {
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    std::string suffix = IsArrayAttributeGlsl(definitions.Stage, false) ? "[]" : "";
    std::string qualifier = Interpolation(context, location);
    std::string name = "in_attr" + Decimal(location);

    if (definitions.TransformFeedbackEnabled && definitions.Stage == ShaderStage::Fragment) {
        if (definitions.HasTransformFeedbackOutputs(false) &&
            definitions.GetTransformFeedbackOutputComponents(location, component) == 1) {
            context.AppendLine("layout (location = " + Decimal(location) + ", component = " + Decimal(component) +
                               ") " + qualifier + "in float " + name + "_" + ComponentLetter(component) + suffix +
                               ";");
        } else {
            int32_t components = definitions.GetTransformFeedbackOutputComponents(location, 0);
            context.AppendLine("layout (location = " + Decimal(location) + ") in " + VectorTypeOf(components) + " " +
                               name + ";");
        }
        return;
    }

    std::string passthrough;
    if (location >= 0 && location < 32 && (context.AttributeUsage.PassthroughAttributes & (1u << location)) != 0 &&
        context.HostCapabilities.HasGeometryShaderPassthrough) {
        passthrough = "passthrough, ";
    }
    std::string type = GetVarTypeName(context, definitions.GetUserDefinedType(location, false), false);
    context.AppendLine("layout (" + passthrough + "location = " + Decimal(location) + ") " + qualifier + "in " +
                       type + " " + name + suffix + ";");
}

void Declarations::DeclareOutputAttribute(CodeGenContext& context, int32_t location, int32_t component) {
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    std::string suffix = IsArrayAttributeGlsl(definitions.Stage, true) ? "[]" : "";
    std::string name = "out_attr" + Decimal(location) + suffix;

    // Tessellation control outputs are arrays over the patch that transform
    // feedback never captures: they keep their plain form.
    if (definitions.TransformFeedbackEnabled && definitions.IsLastVertexStage &&
        definitions.Stage != ShaderStage::TessellationControl) {
        if (definitions.HasTransformFeedbackOutputs(true) &&
            definitions.GetTransformFeedbackOutputComponents(location, component) == 1) {
            std::string qualifiers = TransformFeedbackQualifiers(context, 32 + 4 * location + component);
            context.AppendLine("layout (location = " + Decimal(location) + ", component = " + Decimal(component) +
                               qualifiers + ") out float out_attr" + Decimal(location) + "_" +
                               ComponentLetter(component) + suffix + ";");
        } else {
            std::string qualifiers = TransformFeedbackQualifiers(context, 32 + 4 * location);
            int32_t components = definitions.GetTransformFeedbackOutputComponents(location, 0);
            context.AppendLine("layout (location = " + Decimal(location) + qualifiers + ") out " +
                               VectorTypeOf(components) + " " + name + ";");
        }
        return;
    }

    std::string type = definitions.Stage == ShaderStage::Fragment
                           ? GetVarTypeName(context, definitions.GetFragmentOutputColorType(location), false)
                           : "vec4";
    if (context.HostCapabilities.HasReducedPrecision && definitions.Stage == ShaderStage::Vertex && location == 0) {
        context.AppendLine("layout (location = " + Decimal(location) + ") invariant out " + type + " " + name + ";");
    } else {
        context.AppendLine("layout (location = " + Decimal(location) + ") out " + type + " " + name + ";");
    }
}

void Declarations::DeclareOutputDualSourceBlendAttribute(CodeGenContext& context, int32_t location) {
    context.AppendLine("layout (location = " + Decimal(location) + ", index = 0) out vec4 out_attr" +
                       Decimal(location) + ";");
    context.AppendLine("layout (location = " + Decimal(location) + ", index = 1) out vec4 out_attr" +
                       Decimal(location + 1) + ";");
}

void Declarations::DeclareInputAttributePerPatch(CodeGenContext& context, int32_t attribute) {
    int32_t location = context.AttributeUsage.GetPerPatchAttributeLocation(attribute);
    context.AppendLine("layout (location = " + Decimal(location) + ") patch in vec4 patch_attr_" + Decimal(attribute) +
                       ";");
}

void Declarations::DeclareOutputAttributePerPatch(CodeGenContext& context, int32_t attribute) {
    int32_t location = context.AttributeUsage.GetPerPatchAttributeLocation(attribute);
    context.AppendLine("layout (location = " + Decimal(location) + ") patch out vec4 patch_attr_" +
                       Decimal(attribute) + ";");
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
