#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Past a handful of entries lookups go through a hash table of positions;
// a hash that sends every key to one slot makes each lookup probe past the
// others. Order, lookups, removal and renaming must agree with a plain list
// on both sides of that switch.
namespace {
struct OneSlot {
    std::size_t operator()(int) const { return 7; }
};
} // namespace

TEST(OrderedMap, LookupsStayRightWhenTheIndexTakesOver) {
    for (int n : {3, 8, 9, 40}) {
        OrderedMap<int, int, OneSlot> m;
        std::vector<int> order;
        for (int k = 0; k < n; k++) {
            int key = (k * 37) % 101;
            EXPECT_TRUE(m.TryAdd(key, k));
            order.push_back(key);
        }
        EXPECT_FALSE(m.TryAdd(order[0], -1));
        ASSERT_TRUE(m.Remove(order[n / 2]));
        order.erase(order.begin() + n / 2);
        ASSERT_TRUE(m.ReplaceKey(order[0], 500));
        order[0] = 500;
        EXPECT_THROW(m.ReplaceKey(500, order.back()), ArgumentException);

        std::vector<int> got;
        for (auto& [k, v] : m) got.push_back(k);
        EXPECT_EQ(got, order) << n;
        for (std::size_t i = 0; i < order.size(); i++) {
            ASSERT_NE(m.Find(order[i]), nullptr) << n << " key " << order[i];
        }
        EXPECT_EQ(m.Find(1000), nullptr);
        EXPECT_FALSE(m.Contains((37 * (n / 2)) % 101));

        OrderedMap<int, int, OneSlot> copy = m; // the copy's index must see its own entries
        m.Clear();
        EXPECT_TRUE(copy.Contains(500));
        EXPECT_FALSE(m.Contains(500));
    }
}
