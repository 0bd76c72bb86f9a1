// Buffers, memories, textures, storage images, function parameters and
// local variables.
#include <algorithm>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Declarations.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/BufferDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/MemoryDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/TextureDefinition.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IrInst = IntermediateRepresentation::Instruction;
using Spv::Generator::LiteralInteger;
using StructuredIr::BufferDefinition;
using StructuredIr::IAstNode;
using StructuredIr::MemoryDefinition;
using StructuredIr::TextureDefinition;
using Translation::AggregateType;
using SpvInst = Spv::Generator::Instruction;

namespace {

int32_t DescriptorSet(const CodeGenContext& context, int32_t set) {
    return context.GraphicsApi == Translation::TargetGraphicsApi::Vulkan ? set : 0;
}

void DecorateLiteral(CodeGenContext& context, SpvInst* target, spv::Decoration decoration, int32_t value) {
    context.Decorate(target, decoration, LiteralInteger::FromInt32(value));
}

int32_t RoundUp(int32_t value, int32_t multiple) { return (value + multiple - 1) / multiple * multiple; }

// Base alignment of a member: std430 aligns scalars and two-component vectors
// to their size and larger vectors to four components; std140 rounds every
// alignment up to 16 bytes.
int32_t BaseAlignment(AggregateType type, bool std140) {
    uint32_t bits = static_cast<uint32_t>(type);
    int32_t scalar = (bits & 0xFF) == static_cast<uint32_t>(AggregateType::FP64) ? 8 : 4;
    uint32_t count = (bits & static_cast<uint32_t>(AggregateType::ElementCountMask)) >> 8;
    int32_t alignment = count == 0 ? scalar : (count == 1 ? 2 * scalar : 4 * scalar);
    return std140 ? RoundUp(alignment, 16) : alignment;
}

int32_t SizeInBytes(AggregateType type) {
    uint32_t bits = static_cast<uint32_t>(type);
    int32_t scalar;
    switch (static_cast<AggregateType>(bits & 0xFF)) {
    case AggregateType::Bool:
    case AggregateType::FP32:
    case AggregateType::S32:
    case AggregateType::U32:
        scalar = 4;
        break;
    case AggregateType::FP64:
        scalar = 8;
        break;
    default:
        scalar = 0;
        break;
    }
    return scalar * static_cast<int32_t>(((bits & static_cast<uint32_t>(AggregateType::ElementCountMask)) >> 8) + 1);
}

// A distinct array type equal to the one GetType gives, for a layout that
// differs from the one the shared type already carries.
SpvInst* NewArrayType(CodeGenContext& context, AggregateType type, int32_t length) {
    SpvInst* element = context.GetType(type & ~AggregateType::Array);
    if (length > 0) {
        SpvInst* lengthType = context.TypeU32();
        SpvInst* lengthConstant = context.Constant(lengthType, LiteralInteger::FromInt32(length));
        return context.TypeArray(element, lengthConstant, true);
    }
    return context.TypeRuntimeArray(element, true);
}

std::string SamplerTypeText(SamplerType type) { return SamplerTypeName(type & SamplerType::Mask); }

// The pointer type of a resource variable: one element, a runtime array
// (length 0) or an array of length elements.
SpvInst* ResourceVariableType(CodeGenContext& context, SpvInst* elementType, SpvInst* elementPointerType,
                              int32_t arrayLength) {
    if (arrayLength == 1)
        return elementPointerType;
    if (arrayLength <= 0) {
        // Unsized arrays of descriptors come from descriptor indexing.
        context.AddExtensionOnce("SPV_EXT_descriptor_indexing");
        context.AddCapabilityOnce(spv::Capability::RuntimeDescriptorArray);
        SpvInst* arrayType = context.TypeRuntimeArray(elementType);
        return context.TypePointer(spv::StorageClass::UniformConstant, arrayType);
    }
    SpvInst* lengthType = context.TypeU32();
    SpvInst* length = context.Constant(lengthType, LiteralInteger::FromInt32(arrayLength));
    SpvInst* arrayType = context.TypeArray(elementType, length);
    return context.TypePointer(spv::StorageClass::UniformConstant, arrayType);
}

// (set, binding) of every image that atomics use, in program order.
std::vector<SetBindingPair> ImagesUsedByAtomics(const StructuredIr::StructuredProgramInfo& info) {
    std::vector<SetBindingPair> result;
    std::vector<IAstNode*> stack;
    for (const auto& function : info.Functions) {
        stack.push_back(function->MainBlock);
        while (!stack.empty()) {
            IAstNode* node = stack.back();
            stack.pop_back();
            if (node == nullptr)
                continue;
            if (const auto* block = StructuredIr::As<StructuredIr::AstBlock>(node)) {
                stack.push_back(block->Condition());
                for (IAstNode* child : *block)
                    stack.push_back(child);
            } else if (const auto* assignment = StructuredIr::As<StructuredIr::AstAssignment>(node)) {
                stack.push_back(assignment->Source());
            } else if (const auto* operation = StructuredIr::As<StructuredIr::AstOperation>(node)) {
                if (const auto* texture = StructuredIr::As<StructuredIr::AstTextureOperation>(node)) {
                    if (IntermediateRepresentation::InstCode(texture->Inst) == IrInst::ImageAtomic) {
                        result.push_back(texture->GetTextureSetAndBinding());
                    }
                }
                for (IAstNode* source : operation->Sources())
                    stack.push_back(source);
            }
        }
    }
    return result;
}

} // namespace

void Declarations::DeclareBuffers(CodeGenContext& context, const Common::OrderedMap<int32_t, BufferDefinition>& buffers,
                                  bool isStorage) {
    for (const auto& [key, buffer] : buffers) {
        int32_t set = DescriptorSet(context, buffer.Set);
        bool std140 = buffer.Layout == StructuredIr::BufferLayout::Std140;
        int32_t alignment = std140 ? 16 : 4;

        std::vector<SpvInst*> memberTypes;
        std::vector<int32_t> memberOffsets;
        memberTypes.reserve(buffer.Type.Fields.size());
        memberOffsets.reserve(buffer.Type.Fields.size());
        int32_t offset = 0;
        for (const StructureField& field : buffer.Type.Fields) {
            // Members start at their base alignment and arrays step by a
            // multiple of it: anything less is not a valid block layout.
            int32_t baseAlignment = BaseAlignment(field.Type, std140);
            int32_t size = RoundUp(SizeInBytes(field.Type), alignment);
            SpvInst* memberType = context.GetType(field.Type, field.ArrayLength);
            offset = RoundUp(offset, baseAlignment);
            if (HasFlag(field.Type, AggregateType::Array)) {
                int32_t stride = RoundUp(size, baseAlignment);
                auto known = context.ArrayStrides.find(memberType->Id);
                if (known != context.ArrayStrides.end() && known->second != stride) {
                    memberType = NewArrayType(context, field.Type, field.ArrayLength);
                    known = context.ArrayStrides.end();
                }
                if (known == context.ArrayStrides.end()) {
                    DecorateLiteral(context, memberType, spv::Decoration::ArrayStride, stride);
                    context.ArrayStrides.emplace(memberType->Id, stride);
                }
                memberTypes.push_back(memberType);
                memberOffsets.push_back(offset);
                offset += stride * std::max(field.ArrayLength, 0);
            } else {
                memberTypes.push_back(memberType);
                memberOffsets.push_back(offset);
                offset += size;
            }
        }

        SpvInst* structType = context.TypeStruct(false, memberTypes);
        std::pair<bool, std::vector<int32_t>> layout(isStorage, memberOffsets);
        auto known = context.BlockLayouts.find(structType->Id);
        if (known != context.BlockLayouts.end() && known->second != layout) {
            structType = context.TypeStruct(true, memberTypes);
            known = context.BlockLayouts.end();
        }
        if (known == context.BlockLayouts.end()) {
            context.Decorate(structType, isStorage ? spv::Decoration::BufferBlock : spv::Decoration::Block);
            for (std::size_t i = 0; i < memberOffsets.size(); i++) {
                context.MemberDecorate(structType, LiteralInteger::FromInt32(static_cast<int32_t>(i)),
                                       spv::Decoration::Offset, LiteralInteger::FromInt32(memberOffsets[i]));
            }
            context.BlockLayouts.emplace(structType->Id, std::move(layout));
        }

        SpvInst* pointerType = context.TypePointer(spv::StorageClass::Uniform, structType);
        SpvInst* variable = context.Variable(pointerType, spv::StorageClass::Uniform);
        context.Name(variable, buffer.Name);
        DecorateLiteral(context, variable, spv::Decoration::DescriptorSet, set);
        DecorateLiteral(context, variable, spv::Decoration::Binding, buffer.Binding);
        context.AddGlobalVariable(variable);
        CodeGenContext::AddUnique(isStorage ? context.StorageBuffers : context.ConstantBuffers, buffer.Binding,
                                  variable);
    }
}

void Declarations::DeclareMemories(CodeGenContext& context,
                                   const Common::OrderedMap<int32_t, MemoryDefinition>& memories,
                                   Common::OrderedMap<int32_t, Instruction*>& map, spv::StorageClass storageClass) {
    for (const auto& [id, memory] : memories) {
        SpvInst* type = context.GetType(memory.Type, memory.ArrayLength);
        SpvInst* pointerType = context.TypePointer(storageClass, type);
        SpvInst* variable = context.Variable(pointerType, storageClass);
        context.AddGlobalVariable(variable);
        CodeGenContext::AddUnique(map, id, variable);
    }
}

void Declarations::DeclareSamplers(CodeGenContext& context,
                                   const Common::OrderedMap<SetBindingPair, TextureDefinition>& textures) {
    for (const auto& [key, texture] : textures) {
        int32_t set = DescriptorSet(context, texture.Set);
        SpvInst* imageType;
        SpvInst* sampledImageType;
        if (texture.Type == SamplerType::None) {
            imageType = context.TypeSampler();
            sampledImageType = imageType;
        } else {
            spv::Dim dim;
            switch (texture.Type & SamplerType::Mask) {
            case SamplerType::Texture1D:
                dim = spv::Dim::Dim1D;
                break;
            case SamplerType::TextureBuffer:
                dim = spv::Dim::Buffer;
                break;
            case SamplerType::Texture2D:
                dim = spv::Dim::Dim2D;
                break;
            case SamplerType::Texture3D:
                dim = spv::Dim::Dim3D;
                break;
            case SamplerType::TextureCube:
                dim = spv::Dim::Cube;
                break;
            default:
                throw Common::InvalidOperationException("Invalid sampler type \"" + SamplerTypeText(texture.Type) +
                                                        "\".");
            }
            bool isArray = HasFlag(texture.Type, SamplerType::Array);
            if (dim == spv::Dim::Dim1D)
                context.AddCapabilityOnce(spv::Capability::Sampled1D);
            if (dim == spv::Dim::Cube && isArray)
                context.AddCapabilityOnce(spv::Capability::SampledCubeArray);
            SpvInst* sampledType = context.TypeFP32();
            imageType = context.TypeImage(
                sampledType, dim, LiteralInteger::FromInt32(HasFlag(texture.Type, SamplerType::Shadow) ? 1 : 0),
                LiteralInteger::FromInt32(isArray ? 1 : 0),
                LiteralInteger::FromInt32(HasFlag(texture.Type, SamplerType::Multisample) ? 1 : 0),
                LiteralInteger::FromInt32(1), spv::ImageFormat::Unknown);
            sampledImageType = context.TypeSampledImage(imageType);
        }
        SpvInst* elementType = texture.Separate ? imageType : sampledImageType;
        SpvInst* elementPointerType = context.TypePointer(spv::StorageClass::UniformConstant, elementType);
        SpvInst* variableType = ResourceVariableType(context, elementType, elementPointerType, texture.ArrayLength);
        SpvInst* variable = context.Variable(variableType, spv::StorageClass::UniformConstant);

        SetBindingPair binding(texture.Set, texture.Binding);
        CodeGenContext::AddUnique(
            context.Samplers, binding,
            SamplerDeclaration{imageType, sampledImageType, elementPointerType, variable, texture.ArrayLength != 1});
        CodeGenContext::AddUnique(context.SamplerTypes, binding, texture.Type);

        context.Name(variable, texture.Name);
        DecorateLiteral(context, variable, spv::Decoration::DescriptorSet, set);
        DecorateLiteral(context, variable, spv::Decoration::Binding, texture.Binding);
        context.AddGlobalVariable(variable);
    }
}

namespace {

// Storage image formats beyond those every Vulkan implementation offers
// with the Shader capability alone.
bool NeedsExtendedFormats(spv::ImageFormat format) {
    using F = spv::ImageFormat;
    switch (format) {
    case F::Unknown:
    case F::Rgba32f:
    case F::Rgba16f:
    case F::R32f:
    case F::Rgba8:
    case F::Rgba8Snorm:
    case F::Rgba32i:
    case F::Rgba16i:
    case F::Rgba8i:
    case F::R32i:
    case F::Rgba32ui:
    case F::Rgba16ui:
    case F::Rgba8ui:
    case F::R32ui:
        return false;
    default:
        return true;
    }
}

} // namespace

void Declarations::DeclareImages(CodeGenContext& context,
                                 const Common::OrderedMap<SetBindingPair, TextureDefinition>& images) {
    bool formatlessStore = false;
    bool atomicsScanned = false;
    std::vector<SetBindingPair> atomicImages;
    for (const auto& [key, image] : images) {
        int32_t set = DescriptorSet(context, image.Set);
        spv::Dim dim = GetDim(image.Type);
        SetBindingPair binding(image.Set, image.Binding);

        AggregateType componentType = TextureFormatExtensions::GetComponentType(image.Format);
        TextureFormat format = image.Format;
        if (componentType == AggregateType::FP32) {
            if (!atomicsScanned) {
                atomicImages = ImagesUsedByAtomics(context.Info);
                atomicsScanned = true;
            }
            // Atomics exist only for integer texels: an image that atomics
            // use is seen through a 32-bit unsigned view whatever its format.
            if (std::find(atomicImages.begin(), atomicImages.end(), binding) != atomicImages.end()) {
                componentType = AggregateType::U32;
                format = TextureFormat::R32Uint;
            }
        }

        bool isArray = HasFlag(image.Type, SamplerType::Array);
        bool isMultisample = HasFlag(image.Type, SamplerType::Multisample);
        if (dim == spv::Dim::Dim1D)
            context.AddCapabilityOnce(spv::Capability::Image1D);
        if (dim == spv::Dim::Cube && isArray)
            context.AddCapabilityOnce(spv::Capability::ImageCubeArray);
        if (isMultisample)
            context.AddCapabilityOnce(spv::Capability::StorageImageMultisample);
        if (isMultisample && isArray)
            context.AddCapabilityOnce(spv::Capability::ImageMSArray);

        spv::ImageFormat imageFormat = GetImageFormat(format);
        if (NeedsExtendedFormats(imageFormat))
            context.AddCapabilityOnce(spv::Capability::StorageImageExtendedFormats);
        SpvInst* sampledType = context.GetType(componentType);
        SpvInst* imageType = context.TypeImage(
            sampledType, dim, LiteralInteger::FromInt32(HasFlag(image.Type, SamplerType::Shadow) ? 1 : 0),
            LiteralInteger::FromInt32(isArray ? 1 : 0), LiteralInteger::FromInt32(isMultisample ? 1 : 0),
            LiteralInteger::FromInt32(2), imageFormat);
        bool formatless = format == TextureFormat::Unknown;
        if (formatless && HasFlag(image.Flags, TextureUsageFlags::ImageStore))
            formatlessStore = true;

        SpvInst* elementPointerType = context.TypePointer(spv::StorageClass::UniformConstant, imageType);
        SpvInst* variableType = ResourceVariableType(context, imageType, elementPointerType, image.ArrayLength);
        SpvInst* variable = context.Variable(variableType, spv::StorageClass::UniformConstant);

        CodeGenContext::AddUnique(context.Images, binding,
                                  ImageDeclaration{imageType, elementPointerType, variable, image.ArrayLength != 1,
                                                   componentType, formatless});

        context.Name(variable, image.Name);
        DecorateLiteral(context, variable, spv::Decoration::DescriptorSet, set);
        DecorateLiteral(context, variable, spv::Decoration::Binding, image.Binding);
        if (HasFlag(image.Flags, TextureUsageFlags::ImageCoherent)) {
            context.Decorate(variable, spv::Decoration::Coherent);
        }
        context.AddGlobalVariable(variable);
    }
    if (formatlessStore)
        context.AddCapabilityOnce(spv::Capability::StorageImageWriteWithoutFormat);
}

spv::Dim Declarations::GetDim(SamplerType type) {
    switch (type & SamplerType::Mask) {
    case SamplerType::Texture1D:
        return spv::Dim::Dim1D;
    case SamplerType::TextureBuffer:
        return spv::Dim::Buffer;
    case SamplerType::Texture2D:
        return spv::Dim::Dim2D;
    case SamplerType::Texture3D:
        return spv::Dim::Dim3D;
    case SamplerType::TextureCube:
        return spv::Dim::Cube;
    default:
        break;
    }
    throw Common::ArgumentException("Invalid sampler type \"" + SamplerTypeText(type) + "\".");
}

spv::ImageFormat Declarations::GetImageFormat(TextureFormat format) {
    using F = spv::ImageFormat;
    static constexpr F Formats[] = {
        F::Unknown,  F::R8,      F::R8Snorm,    F::R8ui,      F::R8i,     F::R16f,    F::R16,       F::R16Snorm,
        F::R16ui,    F::R16i,    F::R32f,       F::R32ui,     F::R32i,    F::Rg8,     F::Rg8Snorm,  F::Rg8ui,
        F::Rg8i,     F::Rg16f,   F::Rg16,       F::Rg16Snorm, F::Rg16ui,  F::Rg16i,   F::Rg32f,     F::Rg32ui,
        F::Rg32i,    F::Rgba8,   F::Rgba8Snorm, F::Rgba8ui,   F::Rgba8i,  F::Rgba16f, F::Rgba16,    F::Rgba16Snorm,
        F::Rgba16ui, F::Rgba16i, F::Rgba32f,    F::Rgba32ui,  F::Rgba32i, F::Rgb10A2, F::Rgb10a2ui, F::R11fG11fB10f,
    };
    static_assert(std::size(Formats) == TextureFormatCount);
    auto index = static_cast<int32_t>(format);
    if (index < 0 || index >= TextureFormatCount) {
        throw Common::ArgumentException("Invalid texture format \"" + TextureFormatName(format) + "\".");
    }
    return Formats[index];
}

void Declarations::DeclareParameters(CodeGenContext& context, const StructuredIr::StructuredFunction& function) {
    DeclareParameters(context, function.InArguments, 0);
    DeclareParameters(context, function.OutArguments, static_cast<int32_t>(function.InArguments.size()));
}

void Declarations::DeclareParameters(CodeGenContext& context, std::span<const AggregateType> argumentTypes,
                                     int32_t firstIndex) {
    for (std::size_t i = 0; i < argumentTypes.size(); i++) {
        SpvInst* type = context.GetType(argumentTypes[i]);
        SpvInst* pointerType = context.TypePointer(spv::StorageClass::Function, type);
        SpvInst* parameter = context.FunctionParameter(pointerType);
        auto index = static_cast<std::size_t>(firstIndex) + i;
        if (context.Arguments.size() <= index)
            context.Arguments.resize(index + 1, nullptr);
        if (context.Arguments[index] != nullptr) {
            throw Common::ArgumentException("An item with the same key has already been added.");
        }
        context.Arguments[index] = parameter;
    }
}

void Declarations::DeclareLocals(CodeGenContext& context, const StructuredIr::StructuredFunction& function) {
    context.Locals.reserve(function.Locals.Count());
    for (StructuredIr::AstOperand* local : function.Locals) {
        SpvInst* type = context.GetType(local->VarType);
        SpvInst* pointerType = context.TypePointer(spv::StorageClass::Function, type);
        SpvInst* variable = context.Variable(pointerType, spv::StorageClass::Function);
        context.AddLocalVariable(variable);
        if (!context.Locals.emplace(local, variable).second) {
            throw Common::ArgumentException("An item with the same key has already been added.");
        }
    }
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
