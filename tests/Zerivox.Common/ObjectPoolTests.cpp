#include <gtest/gtest.h>

#include <memory>

#include "Zerivox.Common/ObjectPool.h"

using Zerivox::Common::ObjectPool;

namespace {
struct Item {
    int Value = 0;
};
} // namespace

TEST(ObjectPool, HandsOutReleasedObjectsUnchangedAndMakesNewOnesWhenEmpty) {
    int made = 0;
    ObjectPool<Item> pool([&] {
        ++made;
        return std::make_unique<Item>();
    });
    auto a = pool.Allocate();
    a->Value = 7;
    Item* raw = a.get();
    pool.Release(std::move(a));
    auto b = pool.Allocate();
    EXPECT_EQ(b.get(), raw);
    EXPECT_EQ(b->Value, 7); // resetting is the caller's business
    auto c = pool.Allocate();
    EXPECT_NE(c.get(), raw);
    EXPECT_EQ(made, 2);
}

TEST(ObjectPool, LimitDropsReleasesBeyondIt) {
    ObjectPool<Item> limited([] { return std::make_unique<Item>(); }, 1);
    auto a = limited.Allocate();
    auto b = limited.Allocate();
    limited.Release(std::move(a));
    limited.Release(std::move(b)); // the bag already holds one: dropped
    EXPECT_EQ(limited.Count(), 1u);

    ObjectPool<Item> unlimited([] { return std::make_unique<Item>(); }, -1);
    for (int i = 0; i < 5; ++i)
        unlimited.Release(std::make_unique<Item>());
    EXPECT_EQ(unlimited.Count(), 5u);

    ObjectPool<Item> none([] { return std::make_unique<Item>(); }, 0);
    none.Release(std::make_unique<Item>());
    EXPECT_EQ(none.Count(), 0u);
}
