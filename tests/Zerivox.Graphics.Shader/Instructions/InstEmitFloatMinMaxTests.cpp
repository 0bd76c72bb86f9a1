// FMNMX and DMNMX: both the minimum and the maximum are emitted and the
// source predicate selects (true: minimum).
#include <gtest/gtest.h>

#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

using namespace Zerivox::Graphics::Shader::Testing;

namespace {

TEST(InstEmitFloatMinMax, PredicateSelectsMinimumOrMaximum) {
    struct Case {
        const char* Name;
        uint64_t Word;
        const char* Ir;
    } cases[] = {
        {"FMNMX R: inverted P2 read before the modifiers, float flags",
         Inst("0101110001100x").Rd(1).Ra(2).Rb(3).Bits(39, 3, 2).Bit(42).Bit(46).Bit(45).Bit(47),
         "%0 = BitwiseNot P2\n"
         "%1 = Absolute.FP32 R2\n"
         "%2 = Negate.FP32 R3\n"
         "%3 = Minimum.FP32 %1, %2\n"
         "%4 = Maximum.FP32 %1, %2\n"
         "%5 = ConditionalSelect %0, %3, %4\n"
         "R1 = Copy %5\n"
         "%6 = CompareEqual.FP32 %5, 0.0\n"
         "CC.Z = Copy %6\n"
         "%7 = CompareLess.FP32 %5, 0.0\n"
         "CC.N = Copy %7\n"},
        {"FMNMX I with PT: the minimum; B is the top of an FP32 (1.0), A negated",
         Inst("0011100x01100x").Rd(1).Ra(2).Imm20(0x3F800).Bits(39, 3, 7).Bit(48),
         "%0 = Negate.FP32 R2\n"
         "%1 = Minimum.FP32 %0, 1.0\n"
         "%2 = Maximum.FP32 %0, 1.0\n"
         "%3 = ConditionalSelect -1, %1, %2\n"
         "R1 = Copy %3\n"},
        {"DMNMX C: pairs in, pair R2:R3 out",
         Inst("0100110001010x").Rd(2).Ra(4).Bits(20, 14, 6).Bits(34, 5, 3).Bits(39, 3, 1),
         "%0 = PackDouble2x32 R4, R5\n"
         "%1 = PackDouble2x32 cb3[6], cb3[7]\n"
         "%2 = Minimum.FP64 %0, %1\n"
         "%3 = Maximum.FP64 %0, %1\n"
         "%4 = ConditionalSelect P1, %2, %3\n"
         "%5 = UnpackDouble2x32 %4\n"
         "R2 = Copy %5\n"
         "%6 = UnpackDouble2x32#1 %4\n"
         "R3 = Copy %6\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EmitInstruction(c.Word).Text(), c.Ir) << c.Name;
}

} // namespace
