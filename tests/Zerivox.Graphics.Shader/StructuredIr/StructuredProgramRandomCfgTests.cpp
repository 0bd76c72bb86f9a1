// Random control-flow graphs (loops, breaks, continues, jumps into and out of
// branches, irreducible shapes) go through CFG construction, SSA, phi removal,
// structuring, goto elimination and the AST optimiser; the structured
// program must do exactly what the guest code does on every input.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "StructuredTestSupport.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"
#include "Zerivox.Graphics.Shader/Translation/Ssa.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using Decoders::Register;
using Decoders::RegisterType;

// Guest-like code over four registers and two predicates. Every block stores
// a register to its own memory word, so the store trace shows the path taken
// together with the values computed on it.
class RandomProgram {
public:
    RandomProgram(IR::IrArena& arena, uint32_t seed) : _arena(arena), _rng(seed) {}

    IR::Function* Build() {
        const int blockCount = Pick(2, 9);
        std::vector<IR::Operand*> labels;
        for (int i = 0; i < blockCount; i++) labels.push_back(IR::OperandHelper::MakeLabel(_arena));

        for (int b = 0; b < blockCount; b++) {
            Emit(Instruction::MarkLabel, labels[static_cast<std::size_t>(b)], {});
            if (b == 0) {
                for (int r = 0; r < 4; r++) Emit(Instruction::Load, StorageKind::LocalMemory, R(r), {C(0), C(100 + r)});
                Emit(Instruction::CompareLess, P(0), {R(0), C(Pick(0, 20))});
                Emit(Instruction::CompareLess, P(1), {R(1), C(Pick(0, 20))});
            }
            Emit(Instruction::Store, StorageKind::LocalMemory, nullptr, {C(0), C(b), R(Pick(0, 3))});
            for (int n = Pick(0, 3); n > 0; n--) RandomOp(blockCount);

            int kind = Pick(0, 99);
            IR::Operand* target = labels[static_cast<std::size_t>(Pick(0, blockCount - 1))];
            bool last = b == blockCount - 1;
            if (kind < 20 && !last) {
                // falls through
            } else if (kind < 35) {
                Emit(Instruction::Branch, target, {});
            } else if (kind < 85) {
                Emit(Instruction::CompareLess, P(0), {R(Pick(0, 3)), C(Pick(0, 30))});
                Emit(kind < 60 ? Instruction::BranchIfTrue : Instruction::BranchIfFalse, target, {P(Pick(0, 1))});
                if (last) Emit(Instruction::Return, nullptr, {});
            } else {
                Emit(Instruction::Return, nullptr, {});
            }
        }

        Translation::ControlFlowGraph cfg = Translation::ControlFlowGraph::Create(_arena, _ops);
        Blocks = cfg.Blocks;
        Translation::Dominance::FindDominators(cfg);
        Translation::Dominance::FindDominanceFrontiers(cfg.Blocks);
        return _arena.NewFunction(cfg.Blocks, "fun0", false, 0, 0);
    }

    void ToSsa() { Translation::Ssa::Rename(Blocks); }

    std::vector<IR::BasicBlock*> Blocks;

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(_rng); }
    IR::Operand* R(int i) { return IR::OperandHelper::Register(_arena, Register(i, RegisterType::Gpr)); }
    IR::Operand* P(int i) { return IR::OperandHelper::Register(_arena, Register(i, RegisterType::Predicate)); }
    IR::Operand* C(int32_t v) { return IR::OperandHelper::MakeConstant(_arena, v); }

    void Emit(Instruction inst, IR::Operand* dest, std::initializer_list<IR::Operand*> sources) {
        _ops.push_back(_arena.NewOperation(inst, dest, sources));
    }
    void Emit(Instruction inst, StorageKind kind, IR::Operand* dest, std::initializer_list<IR::Operand*> sources) {
        _ops.push_back(_arena.NewOperation(inst, kind, dest, sources));
    }

    void RandomOp(int blockCount) {
        int a = Pick(0, 3);
        switch (Pick(0, 8)) {
        case 0: Emit(Instruction::Add, R(a), {R(Pick(0, 3)), C(Pick(1, 5))}); break;
        case 1: Emit(Instruction::Subtract, R(a), {R(Pick(0, 3)), R(Pick(0, 3))}); break;
        case 2: Emit(Instruction::BitwiseExclusiveOr, R(a), {R(Pick(0, 3)), R(Pick(0, 3))}); break;
        case 3: Emit(Instruction::Copy, R(a), {R(Pick(0, 3))}); break;
        case 4: Emit(Instruction::Load, StorageKind::LocalMemory, R(a), {C(0), C(Pick(0, blockCount - 1))}); break;
        case 5: Emit(Instruction::CompareLess, P(Pick(0, 1)), {R(Pick(0, 3)), C(Pick(0, 30))}); break;
        case 6: Emit(Instruction::LogicalAnd, P(Pick(0, 1)), {P(0), P(1)}); break;
        case 7: Emit(Instruction::ConditionalSelect, R(a), {P(Pick(0, 1)), R(Pick(0, 3)), R(Pick(0, 3))}); break;
        default: Emit(Instruction::Store, StorageKind::LocalMemory, nullptr, {C(0), C(50 + Pick(0, 3)), R(a)}); break;
        }
    }

    IR::IrArena& _arena;
    std::mt19937 _rng;
    std::vector<IR::Operation*> _ops;
};

std::map<uint32_t, uint32_t> Inputs(uint32_t variant) {
    std::map<uint32_t, uint32_t> memory;
    for (uint32_t r = 0; r < 4; r++) memory[100 + r] = (variant * 7 + r * 5) % 23;
    return memory;
}

std::string DumpIr(const IR::Function& function) {
    std::unordered_map<const IR::Operand*, int> names;
    auto name = [&](const IR::Operand* o) -> std::string {
        if (o == nullptr) return "_";
        switch (o->Type) {
        case OperandType::Constant: return std::to_string(o->Value);
        case OperandType::Register: return "r" + std::to_string(o->Value >> 24) + "_" + std::to_string(o->Value & 0xFFFFFF);
        case OperandType::LocalVariable: return "l" + std::to_string(names.try_emplace(o, static_cast<int>(names.size())).first->second);
        default: return "?" + std::to_string(static_cast<int>(o->Type));
        }
    };
    std::ostringstream text;
    for (const IR::BasicBlock* block : function.Blocks) {
        text << "B" << block->Index << " (next " << (block->Next() ? block->Next()->Index : -1) << ", branch "
             << (block->Branch() ? block->Branch()->Index : -1) << ", preds";
        for (auto* p : block->Predecessors) text << " " << p->Index;
        text << ")\n";
        for (const IR::INode* node : block->Operations) {
            if (const IR::PhiNode* phi = const_cast<IR::INode*>(node)->AsPhi()) {
                text << "  " << name(phi->Dest) << " = phi";
                for (int i = 0; i < phi->SourcesCount(); i++) text << " [B" << phi->GetBlock(i)->Index << ": " << name(phi->GetSource(i)) << "]";
                text << "\n";
                continue;
            }
            const IR::Operation* op = node->AsOperation();
            text << "  " << name(op->Dest()) << " = " << IR::InstructionName(op->Inst);
            for (auto* src : op->Sources()) text << " " << name(src);
            text << "\n";
        }
    }
    return text.str();
}

std::string Describe(const Trace& trace) {
    std::ostringstream text;
    for (auto [address, value] : trace.Stores) text << address << "=" << value << " ";
    text << (trace.Truncated ? "..." : "end");
    return text.str();
}

TEST(StructuredProgramRandomCfgTests, StructuredProgramsBehaveLikeTheirGraphs) {
    constexpr uint32_t Programs = 400;
    constexpr uint32_t InputVariants = 3;
    int gotoHeavy = 0;

    for (uint32_t seed = 1; seed <= Programs; seed++) {
        for (bool debugMode : {true, false}) {
            IR::IrArena arena;
            RandomProgram program(arena, seed);
            IR::Function* function = program.Build();

            std::vector<Trace> expected;
            for (uint32_t v = 0; v < InputVariants; v++) {
                IrInterpreter guest;
                guest.Memory = Inputs(v);
                expected.push_back(guest.Run(*function));
            }

            std::string before = DumpIr(*function);
            program.ToSsa();

            StructurerEnvironment env;
            std::unique_ptr<StructuredIr::StructuredProgramInfo> info;
            ASSERT_NO_THROW(info = env.Structure({function}, debugMode)) << "seed " << seed;
            const StructuredIr::StructuredFunction& structured = *info->Functions.at(0);
            std::string text = AstPrinter().Print(structured.MainBlock);

            // Phi removal left plain copies in the IR: it must still compute the
            // same (this separates SSA faults from structuring faults).
            for (uint32_t v = 0; v < InputVariants; v++) {
                IrInterpreter copies;
                copies.Memory = Inputs(v);
                ASSERT_EQ(copies.Run(*function), expected[v])
                    << "IR after phi removal differs, seed " << seed << "\nexpected " << Describe(expected[v])
                    << "\n" << before << "\n" << DumpIr(*function);
            }
            if (text.find("Loop") != std::string::npos) gotoHeavy++;

            for (uint32_t v = 0; v < InputVariants; v++) {
                AstInterpreter ast;
                ast.Memory = Inputs(v);
                Trace actual;
                ASSERT_NO_THROW(actual = ast.Run(structured)) << "seed " << seed << "\n" << text;
                ASSERT_EQ(actual, expected[v]) << "seed " << seed << (debugMode ? " debug" : " optimised")
                                               << " input " << v << "\nexpected " << Describe(expected[v])
                                               << "\nactual   " << Describe(actual) << "\n" << text;
            }
        }
    }
    // The generator must actually reach the goto elimination's loop exits.
    EXPECT_GT(gotoHeavy, 20);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
