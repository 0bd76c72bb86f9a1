#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr std::string_view ShfLR = "0101101111111x";
constexpr std::string_view ShfRR = "0101110011111x";
constexpr std::string_view ShfLI = "0011011x11111x";
constexpr std::string_view ShfRI = "0011100x11111x";
constexpr std::string_view ShlR = "0101110001001x";
constexpr std::string_view ShlI = "0011100x01001x";
constexpr std::string_view ShrR = "0101110000101x";
} // namespace P

// The funnel shift of (C:A) as the instruction defines it.
uint32_t FunnelReference(bool left, int maxShift, bool mask, uint32_t a, uint32_t c, uint32_t s) {
    const bool wide = maxShift >= 2;
    if (mask)
        s &= wide ? 63u : 31u;
    if (s >= (wide ? 64u : 32u))
        return 0;
    const uint64_t value = (uint64_t{c} << 32) | a;
    if (left)
        return static_cast<uint32_t>((value << s) >> 32);
    if (maxShift == 3)
        return static_cast<uint32_t>(static_cast<int64_t>(value) >> s);
    return static_cast<uint32_t>(value >> s);
}

// The high word of (C:A) >> s, which a compiler pairs with the plain form
// for a 64-bit right shift.
uint32_t FunnelHighReference(int maxShift, bool mask, uint32_t c, uint32_t s) {
    const bool wide = maxShift >= 2;
    if (mask)
        s &= wide ? 63u : 31u;
    const uint32_t fill = maxShift == 3 ? static_cast<uint32_t>(static_cast<int32_t>(c) >> 31) : 0u;
    if (s >= (wide ? 64u : 32u) || (wide && s >= 32))
        return fill;
    return maxShift == 3 ? static_cast<uint32_t>(static_cast<int32_t>(c) >> s) : c >> s;
}

// Every result must be defined (no host shift by 32 or more may reach the
// register), a count of 0 included.
TEST(InstEmitShift, FunnelShiftsMatchTheReference) {
    const uint32_t counts[] = {0, 1, 8, 31, 32, 33, 40, 63, 64, 100};
    const uint32_t a = 0x89ABCDEF, c = 0xF1234567;
    for (bool left : {true, false}) {
        for (int maxShift : {0, 1, 2, 3}) {
            for (bool mask : {false, true}) {
                for (uint32_t s : counts) {
                    Inst inst = Inst(left ? P::ShfLR : P::ShfRR).Rd(3).Ra(0).Rb(1);
                    inst.Bits(37, 2, static_cast<uint64_t>(maxShift)).Bit(50, mask);
                    AluMachine m = RunWords({Rc(inst, 2).Word}, {a, s, c});
                    EXPECT_EQ(m.R(3), FunnelReference(left, maxShift, mask, a, c, s))
                        << (left ? "L" : "R") << " max " << maxShift << " mask " << mask << " s " << s;

                    if (s >= 64)
                        continue;
                    Inst imm = Inst(left ? P::ShfLI : P::ShfRI).Rd(3).Ra(0).Bits(20, 6, s);
                    imm.Bits(37, 2, static_cast<uint64_t>(maxShift)).Bit(50, mask);
                    AluMachine mi = RunWords({Rc(imm, 2).Word}, {a, 0, c});
                    EXPECT_EQ(mi.R(3), FunnelReference(left, maxShift, mask, a, c, s))
                        << "immediate " << (left ? "L" : "R") << " max " << maxShift << " mask " << mask << " s " << s;
                }
            }
        }
    }
}

TEST(InstEmitShift, RightFunnelShiftHighWord) {
    const uint32_t counts[] = {0, 1, 8, 31, 32, 33, 40, 63, 64, 100};
    for (uint32_t c : {0xF1234567u, 0x71234567u}) {
        for (int maxShift : {0, 2, 3}) {
            for (bool mask : {false, true}) {
                for (uint32_t s : counts) {
                    Inst inst = Inst(P::ShfRR).Rd(3).Ra(0).Rb(1).Bit(48);
                    inst.Bits(37, 2, static_cast<uint64_t>(maxShift)).Bit(50, mask);
                    AluMachine m = RunWords({Rc(inst, 2).Word}, {0x89ABCDEF, s, c});
                    EXPECT_EQ(m.R(3), FunnelHighReference(maxShift, mask, c, s))
                        << std::hex << c << " max " << maxShift << " mask " << mask << " s " << s;
                }
            }
        }
    }

    // A 64-bit logical and arithmetic right shift as compiled: the plain
    // form gives the low word, the high form the high word.
    const uint64_t value = 0x8123456789ABCDEFull;
    for (int maxShift : {2, 3}) {
        for (uint32_t s : {0u, 4u, 31u, 32u, 45u, 63u}) {
            Inst low = Inst(P::ShfRR).Rd(4).Ra(0).Rb(2).Bits(37, 2, static_cast<uint64_t>(maxShift));
            Inst high = Inst(P::ShfRR).Rd(5).Ra(255).Rb(2).Bits(37, 2, static_cast<uint64_t>(maxShift)).Bit(48);
            AluMachine m = RunWords({Rc(low, 1).Word, Rc(high, 1).Word}, {uint32_t(value), uint32_t(value >> 32), s});
            const uint64_t expected =
                maxShift == 3 ? static_cast<uint64_t>(static_cast<int64_t>(value) >> s) : value >> s;
            EXPECT_EQ((uint64_t{m.R(5)} << 32) | m.R(4), expected) << "max " << maxShift << " s " << s;
        }
    }
}

TEST(InstEmitShift, FunnelShiftFlagsAndKnownCounts) {
    // SHF.R.CC by 0 of (0:0): zero flag set from the result.
    Inst cc = Inst(P::ShfRR).Rd(3).Ra(0).Rb(1).Bit(47);
    AluMachine m = RunWords({Rc(cc, 2).Word}, {0, 0, 0});
    EXPECT_NE(m.CC(0), 0u);
    EXPECT_EQ(m.CC(1), 0u);

    // A known non-zero immediate count needs no zero guard.
    EmitHarness harness;
    const std::string ir = harness.Emit(Rc(Inst(P::ShfLI).Rd(3).Ra(0).Bits(20, 6, 8).Bit(50), 2).Word);
    EXPECT_EQ(ir, "%0 = BitwiseAnd 8, 31\n%1 = ShiftLeft R2, %0\n%2 = Subtract 32, %0\n%3 = ShiftRightU32 R0, %2\n"
                  "%4 = BitwiseOr %1, %3\nR3 = Copy %4\n");
}

TEST(InstEmitShift, ShlAndShrClampOrWrap) {
    auto shl = [](bool mask) { return Inst(P::ShlR).Rd(2).Ra(0).Rb(1).Bit(39, mask).Word; };
    auto shr = [](bool mask, bool isSigned, bool brev) {
        return Inst(P::ShrR).Rd(2).Ra(0).Rb(1).Bit(39, mask).Bit(48, isSigned).Bit(40, brev).Word;
    };
    struct Case {
        const char* Name;
        uint64_t Word;
        uint32_t A, S, Result;
    };
    const Case cases[] = {
        {"SHL 3", shl(false), 5, 3, 40},
        {"SHL by 32 clamps to 0", shl(false), 5, 32, 0},
        {"SHL.M by 32 shifts by 0", shl(true), 5, 32, 5},
        {"SHL.M by 33 shifts by 1", shl(true), 5, 33, 10},
        {"SHR.U32 by 40 gives 0", shr(false, false, false), 0x80000000, 40, 0},
        {"SHR.S32 by 40 gives the sign", shr(false, true, false), 0x80000000, 40, 0xFFFFFFFF},
        {"SHR.S32 by 40 of a positive value", shr(false, true, false), 0x70000000, 40, 0},
        {"SHR.S32 by 4", shr(false, true, false), 0x80000000, 4, 0xF8000000},
        {"SHR.M by 36 shifts by 4", shr(true, false, false), 0x80000000, 36, 0x08000000},
        {"SHR.BREV reverses first", shr(false, false, true), 0x00000001, 31, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RunWords({c.Word}, {c.A, c.S}).R(2), c.Result) << c.Name;

    // The immediate is sign-extended: SHL by 0xFFFFF (-1) clamps to 0.
    EXPECT_EQ(RunWords({Inst(P::ShlI).Rd(2).Ra(0).Imm20(0xFFFFF).Word}, {5}).R(2), 0u);
}

} // namespace
