#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "driver/JobJson.h"

using namespace Zerivox::FenkVanter;
using Zerivox::Common::JsonException;

namespace {
std::string Nested(int depth) {
    return std::string(static_cast<std::size_t>(depth), '[') + std::string(static_cast<std::size_t>(depth), ']');
}
} // namespace

TEST(JobJson, RejectsMalformedJsonAndAcceptsStrictJson) {
    struct Case {
        std::string Text;
        bool SkipBom;
        bool Ok;
    };
    const Case cases[] = {
        {R"([{"key":"a"}])", false, true},
        {"\xEF\xBB\xBF[]", true, true},
        {"\xEF\xBB\xBF[]", false, false}, // only the jobs file may start with a byte-order mark
        {"[1,]", true, false},
        {R"({"a":1,})", true, false},
        {"[] // note", true, false},
        {"/* c */ []", true, false},
        {"[1] [2]", true, false},
        {"", true, false},
        {"[\"\xFF\"]", true, false},    // not UTF-8
        {R"(["\ud800"])", true, false}, // lone surrogate
        {Nested(MaxJsonDepth), true, true},
        {Nested(MaxJsonDepth + 1), true, false},
        {Nested(100000), true, false}, // rejected without deep recursion
        // The parser would stop at a NUL and ignore the rest.
        {std::string("[1]\0garbage", 11), true, false},
        {std::string("[1,\0 2]", 7), true, false},
        {std::string("[\"a\0\"]", 6), true, false},
        {"[1] x", true, false},
    };
    for (const Case& c : cases) {
        std::string shown = c.Text.substr(0, 40);
        if (c.Ok) {
            EXPECT_NO_THROW(ParseJson(c.Text, c.SkipBom)) << shown;
        } else {
            EXPECT_THROW(ParseJson(c.Text, c.SkipBom), JsonException) << shown;
        }
    }
}

TEST(JobJson, ReadsTypedMembersAndRejectsOutOfRange) {
    Json j = ParseJson(R"({"i":-5,"max":2147483647,"min":-2147483648,"big":2147483648,"small":-2147483649,
        "f":1.0,"e":1e2,"s":"x","b":true,"n":null,"huge":123456789012345678901234567890})",
                       false);
    EXPECT_EQ(GetInt(j, "i"), -5);
    EXPECT_EQ(GetInt(j, "max"), 2147483647);
    EXPECT_EQ(GetInt(j, "min"), INT32_MIN);
    for (const char* bad : {"big", "small", "f", "e", "s", "b", "huge"}) {
        EXPECT_THROW(GetInt(j, bad), JsonException) << bad;
    }
    EXPECT_EQ(GetInt(j, "n"), std::nullopt); // null counts as absent
    EXPECT_EQ(GetInt(j, "absent"), std::nullopt);
    EXPECT_EQ(GetString(j, "s"), "x");
    EXPECT_THROW(GetString(j, "i"), JsonException);
    EXPECT_EQ(GetBool(j, "b"), true);
    EXPECT_THROW(GetBool(j, "s"), JsonException);
    // Member names match exactly.
    EXPECT_EQ(GetString(j, "S"), std::nullopt);
}

TEST(JobJson, ObjectsKeepDocumentOrder) {
    // A repeated name keeps its first place and takes its last value, in
    // small objects and in large ones alike.
    for (int extra : {0, 20}) {
        std::string text = R"({"3":"a","1":"b","2":"c")";
        std::string expected = "312";
        for (int i = 0; i < extra; i++) {
            text += ",\"x" + std::to_string(i) + "\":" + std::to_string(i);
            expected += "x" + std::to_string(i);
        }
        text += R"(,"1":{"n":[1,{"1":2,"1":3}]}})";
        Json j = ParseJson(text, false);
        std::string order;
        for (auto it = j.begin(); it != j.end(); ++it)
            order += it.key();
        EXPECT_EQ(order, expected);
        EXPECT_EQ(j["1"].dump(), R"({"n":[1,{"1":3}]})");
        EXPECT_EQ(j.size(), 3u + static_cast<std::size_t>(extra));
    }
}

// Objects and arrays of millions of members parse in linear time: a
// quadratic parser takes minutes for this one.
TEST(JobJson, LargeObjectsParseInLinearTime) {
    constexpr int Members = 300000;
    std::string text = "{";
    for (int i = 0; i < Members; i++)
        text += (i ? ",\"" : "\"") + std::to_string(i) + "\":" + std::to_string(i);
    text += "}";
    auto start = std::chrono::steady_clock::now();
    Json j = ParseJson(text, false);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(j.size(), static_cast<std::size_t>(Members));
    EXPECT_EQ(GetInt(j, "299999"), 299999);
    EXPECT_LT(seconds, 10.0);
}

TEST(JobJson, QuotedUserTextCannotSplitALine) {
    EXPECT_EQ(QuoteForMessage("a\r\nb\x7F"), "\"a\\x0D\\x0Ab\\x7F\"");
    EXPECT_EQ(QuoteForMessage("普通"), "\"普通\"");
}
