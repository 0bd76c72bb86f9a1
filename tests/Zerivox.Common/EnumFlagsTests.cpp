#include <gtest/gtest.h>

#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"

namespace {

// Narrow underlying type on purpose: ~ must wrap within 8 bits.
enum class Narrow : uint8_t { None = 0, A = 0x01, B = 0x02, AB = 0x03, High = 0x80 };
ZV_ENUM_FLAGS(Narrow)

enum class Signed : int32_t { None = 0, Low = 1, Top = INT32_MIN };
ZV_ENUM_FLAGS(Signed)

uint32_t Bits(Narrow value) { return static_cast<uint32_t>(value); }

} // namespace

TEST(EnumFlagsTest, OperatorsStayWithinTheUnderlyingType) {
    EXPECT_EQ(Bits(Narrow::A | Narrow::B), 0x03u);
    EXPECT_EQ(Bits(Narrow::AB & Narrow::B), 0x02u);
    EXPECT_EQ(Bits(Narrow::AB ^ Narrow::A), 0x02u);
    EXPECT_EQ(Bits(~Narrow::A), 0xFEu);
    EXPECT_EQ(Bits(~Narrow::None), 0xFFu);
    Narrow value = Narrow::High;
    value |= Narrow::A;
    EXPECT_EQ(Bits(value), 0x81u);
    value &= ~Narrow::High;
    EXPECT_EQ(Bits(value), 0x01u);
    value ^= Narrow::AB;
    EXPECT_EQ(Bits(value), 0x02u);
    EXPECT_EQ(static_cast<int32_t>(Signed::Top | Signed::Low), INT32_MIN + 1);
    EXPECT_EQ(static_cast<int32_t>(~Signed::Top), INT32_MAX);
}

TEST(EnumFlagsTest, HasFlagNeedsEveryBitOfTheFlag) {
    struct Case {
        Narrow Value;
        Narrow Flag;
        bool Expected;
    };
    const Case cases[] = {
        {Narrow::AB, Narrow::A, true},   {Narrow::A, Narrow::AB, false},       {Narrow::AB, Narrow::AB, true},
        {Narrow::B, Narrow::A, false},   {Narrow::None, Narrow::None, true},   {Narrow::High, Narrow::None, true},
        {Narrow::High | Narrow::A, Narrow::High, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasFlag(c.Value, c.Flag), c.Expected) << Bits(c.Value) << " has " << Bits(c.Flag);
    }
    static_assert(HasFlag(Signed::Top | Signed::Low, Signed::Top));
}
