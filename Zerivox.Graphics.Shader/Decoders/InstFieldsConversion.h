#pragma once
// Field accessors of the conversion forms: F2F, F2I, I2F and I2I, each with a
// register (Rb), immediate (Imm20) and constant-buffer source; none reads Ra.
//
// Fields the emitters use as plain numbers:
//   RoundMode (F2F, IntegerRound, 3 bits): 4 round, 5 floor, 6 ceiling,
//       7 truncate to an integral value; 0-3 keep the value.
//   RoundMode (F2I, 2 bits): 0 round, 1 floor, 2 ceiling, 3 truncate.
//   ISrcFmt (I2F, 3 bits): 0 U8, 1 U16, 2 U32, 3 U64, 4 S8, 5 S16, 6 S32,
//       7 S64 (4-7 are signed).
//   ByteSel (2 bits): the byte a narrow integer source starts at.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

#define ZV_CONV_SRC_R ZV_INST_FIELD(Rb, int, 20, 8)
#define ZV_CONV_SRC_I ZV_INST_FIELD2(Imm20, int, 20, 19, 56, 1) // not sign-extended here
#define ZV_CONV_SRC_C                                                                                                  \
    ZV_INST_FIELD(CbufOffset, int, 20, 14)                                                                             \
    ZV_INST_FIELD(CbufSlot, int, 34, 5)

#define ZV_CONV_F2F_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(DstFmt, Decoders::DstFmt, 8, 2)                                                                      \
    ZV_INST_FIELD(SrcFmt, Decoders::DstFmt, 10, 2)                                                                     \
    ZV_INST_FIELD2(RoundMode, int, 39, 2, 42, 1)                                                                       \
    ZV_INST_BIT(Sh, 41) /* high half of a half-float source */                                                         \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(AbsB, 49)                                                                                              \
    ZV_INST_BIT(Sat, 50)

struct InstF2fR {
    ZV_INST_ACCESSOR(InstF2fR)
    ZV_CONV_F2F_FIELDS
    ZV_CONV_SRC_R
};

struct InstF2fI {
    ZV_INST_ACCESSOR(InstF2fI)
    ZV_CONV_F2F_FIELDS
    ZV_CONV_SRC_I
};

struct InstF2fC {
    ZV_INST_ACCESSOR(InstF2fC)
    ZV_CONV_F2F_FIELDS
    ZV_CONV_SRC_C
};

#define ZV_CONV_F2I_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD2(IDstFmt, Decoders::IDstFmt, 8, 2, 12, 1)                                                            \
    ZV_INST_FIELD(SrcFmt, Decoders::DstFmt, 10, 2)                                                                     \
    ZV_INST_FIELD(RoundMode, int, 39, 2)                                                                               \
    ZV_INST_BIT(Sh, 41) /* high half of a half-float source */                                                         \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(AbsB, 49)

struct InstF2iR {
    ZV_INST_ACCESSOR(InstF2iR)
    ZV_CONV_F2I_FIELDS
    ZV_CONV_SRC_R
};

struct InstF2iI {
    ZV_INST_ACCESSOR(InstF2iI)
    ZV_CONV_F2I_FIELDS
    ZV_CONV_SRC_I
};

struct InstF2iC {
    ZV_INST_ACCESSOR(InstF2iC)
    ZV_CONV_F2I_FIELDS
    ZV_CONV_SRC_C
};

#define ZV_CONV_I2F_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD(DstFmt, Decoders::DstFmt, 8, 2)                                                                      \
    ZV_INST_FIELD2(ISrcFmt, int, 10, 2, 13, 1)                                                                         \
    ZV_INST_FIELD(ByteSel, int, 41, 2)                                                                                 \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(AbsB, 49)

struct InstI2fR {
    ZV_INST_ACCESSOR(InstI2fR)
    ZV_CONV_I2F_FIELDS
    ZV_CONV_SRC_R
};

struct InstI2fI {
    ZV_INST_ACCESSOR(InstI2fI)
    ZV_CONV_I2F_FIELDS
    ZV_CONV_SRC_I
};

struct InstI2fC {
    ZV_INST_ACCESSOR(InstI2fC)
    ZV_CONV_I2F_FIELDS
    ZV_CONV_SRC_C
};

#define ZV_CONV_I2I_FIELDS                                                                                             \
    ZV_INST_GUARD_FIELDS                                                                                               \
    ZV_INST_FIELD(Rd, int, 0, 8)                                                                                       \
    ZV_INST_FIELD2(IDstFmt, Decoders::ISrcDstFmt, 8, 2, 12, 1)                                                         \
    ZV_INST_FIELD2(ISrcFmt, Decoders::ISrcDstFmt, 10, 2, 13, 1)                                                        \
    ZV_INST_FIELD(ByteSel, int, 41, 2)                                                                                 \
    ZV_INST_BIT(NegB, 45)                                                                                              \
    ZV_INST_BIT(WriteCC, 47)                                                                                           \
    ZV_INST_BIT(AbsB, 49)                                                                                              \
    ZV_INST_BIT(Sat, 50)

struct InstI2iR {
    ZV_INST_ACCESSOR(InstI2iR)
    ZV_CONV_I2I_FIELDS
    ZV_CONV_SRC_R
};

struct InstI2iI {
    ZV_INST_ACCESSOR(InstI2iI)
    ZV_CONV_I2I_FIELDS
    ZV_CONV_SRC_I
};

struct InstI2iC {
    ZV_INST_ACCESSOR(InstI2iC)
    ZV_CONV_I2I_FIELDS
    ZV_CONV_SRC_C
};

#undef ZV_CONV_F2F_FIELDS
#undef ZV_CONV_F2I_FIELDS
#undef ZV_CONV_I2F_FIELDS
#undef ZV_CONV_I2I_FIELDS
#undef ZV_CONV_SRC_R
#undef ZV_CONV_SRC_I
#undef ZV_CONV_SRC_C

} // namespace Zerivox::Graphics::Shader::Decoders
