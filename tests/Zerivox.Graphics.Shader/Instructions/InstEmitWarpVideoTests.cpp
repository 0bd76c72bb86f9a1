#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr std::string_view Vmad = "01011111xxxxxx";
constexpr std::string_view Vmnmx = "0011101xxxxxxx";
constexpr std::string_view Vsetp = "0101000011110x";
constexpr std::string_view Fswzadd = "0101000011111x";
constexpr std::string_view Shfl = "1110111100010x";
constexpr std::string_view Vote = "0101000011011x";
} // namespace P

int Count(const std::string& text, std::string_view what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// Video word with A from R0, B from R1 (or immediate), C from R2, into R3.
Inst Video(std::string_view prefix, int aSel, int bSel, bool bVideo = true) {
    Inst i(prefix);
    i.Rd(3).Ra(0).Rb(1).Bits(39, 8, 2);
    i.Bits(36, 3, static_cast<uint64_t>(aSel & 7)).Bit(48, (aSel & 8) != 0);
    i.Bits(28, 3, static_cast<uint64_t>(bSel & 7)).Bit(49, (bSel & 8) != 0);
    i.Bit(50, bVideo);
    return i;
}

TEST(InstEmitVideo, MultiplyAddValues) {
    struct Case {
        uint64_t Word;
        uint32_t A, B, C, Expected;
        const char* What;
    };
    const Case cases[] = {
        // Signed byte times unsigned byte: -1 * 255 + 0.
        {Video(P::Vmad, 8, 0), 0xFF, 0xFF, 0, static_cast<uint32_t>(-255), "mixed signedness"},
        // Immediate B: sign-extended with a signed select, else zero-extended.
        {Inst(Video(P::Vmad, 6, 8, false)).Bits(20, 16, 0xFFFF), 3, 0, 0, static_cast<uint32_t>(-3), "imm signed"},
        {Inst(Video(P::Vmad, 6, 0, false)).Bits(20, 16, 0xFFFF), 3, 0, 0, 3u * 65535u, "imm unsigned"},
        // Scale 1: bits 7-38 of the 64-bit sum.
        {Inst(Video(P::Vmad, 6, 6)).Bits(51, 2, 1), 0x10000, 0x10000, 0, 0x2000000u, "scale by 2^-7"},
        // Unsigned saturation of a sum that overflows 32 bits.
        {Inst(Video(P::Vmad, 6, 6)).Bit(55), 0x10000, 0x10000, 5, 0xFFFFFFFFu, "unsigned saturate"},
        // AvgMode 1 negates C: 2*3 - 10 = -4; with a signed result and
        // saturation the negated C must count as negative, not as 2^32 - 10.
        {Inst(Video(P::Vmad, 14, 14)).Bits(53, 2, 1).Bit(55), 2, 3, 10, static_cast<uint32_t>(-4),
         "negated C saturates as signed"},
    };
    for (const Case& c : cases) {
        const AluMachine m = RunWords({c.Word}, {c.A, c.B, c.C});
        EXPECT_EQ(m.R(3), c.Expected) << c.What;
    }
}

TEST(InstEmitVideo, MinMaxAndCompare) {
    // Two unsigned bytes, minimum, VideoOp 4: min(A, B) + C; VideoOp 7: min.
    EXPECT_EQ(RunWords({Inst(Video(P::Vmnmx, 0, 0)).Bits(51, 3, 4)}, {7, 9, 100}).R(3), 107u);
    EXPECT_EQ(RunWords({Inst(Video(P::Vmnmx, 0, 0)).Bits(51, 3, 7)}, {7, 9, 100}).R(3), 7u);
    // Signed destination clamps an unsigned result.
    EXPECT_EQ(RunWords({Inst(Video(P::Vmnmx, 6, 6)).Bits(51, 3, 7).Bit(54).Bit(55).Bit(56)},
                       {0xFFFFFFF0u, 1, 0})
                  .R(3),
              0x7FFFFFFFu);
    // Mixed whole registers compare by magnitude: max(-1 signed, 0x80000000
    // unsigned) is the unsigned one, min is -1.
    EXPECT_EQ(RunWords({Inst(Video(P::Vmnmx, 14, 6)).Bits(51, 3, 7).Bit(56)}, {0xFFFFFFFFu, 0x80000000u, 0}).R(3),
              0x80000000u);
    EXPECT_EQ(RunWords({Inst(Video(P::Vmnmx, 14, 6)).Bits(51, 3, 7)}, {0xFFFFFFFFu, 0x80000000u, 0}).R(3),
              0xFFFFFFFFu);

    // VSETP of mixed whole registers: Pd false, Pdn true (with PT, AND).
    auto vsetp = Inst(Video(P::Vsetp, 14, 6)).Bits(43, 2, 1).Bits(3, 3, 1).Bits(0, 3, 2).Bits(39, 3, 7);
    AluMachine m = RunWords({vsetp}, {1, 2, 0});
    EXPECT_FALSE(m.P(1));
    EXPECT_TRUE(m.P(2));
    // Signed byte against unsigned byte compares the extended values: -1 < 200.
    auto bytes = Inst(Video(P::Vsetp, 8, 0)).Bits(43, 2, 1).Bits(3, 3, 1).Bits(0, 3, 2).Bits(39, 3, 7);
    EXPECT_TRUE(RunWords({bytes}, {0xFF, 200, 0}).P(1));
}

TEST(InstEmitWarp, ShuffleAndSwizzle) {
    // The derivative idiom: SHFL.BFLY by 1 with mask 0x1C03, then FSWZADD.
    EmitHarness h;
    const std::string shfl = h.Emit(Inst(P::Shfl).Rd(1).Ra(2).Bit(28).Bits(20, 5, 1).Bit(29).Bits(34, 13, 0x1C03)
                                        .Bits(30, 2, 3).Bits(48, 3, 4));
    EXPECT_NE(shfl.find("ShuffleXor R2, 1, 7171"), std::string::npos) << shfl;
    EXPECT_NE(shfl.find("P4 = Copy"), std::string::npos) << shfl;
    const std::string swz = h.Emit(Inst(P::Fswzadd).Rd(3).Ra(1).Rb(2).Bits(28, 8, 0x99));
    EXPECT_NE(swz.find("SwizzleAdd R1, R2, 153"), std::string::npos) << swz;

    // Register index and mask, other modes.
    for (int mode = 0; mode < 4; mode++) {
        EmitHarness r;
        const std::string ir = r.Emit(Inst(P::Shfl).Rd(1).Ra(2).Rb(5).Bits(39, 8, 6).Bits(30, 2,
                                                                                        static_cast<uint64_t>(mode)));
        static constexpr std::string_view names[] = {"Shuffle", "ShuffleUp", "ShuffleDown", "ShuffleXor"};
        EXPECT_NE(ir.find(std::string(names[mode]) + " R2, R5, R6"), std::string::npos)
            << ir;
    }
}

TEST(InstEmitWarp, VotesPerHostSubgroupSize) {
    auto vote = [](int mode, int rd) {
        return Inst(P::Vote).Rd(rd).Bits(39, 3, 0).Bits(45, 3, 1).Bits(48, 2, static_cast<uint64_t>(mode));
    };
    EmitHarness narrow(ShaderStage::Compute, 32);
    const std::string any32 = narrow.Emit(vote(1, 255));
    EXPECT_NE(any32.find("VoteAny"), std::string::npos) << any32;
    EXPECT_EQ(any32.find("Ballot"), std::string::npos) << any32;

    EmitHarness wide(ShaderStage::Compute, 64);
    const std::string any64 = wide.Emit(vote(1, 255));
    EXPECT_EQ(any64.find("VoteAny"), std::string::npos) << any64;
    EXPECT_EQ(Count(any64, "= Ballot"), 2) << any64;
    EXPECT_NE(any64.find("CompareNotEqual"), std::string::npos) << any64;

    EmitHarness widest(ShaderStage::Compute, 128);
    const std::string ballot = widest.Emit(vote(0, 255).Rd(4));
    EXPECT_NE(ballot.find("R4 = Copy"), std::string::npos) << ballot;

    EmitHarness invalid;
    const std::string bad = invalid.Emit(vote(3, 4));
    EXPECT_EQ(bad.find("P1 = "), std::string::npos) << bad;
    EXPECT_NE(bad.find("R4 = Copy"), std::string::npos) << bad;
    EXPECT_EQ(invalid.Log().at(0), "Invalid vote operation: 3.");
}

} // namespace
