#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;

namespace {

// Two blocks: B0 defines x and falls through to B1, which reads it twice.
struct Fixture {
    IrArena arena;
    BasicBlock* b0 = arena.NewBlock();
    BasicBlock* b1 = arena.NewBlock();
    Operand* x = OperandHelper::MakeLocal(arena);
    Operation* def = arena.NewOperation(Instruction::Copy, x, {OperandHelper::MakeConstant(arena, 1)});
    Operation* use = arena.NewOperation(Instruction::Add, OperandHelper::MakeLocal(arena), {x, x});
    std::vector<BasicBlock*> blocks{b0, b1};

    Fixture() {
        b1->Index = 1;
        b0->Operations.AddLast(def);
        b1->Operations.AddLast(use);
        b1->Operations.AddLast(arena.NewOperation(Instruction::Return, nullptr, {}));
        b0->set_Next(b1);
    }
};

TEST(IrVerifierTest, AcceptsValidIrAndNamesEachBrokenInvariant) {
    {
        Fixture f;
        EXPECT_NO_THROW(IrVerifier::Verify(f.blocks));
    }
    struct Case {
        const char* expected;
        std::function<void(Fixture&)> breakIt;
    };
    const Case cases[] = {
        {"not in the blocks", [](Fixture& f) { f.b1->Operations.Remove(f.use); }},
        {"use set", [](Fixture& f) { f.x->Uses.Remove(f.use); }},
        {"definition", [](Fixture& f) { f.x->Definition = nullptr; }},
        {"predecessor", [](Fixture& f) { f.b1->Predecessors.push_back(f.b1); }},
        {"phi after", [](Fixture& f) { f.b1->Operations.AddLast(f.arena.NewPhi(OperandHelper::MakeLocal(f.arena))); }},
        {"branch in the middle",
         [](Fixture& f) {
             f.b0->Operations.AddFirst(f.arena.NewOperation(Instruction::Branch, OperandHelper::MakeLabel(f.arena), {}));
         }},
        {"index", [](Fixture& f) { f.b1->Index = 3; }},
    };
    for (const Case& c : cases) {
        Fixture f;
        c.breakIt(f);
        try {
            IrVerifier::Verify(f.blocks);
            ADD_FAILURE() << "accepted: " << c.expected;
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

}  // namespace
