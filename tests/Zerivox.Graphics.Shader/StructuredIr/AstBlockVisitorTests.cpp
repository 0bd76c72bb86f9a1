// The block list and the walk that both back ends emit code from.
#include <gtest/gtest.h>

#include <string>

#include "StructuredTestSupport.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlockVisitor.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstComment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/OperandInfo.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using namespace StructuredIr;

// Records the walk as text: "<If" / "If>" for entered/left blocks and the
// comment text of every visited node.
struct WalkLog {
    std::string Text;
    void Attach(AstBlockVisitor& visitor) {
        visitor.BlockEntered.push_back(
            [this](const BlockVisitationEventArgs& e) { Text += std::string("<") + AstBlockTypeName(e.Block->Type) + " "; });
        visitor.BlockLeft.push_back(
            [this](const BlockVisitationEventArgs& e) { Text += std::string(AstBlockTypeName(e.Block->Type)) + "> "; });
    }
};

struct Tree {
    AstArena Arena;
    AstBlock* Main = Arena.New<AstBlock>(AstBlockType::Main, nullptr);

    AstComment* Stmt(AstBlock* block, const char* text) {
        AstComment* comment = Arena.New<AstComment>(Arena, text);
        block->Add(comment);
        return comment;
    }
    AstBlock* Block(AstBlock* parent, AstBlockType type) {
        AstBlock* block = Arena.New<AstBlock>(type, nullptr);
        parent->Add(block);
        return block;
    }

    std::string Walk() {
        AstBlockVisitor visitor(Main);
        WalkLog log;
        log.Attach(visitor);
        for (IAstNode* node : visitor.Visit()) log.Text += std::string(As<AstComment>(node)->Comment) + " ";
        return log.Text;
    }
};

TEST(AstBlockVisitorTests, EventsPairAroundEveryNestedBlock) {
    struct Case {
        const char* Name;
        std::function<void(Tree&)> Build;
        const char* Expected;
    };
    const Case cases[] = {
        {"empty main", [](Tree&) {}, ""},
        {"one empty If", [](Tree& t) { t.Block(t.Main, AstBlockType::If); }, "<If If> "},
        {"blocks ending together",
         [](Tree& t) {
             t.Stmt(t.Main, "a");
             AstBlock* loop = t.Block(t.Main, AstBlockType::DoWhile);
             t.Stmt(loop, "b");
             AstBlock* inner = t.Block(loop, AstBlockType::If);
             t.Stmt(inner, "c");
         },
         "a <DoWhile b <If c If> DoWhile> "},
        {"siblings: left before the next is entered",
         [](Tree& t) {
             AstBlock* first = t.Block(t.Main, AstBlockType::If);
             t.Stmt(first, "a");
             AstBlock* second = t.Block(t.Main, AstBlockType::Else);
             t.Stmt(second, "b");
             t.Stmt(t.Main, "c");
         },
         "<If a If> <Else b Else> c "},
        {"empty block directly followed by a nested one",
         [](Tree& t) {
             AstBlock* outer = t.Block(t.Main, AstBlockType::DoWhile);
             t.Block(outer, AstBlockType::If);
             AstBlock* inner = t.Block(outer, AstBlockType::If);
             t.Stmt(inner, "x");
         },
         "<DoWhile <If If> <If x If> DoWhile> "},
    };
    for (const Case& c : cases) {
        Tree tree;
        c.Build(tree);
        EXPECT_EQ(tree.Walk(), c.Expected) << c.Name;
    }
}

TEST(AstBlockVisitorTests, RemovingTheVisitedNodeKeepsTheWalk) {
    Tree t;
    t.Stmt(t.Main, "a");
    AstBlock* block = t.Block(t.Main, AstBlockType::If);
    t.Stmt(block, "b");
    t.Stmt(block, "c");
    t.Stmt(t.Main, "d");

    AstBlockVisitor visitor(t.Main);
    std::string seen;
    for (IAstNode* node : visitor.Visit()) {
        seen += As<AstComment>(node)->Comment;
        node->Parent()->Remove(node);
        // Inserted next to the current node: not visited.
        if (seen == "a") t.Main->AddFirst(t.Arena.New<AstComment>(t.Arena, "new"));
    }
    EXPECT_EQ(seen, "abcd");
    EXPECT_EQ(block->Count(), 0u);
    EXPECT_EQ(t.Main->Count(), 2u);  // "new" and the emptied block
    EXPECT_EQ(visitor.Block(), t.Main);

    // A second enumeration starts again from the main block.
    std::string again;
    for (IAstNode* node : visitor.Visit()) again += As<AstComment>(node)->Comment;
    EXPECT_EQ(again, "new");
}

TEST(AstBlockTests, ListEditsKeepLinksAndRejectDoubleAttachment) {
    Tree t;
    AstComment* a = t.Stmt(t.Main, "a");
    AstComment* c = t.Stmt(t.Main, "c");
    AstComment* b = t.Arena.New<AstComment>(t.Arena, "b");
    t.Main->AddBefore(c, b);
    AstComment* d = t.Arena.New<AstComment>(t.Arena, "d");
    t.Main->AddAfter(c, d);
    AstComment* z = t.Arena.New<AstComment>(t.Arena, "z");
    t.Main->AddFirst(z);
    EXPECT_EQ(t.Walk(), "z a b c d ");
    EXPECT_EQ(AstHelper::Previous(a), z);
    EXPECT_EQ(AstHelper::Next(d), nullptr);
    EXPECT_EQ(t.Main->Count(), 5u);

    AstBlock* other = t.Block(t.Main, AstBlockType::If);
    try {
        other->Add(b);
        FAIL() << "attached twice";
    } catch (const Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Node already belongs to a block.");
    }

    t.Main->Remove(b);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(AstHelper::Next(b), nullptr);
    EXPECT_EQ(AstHelper::Next(a), c);
    other->Add(b);
    EXPECT_EQ(b->Parent(), other);
    EXPECT_THROW(t.Main->AddAfter(b, t.Arena.New<AstComment>(t.Arena, "x")), Common::InvalidOperationException);
}

TEST(AstBlockTests, ConditionsTrackTheirUsers) {
    AstArena arena;
    auto* x = arena.New<AstOperand>(OperandType::LocalVariable, 0);
    auto* y = arena.New<AstOperand>(OperandType::LocalVariable, 0);
    auto* block = arena.New<AstBlock>(AstBlockType::If, x);
    EXPECT_TRUE(x->Uses.Contains(block));

    block->OrCondition(arena, y);
    auto* combined = As<AstOperation>(block->Condition());
    ASSERT_NE(combined, nullptr);
    EXPECT_EQ(combined->Inst, Instruction::LogicalOr);
    EXPECT_FALSE(x->Uses.Contains(block));
    EXPECT_TRUE(x->Uses.Contains(combined));
    EXPECT_TRUE(y->Uses.Contains(combined));

    // Only local variables keep use sets; adding twice keeps one entry.
    auto* constant = arena.New<AstOperand>(OperandType::Constant, 5);
    AstHelper::AddUse(constant, block);
    AstHelper::AddUse(combined, block);
    AstHelper::AddUse(y, block);
    AstHelper::AddUse(y, block);
    EXPECT_EQ(constant->Uses.Count(), 0u);
    EXPECT_EQ(y->Uses.Count(), 2u);
}

TEST(AstModelTests, SmallContracts) {
    AstArena arena;
    auto* op = arena.New<AstOperation>(Instruction::TextureSample, std::initializer_list<IAstNode*>{});
    struct VectorCase {
        int32_t Index;
        Translation::AggregateType Expected;
    };
    for (const VectorCase& c : {VectorCase{0b1011, Translation::AggregateType::FP32 | Translation::AggregateType::Vector3},
                                VectorCase{0b11, Translation::AggregateType::FP32 | Translation::AggregateType::Vector2},
                                VectorCase{0xF, Translation::AggregateType::FP32 | Translation::AggregateType::Vector4},
                                VectorCase{1, Translation::AggregateType::FP32},
                                VectorCase{0, Translation::AggregateType::FP32}}) {
        op->Index = c.Index;
        EXPECT_EQ(op->GetVectorType(Translation::AggregateType::FP32), c.Expected) << c.Index;
    }

    StructuredFunction function(nullptr, "f", Translation::AggregateType::Void,
                                {Translation::AggregateType::S32, Translation::AggregateType::FP32},
                                {Translation::AggregateType::U32});
    EXPECT_EQ(function.GetArgumentType(1), Translation::AggregateType::FP32);
    EXPECT_EQ(function.GetArgumentType(2), Translation::AggregateType::U32);
    EXPECT_THROW(function.GetArgumentType(3), Common::IndexOutOfRangeException);
    EXPECT_THROW(function.GetArgumentType(-1), Common::IndexOutOfRangeException);

    EXPECT_EQ(OperandInfo::GetVarType(OperandType::Undefined), Translation::AggregateType::S32);
    try {
        OperandInfo::GetVarType(OperandType::ConstantBuffer);
        FAIL();
    } catch (const Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Invalid operand type \"ConstantBuffer\".");
    }
    AstOperand local(OperandType::LocalVariable, 0);
    local.VarType = Translation::AggregateType::Bool;
    EXPECT_EQ(OperandInfo::GetVarType(local), Translation::AggregateType::Bool);
}

TEST(AstModelTests, IoDefinitionIdentityAndText) {
    Common::OrderedSet<IoDefinition> set;
    set.Add(IoDefinition(StorageKind::Input, IR::IoVariable::UserDefined, 1, 0));
    set.Add(IoDefinition(StorageKind::Input, IR::IoVariable::UserDefined, 1, 0));
    set.Add(IoDefinition(StorageKind::Output, IR::IoVariable::UserDefined, 1, 0));
    EXPECT_EQ(set.Count(), 2u);
    EXPECT_EQ(IoDefinition(StorageKind::Output, IR::IoVariable::UserDefined, 3, 0).ToString(), "Output.UserDefined.3.0");
    EXPECT_EQ(IoDefinition(static_cast<StorageKind>(99), static_cast<IR::IoVariable>(200), -1, 2).ToString(),
              "99.200.-1.2");
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
