// Surface (storage image) emitters: SUATOM, SURED, SULD and SUST, bound and
// bindless.
#include <cstdint>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsSurface.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitTexture.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::TextureFlags;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

constexpr int RZ = 255;

SamplerType ConvertSuSamplerType(int dimensions) {
    switch (dimensions) {
    case 0: return SamplerType::Texture1D;
    case 1: return SamplerType::TextureBuffer;
    case 2: return SamplerType::Texture1D | SamplerType::Array;
    case 3: return SamplerType::Texture2D;
    case 4: return SamplerType::Texture2D | SamplerType::Array;
    case 5: return SamplerType::Texture3D;
    default: return SamplerType::None;
    }
}

// SUATOM / SURED sizes 2 and 5: 64-bit integers, for which the host has no
// image atomics.
bool Is64BitAtomicSize(int size) { return size == 2 || size == 5; }

// SUATOM / SURED size: log2 of the component size in bytes.
int AtomicSizeLog2(int size) { return size == 2 || size == 5 || size == 7 ? 3 : 2; }

TextureFormat AtomicSizeFormat(int size) {
    switch (size) {
    case 0: return TextureFormat::R32Uint;
    case 1: return TextureFormat::R32Sint;
    case 2: return TextureFormat::R32G32Uint;
    case 3: return TextureFormat::R32Float;
    case 4: return TextureFormat::R16G16Float;
    case 5: return TextureFormat::R32G32Uint;
    default: return TextureFormat::Unknown;
    }
}

TextureFlags GetAtomicOpFlags(int atomicOp) {
    switch (atomicOp) {
    case 1: return TextureFlags::Minimum;
    case 2: return TextureFlags::Maximum;
    case 3: return TextureFlags::Increment;
    case 4: return TextureFlags::Decrement;
    case 5: return TextureFlags::BitwiseAnd;
    case 6: return TextureFlags::BitwiseOr;
    case 7: return TextureFlags::BitwiseXor;
    case 8: return TextureFlags::Swap;
    default: return TextureFlags::Add;
    }
}

// SULD.D / SUST.D size.
int DataComponents(int size) { return size <= 4 ? 1 : size == 5 ? 2 : 4; }
int DataSizeLog2(int size) {
    static constexpr int Table[8] = {0, 0, 1, 1, 2, 3, 4, 4};
    return Table[size & 7];
}
TextureFormat DataFormat(int size) {
    switch (size) {
    case 0: return TextureFormat::R8Uint;
    case 1: return TextureFormat::R8Sint;
    case 2: return TextureFormat::R16Uint;
    case 3: return TextureFormat::R16Sint;
    case 4: return TextureFormat::R32Uint;
    case 5: return TextureFormat::R32G32Uint;
    default: return TextureFormat::R32G32B32A32Uint;
    }
}

// Handle (bindless), coordinates (1D widened to 2D), layer. Returns the
// final type; the byte-address shift is applied by the caller.
SamplerType AddCoordinates(EmitterContext& context, SamplerType type, bool isBindless, int handleReg,
                           RegisterCursor& ra, OperandList& sources) {
    if (isBindless) {
        Operand* handleRegister = OH::Register(context.Arena(), handleReg, Decoders::RegisterType::Gpr);
        Operand* handle = Ins::Copy(context, handleRegister);
        sources.Add(handle);
    }
    const int coords = SamplerTypeExtensions::get_Dimensions(type);
    for (int i = 0; i < coords; i++) {
        Operand* coord = ra.Next();
        sources.Add(coord);
    }
    if ((type & SamplerType::Mask) == SamplerType::Texture1D) {
        sources.Add(OH::MakeConstant(context.Arena(), 0));
        type = (type & ~SamplerType::Mask) | SamplerType::Texture2D;
    }
    if (HasFlag(type, SamplerType::Array)) {
        Operand* layer = ra.Next();
        sources.Add(layer);
    }
    return type;
}

// The x coordinate is given in bytes: turn it into an element index.
void ApplyByteAddress(EmitterContext& context, OperandList& sources, bool isBindless, int sizeLog2) {
    const int xIndex = isBindless ? 1 : 0;
    Operand* x = Ins::ShiftRightS32(context, sources[xIndex], OH::MakeConstant(context.Arena(), sizeLog2));
    sources.Set(xIndex, x);
}

// The register holding the bindless handle (Rc); unused by the bound forms.
template <Handle H, typename Op> int HandleRegister(const Op& op) {
    if constexpr (H == Handle::Bindless) {
        return op.Rc();
    } else {
        return 0;
    }
}

// What a SUATOM form does and where its data size comes from.
enum class SuatomForm : uint8_t {
    Op,            // the operation of field Op on data of field Size
    OpImageFormat, // SuatomD: as Op, but the image's own format gives the data (as size 6)
    Cas,           // compare-and-swap on data of field Size
};

// How a SULD/SUST form gives its data: formatted components picked by the
// Rgba mask (the P forms), or raw data of field Size, the x coordinate
// optionally in bytes (the D forms).
enum class SurfaceData : uint8_t { Components, Raw };

// Sizes 6 and 7 take the bound image's own format (unknown when bindless).
template <typename Op, Handle H> TextureFormat AtomicFormat(EmitterContext& context, const Op& op, int size) {
    if (size != 6 && size != 7) return AtomicSizeFormat(size);
    if constexpr (H == Handle::Bindless) {
        return TextureFormat::Unknown;
    } else {
        return StructuredIr::ShaderProperties::GetTextureFormatAtomic(context.GpuAccessor(), op.TidB(), -1);
    }
}

// SUATOM: an image atomic whose old value goes to Rd; Rb holds the value
// (after the comparand, for CAS).
template <typename Op, Handle H, SuatomForm K> void EmitSuatom(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    constexpr bool compareAndSwap = K == SuatomForm::Cas;
    const auto op = context.GetOp<Op>();
    int size;
    if constexpr (K == SuatomForm::OpImageFormat) {
        size = 6;
    } else {
        size = op.Size();
    }
    SamplerType type = ConvertSuSamplerType(op.Dim());
    if (type == SamplerType::None) return;
    if (Is64BitAtomicSize(size)) {
        InstEmitHelper::ThrowUntranslatable(context, compareAndSwap ? "SUATOM.CAS" : "SUATOM",
                                            "the host has no 64-bit image atomics");
    }

    Operand* d = InstEmitHelper::GetDest(context, op.Rd());
    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rb());
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, HandleRegister<H>(op), ra, sources);
    if (op.Ba()) ApplyByteAddress(context, sources, isBindless, AtomicSizeLog2(size));

    const TextureFormat format = AtomicFormat<Op, H>(context, op, size);

    if constexpr (compareAndSwap) {
        Operand* compare = rb.Next();
        sources.Add(compare);
    }
    Operand* value = rb.Next();
    sources.Add(value);

    TextureFlags flags;
    if constexpr (compareAndSwap) {
        flags = TextureFlags::CAS;
    } else {
        flags = GetAtomicOpFlags(op.Op());
    }
    SetBindingPair setBinding(0, 0);
    if constexpr (isBindless) {
        flags |= TextureFlags::Bindless;
    } else {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageAtomic, type, format, flags,
                                                                        -1, op.TidB(), 1, false);
    }
    Operand* result = Ins::ImageAtomic(context, type, format, flags, setBinding, sources.Span());
    Ins::Copy(context, d, result);
}

// SURED: an image atomic without result; the value is in the Rd position.
template <typename Op, Handle H> void EmitSured(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    const int size = op.Size();
    SamplerType type = ConvertSuSamplerType(op.Dim());
    if (type == SamplerType::None) return;
    if (Is64BitAtomicSize(size))
        InstEmitHelper::ThrowUntranslatable(context, "SURED", "the host has no 64-bit image atomics");

    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rd());
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, HandleRegister<H>(op), ra, sources);
    if (op.Ba()) ApplyByteAddress(context, sources, isBindless, AtomicSizeLog2(size));

    const TextureFormat format = AtomicFormat<Op, H>(context, op, size);

    Operand* value = rb.Next();
    sources.Add(value);

    TextureFlags flags = GetAtomicOpFlags(op.Op());
    SetBindingPair setBinding(0, 0);
    if constexpr (isBindless) {
        flags |= TextureFlags::Bindless;
    } else {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageAtomic, type, format, flags,
                                                                        -1, op.TidB(), 1, false);
    }
    Ins::ImageAtomic(context, type, format, flags, setBinding, sources.Span());
}

// SULD: an image load into consecutive registers from Rd on.
template <typename Op, Handle H, SurfaceData D> void EmitSuld(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    const int dest = op.Rd();
    SamplerType type = ConvertSuSamplerType(op.Dim());
    if (type == SamplerType::None) return;
    if (dest == RZ) return;

    RegisterCursor ra(context, op.Ra());
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, HandleRegister<H>(op), ra, sources);

    TextureFlags flags = isBindless ? TextureFlags::Bindless : TextureFlags::None;
    if (op.CacheOp() == 1) flags |= TextureFlags::Coherent;

    OperandList dests;
    int componentMask;
    TextureFormat format;
    if constexpr (D == SurfaceData::Components) {
        componentMask = op.Rgba() & 0xF;
        int reg = dest;
        for (int c = 0; c < 4; c++) {
            if ((componentMask & (1 << c)) == 0) continue;
            if (reg >= RZ) break;
            dests.Add(OH::Register(context.Arena(), reg++, Decoders::RegisterType::Gpr));
        }
        format = isBindless ? TextureFormat::Unknown
                            : StructuredIr::ShaderProperties::GetTextureFormat(context.GpuAccessor(),
                                                                               BoundHandle<H>(op), -1);
    } else {
        if (op.Ba()) ApplyByteAddress(context, sources, isBindless, DataSizeLog2(op.Size()));
        const int n = DataComponents(op.Size());
        for (int i = 0; i < n && dest + i < RZ; i++) {
            dests.Add(OH::Register(context.Arena(), dest + i, Decoders::RegisterType::Gpr));
        }
        componentMask = (1 << n) - 1;
        format = DataFormat(op.Size());
    }

    SetBindingPair setBinding(0, 0);
    if constexpr (!isBindless) {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageLoad, type, format, flags, -1,
                                                                        op.TidB(), 1, false);
    }
    Ins::ImageLoad(context, type, format, flags, setBinding, componentMask, dests.Span(), sources.Span());

    if constexpr (D == SurfaceData::Raw) {
        if (op.Size() <= 3) {
            // Narrow loads come back as 32-bit values: zero- or sign-extend them.
            Operand* d0 = dests[0];
            Operand* narrowed;
            switch (op.Size()) {
            case 0: narrowed = InstEmitHelper::ZeroExtendTo32(context, d0, 8); break;
            case 1:
                narrowed = Ins::BitfieldExtractS32(context, d0, OH::MakeConstant(context.Arena(), 0),
                                                   OH::MakeConstant(context.Arena(), 8));
                break;
            case 2: narrowed = InstEmitHelper::ZeroExtendTo32(context, d0, 16); break;
            default:
                narrowed = Ins::BitfieldExtractS32(context, d0, OH::MakeConstant(context.Arena(), 0),
                                                   OH::MakeConstant(context.Arena(), 16));
                break;
            }
            Ins::Copy(context, d0, narrowed);
        }
    }
}

// SUST: an image store of consecutive registers from Rd on.
template <typename Op, Handle H, SurfaceData D> void EmitSust(EmitterContext& context) {
    constexpr bool isBindless = H == Handle::Bindless;
    const auto op = context.GetOp<Op>();
    SamplerType type = ConvertSuSamplerType(op.Dim());
    if (type == SamplerType::None) return;

    RegisterCursor ra(context, op.Ra());
    RegisterCursor rb(context, op.Rd());
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, HandleRegister<H>(op), ra, sources);

    TextureFormat format;
    if constexpr (D == SurfaceData::Components) {
        for (int c = 0; c < 4; c++) {
            if ((op.Rgba() & (1 << c)) == 0) continue;
            Operand* value = rb.Next();
            sources.Add(value);
        }
        format = isBindless ? TextureFormat::Unknown
                            : StructuredIr::ShaderProperties::GetTextureFormat(context.GpuAccessor(),
                                                                               BoundHandle<H>(op), -1);
    } else {
        if (op.Ba()) ApplyByteAddress(context, sources, isBindless, DataSizeLog2(op.Size()));
        const int n = DataComponents(op.Size());
        for (int i = 0; i < n; i++) {
            Operand* value = rb.Next();
            sources.Add(value);
        }
        format = DataFormat(op.Size());
    }

    TextureFlags flags = isBindless ? TextureFlags::Bindless : TextureFlags::None;
    if (op.CacheOp() == 1) flags |= TextureFlags::Coherent;
    SetBindingPair setBinding(0, 0);
    if constexpr (!isBindless) {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageStore, type, format, flags,
                                                                        -1, op.TidB(), 1, false);
    }
    Ins::ImageStore(context, type, format, flags, setBinding, sources.Span());
}

} // namespace

// SUATOM

void SuatomB(EmitterContext& context) { EmitSuatom<Decoders::InstSuatomB, Handle::Bindless, SuatomForm::Op>(context); }
void SuatomB2(EmitterContext& context) {
    EmitSuatom<Decoders::InstSuatomB2, Handle::Bindless, SuatomForm::Op>(context);
}

// Bound image atomic of real shaders: the SuatomB layout with the immediate
// handle in place of the handle register. The handle covers the bits that
// hold the size in SuatomB, so they say nothing about the data (two r32ui
// images of the corpus give 5 and 6 there): the image's own format decides,
// as for size 6.
void SuatomD(EmitterContext& context) {
    EmitSuatom<Decoders::InstSuatomD, Handle::Bound, SuatomForm::OpImageFormat>(context);
}

void Suatom(EmitterContext& context) { EmitSuatom<Decoders::InstSuatom, Handle::Bound, SuatomForm::Op>(context); }
void SuatomCasB(EmitterContext& context) {
    EmitSuatom<Decoders::InstSuatomCasB, Handle::Bindless, SuatomForm::Cas>(context);
}
void SuatomCas(EmitterContext& context) {
    EmitSuatom<Decoders::InstSuatomCas, Handle::Bound, SuatomForm::Cas>(context);
}

// SURED

void Sured(EmitterContext& context) { EmitSured<Decoders::InstSured, Handle::Bound>(context); }
void SuredB(EmitterContext& context) { EmitSured<Decoders::InstSuredB, Handle::Bindless>(context); }

// SULD, SUST

void Suld(EmitterContext& context) { EmitSuld<Decoders::InstSuld, Handle::Bound, SurfaceData::Components>(context); }
void SuldB(EmitterContext& context) {
    EmitSuld<Decoders::InstSuldB, Handle::Bindless, SurfaceData::Components>(context);
}
void SuldD(EmitterContext& context) { EmitSuld<Decoders::InstSuldD, Handle::Bound, SurfaceData::Raw>(context); }
void SuldDB(EmitterContext& context) { EmitSuld<Decoders::InstSuldDB, Handle::Bindless, SurfaceData::Raw>(context); }
void Sust(EmitterContext& context) { EmitSust<Decoders::InstSust, Handle::Bound, SurfaceData::Components>(context); }
void SustB(EmitterContext& context) {
    EmitSust<Decoders::InstSustB, Handle::Bindless, SurfaceData::Components>(context);
}
void SustD(EmitterContext& context) { EmitSust<Decoders::InstSustD, Handle::Bound, SurfaceData::Raw>(context); }
void SustDB(EmitterContext& context) { EmitSust<Decoders::InstSustDB, Handle::Bindless, SurfaceData::Raw>(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
