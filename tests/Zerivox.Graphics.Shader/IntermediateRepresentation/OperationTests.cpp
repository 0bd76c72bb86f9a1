#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;

namespace {

class OperationTest : public ::testing::Test {
protected:
    IrArena arena;
    Operand* Local() { return OperandHelper::MakeLocal(arena); }
    Operand* Const(int v) { return OperandHelper::MakeConstant(arena, v); }
    Operand* Reg(int i) { return OperandHelper::Register(arena, i, Decoders::RegisterType::Gpr); }
};

TEST_F(OperationTest, DefinitionLinksDependOnConstructorForm) {
    // The single-destination forms link a destination of any kind; the
    // several-destination form links only locals.
    Operand* reg = Reg(1);
    Operand* label = OperandHelper::MakeLabel(arena);
    Operation* copy = arena.NewOperation(Instruction::Copy, reg, {Const(0)});
    Operation* branch = arena.NewOperation(Instruction::Branch, label, {});
    EXPECT_EQ(reg->Definition, copy);
    EXPECT_EQ(label->Definition, branch);

    Operand* reg2 = Reg(2);
    Operand* local = Local();
    Operation* multi = arena.NewOperation(Instruction::Shuffle, 0, {reg2, local, nullptr}, {Const(1)});
    EXPECT_EQ(reg2->Definition, nullptr);
    EXPECT_EQ(local->Definition, multi);
    EXPECT_EQ(multi->DestsCount(), 3);
    EXPECT_EQ(multi->GetDest(2), nullptr);

    Operation* none = arena.NewOperation(Instruction::Return, nullptr, {});
    EXPECT_EQ(none->Dest(), nullptr);
    EXPECT_EQ(none->DestsCount(), 0);
}

TEST_F(OperationTest, DestSettersMoveDefinitionOfLocalsOnly) {
    Operand* a = Local();
    Operand* b = Local();
    Operation* op = arena.NewOperation(Instruction::Copy, a, {Const(1)});

    op->SetDest(0, b);
    EXPECT_EQ(a->Definition, nullptr);
    EXPECT_EQ(b->Definition, op);

    // set_Dest replaces the whole array and leaves old destinations alone.
    Operand* c = Local();
    op->set_Dest(c);
    EXPECT_EQ(b->Definition, op);
    EXPECT_EQ(c->Definition, op);
    op->set_Dest(nullptr);
    EXPECT_EQ(op->DestsCount(), 0);
    EXPECT_EQ(op->Dest(), nullptr);

    Operand* d = Local();
    op->AppendDests({nullptr, d});
    EXPECT_EQ(op->DestsCount(), 2);
    EXPECT_EQ(d->Definition, op);
}

// A local read through two sources of one node is listed once, but each
// edit that replaces one of the two must leave the node listed while the
// other still reads it.
TEST_F(OperationTest, UsesSurviveEditsOfDuplicateSources) {
    struct Case {
        const char* name;
        void (*edit)(Operation* op, Operand* other);
        bool stillListed;
    };
    const Case cases[] = {
        {"SetSource one of two", [](Operation* op, Operand* other) { op->SetSource(0, other); }, true},
        {"SetSource null", [](Operation* op, Operand*) { op->SetSource(1, nullptr); }, true},
        {"RemoveSource one of two", [](Operation* op, Operand*) { op->RemoveSource(0); }, true},
        {"SetSource both", [](Operation* op, Operand* other) {
             op->SetSource(0, other);
             op->SetSource(1, other);
         }, false},
        {"TurnInto other", [](Operation* op, Operand* other) { op->TurnInto(Instruction::Copy, other); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Operand* x = Local();
        Operand* other = Local();
        Operation* op = arena.NewOperation(Instruction::Add, Local(), {x, x});
        ASSERT_EQ(x->Uses.Count(), 1);
        c.edit(op, other);
        EXPECT_EQ(x->Uses.Contains(op), c.stillListed);
        EXPECT_EQ(x->Uses.RefCount(op), static_cast<uint32_t>(c.stillListed ? 1 : 0));
    }
}

TEST_F(OperationTest, SourceEditsKeepUseSets) {
    Operand* a = Local();
    Operand* b = Local();
    Operand* c = Local();
    Operation* op = arena.NewOperation(Instruction::Add, Local(), {a, Const(5)});
    EXPECT_TRUE(a->Uses.Contains(op));

    op->InsertSource(1, b);
    ASSERT_EQ(op->SourcesCount(), 3);
    EXPECT_EQ(op->GetSource(1), b);
    EXPECT_TRUE(b->Uses.Contains(op));

    op->AppendSources({c});
    EXPECT_EQ(op->GetSource(3), c);
    EXPECT_TRUE(c->Uses.Contains(op));

    op->RemoveSource(1);
    EXPECT_FALSE(b->Uses.Contains(op));
    ASSERT_EQ(op->SourcesCount(), 3);
    EXPECT_EQ(op->GetSource(0), a);
    EXPECT_EQ(op->GetSource(2), c);

    // TurnInto keeps the node listed when its new source was already read.
    op->TurnInto(Instruction::Negate, a);
    EXPECT_TRUE(a->Uses.Contains(op));
    EXPECT_FALSE(c->Uses.Contains(op));
    EXPECT_EQ(op->SourcesCount(), 1);

    // Registers and constants never enter use sets.
    Operand* reg = Reg(4);
    op->SetSource(0, reg);
    EXPECT_TRUE(reg->Uses.empty());
    EXPECT_FALSE(a->Uses.Contains(op));
}

// Destinations and sources of a new operation share one array: an edit of
// either side must leave the other side as it was, for both constructor forms.
TEST_F(OperationTest, DestAndSourceEditsStayOnTheirSide) {
    struct Case {
        const char* name;
        bool editsDests;
        void (*edit)(IrArena& arena, Operation* op);
    };
    const Case cases[] = {
        {"SetDest", true, [](IrArena& a, Operation* op) { op->SetDest(0, OperandHelper::MakeLocal(a)); }},
        {"set_Dest", true, [](IrArena& a, Operation* op) { op->set_Dest(OperandHelper::MakeLocal(a)); }},
        {"AppendDests", true, [](IrArena& a, Operation* op) { op->AppendDests({OperandHelper::MakeLocal(a)}); }},
        {"SetSource", false, [](IrArena& a, Operation* op) { op->SetSource(0, OperandHelper::MakeConstant(a, 7)); }},
        {"RemoveSource", false, [](IrArena&, Operation* op) { op->RemoveSource(0); }},
        {"InsertSource", false,
         [](IrArena& a, Operation* op) { op->InsertSource(0, OperandHelper::MakeConstant(a, 7)); }},
        {"AppendSources", false,
         [](IrArena& a, Operation* op) { op->AppendSources({OperandHelper::MakeConstant(a, 7)}); }},
    };
    for (bool several : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (several ? " (several destinations)" : ""));
            Operand* d0 = Local();
            Operand* d1 = Local();
            Operand* a = Local();
            Operand* b = Local();
            Operation* op = several ? arena.NewOperation(Instruction::Shuffle, 0, {d0, d1}, {a, b})
                                    : arena.NewOperation(Instruction::Add, d0, {a, b});
            const std::vector<Operand*> destsBefore(op->Dests().begin(), op->Dests().end());
            const std::vector<Operand*> sourcesBefore(op->Sources().begin(), op->Sources().end());
            c.edit(arena, op);
            const std::vector<Operand*> dests(op->Dests().begin(), op->Dests().end());
            const std::vector<Operand*> sources(op->Sources().begin(), op->Sources().end());
            if (c.editsDests) {
                EXPECT_EQ(sources, sourcesBefore);
            } else {
                EXPECT_EQ(dests, destsBefore);
            }
        }
    }
}

// A refused operation leaves no trace: no definition, no use.
TEST_F(OperationTest, NullSourceIsRefusedBeforeAnyLinkChanges) {
    Operand* dest = Local();
    Operand* read = Local();
    EXPECT_THROW(arena.NewOperation(Instruction::Add, dest, {read, nullptr}), Zerivox::Common::ArgumentException);
    EXPECT_EQ(dest->Definition, nullptr);
    EXPECT_TRUE(read->Uses.empty());
    EXPECT_THROW(arena.NewOperation(Instruction::Shuffle, 0, {dest}, {read, nullptr}),
                 Zerivox::Common::ArgumentException);
    EXPECT_EQ(dest->Definition, nullptr);
    EXPECT_TRUE(read->Uses.empty());
}

TEST_F(OperationTest, CallerErrorsAreTypedNotCrashes) {
    Operation* op = arena.NewOperation(Instruction::Add, Local(), {Const(1), Const(2)});
    EXPECT_THROW(op->GetSource(2), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(op->GetDest(-1), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(op->InsertSource(3, Const(0)), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(op->RemoveSource(2), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(arena.NewOperation(Instruction::Copy, Local(), {nullptr}), Zerivox::Common::ArgumentException);
    op->InsertSource(2, Const(3));  // appending position is valid
    EXPECT_EQ(op->SourcesCount(), 3);
}

TEST_F(OperationTest, TurnDoubleIntoFloat) {
    const std::pair<Instruction, Instruction> cases[] = {
        {Instruction::Add | Instruction::FP64, Instruction::Add | Instruction::FP32},
        {Instruction::ConvertFP64ToFP32, Instruction::Copy},
        {Instruction::ConvertFP32ToFP64, Instruction::Copy},
        {Instruction::ConvertFP64ToS32, Instruction::ConvertFP32ToS32},
        {Instruction::ConvertFP64ToU32, Instruction::ConvertFP32ToU32},
        {Instruction::ConvertS32ToFP64, Instruction::ConvertS32ToFP32},
        {Instruction::ConvertU32ToFP64, Instruction::ConvertU32ToFP32},
        {Instruction::Add | Instruction::FP32, Instruction::Add | Instruction::FP32},
        {Instruction::Add, Instruction::Add},
    };
    for (auto [before, after] : cases) {
        Operation* op = arena.NewOperation(before, Local(), {Const(0)});
        op->TurnDoubleIntoFloat();
        EXPECT_EQ(op->Inst, after) << InstructionName(before);
    }
}

TEST_F(OperationTest, TextureBindingKeepsOrDropsHandle) {
    auto make = [&] {
        Operand* sources[] = {Local(), Local(), Local()};
        Operand* dests[] = {Local()};
        return arena.NewTextureOperation(Instruction::TextureSample, SamplerType::Texture2D, TextureFormat::Unknown,
                                         TextureFlags::Bindless | TextureFlags::IntCoords, 0, 0, 1, dests, sources);
    };
    TextureOperation* bound = make();
    EXPECT_EQ(bound->SamplerSet, -1);
    EXPECT_EQ(bound->SamplerBinding, -1);
    Operand* handle = bound->GetSource(0);
    Operand* x = bound->GetSource(1);
    bound->SetBinding(SetBindingPair(0, 7));
    EXPECT_EQ(bound->SourcesCount(), 2);
    EXPECT_EQ(bound->GetSource(0), x);
    EXPECT_FALSE(handle->Uses.Contains(bound));
    EXPECT_EQ(bound->Flags, TextureFlags::IntCoords);
    EXPECT_EQ(bound->Binding, 7);

    TextureOperation* array = make();
    array->TurnIntoArray(SetBindingPair(1, 3), SetBindingPair(1, 4));
    EXPECT_EQ(array->SourcesCount(), 3);
    EXPECT_EQ(array->Flags, TextureFlags::IntCoords);
    EXPECT_EQ(array->Set, 1);
    EXPECT_EQ(array->SamplerBinding, 4);
    EXPECT_EQ(array->AsTextureOperation(), array);
}

}  // namespace
