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
        // What dead-node removal leaves behind: an unread definition that no
        // longer counts among its sources' readers.
        f.x->Uses.Remove(f.use);
        f.x->Uses.Remove(f.use);
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
        // A dead definition may have withdrawn its reads; an atomic never
        // dies, so its reads must stay registered even when nothing reads it.
        {"use set",
         [](Fixture& f) {
             f.use->Inst = Instruction::AtomicAdd;
             f.x->Uses.Remove(f.use);
             f.x->Uses.Remove(f.use);
         }},
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

// A diamond and a block the entry never reaches:
//   B0: c = ...; x0 = ...; BranchIfTrue c -> B2      (falls through to B1)
//   B1: x1 = ...; Branch -> B3
//   B2: x2 = ...                                      (falls through to B3)
//   B3: p = phi(B1: x1, B2: x2); r = p + x0; Return
//   B4: dead = x1 + x1; Return                        (no edge reaches it)
// Valid as built; each case moves one read or one phi source to a place the
// definition does not dominate.
struct Diamond {
    IrArena arena;
    BasicBlock* b[5] = {arena.NewBlock(), arena.NewBlock(), arena.NewBlock(), arena.NewBlock(), arena.NewBlock()};
    Operand* c = OperandHelper::MakeLocal(arena);
    Operand* x0 = OperandHelper::MakeLocal(arena);
    Operand* x1 = OperandHelper::MakeLocal(arena);
    Operand* x2 = OperandHelper::MakeLocal(arena);
    Operand* p = OperandHelper::MakeLocal(arena);
    PhiNode* phi = arena.NewPhi(p);
    Operation* read = nullptr;
    Operation* defineX1 = nullptr;
    std::vector<BasicBlock*> blocks{b[0], b[1], b[2], b[3], b[4]};

    Operand* Constant(int value) { return OperandHelper::MakeConstant(arena, value); }

    Diamond() {
        for (int i = 0; i < 5; i++) b[i]->Index = i;
        Operand* toB2 = OperandHelper::MakeLabel(arena);
        Operand* toB3 = OperandHelper::MakeLabel(arena);
        b[0]->Operations.AddLast(arena.NewOperation(Instruction::Copy, c, {Constant(1)}));
        b[0]->Operations.AddLast(arena.NewOperation(Instruction::Copy, x0, {Constant(2)}));
        b[0]->Operations.AddLast(arena.NewOperation(Instruction::BranchIfTrue, toB2, {c}));
        defineX1 = arena.NewOperation(Instruction::Copy, x1, {Constant(3)});
        b[1]->Operations.AddLast(defineX1);
        b[1]->Operations.AddLast(arena.NewOperation(Instruction::Branch, toB3, {}));
        b[2]->Operations.AddLast(arena.NewOperation(Instruction::Copy, x2, {Constant(4)}));
        phi->AddSource(b[1], x1);
        phi->AddSource(b[2], x2);
        b[3]->Operations.AddLast(phi);
        read = arena.NewOperation(Instruction::Add, OperandHelper::MakeLocal(arena), {p, x0});
        b[3]->Operations.AddLast(read);
        b[3]->Operations.AddLast(arena.NewOperation(Instruction::Return, nullptr, {}));
        b[4]->Operations.AddLast(arena.NewOperation(Instruction::Add, OperandHelper::MakeLocal(arena), {x1, x1}));
        b[4]->Operations.AddLast(arena.NewOperation(Instruction::Return, nullptr, {}));
        b[0]->set_Next(b[1]);
        b[0]->set_Branch(b[2]);
        b[1]->set_Branch(b[3]);
        b[2]->set_Next(b[3]);
    }
};

TEST(IrVerifierTest, DefinitionsMustDominateEveryRead) {
    {
        Diamond f;
        EXPECT_NO_THROW(IrVerifier::Verify(f.blocks));
        // A local nothing defines is a value from outside the function.
        f.read->SetSource(1, OperandHelper::MakeLocal(f.arena));
        EXPECT_NO_THROW(IrVerifier::Verify(f.blocks));
    }
    struct Case {
        const char* name;
        const char* expected;
        std::function<void(Diamond&)> breakIt;
    };
    const Case cases[] = {
        {"read after the join of a value one arm defines", "in block 3: node 1 reads a local defined in block 1, which does not dominate it",
         [](Diamond& f) { f.read->SetSource(1, f.x1); }},
        {"read in the other arm", "in block 2: node 1 reads a local defined in block 1",
         [](Diamond& f) {
             f.b[2]->Operations.AddLast(f.arena.NewOperation(Instruction::Add, OperandHelper::MakeLocal(f.arena), {f.x1, f.x0}));
         }},
        {"read before the definition in one block", "in block 0: node 0 reads a local defined by node 2, which does not come before it",
         [](Diamond& f) {
             f.b[0]->Operations.AddFirst(f.arena.NewOperation(Instruction::Negate, OperandHelper::MakeLocal(f.arena), {f.x0}));
         }},
        {"a node reading its own result", "in block 1: node 0 reads a local defined by node 0, which does not come before it",
         [](Diamond& f) { f.defineX1->SetSource(0, f.x1); }},
        {"phi source defined in the other arm", "in block 3: phi source from block 2 is defined in block 1, which does not dominate that edge",
         [](Diamond& f) { f.phi->SetSource(1, f.x1); }},
        {"definition only in an unreachable block", "in block 3: node 1 reads a local defined in block 4",
         [](Diamond& f) {
             Operand* late = OperandHelper::MakeLocal(f.arena);
             f.b[4]->Operations.AddFirst(f.arena.NewOperation(Instruction::Copy, late, {f.Constant(5)}));
             f.read->SetSource(1, late);
         }},
        {"definition removed from its block", "in block 3: reads a local whose definition is not in the blocks",
         [](Diamond& f) { f.b[0]->Operations.Remove(f.b[0]->Operations.First()->ListNext()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Diamond f;
        c.breakIt(f);
        try {
            IrVerifier::Verify(f.blocks);
            ADD_FAILURE() << "accepted";
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

TEST(IrVerifierTest, DominanceFollowsTheEdgesAsTheyAreNow) {
    // A loop: the phi's back-edge source is defined after it, in the body
    // the phi's block dominates; and a block with a read of a value from
    // the loop body, reached only through the body, is fine too.
    //   B0: Copy i0                       -> B1
    //   B1: i = phi(B0: i0, B2: i1); c = i < 8; BranchIfFalse c -> B3
    //   B2: i1 = i + 1; Branch -> B1
    //   B3: Return
    IrArena arena;
    BasicBlock* b[4] = {arena.NewBlock(), arena.NewBlock(), arena.NewBlock(), arena.NewBlock()};
    for (int i = 0; i < 4; i++) b[i]->Index = i;
    Operand* i0 = OperandHelper::MakeLocal(arena);
    Operand* i = OperandHelper::MakeLocal(arena);
    Operand* i1 = OperandHelper::MakeLocal(arena);
    Operand* c = OperandHelper::MakeLocal(arena);
    Operand* toB1 = OperandHelper::MakeLabel(arena);
    Operand* toB3 = OperandHelper::MakeLabel(arena);
    b[0]->Operations.AddLast(arena.NewOperation(Instruction::Copy, i0, {OperandHelper::MakeConstant(arena, 0)}));
    PhiNode* phi = arena.NewPhi(i);
    phi->AddSource(b[0], i0);
    phi->AddSource(b[2], i1);
    b[1]->Operations.AddLast(phi);
    b[1]->Operations.AddLast(arena.NewOperation(Instruction::CompareLess, c, {i, OperandHelper::MakeConstant(arena, 8)}));
    b[1]->Operations.AddLast(arena.NewOperation(Instruction::BranchIfFalse, toB3, {c}));
    b[2]->Operations.AddLast(arena.NewOperation(Instruction::Add, i1, {i, OperandHelper::MakeConstant(arena, 1)}));
    b[2]->Operations.AddLast(arena.NewOperation(Instruction::Branch, toB1, {}));
    b[3]->Operations.AddLast(arena.NewOperation(Instruction::Return, nullptr, {}));
    b[0]->set_Next(b[1]);
    b[1]->set_Next(b[2]);
    b[1]->set_Branch(b[3]);
    b[2]->set_Branch(b[1]);
    std::vector<BasicBlock*> blocks{b[0], b[1], b[2], b[3]};
    EXPECT_NO_THROW(IrVerifier::Verify(blocks));

    // Stale dominators are not trusted: claiming the body dominates the exit
    // does not make a read of i1 there valid.
    b[3]->ImmediateDominator = b[2];
    b[3]->Operations.AddFirst(arena.NewOperation(Instruction::Negate, OperandHelper::MakeLocal(arena), {i1}));
    try {
        IrVerifier::Verify(blocks);
        ADD_FAILURE() << "accepted a read of the loop body's value after the loop";
    } catch (const Zerivox::Common::InvalidOperationException& e) {
        EXPECT_NE(std::string(e.what()).find("in block 3: node 0 reads a local defined in block 2"), std::string::npos)
            << e.what();
    }
}

TEST(IrVerifierTest, VerifyAfterNamesThePass) {
    Diamond f;
    f.read->SetSource(1, f.x1);
    try {
        IrVerifier::VerifyAfter("SomePass", f.blocks);
        ADD_FAILURE() << "accepted";
    } catch (const Zerivox::Common::InvalidOperationException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "IR invalid after SomePass: in block 3: node 1 reads a local defined in block 1, which does not "
                  "dominate it");
    }
}

TEST(IrVerifierTest, FingerprintChangesWithEveryKindOfEdit) {
    struct Case {
        const char* name;
        std::function<void(Diamond&)> edit;
    };
    const Case cases[] = {
        {"instruction", [](Diamond& f) { f.read->Inst = Instruction::Subtract; }},
        {"source object", [](Diamond& f) { f.read->SetSource(1, f.x2); }},
        {"constant value in place", [](Diamond& f) { f.defineX1->GetSource(0)->Value = 7; }},
        {"node order", [](Diamond& f) {
             INode* first = f.b[0]->Operations.First();
             f.b[0]->Operations.Remove(first);
             f.b[0]->Operations.AddAfter(f.b[0]->Operations.First(), first);
         }},
        {"phi source", [](Diamond& f) { f.phi->SetSource(0, f.x0); }},
        {"edge", [](Diamond& f) { f.b[2]->set_Next(nullptr); }},
        {"storage kind", [](Diamond& f) { f.read->StorageKind = StorageKind::Input; }},
        {"precise", [](Diamond& f) { f.read->ForcePrecise = true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Diamond f;
        const uint64_t before = IrVerifier::Fingerprint(f.blocks);
        EXPECT_EQ(IrVerifier::Fingerprint(f.blocks), before);
        c.edit(f);
        EXPECT_NE(IrVerifier::Fingerprint(f.blocks), before);
    }
}

}  // namespace
