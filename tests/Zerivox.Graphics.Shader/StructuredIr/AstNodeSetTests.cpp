#include <gtest/gtest.h>

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
