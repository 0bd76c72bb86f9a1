#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;
using IntermediateRepresentation::IoVariable;

namespace {

namespace P {
constexpr std::string_view MovI = "0011100x10011x";
constexpr std::string_view Mov32i = "000000010000xx";
constexpr std::string_view SelR = "0101110010100x";
constexpr std::string_view SelI = "0011100x10100x";
constexpr std::string_view R2pR = "0101110011110x";
constexpr std::string_view P2rR = "0101110011101x";
constexpr std::string_view P2rI = "0011100x11101x";
constexpr std::string_view Pset = "0101000010001x";
constexpr std::string_view Psetp = "0101000010010x";
constexpr std::string_view S2r = "1111000011001x";
constexpr std::string_view RroI = "0011100x10010x";
} // namespace P

constexpr int PT = 7;

uint64_t S2r(int sreg) { return Inst(P::S2r).Rd(1).Bits(20, 8, static_cast<uint64_t>(sreg)); }

TEST(InstEmitMove, MovesAndSelects) {
    // The MOV immediate is zero-extended; SEL sign-extends the same field.
    EXPECT_EQ(RunWords({Inst(P::MovI).Rd(1).Imm20(0xFFFFF).Word}, {}).R(1), 0x000FFFFFu);
    EXPECT_EQ(RunWords({Inst(P::SelI).Rd(1).Ra(0).Imm20(0xFFFFF).Bits(39, 3, PT).Bit(42).Word}, {5}).R(1), 0xFFFFFFFFu);
    EXPECT_EQ(RunWords({Inst(P::Mov32i).Rd(1).Bits(20, 32, 0x89ABCDEF).Word}, {}).R(1), 0x89ABCDEFu);

    EmitHarness harness;
    harness.Emit(Inst(P::SelR).Rd(2).Ra(0).Rb(1).Bits(39, 3, 3));
    for (bool p : {false, true}) {
        AluMachine m;
        m.SetR(0, 10);
        m.SetR(1, 20);
        m.SetP(3, p);
        m.Run(harness.Emitted());
        EXPECT_EQ(m.R(2), p ? 10u : 20u);
    }

    // RRO passes the value through with its modifiers (immediate as a float).
    EmitHarness rro;
    EXPECT_EQ(rro.Emit(Inst(P::RroI).Rd(1).Imm20(0x3F800).Bit(49).Bit(45)),
              "%0 = Absolute.FP32 1.0\n%1 = Negate.FP32 %0\nR1 = Copy %1\n");
}

TEST(InstEmitMove, RegisterToPredicatesAndBack) {
    // R2P with ByteSel 2: P0-P6 from bits 16-22 where mask bits 0-6 are set.
    EmitHarness r2p;
    r2p.Emit(Inst(P::R2pR).Ra(0).Rb(1).Bits(41, 2, 2));
    AluMachine m;
    m.SetR(0, 0x00050000); // bits 16 and 18
    m.SetR(1, 0x0000000B); // P0, P1, P3
    for (int i = 0; i < 7; i++)
        m.SetP(i, i == 3);
    m.Run(r2p.Emitted());
    const bool expected[7] = {true, false, false, false, false, false, false};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(m.P(i), expected[i]) << "P" << i;

    // R2P.CC writes only the four flags.
    EmitHarness ccpr;
    ccpr.Emit(Inst(P::R2pR).Ra(0).Rb(1).Bit(40));
    AluMachine f;
    f.SetR(0, 0x5);
    f.SetR(1, 0xFF);
    for (int i = 0; i < 7; i++)
        f.SetP(i, false);
    f.Run(ccpr.Emitted());
    EXPECT_NE(f.CC(0), 0u);
    EXPECT_EQ(f.CC(1), 0u);
    EXPECT_NE(f.CC(2), 0u);
    EXPECT_EQ(f.CC(3), 0u);
    EXPECT_FALSE(f.P(0));

    // P2R with ByteSel 1 and mask 3: bits 8 and 9 from P0 and P1, the rest
    // from Ra.
    EmitHarness p2r;
    p2r.Emit(Inst(P::P2rI).Rd(2).Ra(0).Imm20(3).Bits(41, 2, 1));
    AluMachine g;
    g.SetR(0, 0xFFFF02FF);
    for (int i = 0; i < 7; i++)
        g.SetP(i, i == 0 || i == 2);
    g.Run(p2r.Emitted());
    EXPECT_EQ(g.R(2), 0xFFFF01FFu);

    // Round trip of the flags through a register.
    EmitHarness trip;
    trip.Emit(Inst(P::P2rR).Rd(2).Ra(255).Rb(1).Bit(40));
    AluMachine t;
    t.SetR(1, 0xF);
    t.SetCC(0, true);
    t.SetCC(1, false);
    t.SetCC(2, true);
    t.SetCC(3, true);
    t.Run(trip.Emitted());
    EXPECT_EQ(t.R(2), 0xDu);
}

TEST(InstEmitMove, PredicateLogic) {
    // PSETP P0, P1 = (P2 AND P3) OR P4 and its complement form.
    auto psetp = [](int boolOpAB, int boolOp) {
        Inst inst = Inst(P::Psetp).Bits(3, 3, 0).Bits(0, 3, 1).Bits(12, 3, 2).Bits(29, 3, 3).Bits(39, 3, 4);
        return inst.Bits(24, 2, static_cast<uint64_t>(boolOpAB)).Bits(45, 2, static_cast<uint64_t>(boolOp)).Word;
    };
    for (int bits = 0; bits < 8; bits++) {
        const bool p2 = bits & 1, p3 = bits & 2, p4 = bits & 4;
        EmitHarness harness;
        harness.Emit(psetp(0, 1));
        AluMachine m;
        for (int i = 0; i < 7; i++)
            m.SetP(i, false);
        m.SetP(2, p2);
        m.SetP(3, p3);
        m.SetP(4, p4);
        m.Run(harness.Emitted());
        EXPECT_EQ(m.P(0), (p2 && p3) || p4);
        EXPECT_EQ(m.P(1), !(p2 && p3) || p4);
    }

    // A destination that is also a source is read before either write.
    EmitHarness self;
    self.Emit(Inst(P::Psetp).Bits(3, 3, 0).Bits(0, 3, 1).Bits(12, 3, 0).Bits(29, 3, PT).Bits(39, 3, PT));
    AluMachine s;
    for (int i = 0; i < 7; i++)
        s.SetP(i, false);
    s.SetP(0, true);
    s.Run(self.Emitted());
    EXPECT_TRUE(s.P(0));
    EXPECT_FALSE(s.P(1));

    // PSET.BF writes 1.0 or 0; without BVal all ones.
    auto pset = [](bool bval) {
        return Inst(P::Pset).Rd(1).Bits(12, 3, 2).Bits(29, 3, PT).Bits(39, 3, PT).Bit(44, bval).Word;
    };
    for (bool p : {false, true}) {
        for (bool bval : {false, true}) {
            EmitHarness harness;
            harness.Emit(pset(bval));
            AluMachine m;
            m.SetP(2, p);
            m.Run(harness.Emitted());
            EXPECT_EQ(m.R(1), p ? (bval ? 0x3F800000u : 0xFFFFFFFFu) : 0u);
        }
    }
}

TEST(InstEmitMove, SpecialRegisters) {
    struct Case {
        const char* Name;
        ShaderStage Stage;
        int SubgroupSize;
        int SReg;
        const char* Ir;
    };
    const Case cases[] = {
        {"lane id", ShaderStage::Compute, 32, 0, "%0 = Load.Input 28\nR1 = Copy %0\n"},
        {"lane id on a 64-lane host", ShaderStage::Compute, 64, 0,
         "%0 = Load.Input 28\n%1 = BitwiseAnd %0, 31\nR1 = Copy %1\n"},
        {"1.0", ShaderStage::Compute, 32, 18, "R1 = Copy 1065353216\n"},
        {"thread kill outside fragment", ShaderStage::Compute, 32, 19, "R1 = Copy 0\n"},
        {"thread kill", ShaderStage::Fragment, 32, 19, "%0 = Load.Input 36\nR1 = Copy %0\n"},
        {"vertices per primitive, geometry", ShaderStage::Geometry, 32, 29, "R1 = Copy 196608\n"},
        {"vertices per patch", ShaderStage::TessellationControl, 32, 29,
         "%0 = Load.Input 20\n%1 = ShiftLeft %0, 16\nR1 = Copy %1\n"},
        {"packed thread id", ShaderStage::Compute, 32, 32,
         "%0 = Load.Input 35, 0\n%1 = Load.Input 35, 1\n%2 = Load.Input 35, 2\n%3 = ShiftLeft %1, 16\n"
         "%4 = ShiftLeft %2, 26\n%5 = BitwiseOr %3, %4\n%6 = BitwiseOr %0, %5\nR1 = Copy %6\n"},
        {"thread id z", ShaderStage::Compute, 32, 35, "%0 = Load.Input 35, 2\nR1 = Copy %0\n"},
        {"cta id y", ShaderStage::Compute, 32, 38, "%0 = Load.Input 6, 1\nR1 = Copy %0\n"},
        {"equal mask", ShaderStage::Compute, 32, 56, "%0 = Load.Input 25, 0\nR1 = Copy %0\n"},
        {"unknown", ShaderStage::Compute, 32, 99, "R1 = Copy 0\n"},
    };
    for (const Case& c : cases) {
        EmitHarness harness(c.Stage, c.SubgroupSize);
        harness.Definitions().GraphicsState.Topology = InputTopology::Triangles;
        EXPECT_EQ(harness.Emit(S2r(c.SReg)), c.Ir) << c.Name;
    }

    // On a 64-lane host lanes 32-63 read word 1 of the mask; on a 128-lane
    // host the word is lane / 32.
    for (int size : {64, 128}) {
        for (uint32_t lane : {3u, 40u, 70u, 127u}) {
            if (size == 64 && lane >= 64)
                continue;
            EmitHarness harness(ShaderStage::Compute, size);
            harness.Emit(S2r(57));
            AluMachine m;
            m.OnInput = [&](int variable, int component) -> uint32_t {
                if (variable == static_cast<int>(IoVariable::SubgroupLaneId))
                    return lane;
                EXPECT_EQ(variable, static_cast<int>(IoVariable::SubgroupLtMask));
                return 0x100u + static_cast<uint32_t>(component);
            };
            m.Run(harness.Emitted());
            EXPECT_EQ(m.R(1), 0x100u + lane / 32) << "size " << size << " lane " << lane;
        }
    }
}

} // namespace
