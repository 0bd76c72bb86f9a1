#include <gtest/gtest.h>

#include <climits>

#include "Zerivox.Common/BitUtils.h"
#include "Zerivox.Common/Exceptions.h"

using Zerivox::Common::BitUtils;

TEST(BitUtils, DivRoundUpOfSizesAndWrappedSums) {
    struct Case {
        int32_t Value, Divisor, Expected;
    };
    const Case cases[] = {
        {0, 4, 0},
        {1, 4, 1},
        {4, 4, 1},
        {5, 4, 2},
        {128, 4, 32},
        {4097, 4, 1025},
        // Truncating division of the wrapped sum, as callers rely on for
        // sizes that are already checked to be small.
        {-4, 4, 0},
        {INT32_MAX, 1, INT32_MAX},
        {INT32_MAX, 4, (INT32_MIN + 2) / 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BitUtils::DivRoundUp(c.Value, c.Divisor), c.Expected) << c.Value << " / " << c.Divisor;
    }
}

TEST(BitUtils, DivRoundUpRejectsDivisionThatWouldTrap) {
    EXPECT_THROW(BitUtils::DivRoundUp(5, 0), Zerivox::Common::ArgumentOutOfRangeException);
    // The sum (INT32_MIN + 2) + (-1) - 1 is INT32_MIN, and INT32_MIN / -1 has
    // no 32-bit quotient.
    EXPECT_THROW(BitUtils::DivRoundUp(INT32_MIN + 2, -1), Zerivox::Common::OverflowException);
    EXPECT_EQ(BitUtils::DivRoundUp(1, -1), 1);
}
