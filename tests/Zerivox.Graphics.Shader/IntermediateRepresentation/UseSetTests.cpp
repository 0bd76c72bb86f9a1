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

// A walk that asks for end() at every step, removing as it goes, must end
// both for a set holding its one reader in its own word and for a larger one.
TEST(UseSetTest, WalkRemovingEveryReaderEnds) {
    for (int readers : {1, 2, 5}) {
        SCOPED_TRACE(readers);
        IrArena arena;
        Operand* x = OperandHelper::MakeLocal(arena);
        for (int i = 0; i < readers; i++) {
            arena.NewOperation(Instruction::Copy, OperandHelper::MakeLocal(arena), {x});
        }
        int visited = 0;
        auto it = x->Uses.begin();
        for (; visited < readers && it != x->Uses.end(); ++it) {
            EXPECT_TRUE(x->Uses.Remove(*it));
            visited++;
        }
        EXPECT_EQ(visited, readers);
        EXPECT_TRUE(it == x->Uses.end());
        EXPECT_TRUE(x->Uses.empty());
        EXPECT_EQ(x->Uses.First(), nullptr);
        EXPECT_TRUE(x->Uses.ToVector().empty());
    }
}

// The one reader leaving frees the word for the next; readers after that
// still come in insertion order, and a node that never read x is not found.
TEST(UseSetTest, ReaderLeavingTheWordMakesRoomInOrder) {
    IrArena arena;
    Operand* x = OperandHelper::MakeLocal(arena);
    Operation* a = arena.NewOperation(Instruction::Copy, OperandHelper::MakeLocal(arena), {x});
    Operand* zero = OperandHelper::MakeConstant(arena, 0);
    Operation* b = arena.NewOperation(Instruction::Copy, OperandHelper::MakeLocal(arena), {zero});
    EXPECT_FALSE(x->Uses.Remove(b));
    EXPECT_EQ(x->Uses.RefCount(b), 0u);
    EXPECT_TRUE(x->Uses.Remove(a));
    EXPECT_FALSE(x->Uses.Remove(a));
    EXPECT_EQ(x->Uses.Count(), 0);

    EXPECT_TRUE(x->Uses.Add(b));
    EXPECT_EQ(x->Uses.First(), b);
    EXPECT_EQ(x->Uses.RefCount(b), 1u);
    EXPECT_TRUE(x->Uses.Add(a));
    EXPECT_FALSE(x->Uses.Add(a));
    EXPECT_EQ(x->Uses.ToVector(), (std::vector<INode*>{b, a}));
    EXPECT_EQ(x->Uses.RefCount(a), 2u);
    EXPECT_TRUE(x->Uses.Remove(b));
    EXPECT_EQ(x->Uses.First(), a);
}
