// Buffer blocks, memories, textures and images.
#include <algorithm>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/TextureUsageFlags.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using StructuredIr::BufferDefinition;
using StructuredIr::MemoryDefinition;
using StructuredIr::TextureDefinition;
using Translation::AggregateType;
using Translation::TargetGraphicsApi;

namespace {

std::string Decimal(int32_t value) { return std::to_string(value); }

// "[n]" for an array of n, "[]" for one without a size, nothing for one.
std::string ArraySuffix(int32_t length) {
    if (length > 1)
        return "[" + NumberFormatter::FormatInt(length) + "]";
    if (length == 0)
        return "[]";
    return std::string();
}

std::string MemberArray(AggregateType type, int32_t length) {
    if (!HasFlag(type, AggregateType::Array))
        return ";";
    if (length > 0)
        return "[" + Decimal(length) + "];";
    return "[];";
}

} // namespace

void Declarations::DeclareBuffers(CodeGenContext& context, const Common::OrderedMap<int32_t, BufferDefinition>& buffers,
                                  std::string_view storage) {
    for (const auto& [binding, buffer] : buffers) {
        std::string layout = buffer.Layout != StructuredIr::BufferLayout::Std140 ? "std430" : "std140";
        std::string set = context.TargetApi == TargetGraphicsApi::Vulkan ? "set = " + Decimal(buffer.Set) + ", " : "";
        context.AppendLine("layout (" + set + "binding = " + Decimal(buffer.Binding) + ", " + layout + ") " +
                           std::string(storage) + " _" + buffer.Name);
        context.EnterScope();
        for (const StructureField& field : buffer.Type.Fields) {
            std::string type = GetVarTypeName(context, field.Type & ~AggregateType::Array, true);
            context.AppendLine(type + " " + field.Name + MemberArray(field.Type, field.ArrayLength));
        }
        context.LeaveScope(" " + buffer.Name + ";");
        context.AppendLine();

        if (storage == "buffer" && std::find(context.SignedAtomicBuffers.begin(), context.SignedAtomicBuffers.end(),
                                             binding) != context.SignedAtomicBuffers.end()) {
            // The same words as signed integers, for the signed atomics.
            context.AppendLine("layout (" + set + "binding = " + Decimal(buffer.Binding) + ", " + layout + ") " +
                               std::string(storage) + " _" + buffer.Name + std::string(SignedViewSuffix));
            context.EnterScope();
            for (const StructureField& field : buffer.Type.Fields) {
                AggregateType type = field.Type & ~AggregateType::Array;
                if ((type & AggregateType::ElementTypeMask) == AggregateType::U32)
                    type = (type & ~AggregateType::ElementTypeMask) | AggregateType::S32;
                context.AppendLine(GetVarTypeName(context, type, true) + " " + field.Name +
                                   MemberArray(field.Type, field.ArrayLength));
            }
            context.LeaveScope(" " + buffer.Name + std::string(SignedViewSuffix) + ";");
            context.AppendLine();
        }
    }
}

void Declarations::DeclareMemories(CodeGenContext& context,
                                   const Common::OrderedMap<int32_t, MemoryDefinition>& memories, bool shared) {
    for (const auto& [id, memory] : memories) {
        std::string type = GetVarTypeName(context, memory.Type & ~AggregateType::Array, true);
        context.AppendLine((shared ? "shared " : "") + type + " " + memory.Name +
                           MemberArray(memory.Type, memory.ArrayLength));
    }
}

void Declarations::CheckSamplerType(SamplerType type, bool isImage) {
    SamplerType base = type & SamplerType::Mask;
    bool array = HasFlag(type, SamplerType::Array);
    bool multisample = HasFlag(type, SamplerType::Multisample);
    bool shadow = !isImage && HasFlag(type, SamplerType::Shadow);
    bool valid = true;
    switch (base) {
    case SamplerType::TextureBuffer:
    case SamplerType::Texture3D:
        valid = !array && !multisample && !shadow;
        break;
    case SamplerType::Texture1D:
    case SamplerType::TextureCube:
        valid = !multisample;
        break;
    case SamplerType::Texture2D:
        valid = !(multisample && shadow);
        break;
    default:
        break;
    }
    if (!valid)
        throw Common::ArgumentException("Invalid sampler type \"" + SamplerTypeName(type) + "\".");
}

void Declarations::DeclareSamplers(CodeGenContext& context,
                                   const Common::OrderedMap<SetBindingPair, TextureDefinition>& textures) {
    for (const auto& [key, texture] : textures) {
        CheckSamplerType(texture.Type, false);
        std::string set = context.TargetApi == TargetGraphicsApi::Vulkan ? ", set = " + Decimal(texture.Set) : "";
        std::string type = texture.Separate ? SamplerTypeExtensions::get_GlslTextureTypeName(texture.Type)
                                            : SamplerTypeExtensions::get_GlslSamplerTypeName(texture.Type);
        context.AppendLine("layout (binding = " + Decimal(texture.Binding) + set + ") uniform " + type + " " +
                           texture.Name + ArraySuffix(texture.ArrayLength) + ";");
    }
}

void Declarations::DeclareImages(CodeGenContext& context,
                                 const Common::OrderedMap<SetBindingPair, TextureDefinition>& images) {
    for (const auto& [key, image] : images) {
        CheckSamplerType(image.Type, true);
        AggregateType component = context.ImageComponentType(key, image.Format);
        TextureFormat declared = image.Format;
        // Atomics work on 32-bit integer texels only: an image they use is
        // seen through a one-word view of its integer type.
        if (std::find(context.AtomicImages.begin(), context.AtomicImages.end(), key) != context.AtomicImages.end())
            declared = component == AggregateType::S32 ? TextureFormat::R32Sint : TextureFormat::R32Uint;
        std::string type = SamplerTypeExtensions::GetGlslImageTypeName(image.Type, component);
        if ((static_cast<uint32_t>(image.Flags) & static_cast<uint32_t>(TextureUsageFlags::ImageCoherent)) != 0)
            type = "coherent " + type;
        std::string format = TextureFormatExtensions::ToGlslFormat(declared);
        std::string formatPart = format.empty() ? "" : ", " + format;
        std::string set = context.TargetApi == TargetGraphicsApi::Vulkan ? ", set = " + Decimal(image.Set) : "";
        context.AppendLine("layout (binding = " + Decimal(image.Binding) + set + formatPart + ") uniform " + type +
                           " " + image.Name + ArraySuffix(image.ArrayLength) + ";");
    }
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
