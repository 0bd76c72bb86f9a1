#pragma once
// Everything ahead of the functions in the GLSL text: header, resources,
// stage layout, user inputs and outputs, fixed-function layouts and helper
// functions; plus the type names and local declarations the rest shares.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/StructuredIr/BufferDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IoDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/MemoryDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/TextureDefinition.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class StructuredFunction;
class StructuredProgramInfo;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

class CodeGenContext;

// Name suffix of a storage buffer's view as signed integers.
inline constexpr std::string_view SignedViewSuffix = "_s32";

struct Declarations {
    using IoList = std::vector<StructuredIr::IoDefinition>;

    static void Declare(CodeGenContext& context, const StructuredIr::StructuredProgramInfo& info);

    // "float", "vec3", "uvec4", ...; float types take "precise " when asked
    // and the host computes at full precision. ArgumentException for a type
    // without a name (arrays, void vectors).
    static std::string GetVarTypeName(const CodeGenContext& context, Translation::AggregateType type, bool precise);

    // One line per local of the function, naming it for the rest of the text.
    static void DeclareLocals(CodeGenContext& context, const StructuredIr::StructuredFunction& function);

    static void AppendHelperFunction(CodeGenContext& context, std::string_view resourcePath);

    static bool IsUserDefinedOutput(ShaderStage stage, const StructuredIr::IoDefinition& definition);

    // Resources.
    static void DeclareBuffers(CodeGenContext& context,
                               const Common::OrderedMap<int32_t, StructuredIr::BufferDefinition>& buffers,
                               std::string_view storage);
    static void DeclareMemories(CodeGenContext& context,
                                const Common::OrderedMap<int32_t, StructuredIr::MemoryDefinition>& memories,
                                bool shared);
    static void DeclareSamplers(CodeGenContext& context,
                                const Common::OrderedMap<SetBindingPair, StructuredIr::TextureDefinition>& textures);
    static void DeclareImages(CodeGenContext& context,
                              const Common::OrderedMap<SetBindingPair, StructuredIr::TextureDefinition>& images);

    // Inputs and outputs.
    static void DeclareInputAttributes(CodeGenContext& context, IoList inputs);
    static void DeclareOutputAttributes(CodeGenContext& context, IoList outputs);
    static void DeclareInputAttributesPerPatch(CodeGenContext& context, IoList inputs);
    static void DeclareOutputAttributesPerPatch(CodeGenContext& context, IoList outputs);
    static void DeclareInputAttribute(CodeGenContext& context, int32_t location, int32_t component);
    static void DeclareOutputAttribute(CodeGenContext& context, int32_t location, int32_t component);
    static void DeclareInputAttributePerPatch(CodeGenContext& context, int32_t attribute);
    static void DeclareOutputAttributePerPatch(CodeGenContext& context, int32_t attribute);
    static void DeclareOutputDualSourceBlendAttribute(CodeGenContext& context, int32_t location);
    static bool IsArrayAttributeGlsl(ShaderStage stage, bool isOutput);

    // ArgumentException "Invalid sampler type \"...\"." for a combination
    // that GLSL has no type for (a three-dimensional or buffer texture with
    // any flag, a multisampled one-dimensional or cube texture, a
    // multisampled shadow texture); images ignore the shadow flag. The
    // SPIR-V module of such a texture is no valid Vulkan module either.
    static void CheckSamplerType(SamplerType type, bool isImage);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
