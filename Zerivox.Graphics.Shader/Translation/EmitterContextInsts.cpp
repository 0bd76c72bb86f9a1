#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

#include <bit>
#include <initializer_list>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

namespace Zerivox::Graphics::Shader::Translation::EmitterContextInsts {

using namespace IntermediateRepresentation;

namespace {

// Result local first, then the sources (constants made here come after it),
// then the one operation.
Operand* Value(EmitterContext& context, Instruction inst, std::initializer_list<Operand*> sources) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    context.Add(context.Arena().NewOperation(inst, d, sources));
    return d;
}

Operand* Memory(EmitterContext& context, Instruction inst, StorageKind storageKind,
                std::initializer_list<Operand*> sources) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    context.Add(context.Arena().NewOperation(inst, storageKind, d, sources));
    return d;
}

// Value with an integer resource index placed first as a constant.
Operand* IndexedMemory(EmitterContext& context, Instruction inst, StorageKind storageKind, int index,
                       std::initializer_list<Operand*> rest) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* n = OperandHelper::MakeConstant(context.Arena(), index);
    Operand* sources[5];
    std::size_t count = 0;
    sources[count++] = n;
    for (Operand* s : rest) sources[count++] = s;
    context.Add(context.Arena().NewOperation(inst, storageKind, d, std::span<Operand* const>(sources, count)));
    return d;
}

void StoreOp(EmitterContext& context, StorageKind storageKind, std::span<Operand* const> sources) {
    context.Add(context.Arena().NewOperation(Instruction::Store, storageKind, nullptr, sources));
}

OperandPair TwoResults(EmitterContext& context, Instruction inst, Operand* a, Operand* b, Operand* c) {
    Operand* result = OperandHelper::MakeLocal(context.Arena());
    Operand* valid = OperandHelper::MakeLocal(context.Arena());
    return context.Add(inst, OperandPair(result, valid), {a, b, c});
}

Operand* Texture(EmitterContext& context, Instruction inst, SamplerType type, TextureFormat format, TextureFlags flags,
                 SetBindingPair setAndBinding, int index, Operands sources) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* dests[1] = {d};
    context.Add(context.Arena().NewTextureOperation(inst, type, format, flags, setAndBinding.SetIndex,
                                                    setAndBinding.Binding, index, dests, sources));
    return d;
}

}  // namespace

#define ZV_ATOMIC(Name)                                                                                          \
    Operand* Name(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c) {         \
        return Memory(context, Instruction::Name, storageKind, {a, b, c});                                       \
    }                                                                                                            \
    Operand* Name(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,         \
                  Operand* value) {                                                                              \
        return IndexedMemory(context, Instruction::Name, storageKind, binding, {a, b, value});                   \
    }

ZV_ATOMIC(AtomicAdd)
ZV_ATOMIC(AtomicAnd)
ZV_ATOMIC(AtomicMaxS32)
ZV_ATOMIC(AtomicMaxU32)
ZV_ATOMIC(AtomicMinS32)
ZV_ATOMIC(AtomicMinU32)
ZV_ATOMIC(AtomicOr)
ZV_ATOMIC(AtomicSwap)
ZV_ATOMIC(AtomicXor)
#undef ZV_ATOMIC

Operand* AtomicCompareAndSwap(EmitterContext& context, StorageKind storageKind, int binding, Operand* a,
                              Operand* compare, Operand* value) {
    return IndexedMemory(context, Instruction::AtomicCompareAndSwap, storageKind, binding, {a, compare, value});
}

Operand* AtomicCompareAndSwap(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                              Operand* compare, Operand* value) {
    return IndexedMemory(context, Instruction::AtomicCompareAndSwap, storageKind, binding, {a, b, compare, value});
}

Operand* Ballot(EmitterContext& context, Operand* a, int index) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* dests[1] = {d};
    Operand* sources[1] = {a};
    context.Add(context.Arena().NewOperation(Instruction::Ballot, index, dests, sources));
    return d;
}

#define ZV_UNARY(Name, Inst) \
    Operand* Name(EmitterContext& context, Operand* a) { return Value(context, Instruction::Inst, {a}); }
#define ZV_BINARY(Name, Inst)                                              \
    Operand* Name(EmitterContext& context, Operand* a, Operand* b) {       \
        return Value(context, Instruction::Inst, {a, b});                  \
    }
#define ZV_TERNARY(Name, Inst)                                                   \
    Operand* Name(EmitterContext& context, Operand* a, Operand* b, Operand* c) { \
        return Value(context, Instruction::Inst, {a, b, c});                     \
    }

ZV_UNARY(BitCount, BitCount)
ZV_TERNARY(BitfieldExtractS32, BitfieldExtractS32)
ZV_TERNARY(BitfieldExtractU32, BitfieldExtractU32)
Operand* BitfieldInsert(EmitterContext& context, Operand* a, Operand* b, Operand* c, Operand* d) {
    return Value(context, Instruction::BitfieldInsert, {a, b, c, d});
}
ZV_UNARY(BitfieldReverse, BitfieldReverse)
ZV_BINARY(BitwiseAnd, BitwiseAnd)
ZV_BINARY(BitwiseExclusiveOr, BitwiseExclusiveOr)
ZV_UNARY(BitwiseNot, BitwiseNot)
ZV_BINARY(BitwiseOr, BitwiseOr)

Operand* BranchIfFalse(EmitterContext& context, Operand* label, Operand* cond) {
    context.Add(context.Arena().NewOperation(Instruction::BranchIfFalse, label, {cond}));
    return label;
}

Operand* BranchIfTrue(EmitterContext& context, Operand* label, Operand* cond) {
    context.Add(context.Arena().NewOperation(Instruction::BranchIfTrue, label, {cond}));
    return label;
}

ZV_TERNARY(ConditionalSelect, ConditionalSelect)

ZV_UNARY(Copy, Copy)

void Copy(EmitterContext& context, Operand* d, Operand* a) {
    // The zero register and the true predicate are constants: writes to them vanish.
    if (d->Type == OperandType::Constant) return;
    context.Add(context.Arena().NewOperation(Instruction::Copy, d, {a}));
}

ZV_UNARY(FindLSB, FindLSB)
ZV_UNARY(FindMSBS32, FindMSBS32)
ZV_UNARY(FindMSBU32, FindMSBU32)

ZV_UNARY(FP32ConvertToFP64, ConvertFP32ToFP64)
ZV_UNARY(FP64ConvertToFP32, ConvertFP64ToFP32)
ZV_UNARY(FP32ConvertToS32, ConvertFP32ToS32)
ZV_UNARY(FP32ConvertToU32, ConvertFP32ToU32)
ZV_UNARY(FP64ConvertToS32, ConvertFP64ToS32)
ZV_UNARY(FP64ConvertToU32, ConvertFP64ToU32)

#define ZV_FP_UNARY(Name, Inst)                                                      \
    Operand* Name(EmitterContext& context, Operand* a, Instruction fpType) {         \
        return Value(context, Instruction::Inst | fpType, {a});                      \
    }
#define ZV_FP_BINARY(Name, Inst)                                                     \
    Operand* Name(EmitterContext& context, Operand* a, Operand* b, Instruction fpType) { \
        return Value(context, Instruction::Inst | fpType, {a, b});                   \
    }

ZV_FP_UNARY(FPAbsolute, Absolute)
ZV_FP_BINARY(FPAdd, Add)
ZV_FP_UNARY(FPCeiling, Ceiling)
ZV_FP_BINARY(FPCompareEqual, CompareEqual)
ZV_FP_BINARY(FPCompareLess, CompareLess)
ZV_FP_BINARY(FPDivide, Divide)
ZV_FP_UNARY(FPFloor, Floor)
Operand* FPFusedMultiplyAdd(EmitterContext& context, Operand* a, Operand* b, Operand* c, Instruction fpType) {
    return Value(context, Instruction::FusedMultiplyAdd | fpType, {a, b, c});
}
ZV_FP_BINARY(FPMaximum, Maximum)
ZV_FP_BINARY(FPMinimum, Minimum)
ZV_FP_BINARY(FPModulo, Modulo)
ZV_FP_BINARY(FPMultiply, Multiply)
ZV_FP_UNARY(FPNegate, Negate)
ZV_FP_UNARY(FPReciprocalSquareRoot, ReciprocalSquareRoot)
ZV_FP_UNARY(FPRound, Round)
ZV_FP_BINARY(FPSubtract, Subtract)
ZV_FP_UNARY(FPTruncate, Truncate)
ZV_FP_UNARY(IsNan, IsNan)

Operand* FPSaturate(EmitterContext& context, Operand* a, Instruction fpType) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    if (fpType == Instruction::FP64) {
        Operand* zero = PackDouble2x32(context, 0.0);
        Operand* one = PackDouble2x32(context, 1.0);
        context.Add(context.Arena().NewOperation(Instruction::Clamp | Instruction::FP64, d, {a, zero, one}));
    } else {
        Operand* zero = OperandHelper::MakeFloatConstant(context.Arena(), 0.0f);
        Operand* one = OperandHelper::MakeFloatConstant(context.Arena(), 1.0f);
        context.Add(context.Arena().NewOperation(Instruction::Clamp | fpType, d, {a, zero, one}));
    }
    return d;
}

ZV_UNARY(FPCosine, Cosine | Instruction::FP32)
ZV_UNARY(FPExponentB2, ExponentB2 | Instruction::FP32)
ZV_UNARY(FPLogarithmB2, LogarithmB2 | Instruction::FP32)
ZV_UNARY(FPSine, Sine | Instruction::FP32)
ZV_UNARY(FPSquareRoot, SquareRoot | Instruction::FP32)

Operand* FPSwizzleAdd(EmitterContext& context, Operand* a, Operand* b, int mask) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* m = OperandHelper::MakeConstant(context.Arena(), mask);
    context.Add(context.Arena().NewOperation(Instruction::SwizzleAdd, d, {a, b, m}));
    return d;
}

ZV_UNARY(IAbsolute, Absolute)
ZV_BINARY(IAdd, Add)
ZV_TERNARY(IClampS32, Clamp)
ZV_TERNARY(IClampU32, ClampU32)
ZV_BINARY(ICompareEqual, CompareEqual)
ZV_BINARY(ICompareGreater, CompareGreater)
ZV_BINARY(ICompareGreaterOrEqual, CompareGreaterOrEqual)
ZV_BINARY(ICompareGreaterOrEqualUnsigned, CompareGreaterOrEqualU32)
ZV_BINARY(ICompareGreaterUnsigned, CompareGreaterU32)
ZV_BINARY(ICompareLess, CompareLess)
ZV_BINARY(ICompareLessOrEqualUnsigned, CompareLessOrEqualU32)
ZV_BINARY(ICompareLessUnsigned, CompareLessU32)
ZV_BINARY(ICompareNotEqual, CompareNotEqual)
ZV_UNARY(IConvertS32ToFP32, ConvertS32ToFP32)
ZV_UNARY(IConvertS32ToFP64, ConvertS32ToFP64)
ZV_UNARY(IConvertU32ToFP32, ConvertU32ToFP32)
ZV_UNARY(IConvertU32ToFP64, ConvertU32ToFP64)
ZV_BINARY(IMaximumS32, Maximum)
ZV_BINARY(IMaximumU32, MaximumU32)
ZV_BINARY(IMinimumS32, Minimum)
ZV_BINARY(IMinimumU32, MinimumU32)
ZV_BINARY(IMultiply, Multiply)
ZV_UNARY(INegate, Negate)
ZV_BINARY(ISubtract, Subtract)

Operand* ImageAtomic(EmitterContext& context, SamplerType type, TextureFormat format, TextureFlags flags,
                     SetBindingPair setAndBinding, Operands sources) {
    return Texture(context, Instruction::ImageAtomic, type, format, flags, setAndBinding, 0, sources);
}

void ImageLoad(EmitterContext& context, SamplerType type, TextureFormat format, TextureFlags flags,
               SetBindingPair setAndBinding, int compMask, Operands dests, Operands sources) {
    context.Add(context.Arena().NewTextureOperation(Instruction::ImageLoad, type, format, flags,
                                                    setAndBinding.SetIndex, setAndBinding.Binding, compMask, dests,
                                                    sources));
}

void ImageStore(EmitterContext& context, SamplerType type, TextureFormat format, TextureFlags flags,
                SetBindingPair setAndBinding, Operands sources) {
    context.Add(context.Arena().NewTextureOperation(Instruction::ImageStore, type, format, flags,
                                                    setAndBinding.SetIndex, setAndBinding.Binding, 0, Operands(),
                                                    sources));
}

Operand* Load(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b) {
    return Memory(context, Instruction::Load, storageKind, {a, b});
}

Operand* Load(EmitterContext& context, StorageKind storageKind, int binding) {
    return IndexedMemory(context, Instruction::Load, storageKind, binding, {});
}

Operand* Load(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0) {
    return IndexedMemory(context, Instruction::Load, storageKind, binding, {e0});
}

Operand* Load(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* e1) {
    return IndexedMemory(context, Instruction::Load, storageKind, binding, {e0, e1});
}

Operand* Load(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* e1, Operand* e2) {
    return IndexedMemory(context, Instruction::Load, storageKind, binding, {e0, e1, e2});
}

Operand* Lod(EmitterContext& context, SamplerType type, TextureFlags flags, SetBindingPair setAndBinding,
             int compIndex, Operands sources) {
    return Texture(context, Instruction::Lod, type, TextureFormat::Unknown, flags, setAndBinding, compIndex, sources);
}

ZV_BINARY(MultiplyHighS32, MultiplyHighS32)
ZV_BINARY(MultiplyHighU32, MultiplyHighU32)

ZV_BINARY(PackDouble2x32, PackDouble2x32)

Operand* PackDouble2x32(EmitterContext& context, double value) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* low = OperandHelper::MakeConstant(context.Arena(), static_cast<int32_t>(static_cast<uint32_t>(bits)));
    Operand* high =
        OperandHelper::MakeConstant(context.Arena(), static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
    context.Add(context.Arena().NewOperation(Instruction::PackDouble2x32, d, {low, high}));
    return d;
}

ZV_BINARY(PackHalf2x16, PackHalf2x16)

void Return(EmitterContext& context, Operand* value) {
    context.Add(context.Arena().NewOperation(Instruction::Return, nullptr, {value}));
}

ZV_BINARY(ShiftLeft, ShiftLeft)
ZV_BINARY(ShiftRightS32, ShiftRightS32)
ZV_BINARY(ShiftRightU32, ShiftRightU32)

ZV_BINARY(Shuffle, Shuffle)

OperandPair Shuffle(EmitterContext& context, Operand* a, Operand* b, Operand* c) {
    return TwoResults(context, Instruction::Shuffle, a, b, c);
}
OperandPair ShuffleDown(EmitterContext& context, Operand* a, Operand* b, Operand* c) {
    return TwoResults(context, Instruction::ShuffleDown, a, b, c);
}
OperandPair ShuffleUp(EmitterContext& context, Operand* a, Operand* b, Operand* c) {
    return TwoResults(context, Instruction::ShuffleUp, a, b, c);
}
OperandPair ShuffleXor(EmitterContext& context, Operand* a, Operand* b, Operand* c) {
    return TwoResults(context, Instruction::ShuffleXor, a, b, c);
}

void Store(EmitterContext& context, StorageKind storageKind, int binding, Operand* value) {
    Operand* sources[] = {OperandHelper::MakeConstant(context.Arena(), binding), value};
    StoreOp(context, storageKind, sources);
}

void Store(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* value) {
    Operand* sources[] = {OperandHelper::MakeConstant(context.Arena(), binding), e0, value};
    StoreOp(context, storageKind, sources);
}

void Store(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* e1, Operand* value) {
    Operand* sources[] = {OperandHelper::MakeConstant(context.Arena(), binding), e0, e1, value};
    StoreOp(context, storageKind, sources);
}

namespace {
// Const(v), then the indices that are given (a may be null), the value last.
void StoreIo(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable,
             std::initializer_list<Operand*> indices, Operand* value) {
    Operand* sources[5];
    std::size_t count = 0;
    sources[count++] = OperandHelper::MakeConstant(context.Arena(), static_cast<int32_t>(ioVariable));
    bool first = true;
    for (Operand* index : indices) {
        if (!(first && index == nullptr)) sources[count++] = index;
        first = false;
    }
    sources[count++] = value;
    StoreOp(context, storageKind, std::span<Operand* const>(sources, count));
}
}  // namespace

void Store(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable, Operand* arrayIndex,
           Operand* value) {
    StoreIo(context, storageKind, ioVariable, {arrayIndex}, value);
}

void Store(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable, Operand* arrayIndex,
           Operand* elemIndex, Operand* value) {
    StoreIo(context, storageKind, ioVariable, {arrayIndex, elemIndex}, value);
}

void Store(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable, Operand* arrayIndex,
           Operand* elemIndex, Operand* compIndex, Operand* value) {
    StoreIo(context, storageKind, ioVariable, {arrayIndex, elemIndex, compIndex}, value);
}

void TextureSample(EmitterContext& context, SamplerType type, TextureFlags flags, SetBindingPair setAndBinding,
                   int compMask, Operands dests, Operands sources) {
    context.Add(context.Arena().NewTextureOperation(Instruction::TextureSample, type, TextureFormat::Unknown, flags,
                                                    setAndBinding.SetIndex, setAndBinding.Binding, compMask, dests,
                                                    sources));
}

Operand* TextureQuerySamples(EmitterContext& context, SamplerType type, TextureFlags flags,
                             SetBindingPair setAndBinding, Operands sources) {
    return Texture(context, Instruction::TextureQuerySamples, type, TextureFormat::Unknown, flags, setAndBinding, 0,
                   sources);
}

Operand* TextureQuerySize(EmitterContext& context, SamplerType type, TextureFlags flags, SetBindingPair setAndBinding,
                          int compIndex, Operands sources) {
    return Texture(context, Instruction::TextureQuerySize, type, TextureFormat::Unknown, flags, setAndBinding,
                   compIndex, sources);
}

Operand* UnpackDouble2x32(EmitterContext& context, Operand* a, int index) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* dests[1] = {d};
    Operand* sources[1] = {a};
    context.Add(context.Arena().NewOperation(Instruction::UnpackDouble2x32, index, dests, sources));
    return d;
}

Operand* UnpackHalf2x16(EmitterContext& context, Operand* a, int index) {
    Operand* d = OperandHelper::MakeLocal(context.Arena());
    Operand* dests[1] = {d};
    Operand* sources[1] = {a};
    context.Add(context.Arena().NewOperation(Instruction::UnpackHalf2x16, index, dests, sources));
    return d;
}

ZV_UNARY(VoteAll, VoteAll)
ZV_UNARY(VoteAllEqual, VoteAllEqual)
ZV_UNARY(VoteAny, VoteAny)

#undef ZV_UNARY
#undef ZV_BINARY
#undef ZV_TERNARY
#undef ZV_FP_UNARY
#undef ZV_FP_BINARY

} // namespace Zerivox::Graphics::Shader::Translation::EmitterContextInsts
