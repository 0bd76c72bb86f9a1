#pragma once
// Field accessors of the floating-point add, multiply and fused multiply-add
// forms: FADD, FFMA, FMUL (single), DADD, DFMA, DMUL (double) and the packed
// half-float HADD2, HMUL2, HFMA2, with their 32-bit immediate forms. The 32i
// forms keep their modifiers above the immediate (bits 20-51), so the same
// modifier sits at another bit there. Where a bit named NegA negates
// operand B of a product, the product's sign is the same either way.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_FARITH_BASE                                                                                                 \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(Ra, int, 8, 8)
#define ZV_FARITH_SRC_R ZV_INST_FIELD(Rb, int, 20, 8)
#define ZV_FARITH_SRC_I ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
#define ZV_FARITH_SRC_C                                                                                                \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)
#define ZV_FARITH_SRC_RC ZV_INST_FIELD(Rc, int, 39, 8)
#define ZV_FARITH_IMM32 ZV_INST_FIELD(Imm32, int, 20, 32)

// FADD, DADD: abs and negate of both operands.
#define ZV_FARITH_ADD_MODS                                                                                             \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(AbsA, 46)                                                                                              \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(NegA, 48)                                                                                              \
    ZV_INST_BIT(AbsB, 49)

struct InstFaddR {
    ZV_INST_ACCESSOR(InstFaddR)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_ADD_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFaddI {
    ZV_INST_ACCESSOR(InstFaddI)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_I
    ZV_FARITH_ADD_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFaddC {
    ZV_INST_ACCESSOR(InstFaddC)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_ADD_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFadd32i {
    ZV_INST_ACCESSOR(InstFadd32i)
    ZV_FARITH_BASE
    ZV_FARITH_IMM32
    ZV_INST_BIT(WriteCC, 52)
    ZV_INST_BIT(NegB, 53)
    ZV_INST_BIT(AbsA, 54)
    ZV_INST_BIT(NegA, 56)
    ZV_INST_BIT(AbsB, 57)
};

struct InstDaddR {
    ZV_INST_ACCESSOR(InstDaddR)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_ADD_MODS
};

struct InstDaddI {
    ZV_INST_ACCESSOR(InstDaddI)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_I
    ZV_FARITH_ADD_MODS
};

struct InstDaddC {
    ZV_INST_ACCESSOR(InstDaddC)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_ADD_MODS
};

// FFMA, DFMA: NegA negates B, NegC negates the addend.
#define ZV_FARITH_FMA_MODS                                                                                             \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(NegA, 48)                                                                                              \
    ZV_INST_BIT(NegC, 49)

struct InstFfmaR {
    ZV_INST_ACCESSOR(InstFfmaR)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFfmaI {
    ZV_INST_ACCESSOR(InstFfmaI)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_I
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFfmaC {
    ZV_INST_ACCESSOR(InstFfmaC)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFfmaRc {
    ZV_INST_ACCESSOR(InstFfmaRc)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
    ZV_INST_BIT(Sat, 50)
};

struct InstFfma32i {
    ZV_INST_ACCESSOR(InstFfma32i)
    ZV_FARITH_BASE
    ZV_FARITH_IMM32
    ZV_INST_BIT(WriteCC, 52)
    ZV_INST_BIT(Sat, 55)
    ZV_INST_BIT(NegA, 56)
    ZV_INST_BIT(NegC, 57)
};

struct InstDfmaR {
    ZV_INST_ACCESSOR(InstDfmaR)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
};

struct InstDfmaI {
    ZV_INST_ACCESSOR(InstDfmaI)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_I
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
};

struct InstDfmaC {
    ZV_INST_ACCESSOR(InstDfmaC)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
};

struct InstDfmaRc {
    ZV_INST_ACCESSOR(InstDfmaRc)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_SRC_RC
    ZV_FARITH_FMA_MODS
};

// FMUL: Scale multiplies A before the product; NegA negates B.
#define ZV_FARITH_FMUL_MODS                                                                                            \
    ZV_INST_FIELD(Scale, Decoders::MultiplyScale, 41, 3)                                                               \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(NegA, 48)                                                                                              \
    ZV_INST_BIT(Sat, 50)

struct InstFmulR {
    ZV_INST_ACCESSOR(InstFmulR)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_FMUL_MODS
};

struct InstFmulI {
    ZV_INST_ACCESSOR(InstFmulI)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_I
    ZV_FARITH_FMUL_MODS
};

struct InstFmulC {
    ZV_INST_ACCESSOR(InstFmulC)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_FMUL_MODS
};

struct InstFmul32i {
    ZV_INST_ACCESSOR(InstFmul32i)
    ZV_FARITH_BASE
    ZV_FARITH_IMM32
    ZV_INST_BIT(WriteCC, 52)
    ZV_INST_BIT(Sat, 55)
};

#define ZV_FARITH_DMUL_MODS                                                                                            \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(NegA, 48)

struct InstDmulR {
    ZV_INST_ACCESSOR(InstDmulR)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_DMUL_MODS
};

struct InstDmulI {
    ZV_INST_ACCESSOR(InstDmulI)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_I
    ZV_FARITH_DMUL_MODS
};

struct InstDmulC {
    ZV_INST_ACCESSOR(InstDmulC)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_DMUL_MODS
};

// Packed half-float forms. The immediate forms carry two 10-bit half
// immediates (the top ten bits of each half): BimmH0 in bits 20-29, BimmH1 in
// bits 30-38 with bit 56 as its bit 9.
#define ZV_HARITH_BIMM                                                                                                 \
    ZV_INST_FIELD(BimmH0, int, 20, 10)                                                                                 \
    ZV_INST_FIELD2(BimmH1, int, 30, 9, 56, 1)
#define ZV_HARITH_ASWZ ZV_INST_FIELD(ASwizzle, Decoders::HalfSwizzle, 47, 2)
#define ZV_HARITH_BSWZ_R ZV_INST_FIELD(BSwizzle, Decoders::HalfSwizzle, 28, 2)
#define ZV_HARITH_OFMT ZV_INST_FIELD(OFmt, Decoders::OFmt, 49, 2)

struct InstHadd2R {
    ZV_INST_ACCESSOR(InstHadd2R)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_HARITH_BSWZ_R
    ZV_INST_BIT(AbsB, 30)
    ZV_INST_BIT(NegB, 31)
    ZV_INST_BIT(Sat, 32)
    ZV_INST_BIT(NegA, 43)
    ZV_INST_BIT(AbsA, 44)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
};

struct InstHadd2I {
    ZV_INST_ACCESSOR(InstHadd2I)
    ZV_FARITH_BASE
    ZV_HARITH_BIMM
    ZV_INST_BIT(NegA, 43)
    ZV_INST_BIT(AbsA, 44)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(Sat, 52)
};

struct InstHadd2C {
    ZV_INST_ACCESSOR(InstHadd2C)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_INST_BIT(NegA, 43)
    ZV_INST_BIT(AbsA, 44)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(Sat, 52)
    ZV_INST_BIT(AbsB, 54)
    ZV_INST_BIT(NegB, 56)
};

struct InstHadd232i {
    ZV_INST_ACCESSOR(InstHadd232i)
    ZV_FARITH_BASE
    ZV_FARITH_IMM32
    ZV_INST_BIT(Sat, 52)
    ZV_INST_FIELD(ASwizzle, Decoders::HalfSwizzle, 53, 2)
    ZV_INST_BIT(NegA, 56)
};

struct InstHmul2R {
    ZV_INST_ACCESSOR(InstHmul2R)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_HARITH_BSWZ_R
    ZV_INST_BIT(AbsB, 30)
    ZV_INST_BIT(NegB, 31)
    ZV_INST_BIT(Sat, 32)
    ZV_INST_BIT(AbsA, 44)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
};

struct InstHmul2I {
    ZV_INST_ACCESSOR(InstHmul2I)
    ZV_FARITH_BASE
    ZV_HARITH_BIMM
    ZV_INST_BIT(NegA, 43)
    ZV_INST_BIT(AbsA, 44)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(Sat, 52)
};

struct InstHmul2C {
    ZV_INST_ACCESSOR(InstHmul2C)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_INST_BIT(NegA, 43) // negates the constant-buffer operand B
    ZV_INST_BIT(AbsA, 44)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(Sat, 52)
    ZV_INST_BIT(AbsB, 54)
};

struct InstHmul232i {
    ZV_INST_ACCESSOR(InstHmul232i)
    ZV_FARITH_BASE
    ZV_FARITH_IMM32
    ZV_INST_BIT(Sat, 52)
    ZV_INST_FIELD(ASwizzle, Decoders::HalfSwizzle, 53, 2)
};

struct InstHfma2R {
    ZV_INST_ACCESSOR(InstHfma2R)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_R
    ZV_FARITH_SRC_RC
    ZV_HARITH_BSWZ_R
    ZV_INST_BIT(NegC, 30)
    ZV_INST_BIT(NegB, 31)
    ZV_INST_BIT(Sat, 32)
    ZV_INST_FIELD(CSwizzle, Decoders::HalfSwizzle, 35, 2)
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
};

struct InstHfma2I {
    ZV_INST_ACCESSOR(InstHfma2I)
    ZV_FARITH_BASE
    ZV_HARITH_BIMM
    ZV_FARITH_SRC_RC
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(NegC, 51)
    ZV_INST_BIT(Sat, 52)
    ZV_INST_FIELD(CSwizzle, Decoders::HalfSwizzle, 53, 2)
};

struct InstHfma2C {
    ZV_INST_ACCESSOR(InstHfma2C)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_SRC_RC
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(NegC, 51)
    ZV_INST_BIT(Sat, 52)
    ZV_INST_FIELD(CSwizzle, Decoders::HalfSwizzle, 53, 2)
    ZV_INST_BIT(NegA, 56) // negates the constant-buffer operand B
};

struct InstHfma2Rc {
    ZV_INST_ACCESSOR(InstHfma2Rc)
    ZV_FARITH_BASE
    ZV_FARITH_SRC_C
    ZV_FARITH_SRC_RC
    ZV_HARITH_ASWZ
    ZV_HARITH_OFMT
    ZV_INST_BIT(NegC, 51)
    ZV_INST_BIT(Sat, 52)
    ZV_INST_FIELD(BSwizzle, Decoders::HalfSwizzle, 53, 2)
    ZV_INST_BIT(NegA, 56) // negates the register operand B (Rc)
};

struct InstHfma232i {
    ZV_INST_ACCESSOR(InstHfma232i)
    ZV_FARITH_BASE
    ZV_FARITH_IMM32
    ZV_HARITH_ASWZ
    ZV_INST_BIT(NegC, 51)
};

#undef ZV_FARITH_BASE
#undef ZV_FARITH_SRC_R
#undef ZV_FARITH_SRC_I
#undef ZV_FARITH_SRC_C
#undef ZV_FARITH_SRC_RC
#undef ZV_FARITH_IMM32
#undef ZV_FARITH_ADD_MODS
#undef ZV_FARITH_FMA_MODS
#undef ZV_FARITH_FMUL_MODS
#undef ZV_FARITH_DMUL_MODS
#undef ZV_HARITH_BIMM
#undef ZV_HARITH_ASWZ
#undef ZV_HARITH_BSWZ_R
#undef ZV_HARITH_OFMT

} // namespace Zerivox::Graphics::Shader::Decoders
