// Literals: integers in decimal near zero and hexadecimal beyond, floats
// that always read as floats and read back to the same bits.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"

namespace {

using Zerivox::Graphics::Shader::CodeGen::Glsl::NumberFormatter;
using Zerivox::Graphics::Shader::Translation::AggregateType;

TEST(GlslNumberFormatter, IntegerLiterals) {
    struct Case {
        int32_t Value;
        const char* Signed;
        const char* Unsigned;
    };
    const Case cases[] = {
        {0, "0", "0u"},
        {256, "256", "256u"},
        {257, "0x101", "0x101u"},
        {-256, "-256", "0xFFFFFF00u"},
        {-257, "0xFFFFFEFF", "0xFFFFFEFFu"},
        {-1, "-1", "0xFFFFFFFFu"},
        {std::numeric_limits<int32_t>::min(), "0x80000000", "0x80000000u"},
        {0x7FFFFFFF, "0x7FFFFFFF", "0x7FFFFFFFu"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberFormatter::FormatInt(c.Value), c.Signed) << c.Value;
        EXPECT_EQ(NumberFormatter::FormatInt(c.Value, AggregateType::S32), c.Signed) << c.Value;
        EXPECT_EQ(NumberFormatter::FormatInt(c.Value, AggregateType::U32), c.Unsigned) << c.Value;
        EXPECT_EQ(NumberFormatter::FormatUint(static_cast<uint32_t>(c.Value)), c.Unsigned) << c.Value;
    }
}

TEST(GlslNumberFormatter, FloatLiterals) {
    struct Case {
        float Value;
        const char* Text;
    };
    const Case cases[] = {
        {1.0f, "1.0"},
        {3.0f, "3.0"},
        {0.5f, "0.5"},
        {-0.0f, "-0.0"},
        {0.0f, "0.0"},
        {-2.5f, "-2.5"},
        {100000000.0f, "100000000.0"},
        {1e9f, "1E+09"},
        {1e10f, "1E+10"},
        {0.1f, "0.100000001"},
        {0.0001f, "9.99999975E-05"},
        {0.001f, "0.00100000005"},
        {123456789.0f, "123456792.0"},
        {std::numeric_limits<float>::max(), "3.40282347E+38"},
        {std::numeric_limits<float>::denorm_min(), "1.40129846E-45"},
        {-std::numeric_limits<float>::min(), "-1.17549435E-38"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_TRUE(NumberFormatter::TryFormatFloat(c.Value, text)) << c.Text;
        EXPECT_EQ(text, c.Text);
        EXPECT_EQ(NumberFormatter::FormatFloat(c.Value), c.Text);
    }
}

TEST(GlslNumberFormatter, NaNAndInfinitiesHaveNoLiteral) {
    for (uint32_t bits : {0x7F800000u, 0xFF800000u, 0x7FC00000u, 0xFFFFFFFFu, 0x7F800001u}) {
        std::string text = "unchanged";
        EXPECT_FALSE(NumberFormatter::TryFormatFloat(std::bit_cast<float>(bits), text)) << bits;
        EXPECT_FALSE(NumberFormatter::TryFormat(static_cast<int32_t>(bits), AggregateType::FP32, text)) << bits;
        try {
            NumberFormatter::FormatFloat(std::bit_cast<float>(bits));
            ADD_FAILURE() << bits;
        } catch (const Zerivox::Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), "Failed to convert float value to string.");
        }
    }
}

// Every finite float's text reads back to exactly its bits, and reads as a
// float (a point or an exponent) - over a spread of bit patterns that covers
// every exponent, the subnormals and both signs.
TEST(GlslNumberFormatter, FloatTextsReadBackToTheSameBits) {
    uint32_t bits = 0x12345678u;
    for (int i = 0; i < 300000; i++) {
        bits = bits * 1664525u + 1013904223u;
        float value = std::bit_cast<float>(bits);
        if (!std::isfinite(value))
            continue;
        std::string text;
        ASSERT_TRUE(NumberFormatter::TryFormatFloat(value, text));
        ASSERT_NE(text.find_first_of(".E"), std::string::npos) << text;
        float back = 0;
        auto result = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(result.ec, std::errc()) << text;
        ASSERT_EQ(result.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(std::bit_cast<uint32_t>(back), bits) << text;
    }
}

TEST(GlslNumberFormatter, TypedLiterals) {
    struct Case {
        int32_t Value;
        AggregateType Type;
        const char* Text;
    };
    const Case cases[] = {
        {0x3F800000, AggregateType::FP32, "1.0"}, {2, AggregateType::Bool, "true"},
        {0, AggregateType::Bool, "false"},        {-1, AggregateType::U32, "0xFFFFFFFFu"},
        {-5, AggregateType::S32, "-5"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_TRUE(NumberFormatter::TryFormat(c.Value, c.Type, text));
        EXPECT_EQ(text, c.Text);
    }
    struct Bad {
        AggregateType Type;
        const char* Message;
    };
    const Bad bad[] = {
        {AggregateType::FP64, "Invalid variable type \"FP64\"."},
        {AggregateType::Void, "Invalid variable type \"Void\"."},
        {AggregateType::FP32 | AggregateType::Vector2, "Invalid variable type \"FP32, Vector2\"."},
    };
    for (const Bad& b : bad) {
        std::string text;
        try {
            NumberFormatter::TryFormat(1, b.Type, text);
            ADD_FAILURE() << b.Message;
        } catch (const Zerivox::Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), b.Message);
        }
    }
    EXPECT_THROW(NumberFormatter::FormatInt(1, AggregateType::FP32), Zerivox::Common::ArgumentException);
}

} // namespace
