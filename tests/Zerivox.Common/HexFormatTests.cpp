#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "Zerivox.Common/HexFormat.h"

using Zerivox::Common::AppendHex;
using Zerivox::Common::HexCase;
using Zerivox::Common::PutHex;
using Zerivox::Common::ToHex;

TEST(HexFormatTest, DigitsCaseAndPadding) {
    struct Case {
        uint64_t Value;
        int MinDigits;
        HexCase Letters;
        const char* Expected;
    };
    const Case cases[] = {
        {0, 1, HexCase::Upper, "0"},
        {0, 0, HexCase::Upper, "0"},
        {0, -5, HexCase::Upper, "0"},
        {0xABCDEF, 1, HexCase::Upper, "ABCDEF"},
        {0xABCDEF, 1, HexCase::Lower, "abcdef"},
        {0x10, 6, HexCase::Upper, "000010"},
        {0x1234567, 6, HexCase::Upper, "1234567"},
        {0xABC, 1, HexCase::Lower, "abc"},
        {0x5, 3, HexCase::Lower, "005"},
        {0x8000000000000000u, 1, HexCase::Upper, "8000000000000000"},
        {0xFFFFFFFFu, 1, HexCase::Upper, "FFFFFFFF"},
        {UINT64_MAX, 1, HexCase::Lower, "ffffffffffffffff"},
        {1, 16, HexCase::Upper, "0000000000000001"},
        // More digits than a 64-bit value has are clamped, not written past the buffer.
        {1, 40, HexCase::Upper, "0000000000000001"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToHex(c.Value, c.MinDigits, c.Letters), c.Expected) << c.Value << " / " << c.MinDigits;
    }
}

TEST(HexFormatTest, AppendAndPutWriteInPlace) {
    std::string text = "at 0x";
    AppendHex(text, 0x2A0, 6);
    EXPECT_EQ(text, "at 0x0002A0");

    char buffer[20];
    std::memset(buffer, '#', sizeof buffer);
    char* end = PutHex(buffer, UINT64_MAX, 40);
    EXPECT_EQ(end - buffer, 16);
    EXPECT_EQ(buffer[16], '#');
}
