#pragma once
#include <cstdint>
#include <span>
#include <utility>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureFlags.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"

// Builder operations: each appends exactly one operation to the context
// (FPSaturate with FP64: three) and returns its result, a new local.
// Functions that take an integer resource index n (binding, memory id,
// IoVariable) put Const(n) first among the sources.
//
// The order of appended operations is the order of the calls: hoist nested
// builder calls into named locals, never write IAdd(ctx, IMultiply(...), ...).
namespace Zerivox::Graphics::Shader::Translation::EmitterContextInsts {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using IntermediateRepresentation::TextureFlags;
using Operands = std::span<Operand* const>;
using OperandPair = std::pair<Operand*, Operand*>;

// Atomics: (a, b, value) - the caller gives the whole resource part; with
// a leading index n: Const(n), a, b, value. Each returns the old value.
Operand* AtomicAdd(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicAnd(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicMaxS32(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicMaxU32(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicMinS32(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicMinU32(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicOr(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicSwap(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicXor(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b, Operand* c);
Operand* AtomicAdd(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b, Operand* value);
Operand* AtomicAnd(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b, Operand* value);
Operand* AtomicMaxS32(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                      Operand* value);
Operand* AtomicMaxU32(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                      Operand* value);
Operand* AtomicMinS32(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                      Operand* value);
Operand* AtomicMinU32(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                      Operand* value);
Operand* AtomicOr(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b, Operand* value);
Operand* AtomicSwap(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                    Operand* value);
Operand* AtomicXor(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b, Operand* value);
Operand* AtomicCompareAndSwap(EmitterContext& context, StorageKind storageKind, int binding, Operand* a,
                              Operand* compare, Operand* value);
Operand* AtomicCompareAndSwap(EmitterContext& context, StorageKind storageKind, int binding, Operand* a, Operand* b,
                              Operand* compare, Operand* value);

// Ballot word n.
Operand* Ballot(EmitterContext& context, Operand* a, int index);

Operand* BitCount(EmitterContext& context, Operand* a);
Operand* BitfieldExtractS32(EmitterContext& context, Operand* a, Operand* b, Operand* c);
Operand* BitfieldExtractU32(EmitterContext& context, Operand* a, Operand* b, Operand* c);
Operand* BitfieldInsert(EmitterContext& context, Operand* a, Operand* b, Operand* c, Operand* d);
Operand* BitfieldReverse(EmitterContext& context, Operand* a);
Operand* BitwiseAnd(EmitterContext& context, Operand* a, Operand* b);
Operand* BitwiseExclusiveOr(EmitterContext& context, Operand* a, Operand* b);
Operand* BitwiseNot(EmitterContext& context, Operand* a);
Operand* BitwiseOr(EmitterContext& context, Operand* a, Operand* b);

// Both return the label; the branch becomes the label's Definition.
Operand* BranchIfFalse(EmitterContext& context, Operand* label, Operand* cond);
Operand* BranchIfTrue(EmitterContext& context, Operand* label, Operand* cond);

Operand* ConditionalSelect(EmitterContext& context, Operand* a, Operand* b, Operand* c);

Operand* Copy(EmitterContext& context, Operand* a);
// Copy into dest; nothing at all when dest is a Constant (a write to the
// zero register or the true predicate).
void Copy(EmitterContext& context, Operand* d, Operand* a);

Operand* FindLSB(EmitterContext& context, Operand* a);
Operand* FindMSBS32(EmitterContext& context, Operand* a);
Operand* FindMSBU32(EmitterContext& context, Operand* a);

Operand* FP32ConvertToFP64(EmitterContext& context, Operand* a);
Operand* FP64ConvertToFP32(EmitterContext& context, Operand* a);
Operand* FP32ConvertToS32(EmitterContext& context, Operand* a);
Operand* FP32ConvertToU32(EmitterContext& context, Operand* a);
Operand* FP64ConvertToS32(EmitterContext& context, Operand* a);
Operand* FP64ConvertToU32(EmitterContext& context, Operand* a);

// fpType is FP32 or FP64 and is or-ed into the instruction.
Operand* FPAbsolute(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* FPAdd(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPCeiling(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* FPCompareEqual(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPCompareLess(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPDivide(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPFloor(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* FPFusedMultiplyAdd(EmitterContext& context, Operand* a, Operand* b, Operand* c,
                            Instruction fpType = Instruction::FP32);
Operand* FPMaximum(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPMinimum(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPModulo(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPMultiply(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPNegate(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* FPReciprocalSquareRoot(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* FPRound(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
// Clamp to [0, 1]; with FP64 the bounds are PackDouble2x32 of 0.0 and 1.0,
// appended first.
Operand* FPSaturate(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* FPSubtract(EmitterContext& context, Operand* a, Operand* b, Instruction fpType = Instruction::FP32);
Operand* FPTruncate(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);
Operand* IsNan(EmitterContext& context, Operand* a, Instruction fpType = Instruction::FP32);

// Single precision only.
Operand* FPCosine(EmitterContext& context, Operand* a);
Operand* FPExponentB2(EmitterContext& context, Operand* a);
Operand* FPLogarithmB2(EmitterContext& context, Operand* a);
Operand* FPSine(EmitterContext& context, Operand* a);
Operand* FPSquareRoot(EmitterContext& context, Operand* a);

// SwizzleAdd(a, b, Const(mask)).
Operand* FPSwizzleAdd(EmitterContext& context, Operand* a, Operand* b, int mask);

Operand* IAbsolute(EmitterContext& context, Operand* a);
Operand* IAdd(EmitterContext& context, Operand* a, Operand* b);
Operand* IClampS32(EmitterContext& context, Operand* a, Operand* b, Operand* c);
Operand* IClampU32(EmitterContext& context, Operand* a, Operand* b, Operand* c);
Operand* ICompareEqual(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareGreater(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareGreaterOrEqual(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareGreaterOrEqualUnsigned(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareGreaterUnsigned(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareLess(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareLessOrEqualUnsigned(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareLessUnsigned(EmitterContext& context, Operand* a, Operand* b);
Operand* ICompareNotEqual(EmitterContext& context, Operand* a, Operand* b);
Operand* IConvertS32ToFP32(EmitterContext& context, Operand* a);
Operand* IConvertS32ToFP64(EmitterContext& context, Operand* a);
Operand* IConvertU32ToFP32(EmitterContext& context, Operand* a);
Operand* IConvertU32ToFP64(EmitterContext& context, Operand* a);
Operand* IMaximumS32(EmitterContext& context, Operand* a, Operand* b);
Operand* IMaximumU32(EmitterContext& context, Operand* a, Operand* b);
Operand* IMinimumS32(EmitterContext& context, Operand* a, Operand* b);
Operand* IMinimumU32(EmitterContext& context, Operand* a, Operand* b);
Operand* IMultiply(EmitterContext& context, Operand* a, Operand* b);
Operand* INegate(EmitterContext& context, Operand* a);
Operand* ISubtract(EmitterContext& context, Operand* a, Operand* b);

// Image operations: TextureOperations with SamplerSet/SamplerBinding -1.
Operand* ImageAtomic(EmitterContext& context, SamplerType type, TextureFormat format, TextureFlags flags,
                     SetBindingPair setAndBinding, Operands sources);
// Writes the components of compMask into dests (the array is copied).
void ImageLoad(EmitterContext& context, SamplerType type, TextureFormat format, TextureFlags flags,
               SetBindingPair setAndBinding, int compMask, Operands dests, Operands sources);
void ImageStore(EmitterContext& context, SamplerType type, TextureFormat format, TextureFlags flags,
                SetBindingPair setAndBinding, Operands sources);

// Loads: (a, b) with the caller's resource part, or Const(n) then indices.
Operand* Load(EmitterContext& context, StorageKind storageKind, Operand* a, Operand* b);
Operand* Load(EmitterContext& context, StorageKind storageKind, int binding);
Operand* Load(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0);
Operand* Load(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* e1);
Operand* Load(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* e1, Operand* e2);

// Texture operations: Format Unknown, SamplerSet/SamplerBinding -1.
Operand* Lod(EmitterContext& context, SamplerType type, TextureFlags flags, SetBindingPair setAndBinding,
             int compIndex, Operands sources);

Operand* MultiplyHighS32(EmitterContext& context, Operand* a, Operand* b);
Operand* MultiplyHighU32(EmitterContext& context, Operand* a, Operand* b);

Operand* PackDouble2x32(EmitterContext& context, Operand* a, Operand* b);
// Const(low word), Const(high word) of the double's bits.
Operand* PackDouble2x32(EmitterContext& context, double value);
Operand* PackHalf2x16(EmitterContext& context, Operand* a, Operand* b);

// Return with the value as its only source.
void Return(EmitterContext& context, Operand* value);

Operand* ShiftLeft(EmitterContext& context, Operand* a, Operand* b);
Operand* ShiftRightS32(EmitterContext& context, Operand* a, Operand* b);
Operand* ShiftRightU32(EmitterContext& context, Operand* a, Operand* b);

// Two-source form: value and source lane; one result.
Operand* Shuffle(EmitterContext& context, Operand* a, Operand* b);
// value, index or delta, mask; results: value and a "source lane valid" bool.
OperandPair Shuffle(EmitterContext& context, Operand* a, Operand* b, Operand* c);
OperandPair ShuffleDown(EmitterContext& context, Operand* a, Operand* b, Operand* c);
OperandPair ShuffleUp(EmitterContext& context, Operand* a, Operand* b, Operand* c);
OperandPair ShuffleXor(EmitterContext& context, Operand* a, Operand* b, Operand* c);

// Stores: Const(n), indices, value. The IoVariable forms leave out a when
// it is null.
void Store(EmitterContext& context, StorageKind storageKind, int binding, Operand* value);
void Store(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* value);
void Store(EmitterContext& context, StorageKind storageKind, int binding, Operand* e0, Operand* e1, Operand* value);
void Store(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable, Operand* arrayIndex,
           Operand* value);
void Store(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable, Operand* arrayIndex,
           Operand* elemIndex, Operand* value);
void Store(EmitterContext& context, StorageKind storageKind, IoVariable ioVariable, Operand* arrayIndex,
           Operand* elemIndex, Operand* compIndex, Operand* value);

// Writes the components of compMask into dests (the array is copied).
void TextureSample(EmitterContext& context, SamplerType type, TextureFlags flags, SetBindingPair setAndBinding,
                   int compMask, Operands dests, Operands sources);
Operand* TextureQuerySamples(EmitterContext& context, SamplerType type, TextureFlags flags,
                             SetBindingPair setAndBinding, Operands sources);
Operand* TextureQuerySize(EmitterContext& context, SamplerType type, TextureFlags flags, SetBindingPair setAndBinding,
                          int compIndex, Operands sources);

// Index = the half (0 low, 1 high).
Operand* UnpackDouble2x32(EmitterContext& context, Operand* a, int index);
Operand* UnpackHalf2x16(EmitterContext& context, Operand* a, int index);

Operand* VoteAll(EmitterContext& context, Operand* a);
Operand* VoteAllEqual(EmitterContext& context, Operand* a);
Operand* VoteAny(EmitterContext& context, Operand* a);

} // namespace Zerivox::Graphics::Shader::Translation::EmitterContextInsts
