#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr std::string_view IaddR = "0101110000010x";
constexpr std::string_view IaddI = "0011100x00010x";
constexpr std::string_view IaddC = "0100110000010x";
constexpr std::string_view Iadd32i = "0001110xxxxxxx";
constexpr std::string_view Iadd3R = "010111001100xx";
constexpr std::string_view ImadR = "010110100xxxxx";
constexpr std::string_view Imad32i = "000100xxxxxxxx";
constexpr std::string_view ImulR = "0101110000111x";
constexpr std::string_view IscaddR = "0101110000011x";
constexpr std::string_view Iscadd32i = "000101xxxxxxxx";
constexpr std::string_view LeaR = "0101101111010x";
constexpr std::string_view LeaHiR = "0101101111011x";
constexpr std::string_view XmadR = "0101101100xxxx";
constexpr std::string_view XmadI = "0011011x00xxxx";
constexpr std::string_view XmadC = "0100111xxxxxxx";
} // namespace P

constexpr int RZ = 255;

// IADD Rd, Ra, Rb with AvgMode (2 negates A, 1 negates B), .X and .CC.
uint64_t Iadd(int rd, int ra, int rb, int avgMode = 0, bool x = false, bool cc = false) {
    return Inst(P::IaddR).Rd(rd).Ra(ra).Rb(rb).Bits(48, 2, static_cast<uint64_t>(avgMode)).Bit(43, x).Bit(47, cc);
}

uint64_t Imad(int rd, int ra, int rb, int rc, int avgMode, bool aSigned, bool bSigned, bool hi) {
    Inst inst = Inst(P::ImadR).Rd(rd).Ra(ra).Rb(rb).Bits(51, 2, static_cast<uint64_t>(avgMode));
    inst.Bit(48, aSigned).Bit(53, bSigned).Bit(54, hi);
    return Rc(inst, rc);
}

struct XmadBits {
    int Cop = 0;
    bool ASigned = false, BSigned = false, HiloA = false, HiloB = false, Psl = false, Mrg = false, X = false,
         CC = false;
};

uint64_t XmadR(int rd, int ra, int rb, int rc, XmadBits m) {
    Inst inst = Inst(P::XmadR).Rd(rd).Ra(ra).Rb(rb).Bits(50, 3, static_cast<uint64_t>(m.Cop));
    inst.Bit(48, m.ASigned).Bit(49, m.BSigned).Bit(53, m.HiloA).Bit(35, m.HiloB).Bit(36, m.Psl).Bit(37, m.Mrg);
    inst.Bit(38, m.X).Bit(47, m.CC);
    return Rc(inst, rc);
}

// The IR shapes the optimiser and later passes rely on, per form.
TEST(InstEmitIntegerArithmetic, EmittedShapes) {
    struct Case {
        const char* Name;
        uint64_t Word;
        const char* Ir;
    };
    const Case cases[] = {
        {"IADD", Iadd(1, 2, 3), "%0 = Add R2, R3\nR1 = Copy %0\n"},
        {"IADD B negated", Iadd(1, 2, 3, 1), "%0 = Negate R3\n%1 = Add R2, %0\nR1 = Copy %1\n"},
        {"IADD.X adds the carry bit", Iadd(1, 2, 3, 0, true),
         "%0 = Add R2, R3\n%1 = BitwiseAnd CC.C, 1\n%2 = Add %0, %1\nR1 = Copy %2\n"},
        {"IADD immediate sign-extended", Inst(P::IaddI).Rd(1).Ra(2).Imm20(0xFFFFF), "%0 = Add R2, -1\nR1 = Copy %0\n"},
        {"IADD constant buffer", Cbuf(Inst(P::IaddC).Rd(1).Ra(2), 3, 5).Word, "%0 = Add R2, cb3[5]\nR1 = Copy %0\n"},
        {"IADD32I modifiers above the immediate: AvgMode 1",
         Inst(P::Iadd32i).Rd(1).Ra(2).Bits(20, 32, 7).Bits(55, 2, 1), "%0 = Negate 7\n%1 = Add R2, %0\nR1 = Copy %1\n"},
        {"IMAD with C = RZ adds nothing", Imad(1, 2, 3, RZ, 0, false, false, false),
         "%0 = Multiply R2, R3\nR1 = Copy %0\n"},
        {"IMAD negated C = RZ still adds", Imad(1, 2, 3, RZ, 1, false, false, false),
         "%0 = Negate 0\n%1 = Multiply R2, R3\n%2 = Add %1, %0\nR1 = Copy %2\n"},
        {"IMUL.HI mixed signs", Inst(P::ImulR).Rd(1).Ra(2).Rb(3).Bit(39).Bit(40),
         "%0 = MultiplyHighU32 R2, R3\n%1 = ShiftRightS32 R2, 31\n%2 = Multiply R3, %1\n%3 = Add %0, %2\nR1 = Copy "
         "%3\n"},
        {"IMAD32I reads Rd as the addend", Inst(P::Imad32i).Rd(4).Ra(2).Bits(20, 32, 3),
         "%0 = Multiply R2, 3\n%1 = Add %0, R4\nR4 = Copy %1\n"},
        {"ISCADD32I", Inst(P::Iscadd32i).Rd(1).Ra(2).Bits(20, 32, 16).Bits(53, 5, 4),
         "%0 = ShiftLeft R2, 4\n%1 = Add %0, 16\nR1 = Copy %1\n"},
        {"write to RZ disappears", Iadd(RZ, 2, 3), "%0 = Add R2, R3\n"},
        {"XMAD low halves", XmadR(1, 2, 3, 4, {}),
         "%0 = BitwiseAnd R2, 65535\n%1 = BitwiseAnd R3, 65535\n%2 = Multiply %0, %1\n%3 = Add %2, R4\nR1 = Copy %3\n"},
        {"XMAD.PSL.CBCC high B", XmadR(1, 2, 3, 4, {.Cop = 4, .HiloB = true, .Psl = true}),
         "%0 = BitwiseAnd R2, 65535\n%1 = ShiftRightU32 R3, 16\n%2 = Multiply %0, %1\n%3 = ShiftLeft %2, 16\n"
         "%4 = ShiftLeft R3, 16\n%5 = Add R4, %4\n%6 = Add %3, %5\nR1 = Copy %6\n"},
        {"XMAD.MRG high A", XmadR(1, 2, 3, 4, {.HiloA = true, .Mrg = true}),
         "%0 = ShiftRightU32 R2, 16\n%1 = BitwiseAnd R3, 65535\n%2 = Multiply %0, %1\n%3 = Add %2, R4\n"
         "%4 = BitwiseAnd %3, 65535\n%5 = ShiftLeft R3, 16\n%6 = BitwiseOr %4, %5\nR1 = Copy %6\n"},
        {"XMAD immediate is 16 bits zero-extended", Inst(P::XmadI).Rd(1).Ra(2).Bits(20, 16, 0xFFFF).Bits(39, 8, 4),
         "%0 = BitwiseAnd R2, 65535\n%1 = BitwiseAnd 65535, 65535\n%2 = Multiply %0, %1\n%3 = Add %2, R4\nR1 = Copy "
         "%3\n"},
    };
    for (const Case& c : cases) {
        EmitHarness harness;
        EXPECT_EQ(harness.Emit(c.Word), c.Ir) << c.Name;
    }
}

TEST(InstEmitIntegerArithmetic, InvalidEncodingsAreLoggedNotFatal) {
    EmitHarness xmad;
    // Mode 5 writes nothing: the product stays unused.
    const std::string ir = xmad.Emit(XmadR(1, 2, 3, 4, {.Cop = 5}));
    EXPECT_EQ(ir.find("R1 ="), std::string::npos) << ir;
    ASSERT_EQ(xmad.Log().size(), 1u);
    EXPECT_EQ(xmad.Log()[0], "Invalid XMAD mode \"5\".");

    EmitHarness iadd3;
    iadd3.Emit(Rc(Inst(P::Iadd3R).Rd(1).Ra(2).Rb(3).Bits(35, 2, 3), 4));
    ASSERT_EQ(iadd3.Log().size(), 1u);
    EXPECT_EQ(iadd3.Log()[0], "Iadd3 has invalid component selection 3.");
}

TEST(InstEmitIntegerArithmetic, IaddResultsAndFlags) {
    struct Case {
        const char* Name;
        uint64_t Word;
        uint32_t A, B;
        bool CarryIn;
        uint32_t Result;
        bool Z, N, C, V;
    };
    const Case cases[] = {
        {"0x7FFFFFFF + 1 overflows", Iadd(1, 0, 1, 0, false, true), 0x7FFFFFFF, 1, false, 0x80000000, false, true,
         false, true},
        {"carry out, zero result", Iadd(1, 0, 1, 0, false, true), 0xFFFFFFFF, 1, false, 0, true, false, true, false},
        {"AvgMode 2: -A + B", Iadd(1, 0, 1, 2, false, true), 5, 7, false, 2, false, false, true, false},
        {"AvgMode 3 negates nothing", Iadd(1, 0, 1, 3), 5, 7, false, 12, false, false, false, false},
        {"A - 0 carries (no borrow)", Iadd(1, 0, 1, 1, false, true), 9, 0, false, 9, false, false, true, false},
        {"0 - 0 carries", Iadd(1, 0, 1, 1, false, true), 0, 0, false, 0, true, false, true, false},
        {"3 - 5 borrows", Iadd(1, 0, 1, 1, false, true), 3, 5, false, 0xFFFFFFFE, false, true, false, false},
        {"0 - INT_MIN overflows", Iadd(1, 0, 1, 1, false, true), 0, 0x80000000, false, 0x80000000, false, true, false,
         true},
        {"-1 - INT_MIN does not", Iadd(1, 0, 1, 1, false, true), 0xFFFFFFFF, 0x80000000, false, 0x7FFFFFFF, false,
         false, true, false},
        {"X: A + 0xFFFFFFFF + carry gives A, carry", Iadd(1, 0, 1, 0, true, true), 17, 0xFFFFFFFF, true, 17, false,
         false, true, false},
        {"X without carry in", Iadd(1, 0, 1, 0, true, true), 17, 0xFFFFFFFF, false, 16, false, false, true, false},
    };
    for (const Case& c : cases) {
        // The zero flag starts set so that the extended form's chaining shows.
        AluMachine m = RunWords({c.Word}, {c.A, c.B}, {true, false, c.CarryIn, false});
        EXPECT_EQ(m.R(1), c.Result) << c.Name;
        const bool cc = (c.Word >> 47) & 1;
        if (!cc)
            continue;
        EXPECT_EQ(m.CC(0) != 0, c.Z) << c.Name;
        EXPECT_EQ(m.CC(1) != 0, c.N) << c.Name;
        EXPECT_EQ(m.CC(2) != 0, c.C) << c.Name;
        EXPECT_EQ(m.CC(3) != 0, c.V) << c.Name;
    }
}

// A compiler builds 64-bit subtraction and negation from IADD.CC on the low
// words and IADD.X on the high words; the pair must match 64-bit arithmetic
// whatever the low words are (0 included).
TEST(InstEmitIntegerArithmetic, SixtyFourBitSubtractionAndNegation) {
    const uint64_t values[] = {0,
                               1,
                               0x100000000ull,
                               0xFFFFFFFFull,
                               0x123456789ABCDEF0ull,
                               0x8000000000000000ull,
                               0xFFFFFFFFFFFFFFFFull,
                               0x0000000500000000ull};
    for (uint64_t a : values) {
        for (uint64_t b : values) {
            // R5:R4 = R1:R0 - R3:R2
            AluMachine sub = RunWords({Iadd(4, 0, 2, 1, false, true), Iadd(5, 1, 3, 1, true, false)},
                                      {uint32_t(a), uint32_t(a >> 32), uint32_t(b), uint32_t(b >> 32)});
            const uint64_t got = (uint64_t{sub.R(5)} << 32) | sub.R(4);
            EXPECT_EQ(got, a - b) << std::hex << a << " - " << b;
        }
        // R7:R6 = -(R1:R0), as RZ - x.
        AluMachine neg = RunWords({Iadd(6, RZ, 0, 1, false, true), Iadd(7, RZ, 1, 1, true, false)},
                                  {uint32_t(a), uint32_t(a >> 32)});
        EXPECT_EQ((uint64_t{neg.R(7)} << 32) | neg.R(6), 0 - a) << std::hex << "-" << a;
    }
}

// IMAD/IMUL high words against 64-bit products, with the product negated
// (AvgMode 2) in every signedness.
TEST(InstEmitIntegerArithmetic, MultiplyHighWords) {
    const uint32_t values[] = {0, 1, 2, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x12345678};
    for (int signs = 0; signs < 4; signs++) {
        const bool aSigned = signs & 1, bSigned = signs & 2;
        for (uint32_t a : values) {
            for (uint32_t b : values) {
                const int64_t wa = aSigned ? int64_t{static_cast<int32_t>(a)} : int64_t{a};
                const int64_t wb = bSigned ? int64_t{static_cast<int32_t>(b)} : int64_t{b};
                const uint64_t product = static_cast<uint64_t>(wa) * static_cast<uint64_t>(wb);
                const uint32_t c = 0x1000;
                AluMachine plain = RunWords({Imad(3, 0, 1, 2, 0, aSigned, bSigned, true)}, {a, b, c});
                EXPECT_EQ(plain.R(3), uint32_t(product >> 32) + c) << a << " * " << b << " signs " << signs;
                AluMachine negated = RunWords({Imad(3, 0, 1, 2, 2, aSigned, bSigned, true)}, {a, b, c});
                EXPECT_EQ(negated.R(3), uint32_t((0 - product) >> 32) + c)
                    << "-(" << a << " * " << b << ") signs " << signs;
                AluMachine low = RunWords({Imad(3, 0, 1, 2, 2, aSigned, bSigned, false)}, {a, b, c});
                EXPECT_EQ(low.R(3), uint32_t(0 - product) + c);
            }
        }
    }
}

TEST(InstEmitIntegerArithmetic, ShiftedAddsAndLea) {
    // ISCADD: (A << 3) + B, and with AvgMode 2 B - (A << 0).
    EXPECT_EQ(RunWords({Inst(P::IscaddR).Rd(2).Ra(0).Rb(1).Bits(39, 5, 3)}, {5, 7}).R(2), 47u);
    EXPECT_EQ(RunWords({Inst(P::IscaddR).Rd(2).Ra(0).Rb(1).Bits(48, 2, 2)}, {5, 7}).R(2), 2u);
    // ISCADD.CC subtracting 0 carries like IADD.
    AluMachine iscadd = RunWords({Inst(P::IscaddR).Rd(2).Ra(0).Rb(1).Bits(48, 2, 1).Bit(47)}, {5, 0});
    EXPECT_EQ(iscadd.R(2), 5u);
    EXPECT_NE(iscadd.CC(2), 0u);
    // LEA with NegA: B - (A << 2).
    EXPECT_EQ(RunWords({Inst(P::LeaR).Rd(2).Ra(0).Rb(1).Bits(39, 5, 2).Bit(45)}, {3, 100}).R(2), 88u);

    struct LeaHiCase {
        int Shift;
        bool Neg;
        uint32_t A, B, C, Result;
    };
    const LeaHiCase cases[] = {
        {0, false, 0xDEADBEEF, 10, 7, 17},                    // B + C
        {8, false, 0xAB000000, 1, 0x12, 1 + (0x1200 | 0xAB)}, // B + (C << 8 | A >> 24)
        {0, true, 1, 10, 0, 9},                               // B + high(-(0:1)) = B - 1
        {0, true, 0, 10, 0, 10},                              // -(0:0) = 0
        {4, true, 0x10000000, 0, 0, 0xFFFFFFFF},              // high(-(1 << 32)) after the shift
    };
    for (const LeaHiCase& c : cases) {
        Inst inst = Inst(P::LeaHiR).Rd(3).Ra(0).Rb(1).Bits(28, 5, static_cast<uint64_t>(c.Shift)).Bit(37, c.Neg);
        AluMachine m = RunWords({Rc(inst, 2)}, {c.A, c.B, c.C});
        EXPECT_EQ(m.R(3), c.Result) << "shift " << c.Shift << " neg " << c.Neg;
    }
}

// The compiler's 32 x 32-bit multiplication from three XMADs, and XMAD.X
// carrying into a second word.
TEST(InstEmitIntegerArithmetic, XmadSequences) {
    const uint32_t values[] = {0, 1, 0xFFFF, 0x10000, 0x12345678, 0xFFFFFFFF, 0x80000000};
    for (uint32_t a : values) {
        for (uint32_t b : values) {
            AluMachine m = RunWords(
                {
                    XmadR(2, 0, 1, RZ, {}),                           // a.lo * b.lo
                    XmadR(3, 0, 1, RZ, {.HiloB = true, .Mrg = true}), // a.lo * b.hi, b.lo in the high half
                    XmadR(4, 0, 3, 2, {.Cop = 4, .HiloA = true, .HiloB = true, .Psl = true}),
                },
                {a, b});
            EXPECT_EQ(m.R(4), a * b) << std::hex << a << " * " << b;
        }
    }

    // XMAD.CC then XMAD.X: 0xFFFF * 0xFFFF + 0xFFFFFFFF carries into the next word.
    AluMachine x = RunWords({XmadR(2, 0, 0, 1, {.CC = true}), XmadR(3, RZ, RZ, RZ, {.X = true, .CC = true})},
                            {0xFFFF, 0xFFFFFFFF}, {true, false, false, false});
    EXPECT_EQ(x.R(2), 0xFFFE0000u);
    EXPECT_EQ(x.R(3), 1u);
    EXPECT_EQ(x.CC(2), 0u); // 0 + 0 + 1 does not carry further

    // Csfu subtracts 0x10000 per negative factor: (-1) * 2 + 0x20000 - 0x10000.
    AluMachine sfu = RunWords({XmadR(2, 0, 1, 3, {.Cop = 3, .ASigned = true})}, {0xFFFF, 2, 0, 0x20000});
    EXPECT_EQ(sfu.R(2), 0x20000u - 2u - 0x10000u);

    // Constant-buffer form: 2-bit mode at 50, HiloB at 52.
    EmitHarness harness;
    const std::string ir = harness.Emit(Rc(Cbuf(Inst(P::XmadC).Rd(1).Ra(2).Bits(50, 2, 2).Bit(52), 1, 8), 4).Word);
    EXPECT_EQ(ir, "%0 = BitwiseAnd R2, 65535\n%1 = ShiftRightU32 cb1[8], 16\n%2 = Multiply %0, %1\n"
                  "%3 = ShiftRightU32 R4, 16\n%4 = Add %2, %3\nR1 = Copy %4\n");
}

TEST(InstEmitIntegerArithmetic, Iadd3SelectsShiftsAndNegates) {
    auto word = [](int lrs, int selA, int selB, int selC, bool negA, bool negB, bool negC) {
        Inst inst = Inst(P::Iadd3R).Rd(3).Ra(0).Rb(1).Bits(37, 2, static_cast<uint64_t>(lrs));
        inst.Bits(35, 2, static_cast<uint64_t>(selA)).Bits(33, 2, static_cast<uint64_t>(selB));
        inst.Bits(31, 2, static_cast<uint64_t>(selC)).Bit(51, negA).Bit(50, negB).Bit(49, negC);
        return Rc(inst, 2).Word;
    };
    const uint32_t a = 0x00050003, b = 0x00070002, c = 0x00010000;
    EXPECT_EQ(RunWords({word(0, 0, 0, 0, false, false, false)}, {a, b, c}).R(3), a + b + c);
    EXPECT_EQ(RunWords({word(0, 1, 2, 0, false, false, false)}, {a, b, c}).R(3), 3u + 7u + c);
    EXPECT_EQ(RunWords({word(1, 0, 0, 0, false, false, false)}, {a, b, c}).R(3), ((a + b) >> 16) + c);
    EXPECT_EQ(RunWords({word(2, 0, 0, 2, false, true, true)}, {a, b, c}).R(3), ((a - b) << 16) - 1u);
}

} // namespace
