// Surface (storage image) emitters: SUATOM, SURED, SULD and SUST, bound and
// bindless.
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

void EmitSuatom(EmitterContext& context, int dimensions, int atomicOp, int size, int imm, int srcA, int srcB,
                int srcC, int dest, bool byteAddress, bool isBindless, bool compareAndSwap) {
    SamplerType type = ConvertSuSamplerType(dimensions);
    if (type == SamplerType::None) return;
    if (Is64BitAtomicSize(size)) {
        InstEmitHelper::ThrowUntranslatable(context, compareAndSwap ? "SUATOM.CAS" : "SUATOM",
                                            "the host has no 64-bit image atomics");
    }

    Operand* d = InstEmitHelper::GetDest(context, dest);
    RegisterCursor ra(context, srcA);
    RegisterCursor rb(context, srcB);
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, srcC, ra, sources);
    if (byteAddress) ApplyByteAddress(context, sources, isBindless, AtomicSizeLog2(size));

    TextureFormat format;
    if (size == 6 || size == 7) {
        format = isBindless ? TextureFormat::Unknown
                            : StructuredIr::ShaderProperties::GetTextureFormatAtomic(context.GpuAccessor(), imm, -1);
    } else {
        format = AtomicSizeFormat(size);
    }

    if (compareAndSwap) {
        Operand* compare = rb.Next();
        sources.Add(compare);
    }
    Operand* value = rb.Next();
    sources.Add(value);

    TextureFlags flags = compareAndSwap ? TextureFlags::CAS : GetAtomicOpFlags(atomicOp);
    SetBindingPair setBinding(0, 0);
    if (isBindless) {
        flags |= TextureFlags::Bindless;
    } else {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageAtomic, type, format, flags,
                                                                        -1, imm, 1, false);
    }
    Operand* result = Ins::ImageAtomic(context, type, format, flags, setBinding, sources.Span());
    Ins::Copy(context, d, result);
}

void EmitSured(EmitterContext& context, int dimensions, int atomicOp, int size, int imm, int srcA, int srcB, int srcC,
               bool byteAddress, bool isBindless) {
    SamplerType type = ConvertSuSamplerType(dimensions);
    if (type == SamplerType::None) return;
    if (Is64BitAtomicSize(size))
        InstEmitHelper::ThrowUntranslatable(context, "SURED", "the host has no 64-bit image atomics");

    RegisterCursor ra(context, srcA);
    RegisterCursor rb(context, srcB);
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, srcC, ra, sources);
    if (byteAddress) ApplyByteAddress(context, sources, isBindless, AtomicSizeLog2(size));

    TextureFormat format;
    if (size == 6 || size == 7) {
        format = isBindless ? TextureFormat::Unknown
                            : StructuredIr::ShaderProperties::GetTextureFormatAtomic(context.GpuAccessor(), imm, -1);
    } else {
        format = AtomicSizeFormat(size);
    }

    Operand* value = rb.Next();
    sources.Add(value);

    TextureFlags flags = GetAtomicOpFlags(atomicOp);
    SetBindingPair setBinding(0, 0);
    if (isBindless) {
        flags |= TextureFlags::Bindless;
    } else {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageAtomic, type, format, flags,
                                                                        -1, imm, 1, false);
    }
    Ins::ImageAtomic(context, type, format, flags, setBinding, sources.Span());
}

void EmitSuld(EmitterContext& context, int cacheOp, int dimensions, int size, int imm, int components, int srcA,
              int dest, int srcC, bool useComponents, bool byteAddress, bool isBindless) {
    SamplerType type = ConvertSuSamplerType(dimensions);
    if (type == SamplerType::None) return;
    if (dest == RZ) return;

    RegisterCursor ra(context, srcA);
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, srcC, ra, sources);

    TextureFlags flags = isBindless ? TextureFlags::Bindless : TextureFlags::None;
    if (cacheOp == 1) flags |= TextureFlags::Coherent;

    OperandList dests;
    int componentMask;
    TextureFormat format;
    if (useComponents) {
        componentMask = components & 0xF;
        int reg = dest;
        for (int c = 0; c < 4; c++) {
            if ((componentMask & (1 << c)) == 0) continue;
            if (reg >= RZ) break;
            dests.Add(OH::Register(context.Arena(), reg++, Decoders::RegisterType::Gpr));
        }
        format = isBindless ? TextureFormat::Unknown
                            : StructuredIr::ShaderProperties::GetTextureFormat(context.GpuAccessor(), imm, -1);
    } else {
        if (byteAddress) ApplyByteAddress(context, sources, isBindless, DataSizeLog2(size));
        const int n = DataComponents(size);
        for (int i = 0; i < n && dest + i < RZ; i++) {
            dests.Add(OH::Register(context.Arena(), dest + i, Decoders::RegisterType::Gpr));
        }
        componentMask = (1 << n) - 1;
        format = DataFormat(size);
    }

    SetBindingPair setBinding(0, 0);
    if (!isBindless) {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageLoad, type, format, flags, -1,
                                                                        imm, 1, false);
    }
    Ins::ImageLoad(context, type, format, flags, setBinding, componentMask, dests.Span(), sources.Span());

    if (!useComponents && size <= 3) {
        // Narrow loads come back as 32-bit values: zero- or sign-extend them.
        Operand* d0 = dests[0];
        Operand* narrowed;
        switch (size) {
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

void EmitSust(EmitterContext& context, int cacheOp, int dimensions, int size, int imm, int components, int srcA,
              int srcB, int srcC, bool useComponents, bool byteAddress, bool isBindless) {
    SamplerType type = ConvertSuSamplerType(dimensions);
    if (type == SamplerType::None) return;

    RegisterCursor ra(context, srcA);
    RegisterCursor rb(context, srcB);
    OperandList sources;
    type = AddCoordinates(context, type, isBindless, srcC, ra, sources);

    TextureFormat format;
    if (useComponents) {
        for (int c = 0; c < 4; c++) {
            if ((components & (1 << c)) == 0) continue;
            Operand* value = rb.Next();
            sources.Add(value);
        }
        format = isBindless ? TextureFormat::Unknown
                            : StructuredIr::ShaderProperties::GetTextureFormat(context.GpuAccessor(), imm, -1);
    } else {
        if (byteAddress) ApplyByteAddress(context, sources, isBindless, DataSizeLog2(size));
        const int n = DataComponents(size);
        for (int i = 0; i < n; i++) {
            Operand* value = rb.Next();
            sources.Add(value);
        }
        format = DataFormat(size);
    }

    TextureFlags flags = isBindless ? TextureFlags::Bindless : TextureFlags::None;
    if (cacheOp == 1) flags |= TextureFlags::Coherent;
    SetBindingPair setBinding(0, 0);
    if (!isBindless) {
        setBinding = context.ResourceManager->GetTextureOrImageBinding(Instruction::ImageStore, type, format, flags,
                                                                        -1, imm, 1, false);
    }
    Ins::ImageStore(context, type, format, flags, setBinding, sources.Span());
}

} // namespace

void SuatomB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuatomB>();
    EmitSuatom(context, op.Dim(), op.Op(), op.Size(), 0, op.Ra(), op.Rb(), op.Rc(), op.Rd(), op.Ba(), true, false);
}

void SuatomB2(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuatomB2>();
    EmitSuatom(context, op.Dim(), op.Op(), op.Size(), 0, op.Ra(), op.Rb(), op.Rc(), op.Rd(), op.Ba(), true, false);
}

// Bound image atomic of real shaders: the SuatomB layout with the immediate
// handle in place of the handle register. The handle covers the bits that
// hold the size in SuatomB, so they say nothing about the data (two r32ui
// images of the corpus give 5 and 6 there): the image's own format decides,
// as for size 6.
void SuatomD(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuatomD>();
    EmitSuatom(context, op.Dim(), op.Op(), 6, op.TidB(), op.Ra(), op.Rb(), 0, op.Rd(), op.Ba(), false, false);
}

void Suatom(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuatom>();
    EmitSuatom(context, op.Dim(), op.Op(), op.Size(), op.TidB(), op.Ra(), op.Rb(), 0, op.Rd(), op.Ba(), false, false);
}

void SuatomCasB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuatomCasB>();
    EmitSuatom(context, op.Dim(), 0, op.Size(), 0, op.Ra(), op.Rb(), op.Rc(), op.Rd(), op.Ba(), true, true);
}

void SuatomCas(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuatomCas>();
    EmitSuatom(context, op.Dim(), 0, op.Size(), op.TidB(), op.Ra(), op.Rb(), 0, op.Rd(), op.Ba(), false, true);
}

void Sured(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSured>();
    EmitSured(context, op.Dim(), op.Op(), op.Size(), op.TidB(), op.Ra(), op.Rd(), 0, op.Ba(), false);
}

void SuredB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuredB>();
    EmitSured(context, op.Dim(), op.Op(), op.Size(), 0, op.Ra(), op.Rd(), op.Rc(), op.Ba(), true);
}

void Suld(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuld>();
    EmitSuld(context, op.CacheOp(), op.Dim(), 0, op.TidB(), op.Rgba(), op.Ra(), op.Rd(), 0, true, false, false);
}

void SuldB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuldB>();
    EmitSuld(context, op.CacheOp(), op.Dim(), 0, 0, op.Rgba(), op.Ra(), op.Rd(), op.Rc(), true, false, true);
}

void SuldD(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuldD>();
    EmitSuld(context, op.CacheOp(), op.Dim(), op.Size(), op.TidB(), 0, op.Ra(), op.Rd(), 0, false, op.Ba(), false);
}

void SuldDB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSuldDB>();
    EmitSuld(context, op.CacheOp(), op.Dim(), op.Size(), 0, 0, op.Ra(), op.Rd(), op.Rc(), false, op.Ba(), true);
}

void Sust(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSust>();
    EmitSust(context, op.CacheOp(), op.Dim(), 0, op.TidB(), op.Rgba(), op.Ra(), op.Rd(), 0, true, false, false);
}

void SustB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSustB>();
    EmitSust(context, op.CacheOp(), op.Dim(), 0, 0, op.Rgba(), op.Ra(), op.Rd(), op.Rc(), true, false, true);
}

void SustD(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSustD>();
    EmitSust(context, op.CacheOp(), op.Dim(), op.Size(), op.TidB(), 0, op.Ra(), op.Rd(), 0, false, op.Ba(), false);
}

void SustDB(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstSustDB>();
    EmitSust(context, op.CacheOp(), op.Dim(), op.Size(), 0, 0, op.Ra(), op.Rd(), op.Rc(), false, op.Ba(), true);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
