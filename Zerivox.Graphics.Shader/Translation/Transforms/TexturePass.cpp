// Texture transforms: resolution scaling of texel fetches and size queries,
// coordinate normalisation, gather bias and emulation of non-constant
// texture offsets.
#include "Zerivox.Graphics.Shader/Translation/Transforms/TexturePass.h"

#include <bit>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

bool IsIndexed(const ResourceManager& resourceManager, const TextureOperation& op, bool isImage) {
    return HasFlag(op.Flags, TextureFlags::Bindless) || resourceManager.IsArrayOfTexturesOrImages(op.Binding, isImage);
}

// Number of index sources in front of the coordinates: the texture index of
// an array access, plus the separate sampler index when the operation has one.
int LeadingIndexCount(const ResourceManager& resourceManager, const TextureOperation& op) {
    if (!IsIndexed(resourceManager, op, InstructionExtensions::IsImage(op.Inst))) return 0;
    return op.SamplerBinding >= 0 ? 2 : 1;
}

bool IsScaledStage(ShaderStage stage) {
    return stage == ShaderStage::Compute || stage == ShaderStage::Vertex || stage == ShaderStage::Fragment;
}

int32_t SamplerIndex(const ResourceManager& resourceManager, const TextureOperation& op, bool isImage) {
    if (isImage) {
        const int32_t textures = static_cast<int32_t>(resourceManager.GetTextureDescriptors(false).size());
        const std::vector<TextureDescriptor> images = resourceManager.GetImageDescriptors(true);
        return textures + ResourceManager::FindDescriptorIndex(images, op.Binding);
    }
    const std::vector<TextureDescriptor> textures = resourceManager.GetTextureDescriptors(true);
    return ResourceManager::FindDescriptorIndex(textures, op.Binding);
}

// A size query that the resource manager found to ask an image's size.
bool IsImageSizeQuery(const ResourceManager& resourceManager, const TextureOperation& op) {
    const SetBindingPair pair(op.Set, op.Binding);
    return op.Inst == Instruction::TextureQuerySize && resourceManager.Properties().Images().Find(pair) != nullptr &&
           resourceManager.Properties().Textures().Find(pair) == nullptr;
}

// The guest asks an image's size with the texture query; once every access
// is known, such a query is bound to the image and takes its declared type.
void RebindImageSizeQuery(ResourceManager& resourceManager, TextureOperation& op) {
    if (op.Inst != Instruction::TextureQuerySize || HasFlag(op.Flags, TextureFlags::Bindless) ||
        op.SamplerBinding >= 0) {
        return;
    }
    SetBindingPair image;
    SamplerType type = SamplerType::None;
    if (!resourceManager.TryMoveTextureQueryToImage(op.Binding, image, type)) return;
    op.Set = image.SetIndex;
    op.Binding = image.Binding;
    if (type != SamplerType::None) op.Type = type;
}

Operand* InsertBefore(INode* anchor, Instruction inst, std::initializer_list<Operand*> sources) {
    Operation* op = anchor->AsOperation();
    IrArena& arena = op->Arena();
    Operand* dest = OH::MakeLocal(arena);
    anchor->List()->AddBefore(anchor, arena.NewOperation(inst, dest, sources));
    return dest;
}

Operand* GenerateI2f(INode* node, Operand* value) { return InsertBefore(node, Instruction::ConvertS32ToFP32, {value}); }
Operand* GenerateF2i(INode* node, Operand* value) { return InsertBefore(node, Instruction::ConvertFP32ToS32, {value}); }

TextureOperation* NewTextureLike(const TextureOperation& op, Instruction inst, int32_t index,
                                 std::span<Operand* const> dests, std::span<Operand* const> sources) {
    TextureOperation* copy = op.Arena().NewTextureOperation(inst, op.Type, op.Format, op.Flags, op.Set, op.Binding,
                                                            index, dests, sources);
    return copy;
}

Operand* InsertSizeQuery(INode* anchor, const TextureOperation& op, int i, Operand* handle, Operand* lod) {
    IrArena& arena = op.Arena();
    Operand* size = OH::MakeLocal(arena);
    Operand* dests[1] = {size};
    Operand* withHandle[2] = {handle, lod};
    Operand* withoutHandle[1] = {lod};
    std::span<Operand* const> sources =
        handle != nullptr ? std::span<Operand* const>(withHandle) : std::span<Operand* const>(withoutHandle);
    TextureOperation* query = NewTextureLike(op, Instruction::TextureQuerySize, i, dests, sources);
    anchor->List()->AddBefore(anchor, query);
    return size;
}

INode* InsertTextureSizeUnscaleImpl(HelperFunctionManager& hfm, INode* node, ResourceManager& resourceManager,
                                    ShaderStage stage) {
    TextureOperation* op = node->AsTextureOperation();
    if (op == nullptr || op->Inst != Instruction::TextureQuerySize || op->Index >= 2) return node;
    const bool isImage = IsImageSizeQuery(resourceManager, *op);
    if (IsIndexed(resourceManager, *op, isImage) || !IsScaledStage(stage) ||
        (op->Type & SamplerType::Mask) != SamplerType::Texture2D) {
        return node;
    }
    IrArena& arena = op->Arena();
    const int32_t id = hfm.GetOrCreateFunctionId(HelperFunctionName::TextureSizeUnscale);
    const int32_t samplerIndex = SamplerIndex(resourceManager, *op, isImage);
    for (int i = op->DestsCount() - 1; i >= 0; i--) {
        Operand* d = op->GetDest(i);
        if (d == nullptr) continue;
        Operand* unscaled = OH::MakeLocal(arena);
        for (INode* user : d->Uses.ToVector()) {
            for (int s = 0; s < user->SourcesCount(); s++) {
                if (user->GetSource(s) == d) user->SetSource(s, unscaled);
            }
        }
        Operation* call = arena.NewOperation(Instruction::Call, unscaled,
                                             {OH::MakeConstant(arena, id), d, OH::MakeConstant(arena, samplerIndex)});
        node->List()->AddAfter(node, call);
    }
    return node;
}

INode* InsertTexelFetchScaleImpl(HelperFunctionManager& hfm, INode* node, ResourceManager& resourceManager,
                                 ShaderStage stage) {
    TextureOperation* op = node->AsTextureOperation();
    if (op == nullptr) return node;
    const bool isImage = op->Inst == Instruction::ImageLoad;
    if ((op->Inst != Instruction::TextureSample && !isImage) ||
        (!isImage && !HasFlag(op->Flags, TextureFlags::IntCoords)) || IsIndexed(resourceManager, *op, isImage) ||
        !IsScaledStage(stage) || (op->Type & SamplerType::Mask) != SamplerType::Texture2D) {
        return node;
    }
    IrArena& arena = op->Arena();
    const int32_t id = hfm.GetOrCreateFunctionId(HelperFunctionName::TexelFetchScale);
    const int32_t samplerIndex = SamplerIndex(resourceManager, *op, isImage);
    for (int i = 0; i < 2 && i < op->SourcesCount(); i++) {
        Operand* scaled = OH::MakeLocal(arena);
        Operand* idConst = OH::MakeConstant(arena, id);
        Operand* indexConst = OH::MakeConstant(arena, samplerIndex);
        Operation* call;
        if (stage == ShaderStage::Fragment) {
            call = arena.NewOperation(Instruction::Call, scaled,
                                      {idConst, op->GetSource(i), indexConst, OH::MakeConstant(arena, i)});
        } else {
            call = arena.NewOperation(Instruction::Call, scaled, {idConst, op->GetSource(i), indexConst});
        }
        node->List()->AddBefore(node, call);
        op->SetSource(i, scaled);
    }
    return node;
}

INode* InsertCoordNormalizationImpl(HelperFunctionManager& hfm, INode* node, ResourceManager& resourceManager,
                                    IGpuAccessor& gpuAccessor, ShaderStage stage) {
    TextureOperation* op = node->AsTextureOperation();
    if (IsIndexed(resourceManager, *op, false)) return node;
    int32_t cbufSlot = 0;
    int32_t handle = 0;
    if (!resourceManager.TryGetCbufSlotAndHandleForTexture(op->Binding, cbufSlot, handle)) return node;
    if (HasFlag(op->Flags, TextureFlags::IntCoords)) return node;
    if (gpuAccessor.QueryTextureUsesNormalizedCoords(handle, cbufSlot)) return node;

    IrArena& arena = op->Arena();
    const SamplerType base = op->Type & SamplerType::Mask;
    const int n = base == SamplerType::TextureCube ? 2 : SamplerTypeExtensions::get_Dimensions(op->Type);
    for (int i = 0; i < n; i++) {
        Operand* size = OH::MakeLocal(arena);
        Operand* dests[1] = {size};
        Operand* sources[1] = {OH::MakeConstant(arena, 0)};
        TextureOperation* query = NewTextureLike(*op, Instruction::TextureQuerySize, i, dests, sources);
        node->List()->AddBefore(node, query);
        resourceManager.SetUsageFlagsForTextureQuery(op->Binding, op->Type);
        Operand* sizeF = GenerateI2f(node, size);
        Operand* normalized =
            InsertBefore(node, Instruction::Divide | Instruction::FP32, {op->GetSource(i), sizeF});
        op->SetSource(i, normalized);
        InsertTextureSizeUnscaleImpl(hfm, query, resourceManager, stage);
    }
    return node;
}

INode* InsertCoordGatherBiasImpl(INode* node, ResourceManager& resourceManager, IGpuAccessor& gpuAccessor) {
    TextureOperation* op = node->AsTextureOperation();
    const int32_t bias = gpuAccessor.QueryHostGatherBiasPrecision();
    if (!HasFlag(op->Flags, TextureFlags::Gather) || bias == 0) return node;
    if (bias < 0 || bias > 29) {
        // 2^(bias + 1) must be a positive int for the conversion below.
        throw Common::ArgumentOutOfRangeException("Gather bias precision must be between 0 and 29.");
    }
    IrArena& arena = op->Arena();
    const int k = LeadingIndexCount(resourceManager, *op);
    const SamplerType base = op->Type & SamplerType::Mask;
    const int n = base == SamplerType::TextureCube ? 2 : SamplerTypeExtensions::get_Dimensions(op->Type);
    const float step = static_cast<float>(1 << (bias + 1));
    for (int i = 0; i < n; i++) {
        Operand* handle = k > 0 ? op->GetSource(0) : nullptr;
        Operand* size = InsertSizeQuery(node, *op, i, handle, OH::MakeConstant(arena, 0));
        Operand* sizeF = GenerateI2f(node, size);
        Operand* scaled =
            InsertBefore(node, Instruction::Multiply | Instruction::FP32, {sizeF, OH::MakeFloatConstant(arena, step)});
        Operand* bump = InsertBefore(node, Instruction::Divide | Instruction::FP32,
                                     {OH::MakeFloatConstant(arena, 1.0f), scaled});
        Operand* biased = InsertBefore(node, Instruction::Add | Instruction::FP32, {op->GetSource(k + i), bump});
        op->SetSource(k + i, biased);
    }
    return node;
}

std::vector<Operand*> InsertTextureBaseSize(INode* node, const TextureOperation& op, Operand* handle, int c) {
    std::vector<Operand*> sizes;
    for (int i = 0; i < c; i++) {
        sizes.push_back(InsertSizeQuery(node, op, i, handle, OH::MakeConstant(op.Arena(), 0)));
    }
    return sizes;
}

std::vector<Operand*> InsertTextureLod(INode* node, const TextureOperation& op, std::span<Operand* const> lodSources,
                                       Operand* handle, int c, ShaderStage stage) {
    IrArena& arena = op.Arena();
    Operand* lod;
    if (stage == ShaderStage::Fragment) {
        lod = OH::MakeLocal(arena);
        Operand* dests[1] = {lod};
        TextureOperation* query = NewTextureLike(op, Instruction::Lod, 0, dests, lodSources);
        query->SamplerSet = op.SamplerSet;
        query->SamplerBinding = op.SamplerBinding;
        node->List()->AddBefore(node, query);
    } else {
        lod = OH::MakeConstant(arena, 0);
    }
    std::vector<Operand*> sizes;
    for (int i = 0; i < c; i++) {
        Operand* level = GenerateF2i(node, lod);
        sizes.push_back(InsertSizeQuery(node, op, i, handle, level));
    }
    return sizes;
}

INode* InsertConstOffsetsImpl(INode* node, ResourceManager& resourceManager, IGpuAccessor& gpuAccessor,
                              ShaderStage stage) {
    TextureOperation* op = node->AsTextureOperation();
    const bool hasOffsets = HasFlag(op->Flags, TextureFlags::Offsets);
    const bool hasOffset = HasFlag(op->Flags, TextureFlags::Offset);
    if (hasOffsets && gpuAccessor.QueryHostSupportsGatherWithOffsets()) return node;
    if (!hasOffset && !hasOffsets) return node;
    if (gpuAccessor.QueryHostSupportsDynamicTextureOffsets()) return node;

    const bool isGather = HasFlag(op->Flags, TextureFlags::Gather);
    const bool isShadow = HasFlag(op->Type, SamplerType::Shadow);
    const int c = SamplerTypeExtensions::get_Dimensions(op->Type);
    const int o = hasOffsets ? 4 * c : c;
    const int h = LeadingIndexCount(resourceManager, *op);

    int pos = h + c;
    int keptBeforeOffsets = pos;
    if (HasFlag(op->Type, SamplerType::Array)) keptBeforeOffsets++;
    if (isShadow) keptBeforeOffsets++;
    if (HasFlag(op->Flags, TextureFlags::Derivatives)) keptBeforeOffsets += 2 * c;
    if (HasFlag(op->Type, SamplerType::Multisample) || HasFlag(op->Flags, TextureFlags::LodLevel)) keptBeforeOffsets++;
    if (keptBeforeOffsets + o > op->SourcesCount()) return node; // malformed: leave it to the back end

    std::vector<Operand*> kept(op->Sources().begin(), op->Sources().begin() + keptBeforeOffsets);
    std::vector<Operand*> offsets(op->Sources().begin() + keptBeforeOffsets,
                                  op->Sources().begin() + keptBeforeOffsets + o);
    kept.insert(kept.end(), op->Sources().begin() + keptBeforeOffsets + o, op->Sources().end());

    bool allConstant = true;
    for (Operand* offset : offsets) allConstant = allConstant && offset->IsConstant();
    if (allConstant) return node;

    std::vector<Operand*> lodSources(op->Sources().begin(), op->Sources().begin() + h + c);
    Operand* handle = h > 0 ? kept[0] : nullptr;
    const TextureFlags newFlags = op->Flags & ~(TextureFlags::Offset | TextureFlags::Offsets);

    auto makeSample = [&](int32_t index, std::span<Operand* const> dests, std::span<Operand* const> sources) {
        TextureOperation* sample = NewTextureLike(*op, Instruction::TextureSample, index, dests, sources);
        sample->Flags = newFlags;
        // A separate sampler stays bound to the replacement.
        sample->SamplerSet = op->SamplerSet;
        sample->SamplerBinding = op->SamplerBinding;
        return sample;
    };

    INode* result;
    if (hasOffsets && isGather && !isShadow) {
        std::vector<Operand*> sizes = InsertTextureBaseSize(node, *op, handle, c);
        INode* p = node;
        INode* last = nullptr;
        int destIndex = 0;
        for (int j = 0; j < 4; j++) {
            if ((op->Index & (1 << j)) == 0) continue;
            std::vector<Operand*> sources = kept;
            for (int i = 0; i < c; i++) {
                Operand* offsetF = GenerateI2f(p, offsets[static_cast<std::size_t>(j * c + i)]);
                Operand* sizeF = GenerateI2f(p, sizes[static_cast<std::size_t>(i)]);
                Operand* f = InsertBefore(p, Instruction::Divide | Instruction::FP32, {offsetF, sizeF});
                Operand* a = InsertBefore(p, Instruction::Add | Instruction::FP32, {kept[static_cast<std::size_t>(h + i)], f});
                sources[static_cast<std::size_t>(h + i)] = a;
            }
            Operand* dest = destIndex < op->DestsCount() ? op->GetDest(destIndex) : nullptr;
            destIndex++;
            Operand* dests[1] = {dest};
            std::span<Operand* const> destSpan =
                dest != nullptr ? std::span<Operand* const>(dests) : std::span<Operand* const>();
            TextureOperation* gather = makeSample(8, destSpan, sources);
            p->List()->AddBefore(p, gather);
            if (last == nullptr) last = gather;
            p = gather;
        }
        // Continue after every new gather: their coordinates already carry the
        // gather bias of the original operation and must not get it again.
        result = last != nullptr ? last : node->ListPrevious();
    } else {
        std::vector<Operand*> sources = kept;
        if (HasFlag(op->Flags, TextureFlags::IntCoords)) {
            for (int i = 0; i < c; i++) {
                Operand* a = InsertBefore(node, Instruction::Add,
                                          {kept[static_cast<std::size_t>(h + i)], offsets[static_cast<std::size_t>(i)]});
                sources[static_cast<std::size_t>(h + i)] = a;
            }
        } else {
            std::vector<Operand*> sizes = isGather ? InsertTextureBaseSize(node, *op, handle, c)
                                                   : InsertTextureLod(node, *op, lodSources, handle, c, stage);
            for (int i = 0; i < c; i++) {
                Operand* offsetF = GenerateI2f(node, offsets[static_cast<std::size_t>(i)]);
                Operand* sizeF = GenerateI2f(node, sizes[static_cast<std::size_t>(i)]);
                Operand* f = InsertBefore(node, Instruction::Divide | Instruction::FP32, {offsetF, sizeF});
                Operand* a = InsertBefore(node, Instruction::Add | Instruction::FP32,
                                          {kept[static_cast<std::size_t>(h + i)], f});
                sources[static_cast<std::size_t>(h + i)] = a;
            }
        }
        TextureOperation* sample = makeSample(op->Index, op->Dests(), sources);
        node->List()->AddBefore(node, sample);
        result = sample;
    }

    node->List()->Remove(node);
    for (int i = 0; i < op->SourcesCount(); i++) op->SetSource(i, nullptr);
    op->set_Dest(nullptr);
    // The replacements were made before the old destinations were dropped,
    // so they are the definitions now.
    return result;
}

} // namespace

bool TexturePass::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags) { return true; }

INode* TexturePass::RunPass(TransformContext& context, INode* node) {
    TextureOperation* texOp = node->AsTextureOperation();
    if (texOp == nullptr) return node;

    RebindImageSizeQuery(context.ResourceManager, *texOp);
    node = InsertTexelFetchScaleImpl(context.Hfm, node, context.ResourceManager, context.Stage);
    node = InsertTextureSizeUnscaleImpl(context.Hfm, node, context.ResourceManager, context.Stage);

    if (texOp->Inst == Instruction::TextureSample) {
        node = InsertCoordNormalizationImpl(context.Hfm, node, context.ResourceManager, context.GpuAccessor,
                                            context.Stage);
        node = InsertCoordGatherBiasImpl(node, context.ResourceManager, context.GpuAccessor);
        node = InsertConstOffsetsImpl(node, context.ResourceManager, context.GpuAccessor, context.Stage);
        if (texOp->Type == SamplerType::TextureBuffer) {
            // Hosts of this system need no buffer-texture fix-up.
            (void)context.GpuAccessor.QueryHostBufferTextureFixup();
        }
    }
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
