#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/AstNodeSet.h"

using Zerivox::Graphics::Shader::StructuredIr::AstNodeSet;

// Small sets are scanned, larger ones get a hash index, and holes left by
// removals are compacted away. Order, membership and count must agree with
// a plain list across all three, and a removed node re-added goes last.
TEST(AstNodeSetTest, AgreesWithAListAcrossScanIndexAndCompaction) {
    std::vector<int> storage(64);
    for (int n : {2, 8, 9, 40}) {
        AstNodeSet<int> set;
        std::vector<int*> expected;
        for (int i = 0; i < n; i++) {
            EXPECT_TRUE(set.Add(&storage[i]));
            expected.push_back(&storage[i]);
        }
        EXPECT_FALSE(set.Add(&storage[0]));
        for (int i = 1; i < n; i += 2) {
            ASSERT_TRUE(set.Remove(&storage[i])) << n;
            std::erase(expected, &storage[i]);
        }
        EXPECT_FALSE(set.Remove(&storage[1]));
        EXPECT_FALSE(set.Contains(nullptr));
        EXPECT_TRUE(set.Add(&storage[1]));
        expected.push_back(&storage[1]);

        EXPECT_EQ(set.Snapshot(), expected) << n;
        EXPECT_EQ(set.Count(), expected.size());
        for (int* node : expected) EXPECT_TRUE(set.Contains(node)) << n;
        EXPECT_EQ(set.First(), &storage[0]);
    }
}

// Long runs of interleaved adds and removals keep the hash index dense with
// collisions, so a removal that loses or strands a colliding entry shows up
// as a wrong membership answer or a wrong order.
TEST(AstNodeSetTest, AgreesWithAListUnderRandomAddsAndRemovals) {
    std::vector<int> storage(300);
    AstNodeSet<int> set;
    std::vector<int*> expected;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int step = 0; step < 20000; step++) {
        int* node = &storage[next() % storage.size()];
        bool present = std::find(expected.begin(), expected.end(), node) != expected.end();
        ASSERT_EQ(set.Contains(node), present) << step;
        if (next() % 3 == 0) {
            ASSERT_EQ(set.Remove(node), present) << step;
            std::erase(expected, node);
        } else {
            ASSERT_EQ(set.Add(node), !present) << step;
            if (!present) expected.push_back(node);
        }
        ASSERT_EQ(set.Count(), expected.size()) << step;
    }
    EXPECT_EQ(set.Snapshot(), expected);
}
