#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstNodeSet.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"

using Zerivox::Graphics::Shader::IntermediateRepresentation::OperandType;
using Zerivox::Graphics::Shader::StructuredIr::AstArena;
using Zerivox::Graphics::Shader::StructuredIr::AstNodeSet;
using Zerivox::Graphics::Shader::StructuredIr::AstOperand;
using Zerivox::Graphics::Shader::StructuredIr::IAstNode;

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
template <typename T>
void CheckRandomAddsAndRemovals(const std::vector<T*>& nodes) {
    AstNodeSet<T> set;
    std::vector<T*> expected;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int step = 0; step < 20000; step++) {
        T* node = nodes[next() % nodes.size()];
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

TEST(AstNodeSetTest, AgreesWithAListUnderRandomAddsAndRemovals) {
    std::vector<int> storage(300);
    std::vector<int*> nodes;
    for (int& value : storage) nodes.push_back(&value);
    CheckRandomAddsAndRemovals(nodes);
}

// A set of nodes made in an AST arena keeps its entries and index in that
// arena, which releases them without the set's destructor: growth and
// re-indexing there must give the same answers as on the heap (and, under
// the leak checker, leave nothing behind).
TEST(AstNodeSetTest, SetOfArenaNodesAgreesWithAList) {
    AstArena arena;
    std::vector<IAstNode*> nodes;
    for (int32_t i = 0; i < 300; i++) nodes.push_back(arena.New<AstOperand>(OperandType::Constant, i));
    CheckRandomAddsAndRemovals(nodes);
    // The same set kept in an arena node, as a local's use set is.
    AstOperand* local = arena.New<AstOperand>(OperandType::LocalVariable, 0);
    for (IAstNode* node : nodes) local->Uses.Add(node);
    for (std::size_t i = 0; i < nodes.size(); i += 2) local->Uses.Remove(nodes[i]);
    std::vector<IAstNode*> odd;
    for (std::size_t i = 1; i < nodes.size(); i += 2) odd.push_back(nodes[i]);
    EXPECT_EQ(local->Uses.Snapshot(), odd);
}

// A set filled by AddNew alone has no hash index until a lookup needs one;
// the first lookup, removal or checked Add of such a set must build it from
// every entry, whichever size it reached and wherever its storage lives.
TEST(AstNodeSetTest, SetFilledWithoutLookupsAnswersLikeAList) {
    AstArena arena;
    std::vector<AstOperand*> nodes;
    for (int32_t i = 0; i < 100; i++) nodes.push_back(arena.New<AstOperand>(OperandType::Constant, i));
    for (AstArena* storage : {static_cast<AstArena*>(nullptr), &arena}) {
        for (std::size_t n : {std::size_t{3}, std::size_t{9}, std::size_t{33}, std::size_t{100}}) {
            AstNodeSet<AstOperand> set;
            std::vector<AstOperand*> expected(nodes.begin(), nodes.begin() + static_cast<std::ptrdiff_t>(n));
            for (AstOperand* node : expected) set.AddNew(node, storage);
            EXPECT_EQ(set.Snapshot(), expected) << n;
            EXPECT_FALSE(set.Add(nodes[n - 1], storage)) << n;
            if (n < nodes.size()) {
                EXPECT_FALSE(set.Contains(nodes[n])) << n;
            }
            // Entries appended after the index exists must land in it.
            for (std::size_t i = n; i < nodes.size() && i < n + 5; i++) {
                set.AddNew(nodes[i], storage);
                expected.push_back(nodes[i]);
            }
            for (std::size_t i = 0; i < expected.size(); i += 2) ASSERT_TRUE(set.Remove(expected[i])) << n << " " << i;
            std::vector<AstOperand*> kept;
            for (std::size_t i = 1; i < expected.size(); i += 2) kept.push_back(expected[i]);
            EXPECT_EQ(set.Snapshot(), kept) << n;
            for (AstOperand* node : kept) EXPECT_TRUE(set.Contains(node)) << n;
            EXPECT_FALSE(set.Contains(expected[0])) << n;
        }
    }
}
