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
constexpr std::string_view IcmpR = "010110110100xx";
constexpr std::string_view IsetR = "010110110101xx";
constexpr std::string_view IsetpR = "010110110110xx";
constexpr std::string_view IsetpI = "0011011x0110xx";
constexpr std::string_view ImnmxR = "0101110000100x";
} // namespace P

constexpr int RZ = 255;
constexpr int PT = 7;

enum Cond { F, Lt, Eq, Le, Gt, Ne, Ge, T };

uint64_t Isetp(int pd, int pdn, int ra, int rb, int cond, bool isSigned, bool x = false, int boolOp = 0,
               int srcPred = PT, bool srcPredInv = false) {
    Inst inst = Inst(P::IsetpR).Bits(0, 3, static_cast<uint64_t>(pdn)).Bits(3, 3, static_cast<uint64_t>(pd));
    inst.Ra(ra).Rb(rb).Bits(49, 3, static_cast<uint64_t>(cond)).Bit(48, isSigned).Bit(43, x);
    inst.Bits(45, 2, static_cast<uint64_t>(boolOp)).Bits(39, 3, static_cast<uint64_t>(srcPred)).Bit(42, srcPredInv);
    return inst;
}

bool Holds(int cond, int64_t a, int64_t b) {
    switch (cond) {
    case Lt:
        return a < b;
    case Eq:
        return a == b;
    case Le:
        return a <= b;
    case Gt:
        return a > b;
    case Ne:
        return a != b;
    case Ge:
        return a >= b;
    case T:
        return true;
    default:
        return false;
    }
}

TEST(InstEmitIntegerComparison, OneComparisonPerCondition) {
    struct Case {
        int Cond;
        bool Signed;
        const char* Ir;
    };
    const Case cases[] = {
        {F, true, "%0 = BitwiseNot -1\n%1 = BitwiseOr 0, %0\n"}, // no comparison: the constant 0
        {Lt, false, "%0 = CompareLessU32 R2, R3\n"},
        {Lt, true, "%0 = CompareLess R2, R3\n"},
        {Le, false, "%0 = CompareLessOrEqualU32 R2, R3\n"},
        {Le, true, "%0 = CompareLessOrEqual R2, R3\n"},
        {Gt, false, "%0 = CompareGreaterU32 R2, R3\n"},
        {Gt, true, "%0 = CompareGreater R2, R3\n"},
        {Ge, false, "%0 = CompareGreaterOrEqualU32 R2, R3\n"},
        {Ge, true, "%0 = CompareGreaterOrEqual R2, R3\n"},
        {Eq, true, "%0 = CompareEqual R2, R3\n"},
        {Ne, false, "%0 = CompareNotEqual R2, R3\n"},
    };
    for (const Case& c : cases) {
        EmitHarness harness;
        // BoolOp Or with PT inverted (false): the comparison itself reaches P0.
        const std::string ir = harness.Emit(Isetp(0, 1, 2, 3, c.Cond, c.Signed, false, 1, PT, true));
        EXPECT_EQ(ir.substr(0, std::string(c.Ir).size()), c.Ir) << "cond " << c.Cond << " signed " << c.Signed;
    }

    // ISETP with And and PT: Pd gets the comparison, Pdn its negation; a
    // destination PT is dropped.
    EmitHarness harness;
    EXPECT_EQ(harness.Emit(Isetp(PT, 1, 2, 3, Eq, false)),
              "%0 = CompareEqual R2, R3\n%1 = BitwiseAnd %0, -1\n%2 = BitwiseNot %0\n%3 = BitwiseAnd %2, -1\n"
              "P1 = Copy %3\n");
}

TEST(InstEmitIntegerComparison, SelectsMinMaxAndSets) {
    // ICMP.LT R1 = (R4 < 0) ? R2 : R3, signed and unsigned.
    auto icmp = [](int cond, bool isSigned) {
        Inst inst = Inst(P::IcmpR).Rd(1).Ra(2).Rb(3).Bits(49, 3, static_cast<uint64_t>(cond)).Bit(48, isSigned);
        return Rc(inst, 4).Word;
    };
    EXPECT_EQ(RunWords({icmp(Lt, true)}, {0, 0, 10, 20, 0x80000000}).R(1), 10u);
    EXPECT_EQ(RunWords({icmp(Lt, false)}, {0, 0, 10, 20, 0x80000000}).R(1), 20u);
    EXPECT_EQ(RunWords({icmp(T, false)}, {0, 0, 10, 20, 5}).R(1), 10u);
    EXPECT_EQ(RunWords({icmp(F, false)}, {0, 0, 10, 20, 5}).R(1), 20u);

    // IMNMX: the predicate selects the minimum.
    auto imnmx = [](bool isSigned, bool predInv) {
        return Inst(P::ImnmxR).Rd(2).Ra(0).Rb(1).Bit(48, isSigned).Bits(39, 3, PT).Bit(42, predInv).Word;
    };
    EXPECT_EQ(RunWords({imnmx(true, false)}, {0xFFFFFFFF, 1}).R(2), 0xFFFFFFFFu);
    EXPECT_EQ(RunWords({imnmx(false, false)}, {0xFFFFFFFF, 1}).R(2), 1u);
    EXPECT_EQ(RunWords({imnmx(true, true)}, {0xFFFFFFFF, 1}).R(2), 1u);

    // ISET.BF writes 1.0 or 0.0; its flags compare that float with zero.
    auto iset = [](int cond, bool bval) {
        return Inst(P::IsetR)
            .Rd(2)
            .Ra(0)
            .Rb(1)
            .Bits(49, 3, static_cast<uint64_t>(cond))
            .Bit(44, bval)
            .Bit(47)
            .Bits(39, 3, PT)
            .Word;
    };
    AluMachine one = RunWords({iset(Lt, true)}, {1, 2});
    EXPECT_EQ(one.R(2), 0x3F800000u);
    EXPECT_EQ(one.CC(0), 0u);
    EXPECT_EQ(one.CC(1), 0u);
    AluMachine zero = RunWords({iset(Gt, true)}, {1, 2});
    EXPECT_EQ(zero.R(2), 0u);
    EXPECT_NE(zero.CC(0), 0u);
    EXPECT_EQ(RunWords({iset(Lt, false)}, {1, 2}).R(2), 0xFFFFFFFFu);
}

// A 64-bit compare as a compiler emits it: IADD.CC RZ = A.lo - B.lo, then
// ISETP.X on the high words. Low words of 0 and equal high words are where
// the carry and zero flags decide.
TEST(InstEmitIntegerComparison, SixtyFourBitCompare) {
    const uint64_t values[] = {0,
                               1,
                               0xFFFFFFFFull,
                               0x100000000ull,
                               0x1FFFFFFFFull,
                               0x7FFFFFFF00000000ull,
                               0x8000000000000000ull,
                               0xFFFFFFFF00000000ull,
                               0xFFFFFFFFFFFFFFFFull};
    const uint64_t lowSub = Inst(P::IaddR).Rd(RZ).Ra(0).Rb(2).Bits(48, 2, 1).Bit(47);
    for (int cond = F; cond <= T; cond++) {
        for (bool isSigned : {false, true}) {
            for (uint64_t a : values) {
                for (uint64_t b : values) {
                    AluMachine m = RunWords({lowSub, Isetp(0, 1, 1, 3, cond, isSigned, true)},
                                            {uint32_t(a), uint32_t(a >> 32), uint32_t(b), uint32_t(b >> 32)});
                    const bool expected = isSigned ? Holds(cond, static_cast<int64_t>(a), static_cast<int64_t>(b))
                                                   : Holds(cond,
                                                           a < b   ? -1
                                                           : a > b ? 1
                                                                   : 0,
                                                           0);
                    EXPECT_EQ(m.P(0), expected)
                        << std::hex << a << " vs " << b << " cond " << cond << " signed " << isSigned;
                    EXPECT_EQ(m.P(1), !expected);
                }
            }
        }
    }
}

// A 64-bit min/max as a compiler emits it: IMNMX.XHI.CC on the high words
// leaves their order in the flags, then IMNMX.XLO on the low words (always
// unsigned) follows it unless the high words tied. The low step writes over
// its own source, as in compiled code.
TEST(InstEmitIntegerComparison, SixtyFourBitMinMax) {
    const uint64_t values[] = {0,
                               1,
                               0xFFFFFFFFull,
                               0x100000000ull,
                               0x1FFFFFFFEull,
                               0x7FFFFFFFFFFFFFFFull,
                               0x8000000000000000ull,
                               0xFFFFFFFF00000000ull,
                               0xFFFFFFFFFFFFFFFFull};
    auto imnmx = [](int rd, int ra, int rb, int mode, bool isSigned, bool max) {
        return Inst(P::ImnmxR)
            .Rd(rd)
            .Ra(ra)
            .Rb(rb)
            .Bits(43, 2, static_cast<uint64_t>(mode))
            .Bit(47, mode == 3)
            .Bit(48, isSigned)
            .Bits(39, 3, PT)
            .Bit(42, max)
            .Word;
    };
    for (bool isSigned : {false, true}) {
        for (bool max : {false, true}) {
            const std::vector<uint64_t> words = {imnmx(4, 1, 3, 3, isSigned, max), imnmx(0, 0, 2, 1, false, max)};
            for (uint64_t a : values) {
                for (uint64_t b : values) {
                    AluMachine m = RunWords(words, {uint32_t(a), uint32_t(a >> 32), uint32_t(b), uint32_t(b >> 32)});
                    const bool aBelow = isSigned ? static_cast<int64_t>(a) < static_cast<int64_t>(b) : a < b;
                    const uint64_t expected = (aBelow != max) ? a : b;
                    EXPECT_EQ((uint64_t{m.R(4)} << 32) | m.R(0), expected)
                        << std::hex << a << " vs " << b << " signed " << isSigned << " max " << max;
                }
            }
        }
    }
}

TEST(InstEmitIntegerComparison, ImmediateIsSignExtended) {
    // ISETP.LT.S32 P0, R0, -1 (0xFFFFF).
    const uint64_t word =
        Inst(P::IsetpI).Bits(0, 3, PT).Bits(3, 3, 0).Ra(0).Imm20(0xFFFFF).Bits(49, 3, Lt).Bit(48).Bits(39, 3, PT);
    EXPECT_TRUE(RunWords({word}, {0xFFFFFFFE}).P(0));
    EXPECT_FALSE(RunWords({word}, {0}).P(0));
}

} // namespace
