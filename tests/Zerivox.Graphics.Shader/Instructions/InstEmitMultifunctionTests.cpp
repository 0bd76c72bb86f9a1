#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

constexpr std::string_view MufuPrefix = "0101000010000x";

uint64_t Mufu(int op, bool abs = false, bool neg = false, bool sat = false) {
    return Inst(MufuPrefix).Rd(1).Ra(2).Bits(20, 4, static_cast<uint64_t>(op)).Bit(46, abs).Bit(48, neg).Bit(50, sat);
}

TEST(InstEmitMultifunction, Operations) {
    struct Case {
        int Op;
        const char* Ir;
    };
    const Case cases[] = {
        {0, "%0 = Cosine.FP32 R2\nR1 = Copy %0\n"},
        {1, "%0 = Sine.FP32 R2\nR1 = Copy %0\n"},
        {2, "%0 = ExponentB2.FP32 R2\nR1 = Copy %0\n"},
        {3, "%0 = LogarithmB2.FP32 R2\nR1 = Copy %0\n"},
        {4, "%0 = Divide.FP32 1.0, R2\nR1 = Copy %0\n"},
        {5, "%0 = ReciprocalSquareRoot.FP32 R2\nR1 = Copy %0\n"},
        {6, "%0 = PackDouble2x32 0, 1072693248\n%1 = PackDouble2x32 0, R2\n%2 = Divide.FP64 %0, %1\n"
            "%3 = UnpackDouble2x32#1 %2\nR1 = Copy %3\n"},
        {7, "%0 = PackDouble2x32 0, R2\n%1 = ReciprocalSquareRoot.FP64 %0\n%2 = UnpackDouble2x32#1 %1\n"
            "R1 = Copy %2\n"},
        {8, "%0 = SquareRoot.FP32 R2\nR1 = Copy %0\n"},
    };
    for (const Case& c : cases) {
        EmitHarness harness;
        EXPECT_EQ(harness.Emit(Mufu(c.Op)), c.Ir) << "op " << c.Op;
        EXPECT_TRUE(harness.Log().empty());
    }
}

TEST(InstEmitMultifunction, ModifiersAndInvalidOperation) {
    EmitHarness harness;
    EXPECT_EQ(harness.Emit(Mufu(4, true, true, true)),
              "%0 = Absolute.FP32 R2\n%1 = Negate.FP32 %0\n%2 = Divide.FP32 1.0, %1\n"
              "%3 = Clamp.FP32 %2, 0.0, 1.0\nR1 = Copy %3\n");

    // An operation without a meaning is reported and passes the prepared
    // source through.
    EmitHarness invalid;
    EXPECT_EQ(invalid.Emit(Mufu(9, false, true)), "%0 = Negate.FP32 R2\nR1 = Copy %0\n");
    ASSERT_EQ(invalid.Log().size(), 1u);
    EXPECT_EQ(invalid.Log()[0], "Invalid MUFU operation \"9\".");
}

} // namespace
