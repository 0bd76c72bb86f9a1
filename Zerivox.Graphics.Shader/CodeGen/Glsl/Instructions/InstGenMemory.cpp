#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenMemory.h"

#include <bit>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/OperandManager.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGen.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenHelper.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/IoMap.h"
#include "Zerivox.Graphics.Shader/CodeGen/ConstantIndex.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using IntermediateRepresentation::TextureFlags;
using StructuredIr::AstOperand;
using StructuredIr::IAstNode;
using StructuredIr::TextureDefinition;
using Translation::AggregateType;

namespace {

const AstTextureOperation& AsTexture(const AstOperation& operation) {
    const auto* texture = StructuredIr::As<AstTextureOperation>(&operation);
    if (texture == nullptr)
        throw Common::InvalidOperationException("The operation is not a texture operation.");
    return *texture;
}

// The next source at the cursor, cast to type.
std::string Next(CodeGenContext& context, const AstOperation& operation, int32_t& srcIndex, AggregateType type) {
    const IAstNode* source = operation.GetSource(srcIndex++);
    return GetSourceExpr(context, source, type);
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); i++) {
        if (i != 0)
            text += ", ";
        text += parts[i];
    }
    return text;
}

// count values of type from the cursor: one alone, or prefix + count + "(" ... ")".
std::string Vector(CodeGenContext& context, const AstOperation& operation, int32_t& srcIndex, AggregateType type,
                   int32_t count, const char* prefix) {
    std::vector<std::string> parts;
    for (int32_t i = 0; i < count; i++)
        parts.push_back(Next(context, operation, srcIndex, type));
    if (count == 1)
        return parts[0];
    return prefix + std::to_string(count) + "(" + Join(parts) + ")";
}

std::string KindText(StorageKind kind) {
    std::string_view name = IntermediateRepresentation::StorageKindName(kind);
    return name.empty() ? std::to_string(static_cast<int32_t>(kind)) : std::string(name);
}

bool HasTexFlag(TextureFlags flags, TextureFlags flag) {
    return (static_cast<uint32_t>(flags) & static_cast<uint32_t>(flag)) != 0;
}

// The value, or 0.0 where it is NaN: the guest reads texel 0 at NaN
// coordinates, and so does the SPIR-V module.
std::string ZeroNaN(const std::string& value) { return "Helper_ZeroNaN(" + value + ")"; }

// The vertex of the input primitive or patch (geometry and tessellation
// stages). A constant beyond its vertices reads an undefined value in the
// SPIR-V module; GLSL refuses to compile it, so it reads the last vertex.
std::string VertexIndex(CodeGenContext& context, const AstOperation& operation, int32_t& srcIndex) {
    const IAstNode* source = operation.GetSource(srcIndex);
    const AstOperand* operand = StructuredIr::As<AstOperand>(source);
    if (operand != nullptr && operand->Type == OperandType::Constant) {
        // A patch holds at most gl_MaxPatchVertices (32) vertices.
        int32_t count = context.Definitions.Stage == ShaderStage::Geometry
                            ? InputTopologyExtensions::get_InputVertexCount(context.Definitions.get_InputTopology())
                            : 32;
        if (operand->Value < 0 || operand->Value >= count) {
            srcIndex++;
            return NumberFormatter::FormatInt(operand->Value < 0 ? 0 : count - 1);
        }
    }
    return Next(context, operation, srcIndex, AggregateType::S32);
}

// Whether the level source is the constant 0 (of either type).
bool IsZeroLevel(const AstTextureOperation& texOp, int32_t source) {
    const AstOperand* operand = StructuredIr::As<AstOperand>(texOp.GetSource(source));
    return operand != nullptr && operand->Type == OperandType::Constant &&
           (operand->Value == 0 || static_cast<uint32_t>(operand->Value) == 0x80000000u);
}

// Whether GLSL has the variable in the stage and direction. Built-ins exist
// in the stages whose hardware has them; the compatibility-profile colours,
// fog and texture coordinates not at all for Vulkan. Those the table does
// not name are left to the compiler.
bool IsAvailable(const CodeGenContext& context, IoVariable variable, bool isOutput) {
    ShaderStage stage = context.Definitions.Stage;
    bool compute = stage == ShaderStage::Compute;
    bool fragment = stage == ShaderStage::Fragment;
    bool vertex = stage == ShaderStage::Vertex;
    bool control = stage == ShaderStage::TessellationControl;
    bool evaluation = stage == ShaderStage::TessellationEvaluation;
    bool geometry = stage == ShaderStage::Geometry;
    switch (variable) {
    case IoVariable::CtaId:
    case IoVariable::ThreadId:
    case IoVariable::GlobalId:
        return compute && !isOutput;
    case IoVariable::FragmentCoord:
    case IoVariable::FrontFacing:
    case IoVariable::PointCoord:
    case IoVariable::ThreadKill:
        return fragment && !isOutput;
    case IoVariable::FragmentOutputDepth:
    case IoVariable::FragmentOutputColor:
        return fragment && isOutput;
    case IoVariable::InvocationId:
        return (control || geometry) && !isOutput;
    case IoVariable::TessellationCoord:
        return evaluation && !isOutput;
    case IoVariable::PatchVertices:
        return (control || evaluation) && !isOutput;
    case IoVariable::TessellationLevelInner:
    case IoVariable::TessellationLevelOuter:
        return isOutput ? control : evaluation;
    case IoVariable::VertexId:
    case IoVariable::InstanceId:
    case IoVariable::VertexIndex:
    case IoVariable::InstanceIndex:
    case IoVariable::BaseVertex:
    case IoVariable::BaseInstance:
    case IoVariable::DrawIndex:
        return vertex && !isOutput;
    case IoVariable::PrimitiveId:
        return isOutput ? geometry : !(compute || vertex);
    case IoVariable::Position:
    case IoVariable::PointSize:
        return isOutput ? !(compute || fragment) : (control || evaluation || geometry);
    case IoVariable::ClipDistance:
        // Fragment shaders read the interpolated clip distances too.
        return isOutput ? !(compute || fragment) : !(compute || vertex);
    case IoVariable::UserDefined:
        return !compute;
    case IoVariable::BackColorDiffuse:
    case IoVariable::BackColorSpecular:
    case IoVariable::FrontColorDiffuse:
    case IoVariable::FrontColorSpecular:
    case IoVariable::FogCoord:
    case IoVariable::TextureCoord:
        return context.TargetApi != Translation::TargetGraphicsApi::Vulkan;
    default:
        return true;
    }
}

// Sizes of the built-in arrays that GLSL checks constant indices against.
int32_t IoArrayLength(IoVariable variable) {
    switch (variable) {
    case IoVariable::ClipDistance:
        return 8;
    case IoVariable::TessellationLevelOuter:
        return 4;
    case IoVariable::TessellationLevelInner:
        return 2;
    case IoVariable::UserDefined:
        return 16;
    default:
        return 0;
    }
}

} // namespace

std::string InstGenMemory::GetImageName(CodeGenContext& context, const AstTextureOperation& texOp,
                                        int32_t& srcIndex) {
    const TextureDefinition& definition = context.Properties.Images().At(texOp.GetTextureSetAndBinding());
    SamplerType compared = SamplerType::Mask | SamplerType::Array | SamplerType::Multisample;
    if ((definition.Type & compared) != (texOp.Type & compared)) {
        throw Common::InvalidOperationException("An image declared as \"" + SamplerTypeName(definition.Type) +
                                                "\" is used as \"" + SamplerTypeName(texOp.Type) + "\".");
    }
    std::string name = definition.Name;
    if (definition.ArrayLength != 1)
        name += "[" + Next(context, texOp, srcIndex, AggregateType::S32) + "]";
    return name;
}

std::string InstGenMemory::GetSamplerName(CodeGenContext& context, const AstTextureOperation& texOp,
                                          int32_t& srcIndex) {
    const TextureDefinition& definition = context.Properties.Textures().At(texOp.GetTextureSetAndBinding());
    // GLSL picks the lookup from the sampler's type: an operation that
    // addresses the texture as another kind has no spelling (nor a valid
    // SPIR-V module). A separate texture takes its comparison from the
    // operation's sampler constructor.
    SamplerType compared = SamplerType::Mask | SamplerType::Array | SamplerType::Multisample;
    if (!definition.Separate)
        compared = compared | SamplerType::Shadow;
    if ((definition.Type & compared) != (texOp.Type & compared)) {
        throw Common::InvalidOperationException("A texture declared as \"" + SamplerTypeName(definition.Type) +
                                                "\" is used as \"" + SamplerTypeName(texOp.Type) + "\".");
    }
    std::string name = definition.Name;
    if (definition.ArrayLength != 1)
        name += "[" + Next(context, texOp, srcIndex, AggregateType::S32) + "]";
    if (texOp.SamplerBinding >= 0) {
        const TextureDefinition& sampler = context.Properties.Textures().At(texOp.GetSamplerSetAndBinding());
        std::string samplerName = sampler.Name;
        if (sampler.ArrayLength != 1)
            samplerName += "[" + Next(context, texOp, srcIndex, AggregateType::S32) + "]";
        name = SamplerTypeExtensions::get_GlslSamplerTypeName(texOp.Type) + "(" + name + ", " + samplerName + ")";
    }
    return name;
}

std::string InstGenMemory::ImageLoadOrStore(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& texOp = AsTexture(base);
    Instruction code = IntermediateRepresentation::InstCode(texOp.Inst);
    TextureFlags atomic = texOp.Flags & TextureFlags::AtomicMask;

    std::string name;
    if (code == Instruction::ImageLoad) {
        name = "imageLoad";
    } else if (code == Instruction::ImageStore) {
        name = "imageStore";
    } else {
        switch (atomic) {
        case TextureFlags::Minimum:
            name = "imageAtomicMin";
            break;
        case TextureFlags::Maximum:
            name = "imageAtomicMax";
            break;
        case TextureFlags::BitwiseAnd:
            name = "imageAtomicAnd";
            break;
        case TextureFlags::BitwiseOr:
            name = "imageAtomicOr";
            break;
        case TextureFlags::BitwiseXor:
            name = "imageAtomicXor";
            break;
        case TextureFlags::Swap:
            name = "imageAtomicExchange";
            break;
        case TextureFlags::CAS:
            name = "imageAtomicCompSwap";
            break;
        default:
            name = "imageAtomicAdd";
            break;
        }
    }

    int32_t srcIndex = 0;
    std::string text = name + "(" + GetImageName(context, texOp, srcIndex);

    int32_t count = SamplerTypeExtensions::get_Dimensions(texOp.Type) + (HasFlag(texOp.Type, SamplerType::Array) ? 1 : 0);
    text += ", " + Vector(context, texOp, srcIndex, AggregateType::S32, count, "ivec");

    AggregateType t = context.ImageComponentType(texOp.GetTextureSetAndBinding(), texOp.Format);
    if (code == Instruction::ImageStore) {
        std::string zero;
        NumberFormatter::TryFormat(0, t, zero);
        std::vector<std::string> components;
        for (int32_t i = 0; i < 4; i++) {
            if (srcIndex < texOp.SourcesCount())
                components.push_back(Next(context, texOp, srcIndex, t));
            else
                components.push_back(zero);
        }
        std::string prefix = t == AggregateType::S32 ? "i" : t == AggregateType::U32 ? "u" : "";
        return text + ", " + prefix + "vec4(" + Join(components) + "))";
    }
    if (code == Instruction::ImageAtomic) {
        if (atomic == TextureFlags::CAS)
            text += ", " + Next(context, texOp, srcIndex, t);
        if (atomic == TextureFlags::Increment)
            text += ", " + NumberFormatter::FormatInt(1, t);
        else if (atomic == TextureFlags::Decrement)
            text += ", " + NumberFormatter::FormatInt(-1, t);
        else
            text += ", " + Next(context, texOp, srcIndex, t);
        text += ")";
        if (t != AggregateType::S32)
            return "int(" + text + ")";
        return text;
    }
    return text + ")" + GetMaskMultiDest(texOp.Index);
}

std::string InstGenMemory::Lod(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& texOp = AsTexture(base);
    // The level of detail comes from implicit derivatives, which only
    // fragment shaders have: elsewhere it is 0.
    if (texOp.Index < 0 || texOp.Index > 1)
        throw Common::ArgumentOutOfRangeException("A level-of-detail query has two components.");
    if (context.Definitions.Stage != ShaderStage::Fragment)
        return "0.0";
    int32_t srcIndex = 0;
    std::string sampler = GetSamplerName(context, texOp, srcIndex);
    int32_t dims = SamplerTypeExtensions::get_Dimensions(texOp.Type);
    std::string coordinates = Vector(context, texOp, srcIndex, AggregateType::FP32, dims, "vec");
    return "textureQueryLod(" + sampler + ", " + coordinates + ")" + GetMask(texOp.Index);
}

std::string InstGenMemory::TextureSample(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& texOp = AsTexture(base);
    TextureFlags flags = texOp.Flags;
    bool isGather = HasTexFlag(flags, TextureFlags::Gather);
    bool hasDerivatives = HasTexFlag(flags, TextureFlags::Derivatives);
    bool intCoords = HasTexFlag(flags, TextureFlags::IntCoords);
    bool hasLodBias = HasTexFlag(flags, TextureFlags::LodBias);
    bool hasLodLevel = HasTexFlag(flags, TextureFlags::LodLevel);
    bool hasOffset = HasTexFlag(flags, TextureFlags::Offset);
    bool hasOffsets = HasTexFlag(flags, TextureFlags::Offsets);
    bool isArray = HasFlag(texOp.Type, SamplerType::Array);
    bool isMultisample = HasFlag(texOp.Type, SamplerType::Multisample);
    bool isShadow = HasFlag(texOp.Type, SamplerType::Shadow);
    SamplerType dimension = texOp.Type & SamplerType::Mask;

    if (isGather && dimension != SamplerType::Texture2D && dimension != SamplerType::TextureCube) {
        throw Common::InvalidOperationException("A texture of type \"" + SamplerTypeName(texOp.Type) +
                                                "\" cannot be gathered.");
    }

    if (!context.HostCapabilities.HasTextureShadowLod && isShadow) {
        if (isArray && (dimension == SamplerType::Texture2D || dimension == SamplerType::TextureCube)) {
            hasLodBias = false;
            hasLodLevel = false;
        }
        if (dimension == SamplerType::TextureCube)
            hasLodLevel = false;
    }

    // Only fragment shaders have implicit derivatives; elsewhere the level
    // is 0 (which GLSL's implicit forms give there too), and a bias stands
    // for the level (which they do not allow).
    bool implicitToExplicit = !isGather && !intCoords && !hasLodLevel && !isMultisample && !hasDerivatives &&
                              hasLodBias && context.Definitions.Stage != ShaderStage::Fragment;

    int32_t srcIndex = 0;
    std::string sampler = GetSamplerName(context, texOp, srcIndex);

    int32_t dims = SamplerTypeExtensions::get_Dimensions(texOp.Type);
    AggregateType coordType = intCoords ? AggregateType::S32 : AggregateType::FP32;

    // The coordinates proper (with the layer), as the guest addresses them.
    int32_t coordCount = dims + (isArray ? 1 : 0);
    std::vector<std::string> coords;
    for (int32_t i = 0; i < coordCount; i++) {
        if (isArray && i == dims) {
            std::string layer = Next(context, texOp, srcIndex, AggregateType::S32);
            coords.push_back(intCoords ? layer : "float(" + layer + ")");
        } else {
            coords.push_back(Next(context, texOp, srcIndex, coordType));
        }
    }
    std::string coordVector =
        coordCount == 1 ? coords[0]
                        : (intCoords ? "ivec" : "vec") + std::to_string(coordCount) + "(" + Join(coords) + ")";
    if (!intCoords)
        coordVector = ZeroNaN(coordVector);

    std::string reference;
    if (isShadow) {
        reference = Next(context, texOp, srcIndex, AggregateType::FP32);
        if (isArray) {
            // Array shadow lookups compare at 16-bit depth precision.
            std::string scale = NumberFormatter::FormatFloat(std::bit_cast<float>(0x37800080u));
            reference = "(floor(clamp(" + reference + ", 0.0, 1.0) * 65535.0 + 0.5) * " + scale + ")";
        }
    }

    // P: the coordinates, a zero second coordinate for one-dimensional
    // shadow lookups, and the reference when it fits into four elements.
    int32_t n = coordCount;
    bool oneDimensionalShadow = texOp.Type == (SamplerType::Texture1D | SamplerType::Shadow);
    if (oneDimensionalShadow)
        n++;
    bool referenceInP = isShadow && !isGather;
    if (referenceInP)
        n++;
    bool separateReference = isShadow && isGather;
    if (n >= 5) {
        n = 4;
        referenceInP = false;
        separateReference = true;
    }
    std::string p;
    if (n == coordCount) {
        p = coordVector;
    } else {
        std::vector<std::string> elements{coordVector};
        if (oneDimensionalShadow)
            elements.push_back("0.0");
        if (referenceInP)
            elements.push_back(reference);
        p = "vec" + std::to_string(n) + "(" + Join(elements) + ")";
    }

    std::vector<std::string> arguments;
    if (separateReference)
        arguments.push_back(reference);
    if (hasDerivatives) {
        arguments.push_back(Vector(context, texOp, srcIndex, AggregateType::FP32, dims, "vec"));
        arguments.push_back(Vector(context, texOp, srcIndex, AggregateType::FP32, dims, "vec"));
    }
    int32_t levelIndex = -1;
    int32_t levelSource = -1;
    if (isMultisample) {
        arguments.push_back(Next(context, texOp, srcIndex, AggregateType::S32));
    } else if (hasLodLevel) {
        levelIndex = static_cast<int32_t>(arguments.size());
        levelSource = srcIndex;
        arguments.push_back(Next(context, texOp, srcIndex, coordType));
    }
    if (hasOffset) {
        arguments.push_back(Vector(context, texOp, srcIndex, AggregateType::S32, dims, "ivec"));
    } else if (hasOffsets) {
        std::vector<std::string> offsets;
        for (int32_t i = 0; i < 4; i++)
            offsets.push_back(Vector(context, texOp, srcIndex, AggregateType::S32, dims, "ivec"));
        arguments.push_back("ivec" + std::to_string(dims) + "[4](" + Join(offsets) + ")");
    }
    std::string bias;
    int32_t biasSource = -1;
    if (hasLodBias) {
        biasSource = srcIndex;
        bias = Next(context, texOp, srcIndex, AggregateType::FP32);
    }
    if (implicitToExplicit) {
        // The level goes where a level goes: before the offset.
        levelIndex = separateReference ? 1 : 0;
        levelSource = biasSource;
        arguments.insert(arguments.begin() + levelIndex, bias);
        hasLodLevel = true;
        hasLodBias = false;
    }
    if (hasLodBias)
        arguments.push_back(bias);
    if (isGather && !isShadow)
        arguments.push_back(Next(context, texOp, srcIndex, AggregateType::S32));

    // Explicit levels of array and cube depth comparisons exist only with
    // GL_EXT_texture_shadow_lod, which the glslang that checks this text does
    // not know. Level 0 has core forms: the implicit one outside fragment
    // shaders (whose level is 0 there), zero gradients in them (but for cube
    // arrays); any other level fails by name.
    bool lodNeedsExtension = isShadow && !isGather && hasLodLevel && !intCoords && levelIndex >= 0 &&
                             ((isArray && dimension == SamplerType::Texture2D) || dimension == SamplerType::TextureCube);
    if (lodNeedsExtension) {
        bool zero = IsZeroLevel(texOp, levelSource);
        bool fragment = context.Definitions.Stage == ShaderStage::Fragment;
        if (zero && !fragment) {
            arguments.erase(arguments.begin() + levelIndex);
            hasLodLevel = false;
        } else if (zero && !(isArray && dimension == SamplerType::TextureCube)) {
            std::string gradient = dimension == SamplerType::TextureCube ? "vec3(0.0)" : "vec2(0.0)";
            arguments[static_cast<std::size_t>(levelIndex)] = gradient;
            arguments.insert(arguments.begin() + levelIndex, gradient);
            hasLodLevel = false;
            hasDerivatives = true;
        } else {
            throw Common::NotSupportedException("An explicit level of a \"" + SamplerTypeName(texOp.Type) +
                                                "\" depth comparison needs GL_EXT_texture_shadow_lod.");
        }
    }

    std::string name = intCoords ? "texelFetch" : "texture";
    if (isGather)
        name += "Gather";
    else if (hasDerivatives)
        name += "Grad";
    else if (hasLodLevel && !intCoords)
        name += "Lod";
    if (hasOffset)
        name += "Offset";
    else if (hasOffsets)
        name += "Offsets";

    std::string text = name + "(" + sampler + ", " + p;
    for (const std::string& argument : arguments)
        text += ", " + argument;
    text += ")";
    if (!isShadow || isGather)
        return text + GetMaskMultiDest(texOp.Index);
    // A depth comparison gives one value; every component the operation
    // writes receives it, as each does when written on its own.
    const int32_t count = std::popcount(static_cast<uint32_t>(texOp.Index));
    if (count > 1)
        return "vec" + std::to_string(count) + "(" + text + ")";
    return text;
}

std::string InstGenMemory::TextureQuerySamples(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& texOp = AsTexture(base);
    // Only a multisampled texture has samples to count; any other has one.
    if (!HasFlag(texOp.Type, SamplerType::Multisample))
        return "1";
    int32_t srcIndex = 0;
    std::string sampler = GetSamplerName(context, texOp, srcIndex);
    return "textureSamples(" + sampler + ")";
}

std::string InstGenMemory::TextureQuerySize(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& texOp = AsTexture(base);
    SetBindingPair key = texOp.GetTextureSetAndBinding();
    const TextureDefinition* definition = context.Properties.Textures().Find(key);
    // A size query bound to a storage image asks the image's size (the guest
    // queries images with the texture query instruction); an image has one
    // level.
    if (definition == nullptr && context.Properties.Images().Find(key) != nullptr) {
        if (texOp.Index == 3)
            return "1";
        SamplerType type = texOp.Type;
        int32_t components = (type & SamplerType::Mask) == SamplerType::TextureCube
                                 ? 2
                                 : SamplerTypeExtensions::get_Dimensions(type);
        if (HasFlag(type, SamplerType::Array))
            components++;
        if (texOp.Index < 0 || texOp.Index >= components)
            return "0";
        int32_t srcIndex = 0;
        std::string image = GetImageName(context, texOp, srcIndex);
        std::string text = "imageSize(" + image + ")";
        return components > 1 ? text + GetMask(texOp.Index) : text;
    }

    int32_t srcIndex = 0;
    std::string sampler = GetSamplerName(context, texOp, srcIndex);
    if (texOp.Index == 3)
        return "textureQueryLevels(" + sampler + ")";

    SamplerType type = definition != nullptr ? definition->Type : texOp.Type;
    int32_t components = (type & SamplerType::Mask) == SamplerType::TextureCube
                             ? 2
                             : SamplerTypeExtensions::get_Dimensions(type);
    if (HasFlag(type, SamplerType::Array))
        components++;
    bool hasLod = !HasFlag(type, SamplerType::Multisample) && type != SamplerType::TextureBuffer;
    std::string text;
    if (hasLod) {
        AggregateType levelType = StructuredIr::InstructionInfo::GetSrcVarType(texOp.Inst, srcIndex);
        std::string level = Next(context, texOp, srcIndex, levelType);
        text = "textureSize(" + sampler + ", " + level + ")";
    } else {
        text = "textureSize(" + sampler + ")";
    }
    // The texture has no such dimension: its extent along it is 0.
    if (texOp.Index < 0 || texOp.Index >= components)
        return "0";
    return components > 1 ? text + GetMask(texOp.Index) : text;
}

std::string InstGenMemory::GenerateLoadOrStore(CodeGenContext& context, const AstOperation& operation,
                                               bool isStore) {
    bool outOfRange = false;
    std::string text = LocationOrStore(context, operation, isStore, outOfRange);
    if (!outOfRange)
        return text;
    // A constant index beyond a sized array: the SPIR-V module's access is
    // undefined there, GLSL refuses to compile it. The store is left out and
    // the load reads 0, as robust buffer access does.
    if (isStore)
        return std::string();
    AggregateType type = OperandManager::GetNodeDestType(context, &operation);
    std::string zero;
    NumberFormatter::TryFormat(0, type, zero);
    return zero;
}

std::string InstGenMemory::GenerateAtomicLocation(CodeGenContext& context, const AstOperation& operation,
                                                  bool& outOfRange) {
    outOfRange = false;
    return LocationOrStore(context, operation, false, outOfRange);
}

std::string InstGenMemory::LocationOrStore(CodeGenContext& context, const AstOperation& operation, bool isStore,
                                           bool& outOfRange) {
    Instruction inst = operation.Inst;
    int32_t m = operation.SourcesCount();
    if (isStore || IntermediateRepresentation::InstructionExtensions::IsAtomic(inst))
        m--;
    if (IntermediateRepresentation::InstCode(inst) == Instruction::AtomicCompareAndSwap)
        m--;

    std::string base;
    AggregateType type = AggregateType::Invalid;
    // Elements of the array the first index selects; 0 when unsized.
    int32_t arrayLength = 0;
    // A tessellation control output array over the patch's vertices whose
    // vertex source is still to come.
    bool ownVertexPending = false;
    int32_t srcIndex = 0;
    StorageKind kind = operation.StorageKind;
    switch (kind) {
    case StorageKind::ConstantBuffer:
    case StorageKind::StorageBuffer: {
        int32_t binding = InstGenHelper::ConstantSource(operation, 0, "First");
        int32_t fieldIndex = InstGenHelper::ConstantSource(operation, 1, "Second");
        const auto& buffers = kind == StorageKind::ConstantBuffer ? context.Properties.ConstantBuffers()
                                                                  : context.Properties.StorageBuffers();
        const StructuredIr::BufferDefinition& buffer = buffers.At(binding);
        if (fieldIndex < 0 || static_cast<std::size_t>(fieldIndex) >= buffer.Type.Fields.size())
            throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
        const StructureField& field = buffer.Type.Fields[static_cast<std::size_t>(fieldIndex)];
        base = buffer.Name + "." + field.Name;
        type = field.Type;
        arrayLength = field.ArrayLength;
        srcIndex = 2;
        break;
    }
    case StorageKind::LocalMemory:
    case StorageKind::SharedMemory: {
        int32_t id = InstGenHelper::ConstantSource(operation, 0, "First");
        const auto& memories =
            kind == StorageKind::LocalMemory ? context.Properties.LocalMemories() : context.Properties.SharedMemories();
        const StructuredIr::MemoryDefinition& memory = memories.At(id);
        base = memory.Name;
        type = memory.Type;
        arrayLength = memory.ArrayLength;
        srcIndex = 1;
        break;
    }
    case StorageKind::Input:
    case StorageKind::InputPerPatch:
    case StorageKind::Output:
    case StorageKind::OutputPerPatch: {
        IoAccess access = IoAccess::Resolve(context, operation);
        IoVariable ioVariable = access.Variable;
        bool isOutput = access.IsOutput;
        if (!IsAvailable(context, ioVariable, isOutput)) {
            std::string_view name = IntermediateRepresentation::IoVariableName(ioVariable);
            throw Common::InvalidOperationException(
                std::string(isOutput ? "Output " : "Input ") +
                (name.empty() ? std::to_string(static_cast<int32_t>(ioVariable)) : std::string(name)) +
                " does not exist in a " + ShaderStageName(context.Definitions.Stage) + " shader.");
        }
        srcIndex = access.NextSource;
        auto variable = IoMap::GetGlslVariable(context.Definitions, context.HostCapabilities, ioVariable,
                                               access.Location, access.Component, isOutput, access.IsPerPatch);
        type = variable.second;
        // A component captured alone is a float variable of its own.
        if (access.NextSource == 3)
            type = type & AggregateType::ElementTypeMask;
        arrayLength = IoArrayLength(ioVariable);
        // Vulkan GLSL has no gl_InstanceID and gl_VertexID: its indices count
        // from the draw's first instance and vertex, which the draw
        // parameters give.
        if (context.TargetApi == Translation::TargetGraphicsApi::Vulkan) {
            if (ioVariable == IoVariable::InstanceId)
                variable.first = "(gl_InstanceIndex - gl_BaseInstanceARB)";
            else if (ioVariable == IoVariable::VertexId)
                variable.first = "(gl_VertexIndex - gl_BaseVertexARB)";
        }
        if (IoMap::IsPerVertexBuiltIn(context.Definitions.Stage, ioVariable, isOutput)) {
            if (kind == StorageKind::Input) {
                base = "gl_in[" + VertexIndex(context, operation, srcIndex) + "]." + variable.first;
            } else if (kind == StorageKind::Output) {
                // An invocation writes only its own vertex (GLSL insists on
                // seeing that), whatever value the index source holds.
                srcIndex++;
                base = "gl_out[gl_InvocationID]." + variable.first;
            } else {
                base = variable.first;
            }
        } else {
            base = variable.first;
            ownVertexPending = kind == StorageKind::Output &&
                               context.Definitions.Stage == ShaderStage::TessellationControl && srcIndex < m;
            if (kind == StorageKind::Input && Declarations::IsArrayAttributeGlsl(context.Definitions.Stage, false) &&
                ioVariable == IoVariable::UserDefined && srcIndex < m) {
                base += "[" + VertexIndex(context, operation, srcIndex) + "]";
            }
        }
        break;
    }
    default:
        throw Common::InvalidOperationException("Invalid storage kind " + KindText(kind) + ".");
    }

    bool isVector = (type & AggregateType::ElementCountMask) != AggregateType::Scalar;
    bool arrayIndexPending = HasFlag(type, AggregateType::Array);
    bool componentSelected = false;
    for (; srcIndex < m; srcIndex++) {
        const IAstNode* source = operation.GetSource(srcIndex);
        const AstOperand* operand = StructuredIr::As<AstOperand>(source);
        if (ownVertexPending) {
            // A tessellation control invocation writes its own vertex only.
            ownVertexPending = false;
            base += "[gl_InvocationID]";
        } else if (srcIndex == m - 1 && isVector && operand != nullptr && operand->Type == OperandType::Constant) {
            int32_t component = operand->Value & 3;
            int32_t count = static_cast<int32_t>((static_cast<uint32_t>(type) >> 8) & 3u) + 1;
            // The two-word ARB subgroup masks hold no invocations beyond 64:
            // their upper words read 0, as those of the four-word masks do.
            if (!isStore && component >= count) {
                std::string zero;
                NumberFormatter::TryFormat(0, type & AggregateType::ElementTypeMask, zero);
                return zero;
            }
            // An array of vectors named by its component alone: the first
            // element's.
            if (arrayIndexPending) {
                arrayIndexPending = false;
                base += "[0]";
            }
            base += std::string(".") + "xyzw"[component];
            componentSelected = true;
        } else {
            if (arrayIndexPending) {
                arrayIndexPending = false;
                if (IsConstantIndexBeyond(source, arrayLength))
                    outOfRange = true;
            }
            base += "[" + GetSourceExpr(context, source, AggregateType::S32) + "]";
        }
    }
    // An access that names no element reads and writes the first one: the
    // value is a scalar of the element type.
    if (arrayIndexPending)
        base += "[0]";
    if (isVector && !componentSelected)
        base += ".x";

    if (!isStore)
        return base;
    std::string value = GetSourceExpr(context, operation.GetSource(m), type & AggregateType::ElementTypeMask);
    return base + " = " + value;
}

std::string InstGenMemory::GetMask(int32_t index) {
    if (index < 0 || index > 3)
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    return std::string(".") + "rgba"[index];
}

std::string InstGenMemory::GetMaskMultiDest(int32_t mask) {
    // A mask without components reads x, as the SPIR-V module does.
    if ((mask & 0xF) == 0)
        return ".x";
    std::string text = ".";
    for (int32_t i = 0; i < 4; i++) {
        if ((mask & (1 << i)) != 0)
            text += "xyzw"[i];
    }
    return text;
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
