// Texture emitters with full register operands: TEX, TLD, TLD4, TXD, TMML,
// TXQ and their bindless forms.
#include "Zerivox.Graphics.Shader/Instructions/InstEmitTexture.h"

#include <array>

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsTexture.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::TexDim;
using Decoders::TexQuery;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::TextureFlags;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

constexpr int RZ = 255;

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

SamplerType BaseType(SamplerType type) { return type & SamplerType::Mask; }

// A 1D texture is sampled as a 2D texture of height one: the caller has
// added the y coordinate 0; the array flag stays.
SamplerType WidenTo2D(SamplerType type) { return (type & ~SamplerType::Mask) | SamplerType::Texture2D; }

bool IsArray(TexDim dimensions) {
    return dimensions == TexDim::Array1d || dimensions == TexDim::Array2d || dimensions == TexDim::Array3d ||
           dimensions == TexDim::ArrayCube;
}

// No texture of the host (nor of the guest's texture headers) is a 3D array
// or a multisampled 3D texture: a module declaring one could never be bound,
// and GLSL has no name for it.
void CheckThreeDimensional(EmitterContext& context, const char* name, TexDim dimensions, bool isMultisample) {
    if (dimensions == TexDim::Array3d)
        InstEmitHelper::ThrowUntranslatable(context, name, "3D textures have no array layers");
    if (isMultisample && dimensions == TexDim::_3d)
        InstEmitHelper::ThrowUntranslatable(context, name, "3D textures have no samples");
}

// One register per set bit of the write mask, from rd on, never reaching RZ.
void MaskDests(EmitterContext& context, int rd, int writeMask, OperandList& dests) {
    int reg = rd;
    for (int bit = 0; bit < 4; bit++) {
        if ((writeMask & (1 << bit)) == 0) continue;
        if (reg >= RZ) break;
        dests.Add(OH::Register(context.Arena(), reg++, Decoders::RegisterType::Gpr));
    }
}

// Bits that only some forms encode; a form without one behaves as with it clear.
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(Ms, false)
ZV_EMIT_OPTIONAL_FIELD(Dc, false)
} // namespace Optional

// TEX samples at floating-point coordinates; TLD fetches texels at integer
// ones.
enum class TexKind : uint8_t { Sample, Fetch };

// The level-of-detail mode: TEX's field (Lodb in the bindless layout); TLD's
// bit picks between level zero (mode 1) and the level in a register (mode 3).
template <Handle H, TexKind K, typename Op> int TexLodMode(const Op& op) {
    if constexpr (K == TexKind::Fetch) {
        return op.Lod() ? 3 : 1;
    } else if constexpr (H == Handle::Bindless) {
        return op.Lodb();
    } else {
        return op.Lod();
    }
}

// Whether a register holds texel offsets: TEX's Aoffi (Aoffib bindless), TLD's Toff.
template <Handle H, TexKind K, typename Op> bool TexHasOffset(const Op& op) {
    if constexpr (K == TexKind::Fetch) {
        return op.Toff();
    } else if constexpr (H == Handle::Bindless) {
        return op.Aoffib();
    } else {
        return op.Aoffi();
    }
}

// TEX, TLD: A holds the layer (arrays) and the coordinates; B the bindless
// handle, then the level of detail, offsets, depth reference and sample index
// as the form asks for them.
template <typename Op, Handle H, TexKind K> void EmitTex(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    TextureFlags flags = (K == TexKind::Fetch ? TextureFlags::IntCoords : TextureFlags::None) |
                         (H == Handle::Bindless ? TextureFlags::Bindless : TextureFlags::None);
    const TexDim dimensions = op.Dim();
    const int lodMode = TexLodMode<H, K>(op);
    const int imm = BoundHandle<H>(op);
    const int componentMask = op.WMask();
    const int rdIndex = op.Rd();
    const bool isMultisample = Optional::Ms(op);
    const bool hasDepthCompare = Optional::Dc(op);
    const bool hasOffset = TexHasOffset<H, K>(op);
    if (rdIndex == RZ) return;

    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rb());
    OperandList sources;

    CheckThreeDimensional(context, HasFlag(flags, TextureFlags::IntCoords) ? "TLD" : "TEX", dimensions, isMultisample);
    SamplerType type = ConvertSamplerType(dimensions);
    const bool isArray = HasFlag(type, SamplerType::Array);
    const bool isBindless = HasFlag(flags, TextureFlags::Bindless);
    if (HasFlag(flags, TextureFlags::IntCoords) && BaseType(type) == SamplerType::TextureCube)
        InstEmitHelper::ThrowUntranslatable(context, "TLD", "cube textures have no texel fetch");

    Operand* arrayIndex = isArray ? ra.Next() : nullptr;
    if (isBindless) {
        Operand* handle = rb.Next();
        sources.Add(handle);
    }

    const bool hasLod = lodMode > 1;
    if (type == SamplerType::Texture1D && (flags & ~TextureFlags::Bindless) == TextureFlags::IntCoords &&
        !hasDepthCompare && !hasLod && !hasOffset && !isArray && !isMultisample) {
        // A texel fetch from a 1D texture may really read a buffer texture.
        if (isBindless || context.GpuAccessor().QuerySamplerType(imm, -1) == SamplerType::TextureBuffer) {
            type = SamplerType::TextureBuffer;
        }
    }

    const int coords = SamplerTypeExtensions::get_Dimensions(type);
    for (int i = 0; i < coords; i++) {
        Operand* coord = ra.Next();
        sources.Add(coord);
    }
    if (BaseType(type) == SamplerType::Texture1D) {
        sources.Add(Const(context, 0));
        type = WidenTo2D(type);
    }
    if (isArray) sources.Add(arrayIndex);

    Operand* lodValue = hasLod ? rb.Next() : Const(context, 0);
    Operand* packedOffsets = hasOffset ? rb.Next() : nullptr;

    if (hasDepthCompare) {
        if (BaseType(type) == SamplerType::Texture3D)
            InstEmitHelper::ThrowUntranslatable(context, "TEX", "3D textures have no depth comparison");
        Operand* reference = rb.Next();
        sources.Add(reference);
        type |= SamplerType::Shadow;
    }
    if ((lodMode == 1 || lodMode == 3 || lodMode == 7) && !isMultisample && type != SamplerType::TextureBuffer) {
        sources.Add(lodValue);
        flags |= TextureFlags::LodLevel;
    }
    if (hasOffset) {
        for (int i = 0; i < coords; i++) {
            Operand* offset = Ins::BitfieldExtractS32(context, packedOffsets, Const(context, 4 * i), Const(context, 4));
            sources.Add(offset);
        }
        if (coords == 1) sources.Add(Const(context, 0));
        flags |= TextureFlags::Offset;
    }
    if (lodMode == 2 || lodMode == 6) {
        sources.Add(lodValue);
        flags |= TextureFlags::LodBias;
    }
    if (isMultisample) {
        Operand* sample = rb.Next();
        sources.Add(sample);
        type |= SamplerType::Multisample;
    }

    OperandList dests;
    MaskDests(context, rdIndex, componentMask, dests);
    EmitTextureSample(context, type, flags, isBindless ? 0 : imm, componentMask, dests.Span(), sources.Span());
}

// TLD4: gathers one component (TexComp) of the four texels around the
// coordinates; offsetMode 1 takes one offset, 2 one per texel.
template <typename Op, Handle H> void EmitTld4(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    const TexDim dimensions = op.Dim();
    const int imm = BoundHandle<H>(op);
    const int componentMask = op.WMask();
    const int dest = op.Rd();
    const int offsetMode = op.Offset();
    const bool hasDepthCompare = op.Dc();
    if (dest == RZ) return;
    if (dimensions == TexDim::_3d || dimensions == TexDim::Array3d)
        InstEmitHelper::ThrowUntranslatable(context, "TLD4", "3D textures cannot be gathered");

    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rb());
    OperandList sources;

    const bool isArray = IsArray(dimensions);
    Operand* arrayIndex = isArray ? ra.Next() : nullptr;

    SamplerType type = ConvertSamplerType(dimensions);
    TextureFlags flags = TextureFlags::Gather;
    if (isBindless) {
        Operand* handle = rb.Next();
        sources.Add(handle);
        flags |= TextureFlags::Bindless;
    }

    const int coords = SamplerTypeExtensions::get_Dimensions(type);
    for (int i = 0; i < coords; i++) {
        Operand* coord = ra.Next();
        sources.Add(coord);
    }
    const bool is1D = BaseType(type) == SamplerType::Texture1D;
    if (is1D) {
        sources.Add(Const(context, 0));
        type = WidenTo2D(type);
    }
    if (isArray) sources.Add(arrayIndex);

    Operand* offsetRegs[2] = {nullptr, nullptr};
    if (offsetMode == 1 || offsetMode == 2) offsetRegs[0] = rb.Next();
    if (offsetMode == 2) offsetRegs[1] = rb.Next();

    if (hasDepthCompare) {
        Operand* reference = rb.Next();
        sources.Add(reference);
        type |= SamplerType::Shadow;
    }
    if (offsetMode == 1 || offsetMode == 2) {
        const int count = offsetMode == 2 ? 4 : 1;
        for (int i = 0; i < count * coords; i++) {
            Operand* offset = Ins::BitfieldExtractS32(context, offsetRegs[(i / 4) % 2], Const(context, 8 * (i % 4)),
                                                      Const(context, 6));
            sources.Add(offset);
        }
        if (is1D) {
            for (int i = 0; i < count; i++) sources.Add(Const(context, 0));
        }
        flags |= offsetMode == 2 ? TextureFlags::Offsets : TextureFlags::Offset;
    }
    if (!hasDepthCompare) sources.Add(Const(context, op.TexComp()));

    OperandList dests;
    MaskDests(context, dest, componentMask, dests);
    EmitTextureSample(context, type, flags, imm, componentMask, dests.Span(), sources.Span());
}

// TXD: samples with explicit derivatives; A holds the bindless handle, the
// coordinates and a word packing the layer and offsets, B the derivatives.
template <typename Op, Handle H> void EmitTxd(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    const TexDim dimensions = op.Dim();
    const int imm = BoundHandle<H>(op);
    const int componentMask = op.WMask();
    const int dest = op.Rd();
    const bool hasOffset = op.Toff();
    if (dest == RZ) return;
    CheckThreeDimensional(context, "TXD", dimensions, false);

    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rb());
    OperandList sources;

    TextureFlags flags = TextureFlags::Derivatives;
    if (isBindless) {
        Operand* handle = ra.Next();
        sources.Add(handle);
        flags |= TextureFlags::Bindless;
    }

    SamplerType type = ConvertSamplerType(dimensions);
    const int coords = SamplerTypeExtensions::get_Dimensions(type);
    for (int i = 0; i < coords; i++) {
        Operand* coord = ra.Next();
        sources.Add(coord);
    }
    const bool is1D = BaseType(type) == SamplerType::Texture1D;
    if (is1D) {
        sources.Add(Const(context, 0));
        type = WidenTo2D(type);
    }

    Operand* packed = ra.Next();
    if (IsArray(dimensions)) {
        Operand* layer = Ins::BitwiseAnd(context, packed, Const(context, 0xFFFF));
        sources.Add(layer);
    }
    // The registers hold each coordinate's pair (d/dx, d/dy) in turn; the
    // operation takes every d/dx first, then every d/dy.
    std::array<Operand*, 6> derivatives{};
    for (int i = 0; i < coords * 2; i++) {
        derivatives[static_cast<std::size_t>(i)] = rb.Next();
    }
    for (int axis = 0; axis < 2; axis++) {
        for (int i = 0; i < coords; i++) {
            sources.Add(derivatives[static_cast<std::size_t>(2 * i + axis)]);
        }
        if (is1D) sources.Add(Const(context, 0));
    }
    if (hasOffset) {
        for (int i = 0; i < coords; i++) {
            Operand* offset = Ins::BitfieldExtractS32(context, packed, Const(context, 16 + 4 * i), Const(context, 4));
            sources.Add(offset);
        }
        if (is1D) sources.Add(Const(context, 0));
        flags |= TextureFlags::Offset;
    }

    OperandList dests;
    MaskDests(context, dest, componentMask, dests);
    EmitTextureSample(context, type, flags, imm, componentMask, dests.Span(), sources.Span());
}

// TMML: the level of detail a sample at the coordinates would use, as 8.8
// fixed point.
template <typename Op, Handle H> void EmitTmml(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    const TexDim dimensions = op.Dim();
    const int imm = BoundHandle<H>(op);
    const int componentMask = op.WMask();
    const int dest = op.Rd();
    if (dest == RZ) return;
    CheckThreeDimensional(context, "TMML", dimensions, false);

    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rb());
    OperandList sources;

    TextureFlags flags = TextureFlags::None;
    if (isBindless) {
        Operand* handle = rb.Next();
        sources.Add(handle);
        flags = TextureFlags::Bindless;
    }

    SamplerType type = ConvertSamplerType(dimensions);
    const bool isArray = IsArray(dimensions);
    Operand* arrayIndex = isArray ? ra.Next() : nullptr;
    const int coords = SamplerTypeExtensions::get_Dimensions(type);
    for (int i = 0; i < coords; i++) {
        Operand* coord = ra.Next();
        sources.Add(coord);
    }
    if (BaseType(type) == SamplerType::Texture1D) {
        sources.Add(Const(context, 0));
        type = WidenTo2D(type);
    }
    if (isArray) sources.Add(arrayIndex);

    const SetBindingPair setBinding =
        isBindless ? SetBindingPair(0, 0)
                   : context.ResourceManager->GetTextureOrImageBinding(Instruction::Lod, type, TextureFormat::Unknown,
                                                                       flags, -1, imm, 1, false);

    int reg = dest;
    for (int c = 0; c < 4; c++) {
        if ((componentMask & (1 << c)) == 0) continue;
        if (reg >= RZ) break;
        Operand* d = OH::Register(context.Arena(), reg++, Decoders::RegisterType::Gpr);
        if (c < 2) {
            // The query answers (unclamped, clamped); the guest wants them the other way round.
            Operand* lod = Ins::Lod(context, type, flags, setBinding, c ^ 1, sources.Span());
            Operand* scaled = Ins::FPMultiply(context, lod, OH::MakeFloatConstant(context.Arena(), 256.0f));
            Operand* fixed = Ins::FP32ConvertToS32(context, scaled);
            Ins::Copy(context, d, fixed);
        } else {
            context.Add(context.Arena().NewComment("Unsupported component z or w found"));
            Ins::Copy(context, d, Const(context, 0));
        }
    }
}

std::string QueryName(TexQuery query) {
    switch (query) {
    case TexQuery::TexHeaderDimension: return "TexHeaderDimension";
    case TexQuery::TexHeaderTextureType: return "TexHeaderTextureType";
    case TexQuery::TexHeaderSamplerPos: return "TexHeaderSamplerPos";
    case TexQuery::TexSamplerFilter: return "TexSamplerFilter";
    case TexQuery::TexSamplerLod: return "TexSamplerLod";
    case TexQuery::TexSamplerWrap: return "TexSamplerWrap";
    case TexQuery::TexSamplerBorderColor: return "TexSamplerBorderColor";
    }
    return std::to_string(static_cast<int32_t>(query));
}

// TXQ: size or sample count of the texture, written per the write mask.
template <typename Op, Handle H> void EmitTxq(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    const TexQuery query = op.Query();
    const int imm = BoundHandle<H>(op);
    const int componentMask = op.WMask();
    const int dest = op.Rd();
    if (dest == RZ) return;

    RegisterCursor ra(context, op.Ra());
    OperandList sources;
    if (isBindless) {
        Operand* handle = ra.Next();
        sources.Add(handle);
    }
    Operand* lod = ra.Next();
    sources.Add(lod);

    SamplerType type;
    TextureFlags flags;
    if (!isBindless) {
        type = context.GpuAccessor().QuerySamplerType(imm, -1);
        flags = TextureFlags::None;
    } else {
        if (query == TexQuery::TexHeaderTextureType) {
            type = SamplerType::Texture2D | SamplerType::Multisample;
        } else {
            type = (componentMask & 4) != 0 ? SamplerType::Texture3D : SamplerType::Texture2D;
        }
        flags = TextureFlags::Bindless;
    }

    if (query == TexQuery::TexHeaderDimension) {
        const SetBindingPair setBinding =
            isBindless ? SetBindingPair(0, 0)
                       : context.ResourceManager->GetTextureOrImageBinding(
                             Instruction::TextureQuerySize, type, TextureFormat::Unknown, flags, -1, imm, 1, false);
        int reg = dest;
        for (int c = 0; c < 4; c++) {
            if ((componentMask & (1 << c)) == 0) continue;
            if (reg >= RZ) break;
            Operand* d = OH::Register(context.Arena(), reg++, Decoders::RegisterType::Gpr);
            Operand* size = Ins::TextureQuerySize(context, type, flags, setBinding, c, sources.Span());
            Ins::Copy(context, d, size);
        }
    } else if (query == TexQuery::TexHeaderTextureType) {
        const SetBindingPair setBinding =
            isBindless ? SetBindingPair(0, 0)
                       : context.ResourceManager->GetTextureOrImageBinding(
                             Instruction::TextureQuerySamples, type, TextureFormat::Unknown, flags, -1, imm, 1, false);
        if ((componentMask & 4) != 0) {
            int reg = dest;
            if ((componentMask & 1) != 0) reg++;
            if ((componentMask & 2) != 0) reg++;
            if (reg < RZ) {
                Operand* d = OH::Register(context.Arena(), reg, Decoders::RegisterType::Gpr);
                Operand* samples = Ins::TextureQuerySamples(context, type, flags, setBinding, sources.Span());
                Ins::Copy(context, d, samples);
            }
        }
    } else {
        context.GpuAccessor().Log("Invalid or unsupported query type \"" + QueryName(query) + "\".");
    }
}

} // namespace

Operand* RegisterCursor::Next() {
    if (_next > RZ) return OH::MakeConstant(_context->Arena(), 0);
    Operand* reg = OH::Register(_context->Arena(), _next++, Decoders::RegisterType::Gpr);
    return Ins::Copy(*_context, reg);
}

SamplerType ConvertSamplerType(TexDim dimensions) {
    switch (dimensions) {
    case TexDim::_1d: return SamplerType::Texture1D;
    case TexDim::Array1d: return SamplerType::Texture1D | SamplerType::Array;
    case TexDim::_2d: return SamplerType::Texture2D;
    case TexDim::Array2d: return SamplerType::Texture2D | SamplerType::Array;
    case TexDim::_3d: return SamplerType::Texture3D;
    case TexDim::Array3d: return SamplerType::Texture3D | SamplerType::Array;
    case TexDim::Cube: return SamplerType::TextureCube;
    case TexDim::ArrayCube: return SamplerType::TextureCube | SamplerType::Array;
    }
    throw Common::ArgumentException("Invalid texture dimensions \"" +
                                    std::to_string(static_cast<int32_t>(dimensions)) + "\".");
}

void EmitTextureSample(EmitterContext& context, SamplerType type, TextureFlags flags, int handle, int componentMask,
                       std::span<Operand* const> dests, std::span<Operand* const> sources) {
    SetBindingPair setBinding(0, 0);
    if (!HasFlag(flags, TextureFlags::Bindless)) {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::TextureSample, type,
                                                                        TextureFormat::Unknown, flags, -1, handle, 1,
                                                                        false);
    }
    Ins::TextureSample(context, type, flags, setBinding, componentMask, dests, sources);
}

// TEX, TLD

void Tex(EmitterContext& context) { EmitTex<Decoders::InstTex, Handle::Bound, TexKind::Sample>(context); }
void TexB(EmitterContext& context) { EmitTex<Decoders::InstTexB, Handle::Bindless, TexKind::Sample>(context); }
void Tld(EmitterContext& context) { EmitTex<Decoders::InstTld, Handle::Bound, TexKind::Fetch>(context); }
void TldB(EmitterContext& context) { EmitTex<Decoders::InstTldB, Handle::Bindless, TexKind::Fetch>(context); }

// TLD4, TXD, TMML, TXQ

void Tld4(EmitterContext& context) { EmitTld4<Decoders::InstTld4, Handle::Bound>(context); }
void Tld4B(EmitterContext& context) { EmitTld4<Decoders::InstTld4B, Handle::Bindless>(context); }
void Txd(EmitterContext& context) { EmitTxd<Decoders::InstTxd, Handle::Bound>(context); }
void TxdB(EmitterContext& context) { EmitTxd<Decoders::InstTxdB, Handle::Bindless>(context); }
void Tmml(EmitterContext& context) { EmitTmml<Decoders::InstTmml, Handle::Bound>(context); }
void TmmlB(EmitterContext& context) { EmitTmml<Decoders::InstTmmlB, Handle::Bindless>(context); }
void Txq(EmitterContext& context) { EmitTxq<Decoders::InstTxq, Handle::Bound>(context); }
void TxqB(EmitterContext& context) { EmitTxq<Decoders::InstTxqB, Handle::Bindless>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
