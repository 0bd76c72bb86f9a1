#pragma once
// Small IR fixture for pass tests: an arena, one or more blocks, and helpers
// that append operations to the current block and return their results.
#include <initializer_list>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

namespace Zerivox::Graphics::Shader::Testing {

namespace IR = IntermediateRepresentation;

struct IrBuilder {
    IR::IrArena Arena;
    std::vector<IR::BasicBlock*> Blocks;
    IR::BasicBlock* Current = nullptr;

    IrBuilder() { NewBlock(); }

    IR::BasicBlock* NewBlock() {
        IR::BasicBlock* block = Arena.NewBlock();
        block->Index = static_cast<int>(Blocks.size());
        Blocks.push_back(block);
        Current = block;
        return block;
    }

    IR::Operand* Const(int32_t value) { return IR::OperandHelper::MakeConstant(Arena, value); }
    IR::Operand* FConst(float value) { return IR::OperandHelper::MakeFloatConstant(Arena, value); }
    IR::Operand* Cbuf(int slot, int offset) {
        return IR::OperandHelper::MakeConstantBufferOperand(Arena, slot, offset);
    }
    IR::Operand* Local() { return IR::OperandHelper::MakeLocal(Arena); }
    IR::Operand* Label() { return IR::OperandHelper::MakeLabel(Arena); }

    // Appends inst(sources) writing a new local; returns the operation.
    IR::Operation* Op(IR::Instruction inst, std::initializer_list<IR::Operand*> sources) {
        IR::Operation* op = Arena.NewOperation(inst, Local(), sources);
        Current->Operations.AddLast(op);
        return op;
    }
    IR::Operation* Op(IR::Instruction inst, IR::StorageKind kind, std::initializer_list<IR::Operand*> sources) {
        IR::Operation* op = Arena.NewOperation(inst, kind, Local(), sources);
        Current->Operations.AddLast(op);
        return op;
    }
    // Appends inst(sources) without destination.
    IR::Operation* Void(IR::Instruction inst, IR::StorageKind kind, std::initializer_list<IR::Operand*> sources) {
        IR::Operation* op = Arena.NewOperation(inst, kind, nullptr, sources);
        Current->Operations.AddLast(op);
        return op;
    }
    // Appends inst(sources) and returns its destination.
    IR::Operand* Val(IR::Instruction inst, std::initializer_list<IR::Operand*> sources) {
        return Op(inst, sources)->Dest();
    }

    static std::vector<IR::INode*> Nodes(const IR::BasicBlock* block) {
        std::vector<IR::INode*> nodes;
        for (IR::INode* node : block->Operations)
            nodes.push_back(node);
        return nodes;
    }
};

} // namespace Zerivox::Graphics::Shader::Testing
