// FADD/FFMA/FMUL, their double forms and the packed half-float HADD2, HMUL2,
// HFMA2: the IR each instruction word produces, modifiers and operand forms
// included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr const char* FaddR = "0101110001011x";
constexpr const char* FaddI = "0011100x01011x";
constexpr const char* FaddC = "0100110001011x";
constexpr const char* Fadd32i = "000010xxxxxxxx";
constexpr const char* DaddI = "0011100x01110x";
constexpr const char* DfmaRc = "010100110111xx";
constexpr const char* DmulR = "0101110010000x";
constexpr const char* FfmaR = "010110011xxxxx";
constexpr const char* FfmaRc = "010100011xxxxx";
constexpr const char* Ffma32i = "000011xxxxxxxx";
constexpr const char* FmulR = "0101110001101x";
constexpr const char* FmulI = "0011100x01101x";
constexpr const char* Fmul32i = "00011110xxxxxx";
constexpr const char* Hadd2R = "0101110100010x";
constexpr const char* Hadd2I = "0111101x0xxxxx";
constexpr const char* Hadd2C = "0111101x1xxxxx";
constexpr const char* Hadd232i = "0010110xxxxxxx";
constexpr const char* Hmul2I = "0111100x0xxxxx";
constexpr const char* Hmul2C = "0111100x1xxxxx";
constexpr const char* Hmul2R = "0101110100001x";
constexpr const char* Hmul232i = "0010101xxxxxxx";
constexpr const char* Hfma2I = "01110xxx0xxxxx";
constexpr const char* Hfma2C = "01110xxx1xxxxx";
constexpr const char* Hfma2Rc = "01100xxx1xxxxx";
constexpr const char* Hfma2R = "0101110100000x";
constexpr const char* Hfma232i = "0010100xxxxxxx";
} // namespace P

Inst Cbuf(const char* prefix, int slot, int offset) {
    return Inst(prefix).Bits(20, 14, static_cast<uint64_t>(offset)).Bits(34, 5, static_cast<uint64_t>(slot));
}

struct IrCase {
    const char* Name;
    uint64_t Word;
    const char* Ir;
};

void ExpectIr(const std::vector<IrCase>& cases) {
    for (const IrCase& c : cases)
        EXPECT_EQ(EmitInstruction(c.Word).Text(), c.Ir) << c.Name;
}

TEST(InstEmitFloatArithmetic, SingleAndDoublePrecisionForms) {
    ExpectIr({
        {"FADD R: abs before negate, saturate, flags from the saturated sum",
         Inst(P::FaddR).Rd(1).Ra(2).Rb(3).Bit(46).Bit(48).Bit(50).Bit(47),
         "%0 = Absolute.FP32 R2\n"
         "%1 = Negate.FP32 %0\n"
         "%2 = Add.FP32 %1, R3\n"
         "%3 = Clamp.FP32 %2, 0.0, 1.0\n"
         "R1 = Copy %3\n"
         "%4 = CompareEqual.FP32 %3, 0.0\n"
         "CC.Z = Copy %4\n"
         "%5 = CompareLess.FP32 %3, 0.0\n"
         "CC.N = Copy %5\n"},
        {"FADD I: the immediate is the top of an FP32 (-1.0), B modifiers",
         Inst(P::FaddI).Rd(1).Ra(2).Imm20(0xBF800).Bit(49).Bit(45),
         "%0 = Absolute.FP32 -1.0\n"
         "%1 = Negate.FP32 %0\n"
         "%2 = Add.FP32 R2, %1\n"
         "R1 = Copy %2\n"},
        {"FADD C into RZ: the sum is computed, no copy", Cbuf(P::FaddC, 1, 3).Rd(255).Ra(2),
         "%0 = Add.FP32 R2, cb1[3]\n"},
        {"FADD32I: modifiers above the immediate, flags from bit 52",
         Inst(P::Fadd32i).Rd(1).Ra(2).Bits(20, 32, 0x3F800000).Bit(56).Bit(57).Bit(52),
         "%0 = Negate.FP32 R2\n"
         "%1 = Absolute.FP32 1.0\n"
         "%2 = Add.FP32 %0, %1\n"
         "R1 = Copy %2\n"
         "%3 = CompareEqual.FP32 %2, 0.0\n"
         "CC.Z = Copy %3\n"
         "%4 = CompareLess.FP32 %2, 0.0\n"
         "CC.N = Copy %4\n"},
        {"FFMA R: bit 48 negates B, bit 49 the addend", Inst(P::FfmaR).Rd(1).Ra(2).Rb(3).Bits(39, 8, 4).Bit(48).Bit(49),
         "%0 = Negate.FP32 R3\n"
         "%1 = Negate.FP32 R4\n"
         "%2 = FusedMultiplyAdd.FP32 R2, %0, %1\n"
         "R1 = Copy %2\n"},
        {"FFMA Rc: B from Rc, addend from the constant buffer",
         Cbuf(P::FfmaRc, 2, 5).Rd(1).Ra(2).Bits(39, 8, 4).Bit(50),
         "%0 = FusedMultiplyAdd.FP32 R2, R4, cb2[5]\n"
         "%1 = Clamp.FP32 %0, 0.0, 1.0\n"
         "R1 = Copy %1\n"},
        {"FFMA32I: the destination is also the addend", Inst(P::Ffma32i).Rd(5).Ra(1).Bits(20, 32, 0x40000000).Bit(55),
         "%0 = FusedMultiplyAdd.FP32 R1, 2.0, R5\n"
         "%1 = Clamp.FP32 %0, 0.0, 1.0\n"
         "R5 = Copy %1\n"},
        {"FMUL R: D2 scales A before the product; bit 48 negates B first",
         Inst(P::FmulR).Rd(1).Ra(2).Rb(3).Bits(41, 3, 1).Bit(48),
         "%0 = Negate.FP32 R3\n"
         "%1 = Multiply.FP32 R2, 0.5\n"
         "%2 = Multiply.FP32 %1, %0\n"
         "R1 = Copy %2\n"},
        {"FMUL32I: no scale, saturate from bit 55", Inst(P::Fmul32i).Rd(1).Ra(2).Bits(20, 32, 0x40400000).Bit(55),
         "%0 = Multiply.FP32 R2, 3.0\n"
         "%1 = Clamp.FP32 %0, 0.0, 1.0\n"
         "R1 = Copy %1\n"},
        {"DADD I: the immediate is the top of a double (2.0); pairs in and out",
         Inst(P::DaddI).Rd(4).Ra(2).Imm20(0x40000),
         "%0 = PackDouble2x32 R2, R3\n"
         "%1 = PackDouble2x32 0, 1073741824\n"
         "%2 = Add.FP64 %0, %1\n"
         "%3 = UnpackDouble2x32 %2\n"
         "R4 = Copy %3\n"
         "%4 = UnpackDouble2x32#1 %2\n"
         "R5 = Copy %4\n"},
        {"DFMA Rc: pair B from Rc, pair addend from two constant words, FP64 flags",
         Cbuf(P::DfmaRc, 1, 8).Rd(2).Ra(4).Bits(39, 8, 6).Bit(49).Bit(47),
         "%0 = PackDouble2x32 R4, R5\n"
         "%1 = PackDouble2x32 R6, R7\n"
         "%2 = PackDouble2x32 cb1[8], cb1[9]\n"
         "%3 = Negate.FP64 %2\n"
         "%4 = FusedMultiplyAdd.FP64 %0, %1, %3\n"
         "%5 = UnpackDouble2x32 %4\n"
         "R2 = Copy %5\n"
         "%6 = UnpackDouble2x32#1 %4\n"
         "R3 = Copy %6\n"
         "%7 = ConvertFP32ToFP64 0\n"
         "%8 = CompareEqual.FP64 %4, %7\n"
         "CC.Z = Copy %8\n"
         "%9 = CompareLess.FP64 %4, %7\n"
         "CC.N = Copy %9\n"},
        {"DMUL R with an odd destination: both words land in R3, the high one last",
         Inst(P::DmulR).Rd(3).Ra(4).Rb(6).Bit(48),
         "%0 = PackDouble2x32 R4, R5\n"
         "%1 = PackDouble2x32 R6, R7\n"
         "%2 = Negate.FP64 %1\n"
         "%3 = Multiply.FP64 %0, %2\n"
         "%4 = UnpackDouble2x32 %3\n"
         "R3 = Copy %4\n"
         "%5 = UnpackDouble2x32#1 %3\n"
         "R3 = Copy %5\n"},
    });
}

TEST(InstEmitFloatArithmetic, InvalidMultiplyScaleIsLoggedAndActsAsOne) {
    const EmittedInstruction e = EmitInstruction(Inst(P::FmulI).Rd(1).Ra(2).Imm20(0x3F800).Bits(41, 3, 7));
    EXPECT_EQ(e.Text(), "%0 = Multiply.FP32 R2, 1.0\n"
                        "%1 = Multiply.FP32 %0, 1.0\n"
                        "R1 = Copy %1\n");
    ASSERT_EQ(e.Messages.size(), 1u);
    EXPECT_EQ(e.Messages[0], "Invalid FP multiply scale \"7\".");
}

TEST(InstEmitFloatArithmetic, HalfPrecisionForms) {
    ExpectIr({
        {"HADD2 R: H1H1 swizzle, negated B lanes, per-lane saturation, MrgH1 keeps the old low half",
         Inst(P::Hadd2R).Rd(1).Ra(2).Rb(3).Bits(47, 2, 3).Bit(31).Bits(49, 2, 3).Bit(32),
         "%0 = UnpackHalf2x16#1 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16 R3\n"
         "%3 = UnpackHalf2x16#1 R3\n"
         "%4 = Negate.FP32 %2\n"
         "%5 = Negate.FP32 %3\n"
         "%6 = Add.FP32 %0, %4\n"
         "%7 = Clamp.FP32 %6, 0.0, 1.0\n"
         "%8 = Add.FP32 %1, %5\n"
         "%9 = Clamp.FP32 %8, 0.0, 1.0\n"
         "%10 = UnpackHalf2x16 R1\n"
         "%11 = PackHalf2x16 %10, %9\n"
         "R1 = Copy %11\n"},
        {"HADD2 C: the constant word is one FP32 for both lanes; F32 output is lane 0",
         Cbuf(P::Hadd2C, 1, 4).Rd(1).Ra(2).Bit(54).Bits(49, 2, 1),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Absolute.FP32 cb1[4]\n"
         "%3 = Absolute.FP32 cb1[4]\n"
         "%4 = Add.FP32 %0, %2\n"
         "%5 = Add.FP32 %1, %3\n"
         "R1 = Copy %4\n"},
        {"HADD232I: A swizzle and negate above the immediate, always two halves",
         Inst(P::Hadd232i).Rd(1).Ra(2).Bits(20, 32, 0xBC003C00).Bits(53, 2, 2).Bit(56),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16 R2\n"
         "%2 = Negate.FP32 %0\n"
         "%3 = Negate.FP32 %1\n"
         "%4 = Add.FP32 %2, 1.0\n"
         "%5 = Add.FP32 %3, -1.0\n"
         "%6 = PackHalf2x16 %4, %5\n"
         "R1 = Copy %6\n"},
        {"HMUL2 I: ten-bit half immediates 0x0F0 are 1.0",
         Inst(P::Hmul2I).Rd(1).Ra(2).Bits(20, 10, 0x0F0).Bits(30, 9, 0x0F0),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Multiply.FP32 %0, 1.0\n"
         "%3 = Multiply.FP32 %1, 1.0\n"
         "%4 = PackHalf2x16 %2, %3\n"
         "R1 = Copy %4\n"},
        {"HMUL2 C: bit 43 negates the constant operand", Cbuf(P::Hmul2C, 0, 1).Rd(1).Ra(2).Bit(43),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Negate.FP32 cb0[1]\n"
         "%3 = Negate.FP32 cb0[1]\n"
         "%4 = Multiply.FP32 %0, %2\n"
         "%5 = Multiply.FP32 %1, %3\n"
         "%6 = PackHalf2x16 %4, %5\n"
         "R1 = Copy %6\n"},
        {"HFMA2 R: H0H0 and F32 swizzles, negated B and C, MrgH0 keeps the old high half",
         Inst(P::Hfma2R).Rd(1).Ra(2).Rb(3).Bits(39, 8, 4).Bits(28, 2, 2).Bits(35, 2, 1).Bit(31).Bit(30).Bits(49, 2, 2),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16 R3\n"
         "%3 = UnpackHalf2x16 R3\n"
         "%4 = Negate.FP32 %2\n"
         "%5 = Negate.FP32 %3\n"
         "%6 = Negate.FP32 R4\n"
         "%7 = Negate.FP32 R4\n"
         "%8 = FusedMultiplyAdd.FP32 %0, %4, %6\n"
         "%9 = FusedMultiplyAdd.FP32 %1, %5, %7\n"
         "%10 = UnpackHalf2x16#1 R1\n"
         "%11 = PackHalf2x16 %8, %10\n"
         "R1 = Copy %11\n"},
        {"HFMA232I: the destination's halves are the addend; packed, never saturated",
         Inst(P::Hfma232i).Rd(5).Ra(2).Bits(20, 32, 0x40003C00),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16 R5\n"
         "%3 = UnpackHalf2x16#1 R5\n"
         "%4 = FusedMultiplyAdd.FP32 %0, 1.0, %2\n"
         "%5 = FusedMultiplyAdd.FP32 %1, 2.0, %3\n"
         "%6 = PackHalf2x16 %4, %5\n"
         "R5 = Copy %6\n"},
    });
}

// The remaining half-float forms: where each one keeps its swizzles,
// modifiers and saturate bit.
TEST(InstEmitFloatArithmetic, HalfPrecisionOperandFields) {
    ExpectIr({
        {"HADD2 I: F32 swizzle uses R2 whole in both lanes, abs at 44, saturate at 52",
         Inst(P::Hadd2I).Rd(1).Ra(2).Bits(47, 2, 1).Bit(44).Bits(20, 10, 0x0F0).Bits(30, 9, 0x100).Bit(52),
         "%0 = Absolute.FP32 R2\n"
         "%1 = Absolute.FP32 R2\n"
         "%2 = Add.FP32 %0, 1.0\n"
         "%3 = Clamp.FP32 %2, 0.0, 1.0\n"
         "%4 = Add.FP32 %1, 2.0\n"
         "%5 = Clamp.FP32 %4, 0.0, 1.0\n"
         "%6 = PackHalf2x16 %3, %5\n"
         "R1 = Copy %6\n"},
        {"HMUL2 R: bit 43 does not negate A; B swizzle and abs at 28 and 30",
         Inst(P::Hmul2R).Rd(1).Ra(2).Rb(3).Bit(44).Bit(43).Bits(28, 2, 3).Bit(30),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Absolute.FP32 %0\n"
         "%3 = Absolute.FP32 %1\n"
         "%4 = UnpackHalf2x16#1 R3\n"
         "%5 = UnpackHalf2x16#1 R3\n"
         "%6 = Absolute.FP32 %4\n"
         "%7 = Absolute.FP32 %5\n"
         "%8 = Multiply.FP32 %2, %6\n"
         "%9 = Multiply.FP32 %3, %7\n"
         "%10 = PackHalf2x16 %8, %9\n"
         "R1 = Copy %10\n"},
        {"HMUL232I: A swizzle at 53-54, saturate at 52",
         Inst(P::Hmul232i).Rd(1).Ra(2).Bits(20, 32, 0x3C003C00).Bits(53, 2, 2).Bit(52),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16 R2\n"
         "%2 = Multiply.FP32 %0, 1.0\n"
         "%3 = Clamp.FP32 %2, 0.0, 1.0\n"
         "%4 = Multiply.FP32 %1, 1.0\n"
         "%5 = Clamp.FP32 %4, 0.0, 1.0\n"
         "%6 = PackHalf2x16 %3, %5\n"
         "R1 = Copy %6\n"},
        {"HFMA2 I: C swizzle at 53-54, C negate at 51, saturate at 52",
         Inst(P::Hfma2I)
             .Rd(1)
             .Ra(2)
             .Bits(39, 8, 4)
             .Bits(20, 10, 0x0F0)
             .Bits(30, 9, 0x0F0)
             .Bits(53, 2, 3)
             .Bit(51)
             .Bit(52),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16#1 R4\n"
         "%3 = UnpackHalf2x16#1 R4\n"
         "%4 = Negate.FP32 %2\n"
         "%5 = Negate.FP32 %3\n"
         "%6 = FusedMultiplyAdd.FP32 %0, 1.0, %4\n"
         "%7 = Clamp.FP32 %6, 0.0, 1.0\n"
         "%8 = FusedMultiplyAdd.FP32 %1, 1.0, %5\n"
         "%9 = Clamp.FP32 %8, 0.0, 1.0\n"
         "%10 = PackHalf2x16 %7, %9\n"
         "R1 = Copy %10\n"},
        {"HFMA2 C: bit 56 negates the constant operand B", Cbuf(P::Hfma2C, 1, 2).Rd(1).Ra(2).Bits(39, 8, 4).Bit(56),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Negate.FP32 cb1[2]\n"
         "%3 = Negate.FP32 cb1[2]\n"
         "%4 = UnpackHalf2x16 R4\n"
         "%5 = UnpackHalf2x16#1 R4\n"
         "%6 = FusedMultiplyAdd.FP32 %0, %2, %4\n"
         "%7 = FusedMultiplyAdd.FP32 %1, %3, %5\n"
         "%8 = PackHalf2x16 %6, %7\n"
         "R1 = Copy %8\n"},
        {"HFMA2 Rc: B from Rc with its swizzle at 53-54 and negate at 56; constant addend negated by 51",
         Cbuf(P::Hfma2Rc, 1, 2).Rd(1).Ra(2).Bits(39, 8, 4).Bits(53, 2, 2).Bit(56).Bit(51),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16 R4\n"
         "%3 = UnpackHalf2x16 R4\n"
         "%4 = Negate.FP32 %2\n"
         "%5 = Negate.FP32 %3\n"
         "%6 = Negate.FP32 cb1[2]\n"
         "%7 = Negate.FP32 cb1[2]\n"
         "%8 = FusedMultiplyAdd.FP32 %0, %4, %6\n"
         "%9 = FusedMultiplyAdd.FP32 %1, %5, %7\n"
         "%10 = PackHalf2x16 %8, %9\n"
         "R1 = Copy %10\n"},
    });
}

} // namespace
