#include <gtest/gtest.h>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;

TEST(PhiNodeTest, KeepsOneSourcePerBlockAndMovesUses) {
    IrArena arena;
    BasicBlock* b1 = arena.NewBlock();
    BasicBlock* b2 = arena.NewBlock();
    Operand* dest = OperandHelper::MakeLocal(arena);
    Operand* x = OperandHelper::MakeLocal(arena);
    Operand* y = OperandHelper::MakeLocal(arena);
    PhiNode* phi = arena.NewPhi(dest);
    EXPECT_EQ(dest->Definition, phi);

    phi->AddSource(b1, x);
    phi->AddSource(b1, y);  // ignored: b1 already has a source
    phi->AddSource(b2, x);
    ASSERT_EQ(phi->SourcesCount(), 2);
    EXPECT_EQ(phi->GetSource(0), x);
    EXPECT_FALSE(y->Uses.Contains(phi));
    EXPECT_TRUE(phi->HasBlock(b2));

    // x comes in from both blocks: replacing one source keeps it listed.
    phi->SetSource(0, y);
    EXPECT_TRUE(x->Uses.Contains(phi));
    EXPECT_TRUE(y->Uses.Contains(phi));
    phi->SetSource(1, y);
    EXPECT_FALSE(x->Uses.Contains(phi));

    INode* node = phi;
    EXPECT_EQ(node->GetDest(0), dest);
    EXPECT_EQ(node->DestsCount(), 1);
    EXPECT_THROW(node->GetDest(1), Zerivox::Common::ArgumentOutOfRangeException);
    EXPECT_THROW(node->GetSource(2), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(arena.NewPhi(nullptr), Zerivox::Common::ArgumentException);
}
