// FSET/DSET, FSETP/DSETP, FCMP, HSET2 and HSETP2: the IR of each form, with
// the unordered comparison codes built from IsNan terms, the source
// predicate combination and the result forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr const char* FsetR = "01011000xxxxxx";
constexpr const char* FsetC = "01001000xxxxxx";
constexpr const char* DsetR = "010110010xxxxx";
constexpr const char* FsetpR = "010110111011xx";
constexpr const char* DsetpI = "0011011x1000xx";
constexpr const char* FcmpR = "010110111010xx";
constexpr const char* FcmpRc = "010100111010xx";
constexpr const char* Hset2R = "0101110100011x";
constexpr const char* Hset2I = "0111110x0xxxxx";
constexpr const char* Hset2C = "0111110x1xxxxx";
constexpr const char* Hsetp2I = "0111111x0xxxxx";
constexpr const char* Hsetp2R = "0101110100100x";
constexpr const char* Hsetp2C = "0111111x1xxxxx";
} // namespace P

enum Cond { F = 0, Lt = 1, Eq = 2, Gt = 4, Ge = 6, Num = 7, Ltu = 9, Neu = 13, T = 15 };
enum Bop { And = 0, Or = 1, Xor = 2 };

// A set or set-predicate word: comparison at bits 48-51, combine op, source
// predicate (PT unless given).
Inst Set(const char* prefix, Cond cond, Bop bop = And, int srcPred = 7, bool srcPredInv = false) {
    return Inst(prefix)
        .Bits(48, 4, static_cast<uint64_t>(cond))
        .Bits(45, 2, static_cast<uint64_t>(bop))
        .Bits(39, 3, static_cast<uint64_t>(srcPred))
        .Bit(42, srcPredInv);
}

Inst Setp(const char* prefix, Cond cond, int pd, int pdn, Bop bop = And, int srcPred = 7, bool srcPredInv = false) {
    return Set(prefix, cond, bop, srcPred, srcPredInv)
        .Bits(3, 3, static_cast<uint64_t>(pd))
        .Bits(0, 3, static_cast<uint64_t>(pdn));
}

Inst Cbuf(Inst inst, int slot, int offset) {
    return inst.Bits(20, 14, static_cast<uint64_t>(offset)).Bits(34, 5, static_cast<uint64_t>(slot));
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

TEST(InstEmitFloatComparison, SetAndSetPredicateForms) {
    ExpectIr({
        {"FSETP Lt, And with PT: Pd = A < B, Pdn = not (A < B)", Setp(P::FsetpR, Lt, 1, 2).Ra(2).Rb(3),
         "%0 = CompareLess.FP32 R2, R3\n"
         "%1 = BitwiseNot %0\n"
         "%2 = BitwiseAnd %0, -1\n"
         "P1 = Copy %2\n"
         "%3 = BitwiseAnd %1, -1\n"
         "P2 = Copy %3\n"},
        {"FSETP: abs A at bit 7, negate B at bit 6, inverted PT source, PT second destination dropped",
         Setp(P::FsetpR, Eq, 0, 7, And, 7, true).Ra(2).Rb(3).Bit(7).Bit(6),
         "%0 = Absolute.FP32 R2\n"
         "%1 = Negate.FP32 R3\n"
         "%2 = CompareEqual.FP32 %0, %1\n"
         "%3 = BitwiseNot %2\n"
         "%4 = BitwiseNot -1\n"
         "%5 = BitwiseAnd %2, %4\n"
         "P0 = Copy %5\n"
         "%6 = BitwiseAnd %3, %4\n"},
        {"FSET Ltu with BVal: unordered adds IsNan of both operands; 1.0/0.0 result and float flags",
         Set(P::FsetR, Ltu, Or, 3).Rd(1).Ra(2).Rb(3).Bit(52).Bit(47),
         "%0 = CompareLess.FP32 R2, R3\n"
         "%1 = IsNan.FP32 R2\n"
         "%2 = BitwiseOr %0, %1\n"
         "%3 = IsNan.FP32 R3\n"
         "%4 = BitwiseOr %2, %3\n"
         "%5 = BitwiseOr %4, P3\n"
         "%6 = ConditionalSelect %5, 1065353216, 0\n"
         "R1 = Copy %6\n"
         "%7 = CompareEqual.FP32 %6, 0.0\n"
         "CC.Z = Copy %7\n"
         "%8 = CompareLess.FP32 %6, 0.0\n"
         "CC.N = Copy %8\n"},
        {"FSET C with T: no comparison emitted; all-ones result sets integer flags",
         Cbuf(Set(P::FsetC, T), 1, 2).Rd(1).Ra(2).Bit(47),
         "%0 = BitwiseAnd -1, -1\n"
         "R1 = Copy %0\n"
         "%1 = CompareEqual %0, 0\n"
         "CC.Z = Copy %1\n"
         "%2 = CompareLess %0, 0\n"
         "CC.N = Copy %2\n"},
        {"FSET Num with Xor: the negation of 'either is NaN'; A abs+neg at 54/43, B neg at 53",
         Set(P::FsetR, Num, Xor, 1).Rd(1).Ra(2).Rb(3).Bit(54).Bit(43).Bit(53),
         "%0 = Absolute.FP32 R2\n"
         "%1 = Negate.FP32 %0\n"
         "%2 = Negate.FP32 R3\n"
         "%3 = IsNan.FP32 %1\n"
         "%4 = IsNan.FP32 %2\n"
         "%5 = BitwiseOr %3, %4\n"
         "%6 = BitwiseNot %5\n"
         "%7 = BitwiseExclusiveOr %6, P1\n"
         "R1 = Copy %7\n"},
        {"FSET F: constant false, nothing compared", Set(P::FsetR, F).Rd(1).Ra(2).Rb(3),
         "%0 = BitwiseAnd 0, -1\n"
         "R1 = Copy %0\n"},
        {"DSET: compares register pairs, writes one register", Set(P::DsetR, Ge).Rd(1).Ra(2).Rb(4),
         "%0 = PackDouble2x32 R2, R3\n"
         "%1 = PackDouble2x32 R4, R5\n"
         "%2 = CompareGreaterOrEqual.FP64 %0, %1\n"
         "%3 = BitwiseAnd %2, -1\n"
         "R1 = Copy %3\n"},
        {"DSETP I Neu: the double immediate (1.0) and FP64 IsNan terms",
         Setp(P::DsetpI, Neu, 1, 7).Ra(2).Imm20(0x3FF00),
         "%0 = PackDouble2x32 R2, R3\n"
         "%1 = PackDouble2x32 0, 1072693248\n"
         "%2 = CompareNotEqual.FP64 %0, %1\n"
         "%3 = IsNan.FP64 %0\n"
         "%4 = BitwiseOr %2, %3\n"
         "%5 = IsNan.FP64 %1\n"
         "%6 = BitwiseOr %4, %5\n"
         "%7 = BitwiseNot %6\n"
         "%8 = BitwiseAnd %6, -1\n"
         "P1 = Copy %8\n"
         "%9 = BitwiseAnd %7, -1\n"},
    });
}

TEST(InstEmitFloatComparison, FcmpSelectsByComparingCWithZero) {
    ExpectIr({
        {"FCMP R Ge: A when C >= 0.0, else B", Inst(P::FcmpR).Rd(1).Ra(2).Rb(3).Bits(39, 8, 4).Bits(48, 4, Ge),
         "%0 = CompareGreaterOrEqual.FP32 R4, 0.0\n"
         "%1 = ConditionalSelect %0, R2, R3\n"
         "R1 = Copy %1\n"},
        {"FCMP Rc: B from Rc, C from the constant buffer",
         Cbuf(Inst(P::FcmpRc), 1, 2).Rd(1).Ra(2).Bits(39, 8, 4).Bits(48, 4, Lt),
         "%0 = CompareLess.FP32 cb1[2], 0.0\n"
         "%1 = ConditionalSelect %0, R2, R4\n"
         "R1 = Copy %1\n"},
    });
}

TEST(InstEmitFloatComparison, HalfPrecisionForms) {
    ExpectIr({
        {"HSET2 R with Bval: 1.0 or 0.0 per half; comparison code at bits 35-38",
         Inst(P::Hset2R).Rd(1).Ra(2).Rb(3).Bits(35, 4, Gt).Bits(39, 3, 7).Bits(28, 2, 2).Bit(49),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16 R3\n"
         "%3 = UnpackHalf2x16 R3\n"
         "%4 = CompareGreater.FP32 %0, %2\n"
         "%5 = CompareGreater.FP32 %1, %3\n"
         "%6 = BitwiseAnd %4, -1\n"
         "%7 = BitwiseAnd %5, -1\n"
         "%8 = ConditionalSelect %6, 1065353216, 0\n"
         "%9 = ConditionalSelect %7, 1065353216, 0\n"
         "%10 = PackHalf2x16 %8, %9\n"
         "R1 = Copy %10\n"},
        {"HSET2 I without Bval: 0xFFFF or 0 per half; immediates 1.0 and -0.0",
         Inst(P::Hset2I).Rd(1).Ra(2).Bits(20, 10, 0x0F0).Bits(30, 9, 0).Bit(56).Bits(49, 4, Eq).Bits(39, 3, 7),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = CompareEqual.FP32 %0, 1.0\n"
         "%3 = CompareEqual.FP32 %1, -0.0\n"
         "%4 = BitwiseAnd %2, -1\n"
         "%5 = BitwiseAnd %3, -1\n"
         "%6 = BitwiseAnd %4, 65535\n"
         "%7 = ShiftLeft %5, 16\n"
         "%8 = BitwiseOr %6, %7\n"
         "R1 = Copy %8\n"},
        {"HSET2 C: constant word for both lanes negated by bit 56; Bval at 53, comparison at 49-52",
         Cbuf(Inst(P::Hset2C), 1, 3).Rd(1).Ra(2).Bits(49, 4, Ge).Bits(39, 3, 7).Bit(56).Bit(53),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Negate.FP32 cb1[3]\n"
         "%3 = Negate.FP32 cb1[3]\n"
         "%4 = CompareGreaterOrEqual.FP32 %0, %2\n"
         "%5 = CompareGreaterOrEqual.FP32 %1, %3\n"
         "%6 = BitwiseAnd %4, -1\n"
         "%7 = BitwiseAnd %5, -1\n"
         "%8 = ConditionalSelect %6, 1065353216, 0\n"
         "%9 = ConditionalSelect %7, 1065353216, 0\n"
         "%10 = PackHalf2x16 %8, %9\n"
         "R1 = Copy %10\n"},
        {"HSETP2 I with HAnd at 53, Or with P3",
         Inst(P::Hsetp2I)
             .Ra(2)
             .Bits(20, 10, 0x0F0)
             .Bits(30, 9, 0x0F0)
             .Bits(49, 4, Eq)
             .Bit(53)
             .Bits(45, 2, Or)
             .Bits(39, 3, 3)
             .Bits(3, 3, 1)
             .Bits(0, 3, 2),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = CompareEqual.FP32 %0, 1.0\n"
         "%3 = CompareEqual.FP32 %1, 1.0\n"
         "%4 = BitwiseAnd %2, %3\n"
         "%5 = BitwiseNot %4\n"
         "%6 = BitwiseOr %4, P3\n"
         "P1 = Copy %6\n"
         "%7 = BitwiseOr %5, P3\n"
         "P2 = Copy %7\n"},
        {"HSETP2 R without HAnd: Pd holds lane 0, Pdn lane 1",
         Inst(P::Hsetp2R).Ra(2).Rb(3).Bits(35, 4, Lt).Bits(39, 3, 7).Bits(3, 3, 1).Bits(0, 3, 2),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = UnpackHalf2x16 R3\n"
         "%3 = UnpackHalf2x16#1 R3\n"
         "%4 = CompareLess.FP32 %0, %2\n"
         "%5 = CompareLess.FP32 %1, %3\n"
         "%6 = BitwiseAnd %4, -1\n"
         "P1 = Copy %6\n"
         "%7 = BitwiseAnd %5, -1\n"
         "P2 = Copy %7\n"},
        {"HSETP2 C with HAnd: Pd = both lanes, Pdn its negation; B abs and neg per lane",
         Cbuf(Inst(P::Hsetp2C), 1, 0)
             .Ra(2)
             .Bits(49, 4, Lt)
             .Bits(39, 3, 7)
             .Bits(3, 3, 1)
             .Bits(0, 3, 2)
             .Bit(53)
             .Bit(54)
             .Bit(56),
         "%0 = UnpackHalf2x16 R2\n"
         "%1 = UnpackHalf2x16#1 R2\n"
         "%2 = Absolute.FP32 cb1[0]\n"
         "%3 = Negate.FP32 %2\n"
         "%4 = Absolute.FP32 cb1[0]\n"
         "%5 = Negate.FP32 %4\n"
         "%6 = CompareLess.FP32 %0, %3\n"
         "%7 = CompareLess.FP32 %1, %5\n"
         "%8 = BitwiseAnd %6, %7\n"
         "%9 = BitwiseNot %8\n"
         "%10 = BitwiseAnd %8, -1\n"
         "P1 = Copy %10\n"
         "%11 = BitwiseAnd %9, -1\n"
         "P2 = Copy %11\n"},
    });
}

} // namespace
