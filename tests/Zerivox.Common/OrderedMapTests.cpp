#include <gtest/gtest.h>

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/OrderedMap.h"

using namespace Zerivox::Common;

TEST(OrderedMap, IteratesInFirstInsertionOrderAndReplacementKeepsPlace) {
    OrderedMap<std::string, int> m;
    m.Set("c", 1);
    m.Set("a", 2);
    m.Set("b", 3);
    EXPECT_FALSE(m.Set("c", 9)); // replaced, not moved
    m.Remove("a");
    m.Set("a", 4); // re-inserted at the end
    std::string order;
    for (auto& [k, v] : m) order += k + std::to_string(v);
    EXPECT_EQ(order, "c9b3a4");
    EXPECT_THROW(m.At("zz"), KeyNotFoundException);
}

TEST(OrderedSet, KeepsFirstInsertionOrder) {
    OrderedSet<int> s;
    for (int v : {5, 1, 5, 3, 1}) s.Add(v);
    s.Remove(1);
    s.Add(1);
    std::vector<int> got(s.begin(), s.end());
    EXPECT_EQ(got, (std::vector<int>{5, 3, 1}));
}

TEST(ErrorText, KindThenFirstLineKeepingCarriageReturn) {
    EXPECT_EQ(ErrorText(InvalidOperationException("a\r\nb")), "InvalidOperationException: a\r");
    EXPECT_EQ(ErrorText(NotImplementedException("")), "NotImplementedException: ");
    EXPECT_EQ(ErrorText(ArgumentOutOfRangeException("x")), "ArgumentOutOfRangeException: x");
}
