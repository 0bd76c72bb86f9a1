// Expression propagation, dead assignment removal and empty block removal.
#include <gtest/gtest.h>

#include <functional>

#include "StructuredTestSupport.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOptimizer.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramContext.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using namespace StructuredIr;

// One function built by hand in a structurer context. Locals named by the
// test are declared in order a, b, c, ... so the printer calls them v0, v1...
struct OptimizerFixture {
    StructurerEnvironment Env;
    StructuredProgramContext Context{Env.AttributeUsage, Env.Definitions, Env.Resources, false};
    AstBlock* Main;
    std::vector<AstOperand*> Named;

    explicit OptimizerFixture(int namedLocals) {
        Context.EnterFunction(1, "f", Translation::AggregateType::Void, {}, {});
        Main = Context.CurrentFunction->MainBlock;
        for (int i = 0; i < namedLocals; i++) Named.push_back(Context.NewTemp(Translation::AggregateType::S32));
    }

    AstArena& Arena() { return Context.Arena(); }
    AstOperand* Const(int32_t v) { return Context.NewConstant(v); }
    AstOperation* Op(Instruction inst, std::initializer_list<IAstNode*> sources) {
        return Arena().New<AstOperation>(inst, sources);
    }
    AstOperation* Mem(Instruction inst, std::initializer_list<IAstNode*> sources) {
        std::vector<IAstNode*> list(sources);
        return Arena().New<AstOperation>(inst, StorageKind::LocalMemory, false, std::span<IAstNode* const>(list),
                                         static_cast<int32_t>(list.size()));
    }
    AstAssignment* Assign(AstBlock* block, IAstNode* dest, IAstNode* source) {
        AstAssignment* assignment = Arena().New<AstAssignment>(dest, source);
        block->Add(assignment);
        return assignment;
    }
    void Use(AstBlock* block, IAstNode* value, int32_t address = 9) {
        block->Add(Mem(Instruction::Store, {Const(0), Const(address), value}));
    }
    AstBlock* Block(AstBlock* parent, AstBlockType type, IAstNode* cond = nullptr) {
        AstBlock* block = Arena().New<AstBlock>(type, cond);
        parent->Add(block);
        return block;
    }

    std::string Optimize(bool debugMode = false) {
        Context.DebugMode = debugMode;
        AstOptimizer::Optimize(Context);
        AstPrinter printer;
        for (AstOperand* local : Named) printer.Expr(local);
        return printer.Print(Main);
    }
    bool Declared(int named) const { return Context.CurrentFunction->Locals.Contains(Named[static_cast<std::size_t>(named)]); }
};

struct Case {
    const char* Name;
    int Locals;
    std::function<void(OptimizerFixture&)> Build;
    const char* Expected;
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        OptimizerFixture f(c.Locals);
        c.Build(f);
        EXPECT_EQ(f.Optimize(), c.Expected) << c.Name;
    }
}

// v0.. = a, b, t, u: a and b come from memory so that nothing is constant.
void LoadAB(OptimizerFixture& f) {
    f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
    f.Assign(f.Main, f.Named[1], f.Mem(Instruction::Load, {f.Const(0), f.Const(101)}));
}

TEST(AstOptimizerTests, PropagatesWhatIsCheapOrReadOnce) {
    RunCases({
        {"single reader takes the expression", 4,
         [](OptimizerFixture& f) {
             LoadAB(f);
             f.Assign(f.Main, f.Named[2], f.Op(Instruction::Add, {f.Named[0], f.Named[1]}));
             f.Assign(f.Main, f.Named[3], f.Op(Instruction::Multiply, {f.Named[2], f.Named[1]}));
             f.Use(f.Main, f.Named[3]);
         },
         // b has two readers and stays; a and t are read once.
         "v1 = Load(0, 101)\nStore(0, 9, Multiply(Add(Load(0, 100), v1), v1))\n"},
        {"binary expression read twice stays", 4,
         [](OptimizerFixture& f) {
             LoadAB(f);
             f.Assign(f.Main, f.Named[2], f.Op(Instruction::Add, {f.Named[0], f.Named[1]}));
             f.Use(f.Main, f.Named[2], 1);
             f.Use(f.Main, f.Named[2], 2);
         },
         "v2 = Add(Load(0, 100), Load(0, 101))\nStore(0, 1, v2)\nStore(0, 2, v2)\n"},
        {"unary over an operand goes to every reader", 3,
         [](OptimizerFixture& f) {
             // x is written twice, so it stays a variable.
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(101)}));
             f.Assign(f.Main, f.Named[1], f.Op(Instruction::Negate, {f.Named[0]}));
             for (int i = 1; i <= 3; i++) f.Use(f.Main, f.Named[1], i);
         },
         "v0 = Load(0, 100)\nv0 = Load(0, 101)\nStore(0, 1, Negate(v0))\nStore(0, 2, Negate(v0))\n"
         "Store(0, 3, Negate(v0))\n"},
        {"atomic result is neither moved nor dropped", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::AtomicAdd, {f.Const(0), f.Const(1), f.Const(1)}));
             f.Assign(f.Main, f.Named[1], f.Mem(Instruction::AtomicAdd, {f.Const(0), f.Const(1), f.Const(1)}));
             f.Use(f.Main, f.Named[0]);
         },
         "v0 = AtomicAdd(0, 1, 1)\nv1 = AtomicAdd(0, 1, 1)\nStore(0, 9, v0)\n"},
        {"call argument stays a variable", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Main->Add(f.Op(Instruction::Call, {f.Const(1), f.Named[0]}));
         },
         "v0 = Load(0, 100)\nCall(1, v0)\n"},
        {"variable written twice is never propagated", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Const(1));
             f.Assign(f.Main, f.Named[0], f.Const(2));
             f.Use(f.Main, f.Named[0]);
             f.Assign(f.Main, f.Named[1], f.Const(3));
             f.Assign(f.Main, f.Named[1], f.Const(4));
         },
         "v0 = 1\nv0 = 2\nStore(0, 9, v0)\n"},
    });
}

TEST(AstOptimizerTests, NeverChangesWhatIsComputed) {
    RunCases({
        // The doubling chain would otherwise grow to 2^n nodes when written out.
        {"reader naming the variable twice", 3,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[1], f.Op(Instruction::Multiply, {f.Named[0], f.Named[0]}));
             f.Assign(f.Main, f.Named[2], f.Op(Instruction::Multiply, {f.Named[1], f.Named[1]}));
             f.Use(f.Main, f.Named[2]);
         },
         "v0 = Load(0, 100)\nv1 = Multiply(v0, v0)\nStore(0, 9, Multiply(v1, v1))\n"},
        {"copy moved past a redefinition of its source (parallel copies)", 4,
         [](OptimizerFixture& f) {
             // x = t1; y = t2; t1 = y; t2 = x  (a swap, as phi removal leaves it)
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[1], f.Mem(Instruction::Load, {f.Const(0), f.Const(101)}));
             f.Assign(f.Main, f.Named[2], f.Named[0]);
             f.Assign(f.Main, f.Named[0], f.Const(7));
             f.Use(f.Main, f.Named[2]);
         },
         "v0 = Load(0, 100)\nv2 = v0\nv0 = 7\nStore(0, 9, v2)\n"},
        {"load moved past a store to memory", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(3)}));
             f.Use(f.Main, f.Const(7), 3);
             f.Use(f.Main, f.Named[0]);
         },
         "v0 = Load(0, 3)\nStore(0, 3, 7)\nStore(0, 9, v0)\n"},
        {"load moved past a barrier", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(3)}));
             f.Main->Add(f.Op(Instruction::Barrier, {}));
             f.Use(f.Main, f.Named[0]);
         },
         "v0 = Load(0, 3)\nBarrier()\nStore(0, 9, v0)\n"},
        {"derivative moved into an If", 3,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[1], f.Op(Instruction::Ddx, {f.Named[0]}));
             AstBlock* block = f.Block(f.Main, AstBlockType::If, f.Named[2]);
             f.Use(block, f.Named[1]);
         },
         "v1 = Ddx(Load(0, 100))\nIf v2 {\n  Store(0, 9, v1)\n}\n"},
        {"vote moved past a loop exit", 3,
         [](OptimizerFixture& f) {
             AstBlock* loop = f.Block(f.Main, AstBlockType::DoWhile, f.Const(-1));
             f.Assign(loop, f.Named[1], f.Op(Instruction::VoteAny, {f.Named[0]}));
             AstBlock* exit = f.Block(loop, AstBlockType::If, f.Named[2]);
             exit->Add(f.Op(Instruction::LoopBreak, {}));
             f.Use(loop, f.Named[1]);
         },
         "DoWhile -1 {\n  v1 = VoteAny(v0)\n  If v2 {\n    LoopBreak()\n  }\n  Store(0, 9, v1)\n}\n"},
        {"reader inside a loop that redefines an operand later", 3,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[1], f.Op(Instruction::Add, {f.Named[0], f.Const(1)}));
             AstBlock* loop = f.Block(f.Main, AstBlockType::DoWhile, f.Named[2]);
             f.Use(loop, f.Named[1]);
             f.Assign(loop, f.Named[0], f.Const(5));
         },
         "v0 = Load(0, 100)\nv1 = Add(v0, 1)\nDoWhile v2 {\n  Store(0, 9, v1)\n  v0 = 5\n}\n"},
    });
}

TEST(AstOptimizerTests, SafeMovesStillHappen) {
    RunCases({
        {"derivative read in the same block", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[1], f.Op(Instruction::Ddx, {f.Named[0]}));
             f.Use(f.Main, f.Named[1]);
         },
         "Store(0, 9, Ddx(Load(0, 100)))\n"},
        {"arithmetic into a nested If and a loop that leave its operands alone", 4,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             f.Assign(f.Main, f.Named[1], f.Op(Instruction::Add, {f.Named[0], f.Const(1)}));
             AstBlock* loop = f.Block(f.Main, AstBlockType::DoWhile, f.Named[2]);
             AstBlock* block = f.Block(loop, AstBlockType::If, f.Named[3]);
             f.Use(block, f.Named[1]);
             f.Use(f.Main, f.Named[0]);
         },
         "v0 = Load(0, 100)\nDoWhile v2 {\n  If v3 {\n    Store(0, 9, Add(v0, 1))\n  }\n}\nStore(0, 9, v0)\n"},
        {"load into a loop that stores", 3,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(100)}));
             AstBlock* loop = f.Block(f.Main, AstBlockType::DoWhile, f.Named[2]);
             f.Use(loop, f.Named[0]);
         },
         "v0 = Load(0, 100)\nDoWhile v2 {\n  Store(0, 9, v0)\n}\n"},
        {"load read before the store", 2,
         [](OptimizerFixture& f) {
             f.Assign(f.Main, f.Named[0], f.Mem(Instruction::Load, {f.Const(0), f.Const(3)}));
             f.Use(f.Main, f.Named[0], 3);
         },
         "Store(0, 3, Load(0, 3))\n"},
    });
}

TEST(AstOptimizerTests, RemovalOfUnusedAssignmentsAndEmptyBlocks) {
    {
        // Debug mode keeps every assignment but still drops empty If/Else.
        OptimizerFixture f(2);
        f.Assign(f.Main, f.Named[0], f.Const(1));
        f.Block(f.Main, AstBlockType::If, f.Named[1]);
        f.Block(f.Main, AstBlockType::Else);
        f.Block(f.Main, AstBlockType::DoWhile, f.Named[1]);
        EXPECT_EQ(f.Optimize(true), "v0 = 1\nDoWhile v1 {\n}\n");
        EXPECT_TRUE(f.Declared(0));
    }
    {
        // An empty If before a non-empty Else turns the Else into the If.
        OptimizerFixture f(1);
        f.Block(f.Main, AstBlockType::If, f.Named[0]);
        AstBlock* otherwise = f.Block(f.Main, AstBlockType::Else);
        f.Use(otherwise, f.Const(1));
        AstBlock* outer = f.Block(f.Main, AstBlockType::If, f.Named[0]);
        f.Block(outer, AstBlockType::If, f.Named[0]);
        EXPECT_EQ(f.Optimize(), "If LogicalNot(v0) {\n  Store(0, 9, 1)\n}\nIf v0 {\n}\n");
    }
    {
        // An unread variable still written by a kept statement stays declared.
        OptimizerFixture f(2);
        f.Assign(f.Main, f.Named[0], f.Const(0));
        f.Assign(f.Main, f.Named[0], f.Mem(Instruction::AtomicAdd, {f.Const(0), f.Const(1), f.Const(1)}));
        f.Assign(f.Main, f.Named[1], f.Const(0));
        EXPECT_EQ(f.Optimize(), "v0 = AtomicAdd(0, 1, 1)\n");
        EXPECT_TRUE(f.Declared(0));
        EXPECT_FALSE(f.Declared(1));
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
