// Compact texture emitters: TEXS, TLDS, TLD4S and their F16 forms. A 4-bit
// target picks a whole recipe (type, flags, which register run holds which
// operand); the results go to two register pairs.
#include <cstdint>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsTexture.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitTexture.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Operand;
using IntermediateRepresentation::TextureFlags;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

constexpr int RZ = 255;

enum class TexsType : uint8_t { Texs, Tlds, Tld4s };

// The F16 forms pack the results as half pairs into the two register pairs.
enum class TexsResult : uint8_t { F32, F16 };

// TLD4S has no write-mask code: it writes all four components (code 4).
namespace Optional {
ZV_EMIT_OPTIONAL_FIELD(WMask, 4)
} // namespace Optional

// RGBA component mask by write-mask code; row 1 when the second pair is written.
constexpr int TexsComponentMaskTable[2][8] = {
    {0x1, 0x2, 0x4, 0x8, 0x3, 0x9, 0xa, 0xc},
    {0x7, 0xb, 0xd, 0xe, 0xf, 0x0, 0x0, 0x0},
};

SamplerType ConvertTexsSamplerType(int target) {
    switch (target) {
    case 0: return SamplerType::Texture1D;
    case 1:
    case 2:
    case 3: return SamplerType::Texture2D;
    case 4:
    case 5:
    case 6: return SamplerType::Texture2D | SamplerType::Shadow;
    case 7:
    case 8: return SamplerType::Texture2D | SamplerType::Array;
    case 9: return SamplerType::Texture2D | SamplerType::Array | SamplerType::Shadow;
    case 10:
    case 11: return SamplerType::Texture3D;
    case 12:
    case 13: return SamplerType::TextureCube;
    default: return SamplerType::None;
    }
}

TextureFlags ConvertTexsTextureFlags(int target) {
    switch (target) {
    case 0:
    case 2:
    case 3:
    case 5:
    case 6:
    case 8:
    case 9:
    case 11:
    case 13: return TextureFlags::LodLevel;
    default: return TextureFlags::None;
    }
}

SamplerType ConvertTldsSamplerType(int target) {
    switch (target) {
    case 0:
    case 1: return SamplerType::Texture1D;
    case 2:
    case 4:
    case 5:
    case 12: return SamplerType::Texture2D;
    case 6: return SamplerType::Texture2D | SamplerType::Multisample;
    case 7: return SamplerType::Texture3D;
    case 8: return SamplerType::Texture2D | SamplerType::Array;
    default: return SamplerType::None;
    }
}

TextureFlags ConvertTldsTextureFlags(int target) {
    switch (target) {
    case 0:
    case 1:
    case 2:
    case 5:
    case 6:
    case 7:
    case 8: return TextureFlags::LodLevel;
    case 4:
    case 12: return TextureFlags::LodLevel | TextureFlags::Offset;
    default: return TextureFlags::None;
    }
}

// Takes one register from the B run and adds `count` signed fields of it.
void AddTextureOffset(EmitterContext& context, RegisterCursor& rb, OperandList& sources, int count, int stride,
                      int size) {
    Operand* packed = rb.Next();
    for (int i = 0; i < count; i++) {
        Operand* offset = Ins::BitfieldExtractS32(context, packed, OH::MakeConstant(context.Arena(), stride * i),
                                                  OH::MakeConstant(context.Arena(), size));
        sources.Add(offset);
    }
}

template <typename Op, TexsType T, TexsResult R> void EmitTexs(EmitterContext& context) {
    constexpr bool isF16 = R == TexsResult::F16;
    const auto op = context.GetOp<Op>();
    const int imm = op.TidB();
    const int dest = op.Rd();
    const int dest2 = op.Rd2();
    if (dest == RZ && dest2 == RZ) return;

    auto zero = [&]() { return OH::MakeConstant(context.Arena(), 0); };
    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rb());
    OperandList sources;
    SamplerType type;
    TextureFlags flags;

    if constexpr (T == TexsType::Texs) {
        const int target = op.Target();
        type = ConvertTexsSamplerType(target);
        if (type == SamplerType::None) return;
        flags = ConvertTexsTextureFlags(target);

        if (target >= 7 && target <= 9) {
            // The first A register is the layer, the second x.
            Operand* arrayIndex = ra.Next();
            Operand* x = ra.Next();
            sources.Add(x);
            Operand* y = rb.Next();
            sources.Add(y);
            sources.Add(arrayIndex);
            if (HasFlag(type, SamplerType::Shadow)) {
                Operand* reference = rb.Next();
                sources.Add(reference);
            }
            if (HasFlag(flags, TextureFlags::LodLevel)) sources.Add(zero());
        } else {
            switch (target) {
            case 0:
                sources.Add(ra.Next());
                sources.Add(zero());
                sources.Add(zero());
                type = SamplerType::Texture2D;
                break;
            case 1:
                sources.Add(ra.Next());
                sources.Add(rb.Next());
                break;
            case 2:
                sources.Add(ra.Next());
                sources.Add(rb.Next());
                sources.Add(zero());
                break;
            case 3:
            case 4:
            case 10:
            case 12:
                sources.Add(ra.Next());
                sources.Add(ra.Next());
                sources.Add(rb.Next());
                break;
            case 5:
            case 13:
                sources.Add(ra.Next());
                sources.Add(ra.Next());
                sources.Add(rb.Next());
                sources.Add(rb.Next());
                break;
            case 6:
            case 11:
                sources.Add(ra.Next());
                sources.Add(ra.Next());
                sources.Add(rb.Next());
                sources.Add(zero());
                break;
            }
        }
    } else if constexpr (T == TexsType::Tlds) {
        const int target = op.Target();
        type = ConvertTldsSamplerType(target);
        if (type == SamplerType::None) return;
        flags = ConvertTldsTextureFlags(target) | TextureFlags::IntCoords;

        if (target == 0 && context.GpuAccessor().QuerySamplerType(imm, -1) == SamplerType::TextureBuffer) {
            type = SamplerType::TextureBuffer;
            flags &= ~TextureFlags::LodLevel;
        }

        switch (target) {
        case 0:
            sources.Add(ra.Next());
            if (type != SamplerType::TextureBuffer) {
                sources.Add(zero());
                sources.Add(zero());
                type = SamplerType::Texture2D;
            }
            break;
        case 1:
            sources.Add(ra.Next());
            sources.Add(zero());
            sources.Add(rb.Next());
            type = SamplerType::Texture2D;
            break;
        case 2:
            sources.Add(ra.Next());
            sources.Add(rb.Next());
            sources.Add(zero());
            break;
        case 4:
            sources.Add(ra.Next());
            sources.Add(ra.Next());
            sources.Add(zero());
            break;
        case 5:
        case 6:
        case 12:
            sources.Add(ra.Next());
            sources.Add(ra.Next());
            sources.Add(rb.Next());
            break;
        case 7:
            sources.Add(ra.Next());
            sources.Add(ra.Next());
            sources.Add(rb.Next());
            sources.Add(zero());
            break;
        case 8:
            sources.Add(rb.Next());
            sources.Add(rb.Next());
            sources.Add(ra.Next());
            sources.Add(zero());
            break;
        }

        if (HasFlag(flags, TextureFlags::Offset)) {
            AddTextureOffset(context, rb, sources, SamplerTypeExtensions::get_Dimensions(type), 4, 4);
        }
    } else {
        if (op.Dc() || op.Aoffi()) {
            sources.Add(ra.Next());
            sources.Add(ra.Next());
        } else {
            sources.Add(ra.Next());
            sources.Add(rb.Next());
        }
        type = SamplerType::Texture2D;
        flags = TextureFlags::Gather;
        const int coordsEnd = sources.Count();
        if (op.Aoffi()) {
            AddTextureOffset(context, rb, sources, 2, 8, 6);
            flags |= TextureFlags::Offset;
        }
        if (!op.Dc()) {
            sources.Add(OH::MakeConstant(context.Arena(), op.TexComp()));
        } else {
            // The reference comes after the offset register but stands before the offsets.
            Operand* reference = rb.Next();
            sources.Insert(coordsEnd, reference);
            type |= SamplerType::Shadow;
        }
    }

    const int componentMask = TexsComponentMaskTable[dest2 != RZ ? 1 : 0][Optional::WMask(op) & 7];

    OperandList dests;
    Operand* halves[4] = {nullptr, nullptr, nullptr, nullptr};
    int count = 0;
    for (int c = 0; c < 4; c++) {
        if ((componentMask & (1 << c)) == 0) continue;
        if (isF16) {
            Operand* local = OH::MakeLocal(context.Arena());
            halves[count] = local;
            dests.Add(local);
        } else {
            const int base = count < 2 ? dest : dest2;
            // A pair from R254 ends at the zero register as well. Writes to
            // it are dropped; the sample still needs an operand for the
            // component, so it gets one that nothing reads (a constant
            // cannot be a destination).
            const int reg = base == RZ ? RZ : base + (count & 1);
            if (reg == RZ) {
                dests.Add(OH::MakeLocal(context.Arena()));
            } else {
                dests.Add(OH::Register(context.Arena(), reg, Decoders::RegisterType::Gpr));
            }
        }
        count++;
    }

    EmitTextureSample(context, type, flags, imm, componentMask, dests.Span(), sources.Span());

    if constexpr (isF16) {
        for (int pair = 0; pair < 2; pair++) {
            Operand* lo = halves[pair * 2] != nullptr ? halves[pair * 2] : OH::MakeFloatConstant(context.Arena(), 0.0f);
            Operand* hi =
                halves[pair * 2 + 1] != nullptr ? halves[pair * 2 + 1] : OH::MakeFloatConstant(context.Arena(), 0.0f);
            Operand* packed = Ins::PackHalf2x16(context, lo, hi);
            const int reg = pair == 0 ? dest : dest2;
            Operand* d = OH::Register(context.Arena(), reg, Decoders::RegisterType::Gpr);
            Ins::Copy(context, d, packed);
        }
    }
}

} // namespace

void Texs(EmitterContext& context) { EmitTexs<Decoders::InstTexs, TexsType::Texs, TexsResult::F32>(context); }
void TexsF16(EmitterContext& context) { EmitTexs<Decoders::InstTexsF16, TexsType::Texs, TexsResult::F16>(context); }
void Tlds(EmitterContext& context) { EmitTexs<Decoders::InstTlds, TexsType::Tlds, TexsResult::F32>(context); }
void TldsF16(EmitterContext& context) { EmitTexs<Decoders::InstTldsF16, TexsType::Tlds, TexsResult::F16>(context); }
void Tld4s(EmitterContext& context) { EmitTexs<Decoders::InstTld4s, TexsType::Tld4s, TexsResult::F32>(context); }
void Tld4sF16(EmitterContext& context) {
    EmitTexs<Decoders::InstTld4sF16, TexsType::Tld4s, TexsResult::F16>(context);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
