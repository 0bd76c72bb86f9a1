#include <gtest/gtest.h>

#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;

// Large sets switch to an index and compact their blanks; the order seen by
// passes must stay first-insertion order through all of it.
TEST(UseSetTest, OrderSurvivesGrowthRemovalAndCompaction) {
    IrArena arena;
    Operand* x = OperandHelper::MakeLocal(arena);
    std::vector<INode*> users;
    for (int i = 0; i < 100; i++) {
        users.push_back(arena.NewOperation(Instruction::Copy, OperandHelper::MakeLocal(arena), {x}));
    }
    std::vector<INode*> expected;
    for (int i = 0; i < 100; i++) {
        if (i % 3 != 0) {
            ASSERT_TRUE(x->Uses.Remove(users[i]));
        } else {
            expected.push_back(users[i]);
        }
    }
    EXPECT_EQ(x->Uses.Count(), static_cast<int>(expected.size()));

    // Re-adding a removed node puts it last; adding a listed one changes nothing.
    EXPECT_TRUE(x->Uses.Add(users[1]));
    EXPECT_FALSE(x->Uses.Add(users[0]));
    expected.push_back(users[1]);
    EXPECT_EQ(x->Uses.ToVector(), expected);
    EXPECT_EQ(x->Uses.First(), users[0]);

    // A walk may remove the node it is visiting.
    int visited = 0;
    for (INode* user : x->Uses) {
        visited++;
        while (x->Uses.Contains(user)) x->Uses.Remove(user);
    }
    EXPECT_EQ(visited, static_cast<int>(expected.size()));
    EXPECT_TRUE(x->Uses.empty());
    EXPECT_FALSE(x->Uses.Remove(users[0]));
}

// The first readers are kept inside the set itself; moving them out when the
// set grows must keep their per-source counts.
TEST(UseSetTest, CountsSurviveTheMoveOutOfInlineStorage) {
    IrArena arena;
    Operand* x = OperandHelper::MakeLocal(arena);
    Operation* twice = arena.NewOperation(Instruction::Add, OperandHelper::MakeLocal(arena), {x, x});
    Operation* once = arena.NewOperation(Instruction::Copy, OperandHelper::MakeLocal(arena), {x});
    for (int i = 0; i < 5; i++) arena.NewOperation(Instruction::Copy, OperandHelper::MakeLocal(arena), {x});
    EXPECT_EQ(x->Uses.Count(), 7);
    EXPECT_EQ(x->Uses.RefCount(twice), 2u);
    EXPECT_EQ(x->Uses.ToVector()[1], once);
    EXPECT_FALSE(x->Uses.Remove(twice)); // still read by the other source
    EXPECT_TRUE(x->Uses.Remove(twice));
    EXPECT_EQ(x->Uses.First(), once);
}
