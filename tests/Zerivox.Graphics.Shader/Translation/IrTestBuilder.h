#pragma once
// Small fixture for building flat IR operation lists in tests, the way the
// builder leaves them for ControlFlowGraph::Create.
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

namespace ZvTest {

using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
using Zerivox::Graphics::Shader::Decoders::RegisterType;

struct IrTestBuilder {
    IrArena& Arena;
    std::vector<Operation*> Ops;
    std::map<std::string, Operand*> Labels;

    explicit IrTestBuilder(IrArena& arena) : Arena(arena) {}

    Operand* Label(const std::string& name) {
        auto it = Labels.find(name);
        if (it != Labels.end()) return it->second;
        Operand* label = OperandHelper::MakeLabel(Arena);
        Labels.emplace(name, label);
        return label;
    }
    Operand* R(int index) { return OperandHelper::Register(Arena, index, RegisterType::Gpr); }
    Operand* P(int index) { return OperandHelper::Register(Arena, index, RegisterType::Predicate); }
    Operand* CC(int index) { return OperandHelper::Register(Arena, index, RegisterType::Flag); }
    Operand* C(int value) { return OperandHelper::MakeConstant(Arena, value); }

    Operation* Op(Instruction inst, Operand* dest, std::initializer_list<Operand*> sources) {
        Ops.push_back(Arena.NewOperation(inst, dest, sources));
        return Ops.back();
    }
    // dest = src
    Operation* Copy(Operand* dest, Operand* source) { return Op(Instruction::Copy, dest, {source}); }
    // dest = a + b
    Operation* Add(Operand* dest, Operand* a, Operand* b) { return Op(Instruction::Add, dest, {a, b}); }
    void Mark(const std::string& name) { Op(Instruction::MarkLabel, Label(name), {}); }
    void Branch(const std::string& name) { Op(Instruction::Branch, Label(name), {}); }
    void BranchIfTrue(const std::string& name, Operand* cond) { Op(Instruction::BranchIfTrue, Label(name), {cond}); }
    void BranchIfFalse(const std::string& name, Operand* cond) {
        Op(Instruction::BranchIfFalse, Label(name), {cond});
    }
    void Return() { Op(Instruction::Return, nullptr, {}); }
    void Discard() { Op(Instruction::Discard, nullptr, {}); }
    void Call(int functionId) { Op(Instruction::Call, nullptr, {C(functionId)}); }
};

}  // namespace ZvTest
