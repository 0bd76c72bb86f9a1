#pragma once
// Operand fetchers and result writers shared by every instruction emitter.
//
// Every function appends its operations to the context in the order the
// comments give; the fetchers that emit nothing (ReadRegister, ReadImm20,
// ReadFloatImm20, ReadImm32, ReadCbuf, GetPredicate without inversion) only
// create an operand. Register numbers are taken as the 8-bit fields give them
// and are never validated: RZ reads as the constant 0, PT as -1, and writes
// to either vanish (Copy into a constant emits nothing).
#include <array>
#include <cstdint>
#include <string>

#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Instructions::InstEmitHelper {

using IntermediateRepresentation::Operand;
using Translation::EmitterContext;

// The two FP32 lanes of a packed half-float operand (element 0 = low half).
using HalfOperands = std::array<Operand*, 2>;

// General register `reg` (0-255) as an operand; RZ gives the constant 0.
// Also the destination operand of a register write.
Operand* ReadRegister(EmitterContext& context, int reg);
// Same as ReadRegister: names the intent at destination sites.
Operand* GetDest(EmitterContext& context, int rd);
// Predicate register `pred` (0-7) as a destination; PT gives a constant, so a
// write to it is dropped.
Operand* GetPredDest(EmitterContext& context, int pred);

// FP64 register source: PackDouble2x32(reg (low word), reg | 1 (high word)).
Operand* ReadRegisterPair(EmitterContext& context, int reg);

// Integer immediate: the 20-bit field sign-extended from its bit 19.
Operand* ReadImm20(EmitterContext& context, int imm20);
// FP32 immediate: the field gives the top 20 bits of the float (imm20 << 12).
Operand* ReadFloatImm20(EmitterContext& context, int imm20);
// FP64 immediate: PackDouble2x32(0, imm20 << 12): the field gives the top 20
// bits of the double.
Operand* ReadDoubleImm20(EmitterContext& context, int imm20);
// The 32 bits as a constant (FP32 bits for float forms).
Operand* ReadImm32(EmitterContext& context, int imm32);

// Constant-buffer word `offset` (a word index) of buffer `slot`.
Operand* ReadCbuf(EmitterContext& context, int slot, int offset);
// FP64 constant-buffer source: PackDouble2x32(word offset, word offset + 1).
Operand* ReadCbufPair(EmitterContext& context, int slot, int offset);

// Writes a result to rd. FP64 values are split: the low word to rd, then the
// high word to rd | 1 (with an odd rd both land in rd, the high word last).
void SetDest(EmitterContext& context, Operand* value, int rd, bool isFP64);

// Predicate `pred` as a truth value (PT gives -1), BitwiseNot of it when
// `invert` is set.
Operand* GetPredicate(EmitterContext& context, int pred, bool invert);

// value AND a mask of the low `bits` bits (8, 16 or 32; 32 keeps all bits).
Operand* ZeroExtendTo32(EmitterContext& context, Operand* value, int bits);

// Replaces each lane by FPAbsolute (abs), then by FPNegate of that (neg), in
// FP32; returns the same array.
HalfOperands& FPAbsNeg(EmitterContext& context, HalfOperands& operands, bool abs, bool neg);

// The same for one value of fpType (FP32 or FP64).
Operand* FPAbsNeg(EmitterContext& context, Operand* value, bool abs, bool neg,
                  IntermediateRepresentation::Instruction fpType);

// Two FP32 constants from two 10-bit half immediates (each the top 10 bits
// of an IEEE half), converted exactly at translation time.
HalfOperands GetHalfSrc(EmitterContext& context, int imm0, int imm1);
// Two FP32 constants from the halves of a 32-bit immediate (bits 0-15 first).
HalfOperands GetHalfSrc(EmitterContext& context, int imm32);

// Splits a register source into its two lanes by swizzle. Throws
// ArgumentException "Invalid swizzle ..." for values above 3.
HalfOperands GetHalfUnpacked(EmitterContext& context, Operand* value, Decoders::HalfSwizzle swizzle);
// Joins two lane results by output format; the merge formats keep the other
// half of register rd. Throws ArgumentException "Invalid swizzle ..." for
// values above 3.
Operand* GetHalfPacked(EmitterContext& context, Decoders::OFmt ofmt, const HalfOperands& results, int rd);

// Exact binary16 -> binary32 conversion (infinities, NaN payloads and
// subnormals included), used for half immediates.
uint32_t HalfToSingleBits(uint16_t half);

// Upper-case hexadecimal text of an address, without prefix or padding, for
// log messages.
std::string ToHexUpper(uint64_t value);

// Throws InvalidOperationException naming the current instruction (`name`,
// its address) and the shader's stage, with `reason`: for an instruction the
// stage cannot execute, which has no meaning to translate there.
[[noreturn]] void ThrowNotInStage(EmitterContext& context, const char* name, const char* reason);

// Throws NotImplementedException naming the current instruction (`name`, its
// address) with `reason`: for a form that no host module can express, which
// must not be translated into something else or dropped.
[[noreturn]] void ThrowUntranslatable(EmitterContext& context, const char* name, const char* reason);

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmitHelper
