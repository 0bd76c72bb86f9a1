#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"
#include "Zerivox.Graphics.Shader/Instructions/Lop3Expression.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr std::string_view LopR = "0101110001000x";
constexpr std::string_view Lop32i = "000001xxxxxxxx";
constexpr std::string_view Lop3R = "0101101111100x";
constexpr std::string_view Lop3I = "001111xxxxxxxx";
} // namespace P

constexpr int PT = 7;

uint64_t Lop3R(int table, int predicateOp = 0, int destPred = PT) {
    Inst inst = Inst(P::Lop3R).Rd(3).Ra(0).Rb(1).Bits(28, 8, static_cast<uint64_t>(table));
    inst.Bits(36, 2, static_cast<uint64_t>(predicateOp)).Bits(48, 3, static_cast<uint64_t>(destPred));
    return Rc(inst, 2).Word;
}

// Every truth table must compute its function, in the register and the
// immediate form (whose table sits in bits 48-55).
TEST(InstEmitIntegerLogical, Lop3EveryTruthTable) {
    const uint32_t a = 0xF0F0F0F0u ^ 0x12345678u, b = 0xCCCCCCCCu ^ 0x0F0F0F0Fu, c = 0xAAAAAAAAu ^ 0x00FF00FFu;
    for (int table = 0; table < 256; table++) {
        uint32_t expected = 0;
        for (int bit = 0; bit < 32; bit++) {
            const int index = (((a >> bit) & 1) << 2) | (((b >> bit) & 1) << 1) | ((c >> bit) & 1);
            expected |= static_cast<uint32_t>((table >> index) & 1) << bit;
        }
        EXPECT_EQ(RunWords({Lop3R(table)}, {a, b, c}).R(3), expected) << "table " << table;

        Inst imm = Inst(P::Lop3I).Rd(3).Ra(0).Imm20(0x7FFFF & b).Bits(48, 8, static_cast<uint64_t>(table));
        const uint32_t bImm = b & 0x7FFFF;
        uint32_t expectedImm = 0;
        for (int bit = 0; bit < 32; bit++) {
            const int index = (((a >> bit) & 1) << 2) | (((bImm >> bit) & 1) << 1) | ((c >> bit) & 1);
            expectedImm |= static_cast<uint32_t>((table >> index) & 1) << bit;
        }
        EXPECT_EQ(RunWords({Rc(imm, 2).Word}, {a, 0, c}).R(3), expectedImm) << "immediate table " << table;
    }
}

TEST(InstEmitIntegerLogical, Lop3ExpressionShapes) {
    struct Case {
        int Table;
        const char* Ir;
    };
    const Case cases[] = {
        {0xF0, "R3 = Copy R0\n"},                     // A, no operation
        {0xCC, "R3 = Copy R1\n"},                     // B (a and b exchanged)
        {0x0F, "%0 = BitwiseNot R0\nR3 = Copy %0\n"}, // NOT A, as the complement of 0xF0
        {0x96, "%0 = BitwiseExclusiveOr R1, R2\n%1 = BitwiseExclusiveOr R0, %0\nR3 = Copy %1\n"},
        {0x69, "%0 = BitwiseExclusiveOr R1, R2\n%1 = BitwiseExclusiveOr R0, %0\n%2 = BitwiseNot %1\nR3 = Copy %2\n"},
    };
    for (const Case& c : cases) {
        EmitHarness harness;
        EXPECT_EQ(harness.Emit(Lop3R(c.Table)), c.Ir) << "table " << c.Table;
    }
    using Zerivox::Graphics::Shader::Instructions::Lop3Expression::PermuteTable;
    EXPECT_EQ(PermuteTable(0xCC, 7, 6, 3, 2, 5, 4, 1, 0), 0xF0); // exchanging a and b
    EXPECT_EQ(PermuteTable(0xF0, 3, 2, 1, 0, 7, 6, 5, 4), 0x0F); // inverting a
}

TEST(InstEmitIntegerLogical, LopOperationsAndPredicate) {
    auto lop = [](int logicOp, bool negA, bool negB, int predicateOp, int destPred) {
        Inst inst = Inst(P::LopR).Rd(2).Ra(0).Rb(1).Bits(41, 2, static_cast<uint64_t>(logicOp)).Bit(39, negA);
        inst.Bit(40, negB).Bits(44, 2, static_cast<uint64_t>(predicateOp)).Bits(48, 3, static_cast<uint64_t>(destPred));
        return inst.Word;
    };
    const uint32_t a = 0x0000FF0F, b = 0x00F0F0F0;
    EXPECT_EQ(RunWords({lop(0, false, false, 0, PT)}, {a, b}).R(2), a & b);
    EXPECT_EQ(RunWords({lop(1, true, false, 0, PT)}, {a, b}).R(2), ~a | b);
    EXPECT_EQ(RunWords({lop(2, false, false, 0, PT)}, {a, b}).R(2), a ^ b);
    EXPECT_EQ(RunWords({lop(3, false, true, 0, PT)}, {a, b}).R(2), ~b); // PassB with NegB

    // PredicateOp: 0 false, 1 true, 2 zero, 3 non-zero.
    const bool expected[4][2] = {{false, false}, {true, true}, {true, false}, {false, true}};
    for (int predicateOp = 0; predicateOp < 4; predicateOp++) {
        EXPECT_EQ(RunWords({lop(0, false, false, predicateOp, 0)}, {a, 0}).P(0), expected[predicateOp][0]);
        EXPECT_EQ(RunWords({lop(0, false, false, predicateOp, 0)}, {a, b}).P(0), expected[predicateOp][1]);
        EXPECT_EQ(RunWords({Lop3R(0xC0, predicateOp, 0)}, {a, b, 0}).P(0), expected[predicateOp][1]);
    }

    // LOP32I: Xor from bits 53-54, NegA at 55; .CC sets the zero flag.
    const uint64_t lop32i = Inst(P::Lop32i).Rd(2).Ra(0).Bits(20, 32, 0xFFFFFFFF).Bits(53, 2, 2).Bit(55).Bit(52);
    AluMachine m = RunWords({lop32i}, {a});
    EXPECT_EQ(m.R(2), a);
    EXPECT_EQ(m.CC(0), 0u);
}

} // namespace
