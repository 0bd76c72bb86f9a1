// Texture sampling, fetches, level-of-detail and size queries, and storage
// image loads, stores and atomics.
#include <array>
#include <bit>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Instructions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/StructuredIr/TextureDefinition.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IntermediateRepresentation::TextureFlags;
using Spv::Generator::LiteralInteger;
using StructuredIr::AstOperation;
using StructuredIr::AstTextureOperation;
using Translation::AggregateType;
using SpvInst = Spv::Generator::Instruction;
using ImageOperands = spv::ImageOperandsMask;

namespace {

const AstTextureOperation& AsTexture(const AstOperation& operation) {
    const AstTextureOperation* texture = StructuredIr::As<AstTextureOperation>(&operation);
    if (texture == nullptr)
        throw Common::InvalidOperationException("A texture instruction needs a texture operation.");
    return *texture;
}

bool Has(TextureFlags flags, TextureFlags flag) { return (flags & flag) == flag; }

// Fetches the operation's sources one after the other.
class SourceReader {
  public:
    SourceReader(CodeGenContext& context, const AstOperation& operation) : _context(context), _operation(operation) {}

    SpvInst* Next(AggregateType type) { return _context.Get(type, _operation.GetSource(_index++)); }
    bool HasMore() const { return _index < _operation.SourcesCount(); }

  private:
    CodeGenContext& _context;
    const AstOperation& _operation;
    int32_t _index = 0;
};

template <typename Map> const auto& Declared(const Map& map, const SetBindingPair& key) {
    const auto* value = map.Find(key);
    if (value == nullptr) {
        throw Common::KeyNotFoundException("Texture or image " + key.ToString() + " was never declared.");
    }
    return *value;
}

// One texture is declared with one type (dimensions, array, multisample):
// an operation that addresses it as another type would build coordinates
// the image cannot take. The guest reads such a descriptor as something it
// is not; fail with a typed error rather than write an invalid module.
void CheckDeclaredType(const CodeGenContext& context, const AstTextureOperation& operation) {
    constexpr SamplerType Shape = SamplerType::Mask | SamplerType::Array | SamplerType::Multisample;
    const SetBindingPair binding = operation.GetTextureSetAndBinding();
    const StructuredIr::TextureDefinition* definition = context.Properties.Textures().Find(binding);
    if (definition == nullptr || (definition->Type & Shape) == (operation.Type & Shape))
        return;
    throw Common::InvalidOperationException("The texture at binding " + std::to_string(binding.Binding) +
                                            " is declared as " + SamplerTypeName(definition->Type & Shape) +
                                            " but used as " + SamplerTypeName(operation.Type & Shape) + ".");
}

SpvInst* LoadSampledImage(CodeGenContext& context, const AstTextureOperation& operation,
                          const SamplerDeclaration& declaration, SourceReader& sources) {
    SpvInst* image = declaration.Image;
    if (declaration.IsIndexed) {
        SpvInst* index = sources.Next(AggregateType::S32);
        image = context.AccessChain(declaration.ImagePointerType, image, index);
        Instructions::MarkNonUniform(context, image);
    }
    if (operation.SamplerBinding < 0) {
        SpvInst* loaded = context.Load(declaration.SampledImageType, image);
        if (declaration.IsIndexed)
            Instructions::MarkNonUniform(context, loaded);
        return loaded;
    }
    SpvInst* imageValue = context.Load(declaration.ImageType, image);
    if (declaration.IsIndexed)
        Instructions::MarkNonUniform(context, imageValue);
    const SamplerDeclaration& samplerDeclaration = Declared(context.Samplers, operation.GetSamplerSetAndBinding());
    SpvInst* sampler = samplerDeclaration.Image;
    if (samplerDeclaration.IsIndexed) {
        SpvInst* index = sources.Next(AggregateType::S32);
        sampler = context.AccessChain(samplerDeclaration.ImagePointerType, sampler, index);
        Instructions::MarkNonUniform(context, sampler);
    }
    SpvInst* samplerValue = context.Load(samplerDeclaration.ImageType, sampler);
    if (samplerDeclaration.IsIndexed)
        Instructions::MarkNonUniform(context, samplerValue);
    SpvInst* result = context.SampledImage(declaration.SampledImageType, imageValue, samplerValue);
    if (declaration.IsIndexed || samplerDeclaration.IsIndexed)
        Instructions::MarkNonUniform(context, result);
    return result;
}

SpvInst* VectorOrScalar(CodeGenContext& context, AggregateType elementType, const std::vector<SpvInst*>& values) {
    if (values.size() == 1)
        return values[0];
    SpvInst* element = context.GetType(elementType);
    SpvInst* vectorType = context.TypeVectorOf(element, static_cast<int32_t>(values.size()));
    return context.CompositeConstruct(vectorType, values);
}

// dims components of type, one source each.
SpvInst* AssembleVector(CodeGenContext& context, SourceReader& sources, AggregateType type, int32_t count) {
    std::vector<SpvInst*> values;
    values.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; i++)
        values.push_back(sources.Next(type));
    return VectorOrScalar(context, type, values);
}

bool AllConstant(const std::vector<SpvInst*>& values) {
    for (SpvInst* value : values) {
        if (value->Opcode != spv::Op::OpConstant)
            return false;
    }
    return true;
}

// Storage image coordinates: dims plus the layer, all signed.
SpvInst* ImageCoordinates(CodeGenContext& context, SourceReader& sources, SamplerType type) {
    int32_t count = SamplerTypeExtensions::get_Dimensions(type) + (HasFlag(type, SamplerType::Array) ? 1 : 0);
    return AssembleVector(context, sources, AggregateType::S32, count);
}

SpvInst* ZeroOf(CodeGenContext& context, AggregateType type) {
    switch (type) {
    case AggregateType::S32:
        return context.ConstantS32(0);
    case AggregateType::U32:
        return context.ConstantU32(0);
    default:
        return context.ConstantFP32(0.0f);
    }
}

std::span<LiteralInteger* const> One(LiteralInteger*& literal) { return std::span<LiteralInteger* const>(&literal, 1); }

} // namespace

void Instructions::MarkNonUniform(CodeGenContext& context, SpvInst* instruction) {
    if (!context.HostCapabilities.HasNonUniformIndexing)
        return;
    if (!context.NonUniformDeclared) {
        context.AddExtensionOnce("SPV_EXT_descriptor_indexing");
        context.AddCapabilityOnce(spv::Capability::ShaderNonUniform);
        context.AddCapabilityOnce(spv::Capability::SampledImageArrayNonUniformIndexing);
        context.AddCapabilityOnce(spv::Capability::StorageImageArrayNonUniformIndexing);
    }
    context.Decorate(instruction, spv::Decoration::NonUniform);
    context.NonUniformDeclared = true;
}

SpvInst* Instructions::GetSwizzledResult(CodeGenContext& context, SpvInst* vector, AggregateType type, int32_t mask) {
    SpvInst* resultType = context.GetType(type);
    if ((static_cast<uint32_t>(type) & static_cast<uint32_t>(AggregateType::ElementCountMask)) != 0) {
        std::vector<LiteralInteger*> components;
        for (int32_t i = 0; i < 4; i++) {
            if ((mask & (1 << i)) != 0)
                components.push_back(LiteralInteger::FromInt32(i));
        }
        return context.VectorShuffle(resultType, vector, vector, components);
    }
    uint32_t bits = static_cast<uint32_t>(mask) & 0xFu;
    LiteralInteger* component = LiteralInteger::FromInt32(bits == 0 ? 0 : std::countr_zero(bits));
    return context.CompositeExtract(resultType, vector, One(component));
}

OperationResult Instructions::GenerateTextureSample(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    TextureFlags flags = operation.Flags;
    bool isGather = Has(flags, TextureFlags::Gather);
    bool hasDerivatives = Has(flags, TextureFlags::Derivatives);
    bool intCoords = Has(flags, TextureFlags::IntCoords);
    bool hasLodBias = Has(flags, TextureFlags::LodBias);
    bool hasLodLevel = Has(flags, TextureFlags::LodLevel);
    bool hasOffset = Has(flags, TextureFlags::Offset);
    bool hasOffsets = Has(flags, TextureFlags::Offsets);
    bool isArray = HasFlag(operation.Type, SamplerType::Array);
    bool isMultisample = HasFlag(operation.Type, SamplerType::Multisample);
    bool isShadow = HasFlag(operation.Type, SamplerType::Shadow);

    const SamplerDeclaration& declaration = Declared(context.Samplers, operation.GetTextureSetAndBinding());
    CheckDeclaredType(context, operation);
    SourceReader sources(context, operation);
    SpvInst* sampledImage = LoadSampledImage(context, operation, declaration, sources);

    int32_t dims = SamplerTypeExtensions::get_Dimensions(operation.Type);
    int32_t count = dims + (isArray ? 1 : 0);
    AggregateType coordType = intCoords ? AggregateType::S32 : AggregateType::FP32;

    SpvInst* coordinates;
    if (count == 1) {
        coordinates = sources.Next(coordType);
    } else {
        std::vector<SpvInst*> elements;
        elements.reserve(static_cast<std::size_t>(count));
        for (int32_t i = 0; i < count; i++) {
            if (isArray && i == dims) {
                SpvInst* layer = sources.Next(AggregateType::S32);
                if (!intCoords) {
                    SpvInst* floatType = context.TypeFP32();
                    layer = context.ConvertSToF(floatType, layer);
                }
                elements.push_back(layer);
            } else {
                elements.push_back(sources.Next(coordType));
            }
        }
        coordinates = VectorOrScalar(context, coordType, elements);
    }

    if (!intCoords) {
        // NaN coordinates read texel 0 on the guest: turn every NaN into 0.0.
        if (count == 1) {
            SpvInst* zero = context.ConstantFP32(0.0f);
            SpvInst* boolType = context.TypeBool();
            SpvInst* isNan = context.IsNan(boolType, coordinates);
            SpvInst* floatType = context.TypeFP32();
            coordinates = context.Select(floatType, isNan, zero, coordinates);
        } else {
            SpvInst* floatType = context.TypeFP32();
            SpvInst* vectorType = context.TypeVectorOf(floatType, count);
            SpvInst* zeroElement = context.ConstantFP32(0.0f);
            std::vector<SpvInst*> zeros(static_cast<std::size_t>(count), zeroElement);
            SpvInst* zero = context.ConstantComposite(vectorType, zeros);
            SpvInst* boolType = context.TypeBool();
            SpvInst* boolVector = context.TypeVectorOf(boolType, count);
            SpvInst* isNan = context.IsNan(boolVector, coordinates);
            coordinates = context.Select(vectorType, isNan, zero, coordinates);
        }
    }

    SpvInst* reference = nullptr;
    if (isShadow) {
        reference = sources.Next(AggregateType::FP32);
        if (isArray) {
            // Array shadow lookups compare at 16-bit depth precision.
            SpvInst* floatType = context.TypeFP32();
            SpvInst* zero = context.ConstantFP32(0.0f);
            SpvInst* one = context.ConstantFP32(1.0f);
            reference = context.GlslFClamp(floatType, reference, zero, one);
            SpvInst* scale = context.ConstantFP32(65535.0f);
            reference = context.FMul(floatType, reference, scale);
            SpvInst* half = context.ConstantFP32(0.5f);
            reference = context.FAdd(floatType, reference, half);
            reference = context.GlslFloor(floatType, reference);
            SpvInst* inverse = context.ConstantFP32(std::bit_cast<float>(0x37800080u));
            reference = context.FMul(floatType, reference, inverse);
        }
    }

    SpvInst* dPdx = nullptr;
    SpvInst* dPdy = nullptr;
    if (hasDerivatives) {
        dPdx = AssembleVector(context, sources, AggregateType::FP32, dims);
        dPdy = AssembleVector(context, sources, AggregateType::FP32, dims);
    }

    SpvInst* sampleIndex = nullptr;
    SpvInst* lod = nullptr;
    if (isMultisample) {
        sampleIndex = sources.Next(AggregateType::S32);
    } else if (hasLodLevel) {
        lod = sources.Next(coordType);
    }

    // Offsets are immediates on the guest; one that is not a constant here
    // takes the non-constant operand form instead of an invalid constant one.
    auto assembleOffset = [&](bool& isConstant) {
        std::vector<SpvInst*> values;
        values.reserve(static_cast<std::size_t>(dims));
        for (int32_t i = 0; i < dims; i++)
            values.push_back(sources.Next(AggregateType::S32));
        isConstant = AllConstant(values);
        if (values.size() == 1)
            return values[0];
        SpvInst* intType = context.TypeS32();
        SpvInst* vectorType = context.TypeVectorOf(intType, dims);
        return isConstant ? context.ConstantComposite(vectorType, values)
                          : context.CompositeConstruct(vectorType, values);
    };
    SpvInst* offset = nullptr;
    bool offsetIsConstant = true;
    std::array<SpvInst*, 4> offsets{};
    bool offsetsAreConstant = true;
    if (hasOffset) {
        offset = assembleOffset(offsetIsConstant);
    } else if (hasOffsets) {
        for (SpvInst*& value : offsets) {
            bool isConstant = true;
            value = assembleOffset(isConstant);
            offsetsAreConstant = offsetsAreConstant && isConstant;
        }
    }

    SpvInst* bias = nullptr;
    if (hasLodBias)
        bias = sources.Next(AggregateType::FP32);

    // Only fragment shaders have implicit derivatives; elsewhere the level
    // is explicit (the bias, if any, is the level).
    if (!isGather && !intCoords && !hasLodLevel && !isMultisample && !hasDerivatives &&
        context.Definitions.Stage != ShaderStage::Fragment) {
        lod = bias != nullptr ? bias : context.ConstantFP32(0.0f);
        hasLodLevel = true;
        hasLodBias = false;
    }

    SpvInst* component = nullptr;
    if (isGather && !isShadow)
        component = sources.Next(AggregateType::S32);

    ImageOperands mask = ImageOperands::MaskNone;
    std::vector<SpvInst*> operands;
    if (hasLodBias) {
        mask = mask | ImageOperands::Bias;
        operands.push_back(bias);
    }
    if (hasLodLevel && !isMultisample) {
        mask = mask | ImageOperands::Lod;
        operands.push_back(lod);
    }
    if (hasDerivatives) {
        mask = mask | ImageOperands::Grad;
        operands.push_back(dPdx);
        operands.push_back(dPdy);
    }
    if (hasOffset) {
        mask = mask | (offsetIsConstant ? ImageOperands::ConstOffset : ImageOperands::Offset);
        operands.push_back(offset);
    } else if (hasOffsets) {
        if (!offsetsAreConstant) {
            throw Common::InvalidOperationException("Gather offsets must be constants.");
        }
        SpvInst* intType = context.TypeS32();
        SpvInst* vectorType = context.TypeVectorOf(intType, dims);
        SpvInst* length = context.ConstantU32(4);
        SpvInst* arrayType = context.TypeArray(vectorType, length);
        mask = mask | ImageOperands::ConstOffsets;
        operands.push_back(context.ConstantComposite(arrayType, offsets));
    }
    if (isMultisample) {
        mask = mask | ImageOperands::Sample;
        operands.push_back(sampleIndex);
    }

    SpvInst* floatType = context.TypeFP32();
    SpvInst* resultType = isShadow && !isGather ? floatType : context.TypeVectorOf(floatType, 4);

    SpvInst* result;
    if (intCoords) {
        SpvInst* image = context.Image(declaration.ImageType, sampledImage);
        result = context.ImageFetch(resultType, image, coordinates, mask, operands);
    } else if (isGather && isShadow) {
        result = context.ImageDrefGather(resultType, sampledImage, coordinates, reference, mask, operands);
    } else if (isGather) {
        result = context.ImageGather(resultType, sampledImage, coordinates, component, mask, operands);
    } else if (isShadow) {
        result =
            hasLodLevel
                ? context.ImageSampleDrefExplicitLod(resultType, sampledImage, coordinates, reference, mask, operands)
                : context.ImageSampleDrefImplicitLod(resultType, sampledImage, coordinates, reference, mask, operands);
    } else if (hasDerivatives || hasLodLevel) {
        result = context.ImageSampleExplicitLod(resultType, sampledImage, coordinates, mask, operands);
    } else {
        result = context.ImageSampleImplicitLod(resultType, sampledImage, coordinates, mask, operands);
    }

    AggregateType type = operation.GetVectorType(AggregateType::FP32);
    if (isGather || !isShadow) {
        return OperationResult(type, GetSwizzledResult(context, result, type, operation.Index));
    }
    // A depth comparison gives one value; every component the operation
    // writes receives it, as each does when written on its own.
    if (type != AggregateType::FP32) {
        const int32_t count = std::popcount(static_cast<uint32_t>(operation.Index));
        SpvInst* vectorType = context.TypeVectorOf(floatType, count);
        std::vector<SpvInst*> components(static_cast<std::size_t>(count), result);
        return OperationResult(type, context.CompositeConstruct(vectorType, components));
    }
    return OperationResult(AggregateType::FP32, result);
}

OperationResult Instructions::GenerateLod(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    if (operation.Index < 0 || operation.Index > 1) {
        throw Common::ArgumentOutOfRangeException("A level-of-detail query has two components.");
    }
    // The level of detail comes from implicit derivatives, which only
    // fragment shaders have: elsewhere the level is 0.
    if (context.Definitions.Stage != ShaderStage::Fragment) {
        return OperationResult(AggregateType::FP32, context.ConstantFP32(0.0f));
    }
    const SamplerDeclaration& declaration = Declared(context.Samplers, operation.GetTextureSetAndBinding());
    CheckDeclaredType(context, operation);
    SourceReader sources(context, operation);
    SpvInst* sampledImage = LoadSampledImage(context, operation, declaration, sources);
    int32_t dims = SamplerTypeExtensions::get_Dimensions(operation.Type);
    SpvInst* coordinates = AssembleVector(context, sources, AggregateType::FP32, dims);
    SpvInst* floatType = context.TypeFP32();
    SpvInst* vec2 = context.TypeVectorOf(floatType, 2);
    SpvInst* lod = context.ImageQueryLod(vec2, sampledImage, coordinates);
    LiteralInteger* index = LiteralInteger::FromInt32(operation.Index);
    SpvInst* resultType = context.TypeFP32();
    return OperationResult(AggregateType::FP32, context.CompositeExtract(resultType, lod, One(index)));
}

OperationResult Instructions::GenerateTextureQuerySamples(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    const SetBindingPair binding = operation.GetTextureSetAndBinding();
    const SamplerDeclaration& declaration = Declared(context.Samplers, binding);
    // Only multisampled images can be asked for their sample count; any
    // other texture has one sample per texel.
    const StructuredIr::TextureDefinition* definition = context.Properties.Textures().Find(binding);
    if (definition == nullptr || !HasFlag(definition->Type, SamplerType::Multisample))
        return OperationResult(AggregateType::S32, context.ConstantS32(1));
    SourceReader sources(context, operation);
    SpvInst* sampledImage = LoadSampledImage(context, operation, declaration, sources);
    SpvInst* image = context.Image(declaration.ImageType, sampledImage);
    SpvInst* intType = context.TypeS32();
    return OperationResult(AggregateType::S32, context.ImageQuerySamples(intType, image));
}

namespace {
OperationResult GenerateImageQuerySize(CodeGenContext& context, const AstTextureOperation& operation);
}

OperationResult Instructions::GenerateTextureQuerySize(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    SetBindingPair binding = operation.GetTextureSetAndBinding();
    // A size query bound to a storage image asks the image's size (the guest
    // queries images with the texture query instruction).
    if (context.Samplers.Find(binding) == nullptr && context.Images.Find(binding) != nullptr)
        return GenerateImageQuerySize(context, operation);
    const SamplerDeclaration& declaration = Declared(context.Samplers, binding);
    SourceReader sources(context, operation);
    SpvInst* sampledImage = LoadSampledImage(context, operation, declaration, sources);
    SpvInst* image = context.Image(declaration.ImageType, sampledImage);

    if (operation.Index == 3) {
        SpvInst* intType = context.TypeS32();
        return OperationResult(AggregateType::S32, context.ImageQueryLevels(intType, image));
    }

    SamplerType type = Declared(context.SamplerTypes, binding);
    SamplerType baseType = type & SamplerType::Mask;
    int32_t components = baseType == SamplerType::TextureCube ? 2 : SamplerTypeExtensions::get_Dimensions(type);
    if (HasFlag(type, SamplerType::Array))
        components++;
    bool hasLod = !HasFlag(type, SamplerType::Multisample) && type != SamplerType::TextureBuffer;

    SpvInst* intType = context.TypeS32();
    SpvInst* sizeType = components == 1 ? intType : context.TypeVectorOf(intType, components);
    SpvInst* size;
    if (hasLod) {
        SpvInst* lod = sources.Next(AggregateType::S32);
        size = context.ImageQuerySizeLod(sizeType, image, lod);
    } else {
        size = context.ImageQuerySize(sizeType, image);
    }
    if (operation.Index < 0 || operation.Index >= components) {
        // The texture has no such dimension: its extent along it is 0.
        return OperationResult(AggregateType::S32, context.ConstantS32(0));
    }
    if (components > 1) {
        LiteralInteger* index = LiteralInteger::FromInt32(operation.Index);
        SpvInst* resultType = context.TypeS32();
        size = context.CompositeExtract(resultType, size, One(index));
    }
    return OperationResult(AggregateType::S32, size);
}

namespace {

struct StorageImage {
    const ImageDeclaration* Declaration;
    SpvInst* Image;
};

StorageImage GetStorageImage(CodeGenContext& context, const AstTextureOperation& operation, SourceReader& sources) {
    const ImageDeclaration& declaration = Declared(context.Images, operation.GetTextureSetAndBinding());
    SpvInst* image = declaration.Image;
    if (declaration.IsIndexed) {
        SpvInst* index = sources.Next(AggregateType::S32);
        image = context.AccessChain(declaration.ImagePointerType, image, index);
        Instructions::MarkNonUniform(context, image);
    }
    return {&declaration, image};
}

SpvInst* LoadImage(CodeGenContext& context, const StorageImage& image) {
    SpvInst* value = context.Load(image.Declaration->ImageType, image.Image);
    if (image.Declaration->IsIndexed)
        Instructions::MarkNonUniform(context, value);
    return value;
}

// A storage image has one level and no level-of-detail operand; the
// operation's type is the image's declared one.
OperationResult GenerateImageQuerySize(CodeGenContext& context, const AstTextureOperation& operation) {
    if (operation.Index == 3)
        return OperationResult(AggregateType::S32, context.ConstantS32(1));
    SourceReader sources(context, operation);
    StorageImage image = GetStorageImage(context, operation, sources);
    SpvInst* imageValue = LoadImage(context, image);
    SamplerType type = operation.Type;
    int32_t components = (type & SamplerType::Mask) == SamplerType::TextureCube
                             ? 2
                             : SamplerTypeExtensions::get_Dimensions(type);
    if (HasFlag(type, SamplerType::Array))
        components++;
    if (operation.Index < 0 || operation.Index >= components)
        return OperationResult(AggregateType::S32, context.ConstantS32(0));
    SpvInst* intType = context.TypeS32();
    SpvInst* sizeType = components == 1 ? intType : context.TypeVectorOf(intType, components);
    SpvInst* size = context.ImageQuerySize(sizeType, imageValue);
    if (components > 1) {
        LiteralInteger* index = LiteralInteger::FromInt32(operation.Index);
        SpvInst* resultType = context.TypeS32();
        size = context.CompositeExtract(resultType, size, One(index));
    }
    return OperationResult(AggregateType::S32, size);
}

} // namespace

OperationResult Instructions::GenerateImageLoad(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    SourceReader sources(context, operation);
    StorageImage image = GetStorageImage(context, operation, sources);
    // The texel type is the image's declared one; reading it as anything else
    // would not validate.
    AggregateType componentType = image.Declaration->ComponentType;
    if (image.Declaration->Formatless)
        context.AddCapabilityOnce(spv::Capability::StorageImageReadWithoutFormat);
    SpvInst* imageValue = LoadImage(context, image);
    SpvInst* coordinates = ImageCoordinates(context, sources, operation.Type);
    SpvInst* element = context.GetType(componentType);
    SpvInst* vec4 = context.TypeVectorOf(element, 4);
    SpvInst* texel = context.ImageRead(vec4, imageValue, coordinates, ImageOperands::MaskNone, {});
    AggregateType type = operation.GetVectorType(componentType);
    return OperationResult(type, GetSwizzledResult(context, texel, type, operation.Index));
}

OperationResult Instructions::GenerateImageStore(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    SourceReader sources(context, operation);
    StorageImage image = GetStorageImage(context, operation, sources);
    AggregateType componentType = image.Declaration->ComponentType;
    if (image.Declaration->Formatless)
        context.AddCapabilityOnce(spv::Capability::StorageImageWriteWithoutFormat);
    SpvInst* imageValue = LoadImage(context, image);
    SpvInst* coordinates = ImageCoordinates(context, sources, operation.Type);
    std::array<SpvInst*, 4> components{};
    for (SpvInst*& component : components) {
        component = sources.HasMore() ? sources.Next(componentType) : ZeroOf(context, componentType);
    }
    SpvInst* element = context.GetType(componentType);
    SpvInst* vec4 = context.TypeVectorOf(element, 4);
    SpvInst* texel = context.CompositeConstruct(vec4, components);
    context.ImageWrite(imageValue, coordinates, texel, ImageOperands::MaskNone, {});
    return OperationResult::Invalid();
}

OperationResult Instructions::GenerateImageAtomic(CodeGenContext& context, const AstOperation& base) {
    const AstTextureOperation& operation = AsTexture(base);
    SourceReader sources(context, operation);
    StorageImage image = GetStorageImage(context, operation, sources);
    // Atomics work on integers: an image whose format reads as float is
    // declared with an integer view (see the image declarations).
    AggregateType componentType = image.Declaration->ComponentType;
    SpvInst* coordinates = ImageCoordinates(context, sources, operation.Type);
    SpvInst* value = sources.Next(componentType);
    SpvInst* sample = context.ConstantU32(0);
    SpvInst* element = context.GetType(componentType);
    SpvInst* pointerType = context.TypePointer(spv::StorageClass::Image, element);
    SpvInst* texelPointer = context.ImageTexelPointer(pointerType, image.Image, coordinates, sample);
    SpvInst* scope = context.ConstantU32(static_cast<uint32_t>(spv::Scope::Device));
    SpvInst* semantics = context.ConstantU32(0);
    SpvInst* resultType = context.GetType(componentType);
    bool isSigned = componentType == AggregateType::S32;

    SpvInst* result;
    switch (operation.Flags & TextureFlags::AtomicMask) {
    case TextureFlags::Minimum:
        result = isSigned ? context.AtomicSMin(resultType, texelPointer, scope, semantics, value)
                          : context.AtomicUMin(resultType, texelPointer, scope, semantics, value);
        break;
    case TextureFlags::Maximum:
        result = isSigned ? context.AtomicSMax(resultType, texelPointer, scope, semantics, value)
                          : context.AtomicUMax(resultType, texelPointer, scope, semantics, value);
        break;
    case TextureFlags::Increment:
        result = context.AtomicIIncrement(resultType, texelPointer, scope, semantics);
        break;
    case TextureFlags::Decrement:
        result = context.AtomicIDecrement(resultType, texelPointer, scope, semantics);
        break;
    case TextureFlags::BitwiseAnd:
        result = context.AtomicAnd(resultType, texelPointer, scope, semantics, value);
        break;
    case TextureFlags::BitwiseOr:
        result = context.AtomicOr(resultType, texelPointer, scope, semantics, value);
        break;
    case TextureFlags::BitwiseXor:
        result = context.AtomicXor(resultType, texelPointer, scope, semantics, value);
        break;
    case TextureFlags::Swap:
        result = context.AtomicExchange(resultType, texelPointer, scope, semantics, value);
        break;
    case TextureFlags::CAS: {
        SpvInst* newValue = sources.Next(componentType);
        result = context.AtomicCompareExchange(resultType, texelPointer, scope, semantics, semantics, newValue, value);
        break;
    }
    default:
        result = context.AtomicIAdd(resultType, texelPointer, scope, semantics, value);
        break;
    }
    return OperationResult(componentType, result);
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
