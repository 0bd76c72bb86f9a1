// Goto elimination on hand-built trees: where gotos go and what guards the
// statements they skip.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "StructuredTestSupport.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/GotoElimination.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using namespace StructuredIr;

// A tree under construction plus its pending gotos. Statements are stores of
// a tag (printed "Store(0, tag, tag)"); conditions are Bool locals c0, c1...
struct GotoTree {
    AstArena Arena;
    AstBlock* Main = Arena.New<AstBlock>(AstBlockType::Main, nullptr);
    std::vector<GotoStatement> Gotos;
    std::vector<AstOperand*> Conds;

    AstOperand* Local() { return Arena.New<AstOperand>(OperandType::LocalVariable, 0); }
    AstOperand* Const(int32_t v) { return Arena.New<AstOperand>(OperandType::Constant, v); }

    void Stmt(AstBlock* block, int32_t tag) {
        block->Add(Arena.New<AstOperation>(Instruction::Store, std::initializer_list<IAstNode*>{Const(0), Const(tag), Const(tag)}));
    }
    AstBlock* Block(AstBlock* parent, AstBlockType type, IAstNode* cond = nullptr) {
        AstBlock* block = Arena.New<AstBlock>(type, cond);
        parent->Add(block);
        return block;
    }
    AstOperand* Cond() {
        Conds.push_back(Local());
        return Conds.back();
    }
    // A label for a new goto temp, placed at the end of `block`.
    AstAssignment* Label(AstBlock* block) {
        AstAssignment* label = Arena.New<AstAssignment>(Local(), Const(0));
        block->Add(label);
        return label;
    }
    AstAssignment* DetachedLabel() { return Arena.New<AstAssignment>(Local(), Const(0)); }
    // temp = cond; goto (conditional, unless cond is null).
    void Goto(AstBlock* block, AstAssignment* label, IAstNode* cond, bool isLoop) {
        IAstNode* taken = cond != nullptr ? cond : Const(-1);
        block->Add(Arena.New<AstAssignment>(label->Destination(), taken));
        auto* jump = Arena.New<AstOperation>(cond != nullptr ? Instruction::BranchIfTrue : Instruction::Branch,
                                             std::initializer_list<IAstNode*>{});
        block->Add(jump);
        Gotos.push_back(GotoStatement{jump, label, isLoop});
    }

    std::string Eliminate() {
        GotoElimination::Eliminate(Arena, Gotos);
        AstPrinter printer;
        for (AstOperand* c : Conds) printer.Expr(c);  // name the conditions first: v0, v1...
        return printer.Print(Main);
    }
};

TEST(GotoEliminationTests, Shapes) {
    struct Case {
        const char* Name;
        std::function<void(GotoTree&)> Build;
        const char* Expected;
    };
    const Case cases[] = {
        {"label right after the goto: nothing to guard",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             t.Goto(t.Main, label, t.Cond(), false);
             t.Main->Add(label);
         },
         "v1 = v0\nv1 = 0\n"},
        {"forward goto in one block",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             t.Goto(t.Main, label, t.Cond(), false);
             t.Stmt(t.Main, 1);
             t.Stmt(t.Main, 2);
             t.Main->Add(label);
             t.Stmt(t.Main, 3);
         },
         "v1 = v0\nIf LogicalNot(v1) {\n  Store(0, 1, 1)\n  Store(0, 2, 2)\n}\nv1 = 0\nStore(0, 3, 3)\n"},
        {"backward goto in one block",
         [](GotoTree& t) {
             t.Stmt(t.Main, 1);
             AstAssignment* label = t.Label(t.Main);
             t.Stmt(t.Main, 2);
             t.Goto(t.Main, label, t.Cond(), true);
             t.Stmt(t.Main, 3);
         },
         "Store(0, 1, 1)\nDoWhile v1 {\n  v1 = 0\n  Store(0, 2, 2)\n  v1 = v0\n}\nStore(0, 3, 3)\n"},
        {"out of a loop to a label after it",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             AstOperand* c = t.Cond();
             AstBlock* loop = t.Block(t.Main, AstBlockType::DoWhile, t.Cond());
             t.Stmt(loop, 1);
             t.Goto(loop, label, c, false);
             t.Stmt(loop, 2);
             t.Stmt(t.Main, 3);
             t.Main->Add(label);
         },
         "DoWhile v1 {\n  Store(0, 1, 1)\n  v2 = v0\n  If v2 {\n    LoopBreak()\n  }\n  Store(0, 2, 2)\n}\n"
         "If LogicalNot(v2) {\n  Store(0, 3, 3)\n}\nv2 = 0\n"},
        {"into an If further down",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             t.Goto(t.Main, label, t.Cond(), false);
             t.Stmt(t.Main, 1);
             AstBlock* block = t.Block(t.Main, AstBlockType::If, t.Cond());
             t.Stmt(block, 2);
             block->Add(label);
             t.Stmt(block, 3);
         },
         "v2 = v0\nIf LogicalNot(v2) {\n  Store(0, 1, 1)\n}\nIf LogicalOr(v1, v2) {\n  If LogicalNot(v2) {\n"
         "    Store(0, 2, 2)\n  }\n  v2 = 0\n  Store(0, 3, 3)\n}\n"},
        {"into an Else",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             t.Goto(t.Main, label, t.Cond(), false);
             AstBlock* then = t.Block(t.Main, AstBlockType::If, t.Cond());
             t.Stmt(then, 1);
             AstBlock* otherwise = t.Block(t.Main, AstBlockType::Else);
             t.Stmt(otherwise, 2);
             otherwise->Add(label);
         },
         "v2 = v0\nIf LogicalAnd(v1, LogicalNot(v2)) {\n  Store(0, 1, 1)\n}\nElse {\n  If LogicalNot(v2) {\n"
         "    Store(0, 2, 2)\n  }\n  v2 = 0\n}\n"},
        {"two gotos into one If share its widened condition",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             t.Goto(t.Main, label, t.Cond(), false);
             t.Goto(t.Main, label, t.Cond(), false);
             AstBlock* block = t.Block(t.Main, AstBlockType::If, t.Cond());
             block->Add(label);
         },
         "v3 = v0\nIf LogicalNot(v3) {\n  v3 = v1\n}\nIf LogicalOr(v2, v3) {\n  v3 = 0\n}\n"},
        {"unconditional goto out of an If makes the rest its Else",
         [](GotoTree& t) {
             AstAssignment* label = t.DetachedLabel();
             AstBlock* block = t.Block(t.Main, AstBlockType::If, t.Cond());
             t.Stmt(block, 1);
             t.Goto(block, label, nullptr, false);
             t.Stmt(t.Main, 2);
             t.Main->Add(label);
             t.Stmt(t.Main, 3);
         },
         "If v0 {\n  Store(0, 1, 1)\n  v1 = -1\n}\nElse {\n  Store(0, 2, 2)\n}\nv1 = 0\nStore(0, 3, 3)\n"},
    };
    for (const Case& c : cases) {
        GotoTree tree;
        c.Build(tree);
        EXPECT_EQ(tree.Eliminate(), c.Expected) << c.Name;
    }
}

TEST(GotoEliminationTests, InconsistentTreesFailWithTypedErrors) {
    {
        // An Else with no If before it on the way to the label.
        GotoTree t;
        AstAssignment* label = t.DetachedLabel();
        t.Goto(t.Main, label, t.Cond(), false);
        AstBlock* otherwise = t.Block(t.Main, AstBlockType::Else);
        otherwise->Add(label);
        try {
            t.Eliminate();
            FAIL();
        } catch (const Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), "Found an else without a matching if.");
        }
    }
    {
        // A label that never made it into the tree.
        GotoTree t;
        t.Goto(t.Main, t.DetachedLabel(), t.Cond(), false);
        EXPECT_THROW(t.Eliminate(), Common::InvalidOperationException);
    }
    {
        // A forward goto whose label actually lies before it.
        GotoTree t;
        AstAssignment* label = t.Label(t.Main);
        t.Goto(t.Main, label, t.Cond(), false);
        t.Stmt(t.Main, 1);
        EXPECT_THROW(t.Eliminate(), Common::InvalidOperationException);
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
