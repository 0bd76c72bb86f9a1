#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Instructions;
using IntermediateRepresentation::IrArena;
using IntermediateRepresentation::IrPrinter;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace Ins = Translation::EmitterContextInsts;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

// Runs build on a bare builder; the result (if any) is copied into R0 so
// that the printed IR shows what was returned.
std::string Emit(const std::function<Operand*(EmitterContext&)>& build) {
    IrArena arena;
    EmitterContext context(arena);
    Operand* result = build(context);
    if (result != nullptr)
        Ins::Copy(context, InstEmitHelper::GetDest(context, 0), result);
    return IrPrinter::PrintOperations(context.Operations);
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\n";
    return text;
}

} // namespace

TEST(InstEmitHelper, OperandFetchers) {
    struct Case {
        const char* What;
        std::function<Operand*(EmitterContext&)> Build;
        std::string Expected;
    } cases[] = {
        {"RZ reads 0", [](EmitterContext& c) { return InstEmitHelper::ReadRegister(c, 255); }, Lines({"R0 = Copy 0"})},
        {"integer imm20 is sign-extended", [](EmitterContext& c) { return InstEmitHelper::ReadImm20(c, 0xFFFFF); },
         Lines({"R0 = Copy -1"})},
        {"imm20 bit 19 alone", [](EmitterContext& c) { return InstEmitHelper::ReadImm20(c, 0x80000); },
         Lines({"R0 = Copy -524288"})},
        {"float imm20 sign bit is minus zero",
         [](EmitterContext& c) { return InstEmitHelper::ReadFloatImm20(c, 0x80000); },
         Lines({"R0 = Copy -2147483648"})},
        {"float imm20 of 1.0", [](EmitterContext& c) { return InstEmitHelper::ReadFloatImm20(c, 0x3F800); },
         Lines({"R0 = Copy 1065353216"})},
        {"double imm20 of 1.0 is the high word",
         [](EmitterContext& c) { return InstEmitHelper::ReadDoubleImm20(c, 0x3FF00); },
         Lines({"%0 = PackDouble2x32 0, 1072693248", "R0 = Copy %0"})},
        {"register pair", [](EmitterContext& c) { return InstEmitHelper::ReadRegisterPair(c, 4); },
         Lines({"%0 = PackDouble2x32 R4, R5", "R0 = Copy %0"})},
        {"constant buffer pair", [](EmitterContext& c) { return InstEmitHelper::ReadCbufPair(c, 3, 10); },
         Lines({"%0 = PackDouble2x32 cb3[10], cb3[11]", "R0 = Copy %0"})},
        {"inverted predicate", [](EmitterContext& c) { return InstEmitHelper::GetPredicate(c, 2, true); },
         Lines({"%0 = BitwiseNot P2", "R0 = Copy %0"})},
        {"PT reads true", [](EmitterContext& c) { return InstEmitHelper::GetPredicate(c, 7, false); },
         Lines({"R0 = Copy -1"})},
        {"zero-extend 16",
         [](EmitterContext& c) { return InstEmitHelper::ZeroExtendTo32(c, InstEmitHelper::ReadRegister(c, 1), 16); },
         Lines({"%0 = BitwiseAnd R1, 65535", "R0 = Copy %0"})},
        {"zero-extend 32 keeps every bit",
         [](EmitterContext& c) { return InstEmitHelper::ZeroExtendTo32(c, InstEmitHelper::ReadRegister(c, 1), 32); },
         Lines({"%0 = BitwiseAnd R1, -1", "R0 = Copy %0"})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Emit(c.Build), c.Expected) << c.What;
}

TEST(InstEmitHelper, SetDestSplitsDoublesAndDropsZeroRegisterWrites) {
    auto value = [](EmitterContext& c) { return InstEmitHelper::ReadRegisterPair(c, 8); };
    EXPECT_EQ(Emit([&](EmitterContext& c) {
                  InstEmitHelper::SetDest(c, value(c), 2, true);
                  return nullptr;
              }),
              Lines({"%0 = PackDouble2x32 R8, R9", "%1 = UnpackDouble2x32 %0", "R2 = Copy %1",
                     "%2 = UnpackDouble2x32#1 %0", "R3 = Copy %2"}));
    // An odd destination gets the low word, then the high word on top.
    EXPECT_EQ(Emit([&](EmitterContext& c) {
                  InstEmitHelper::SetDest(c, value(c), 3, true);
                  return nullptr;
              }),
              Lines({"%0 = PackDouble2x32 R8, R9", "%1 = UnpackDouble2x32 %0", "R3 = Copy %1",
                     "%2 = UnpackDouble2x32#1 %0", "R3 = Copy %2"}));
    EXPECT_EQ(Emit([](EmitterContext& c) {
                  InstEmitHelper::SetDest(c, InstEmitHelper::ReadRegister(c, 1), 255, false);
                  return nullptr;
              }),
              "");
}

TEST(InstEmitHelper, HalfOperands) {
    auto packed = [](EmitterContext& c, InstEmitHelper::HalfOperands lanes) {
        Ins::Copy(c, InstEmitHelper::GetDest(c, 1), lanes[0]);
        Ins::Copy(c, InstEmitHelper::GetDest(c, 2), lanes[1]);
        return nullptr;
    };
    // 10-bit immediates: 0x0F0 is the half 1.0, 0x200 the half -0.0.
    EXPECT_EQ(Emit([&](EmitterContext& c) { return packed(c, InstEmitHelper::GetHalfSrc(c, 0x0F0, 0x200)); }),
              Lines({"R1 = Copy 1065353216", "R2 = Copy -2147483648"}));
    // 32-bit immediate: low half first (2.0 = 0x4000, -1.0 = 0xBC00).
    EXPECT_EQ(Emit([&](EmitterContext& c) {
                  return packed(c, InstEmitHelper::GetHalfSrc(c, static_cast<int>(0xBC004000u)));
              }),
              Lines({"R1 = Copy 1073741824", "R2 = Copy -1082130432"}));
    EXPECT_EQ(Emit([&](EmitterContext& c) {
                  Operand* r4 = InstEmitHelper::ReadRegister(c, 4);
                  return packed(c, InstEmitHelper::GetHalfUnpacked(c, r4, Decoders::HalfSwizzle::H1H1));
              }),
              Lines({"%0 = UnpackHalf2x16#1 R4", "%1 = UnpackHalf2x16#1 R4", "R1 = Copy %0", "R2 = Copy %1"}));
    EXPECT_EQ(Emit([&](EmitterContext& c) {
                  Operand* r4 = InstEmitHelper::ReadRegister(c, 4);
                  return packed(c, InstEmitHelper::GetHalfUnpacked(c, r4, Decoders::HalfSwizzle::F32));
              }),
              Lines({"R1 = Copy R4", "R2 = Copy R4"}));
    // MrgH1 keeps the old low half of the destination.
    EXPECT_EQ(
        Emit([](EmitterContext& c) {
            InstEmitHelper::HalfOperands lanes{InstEmitHelper::ReadRegister(c, 1), InstEmitHelper::ReadRegister(c, 2)};
            return InstEmitHelper::GetHalfPacked(c, Decoders::OFmt::MrgH1, lanes, 6);
        }),
        Lines({"%0 = UnpackHalf2x16 R6", "%1 = PackHalf2x16 %0, R2", "R0 = Copy %1"}));
    EXPECT_EQ(
        Emit([](EmitterContext& c) {
            InstEmitHelper::HalfOperands lanes{InstEmitHelper::ReadRegister(c, 1), InstEmitHelper::ReadRegister(c, 2)};
            InstEmitHelper::FPAbsNeg(c, lanes, true, true);
            return InstEmitHelper::GetHalfPacked(c, Decoders::OFmt::F32, lanes, 6);
        }),
        Lines({"%0 = Absolute.FP32 R1", "%1 = Negate.FP32 %0", "%2 = Absolute.FP32 R2", "%3 = Negate.FP32 %2",
               "R0 = Copy %1"}));

    IrArena arena;
    EmitterContext context(arena);
    Operand* r0 = InstEmitHelper::ReadRegister(context, 0);
    try {
        InstEmitHelper::GetHalfUnpacked(context, r0, static_cast<Decoders::HalfSwizzle>(4));
        FAIL() << "no error";
    } catch (const Zerivox::Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Invalid swizzle \"4\".");
    }
    InstEmitHelper::HalfOperands lanes{r0, r0};
    EXPECT_THROW(InstEmitHelper::GetHalfPacked(context, static_cast<Decoders::OFmt>(7), lanes, 0),
                 Zerivox::Common::ArgumentException);
}

TEST(InstEmitHelper, HalfToSingleIsExactForEveryHalf) {
    for (uint32_t h = 0; h < 0x10000; h++) {
        const uint32_t bits = InstEmitHelper::HalfToSingleBits(static_cast<uint16_t>(h));
        const int exponent = static_cast<int>((h >> 10) & 0x1F);
        const int mantissa = static_cast<int>(h & 0x3FF);
        const float sign = (h & 0x8000) ? -1.0f : 1.0f;
        if (exponent == 0x1F) {
            EXPECT_EQ(bits & 0x7F800000u, 0x7F800000u) << h;
            EXPECT_EQ(bits & 0x7FFFFFu, static_cast<uint32_t>(mantissa) << 13) << h; // payload kept
            EXPECT_EQ(bits >> 31, h >> 15) << h;
            continue;
        }
        const float expected = exponent == 0 ? sign * std::ldexp(static_cast<float>(mantissa), -24)
                                             : sign * std::ldexp(static_cast<float>(1024 + mantissa), exponent - 25);
        ASSERT_EQ(bits, std::bit_cast<uint32_t>(expected)) << "half 0x" << std::hex << h;
    }
}

TEST(InstEmitAluHelper, IntegerRanges) {
    using Decoders::IDstFmt;
    using Decoders::ISrcDstFmt;
    EXPECT_EQ(InstEmitAluHelper::GetIntMin(ISrcDstFmt::S8), -128);
    EXPECT_EQ(InstEmitAluHelper::GetIntMax(ISrcDstFmt::U8), 255);
    EXPECT_EQ(InstEmitAluHelper::GetIntMin(IDstFmt::S32), -2147483648LL);
    EXPECT_EQ(InstEmitAluHelper::GetIntMax(IDstFmt::U32), 4294967295LL);
    EXPECT_EQ(InstEmitAluHelper::GetIntMax(IDstFmt::S16), 32767);

    struct Bad {
        std::function<void()> Call;
        const char* Message;
    } bad[] = {
        {[] { InstEmitAluHelper::GetIntMin(IDstFmt::U64); }, "The type \"U64\" is not a supported integer type."},
        {[] { InstEmitAluHelper::GetIntMax(IDstFmt::S64); }, "The type \"S64\" is not a supported integer type."},
        {[] { InstEmitAluHelper::GetIntMax(static_cast<IDstFmt>(0)); },
         "The type \"0\" is not a supported integer type."},
        {[] { InstEmitAluHelper::GetIntMin(static_cast<ISrcDstFmt>(7)); },
         "The type \"7\" is not a supported integer type."},
    };
    for (const Bad& b : bad) {
        try {
            b.Call();
            ADD_FAILURE() << "no error for " << b.Message;
        } catch (const Zerivox::Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), b.Message);
        }
    }
}

TEST(InstEmitAluHelper, ExtendSelections) {
    struct Case {
        int Select;
        std::string Expected;
    } cases[] = {
        {0, Lines({"%0 = ShiftRightU32 R1, 0", "%1 = BitwiseAnd %0, 255", "R0 = Copy %1"})},
        {3, Lines({"%0 = ShiftRightU32 R1, 24", "%1 = BitwiseAnd %0, 255", "R0 = Copy %1"})},
        {5, Lines({"%0 = ShiftRightU32 R1, 16", "%1 = BitwiseAnd %0, 65535", "R0 = Copy %1"})},
        {9, Lines({"%0 = ShiftRightU32 R1, 8", "%1 = BitfieldExtractS32 %0, 0, 8", "R0 = Copy %1"})},
        {12, Lines({"%0 = ShiftRightU32 R1, 0", "%1 = BitfieldExtractS32 %0, 0, 16", "R0 = Copy %1"})},
        {6, Lines({"R0 = Copy R1"})},
        {7, Lines({"R0 = Copy R1"})},
        {14, Lines({"R0 = Copy R1"})},
        {15, Lines({"R0 = Copy R1"})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Emit([&](EmitterContext& ctx) {
                      Operand* r1 = InstEmitHelper::ReadRegister(ctx, 1);
                      return InstEmitAluHelper::Extend(ctx, r1, static_cast<Decoders::VectorSelect>(c.Select));
                  }),
                  c.Expected)
            << "select " << c.Select;
    }
}

TEST(InstEmitAluHelper, FlagsPredicatesAndCarries) {
    EXPECT_EQ(Emit([](EmitterContext& c) {
                  InstEmitAluHelper::SetZnFlags(c, InstEmitHelper::ReadRegister(c, 1), true, true);
                  InstEmitAluHelper::SetZnFlags(c, InstEmitHelper::ReadRegister(c, 2), false);
                  return nullptr;
              }),
              Lines({"%0 = CompareEqual R1, 0", "%1 = BitwiseAnd %0, CC.Z", "CC.Z = Copy %1", "%2 = CompareLess R1, 0",
                     "CC.N = Copy %2"}));
    EXPECT_EQ(Emit([](EmitterContext& c) {
                  InstEmitAluHelper::SetFPZnFlags(c, InstEmitHelper::ReadRegister(c, 1), true,
                                                  IntermediateRepresentation::Instruction::FP64);
                  return nullptr;
              }),
              Lines({"%0 = ConvertFP32ToFP64 0", "%1 = CompareEqual.FP64 R1, %0", "CC.Z = Copy %1",
                     "%2 = CompareLess.FP64 R1, %0", "CC.N = Copy %2"}));
    EXPECT_EQ(Emit([](EmitterContext& c) {
                  Operand* a = InstEmitHelper::ReadRegister(c, 1);
                  Operand* b = InstEmitHelper::ReadRegister(c, 2);
                  return InstEmitAluHelper::GetPredLogicalOp(c, Decoders::BoolOp::Xor, a, b);
              }),
              Lines({"%0 = BitwiseExclusiveOr R1, R2", "R0 = Copy %0"}));
    EXPECT_EQ(Emit([](EmitterContext& c) {
                  Operand* a = InstEmitHelper::ReadRegister(c, 1);
                  Operand* b = InstEmitHelper::ReadRegister(c, 2);
                  return InstEmitAluHelper::GetPredLogicalOp(c, static_cast<Decoders::BoolOp>(3), a, b);
              }),
              Lines({"R0 = Copy R1"}));
    EXPECT_EQ(Emit([](EmitterContext& c) {
                  Operand* low = InstEmitHelper::ReadRegister(c, 4);
                  Operand* high = InstEmitHelper::ReadRegister(c, 5);
                  auto [newLow, newHigh] = InstEmitAluHelper::NegateLong(c, low, high);
                  Ins::Copy(c, InstEmitHelper::GetDest(c, 6), newLow);
                  return newHigh;
              }),
              Lines({"%0 = BitwiseNot R4", "%1 = Add %0, 1", "%2 = CompareLessU32 %1, %0", "%3 = Negate %2",
                     "%4 = BitwiseNot R5", "%5 = Add %4, %3", "R6 = Copy %1", "R0 = Copy %5"}));
}
