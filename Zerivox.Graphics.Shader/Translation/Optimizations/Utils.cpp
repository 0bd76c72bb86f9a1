#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

bool Utils::IsInputLoad(const INode* node) {
    const Operation* op = node != nullptr ? node->AsOperation() : nullptr;
    return op != nullptr && op->Inst == Instruction::Load && op->StorageKind == StorageKind::Input;
}

bool Utils::IsInputLoad(const INode* node, IoVariable ioVariable, int component) {
    if (!IsInputLoad(node))
        return false;
    const Operation* op = node->AsOperation();
    if (op->SourcesCount() != 2)
        return false;
    const Operand* var = op->GetSource(0);
    const Operand* comp = op->GetSource(1);
    return var != nullptr && comp != nullptr && var->Type == OperandType::Constant &&
           comp->Type == OperandType::Constant && var->Value == static_cast<int32_t>(ioVariable) &&
           comp->Value == component;
}

bool Utils::IsSameOperand(const Operand* x, const Operand* y) {
    if (x == nullptr || y == nullptr)
        return x == y;
    if (x->Type != y->Type || x->Value != y->Value)
        return false;
    return x == y || x->Type == OperandType::Constant || x->Type == OperandType::ConstantBuffer;
}

bool Utils::AreAllSourcesEqual(const Operation* x, const Operation* y) {
    if (x->SourcesCount() != y->SourcesCount())
        return false;
    for (int i = 0; i < x->SourcesCount(); i++) {
        if (!IsSameOperand(x->GetSource(i), y->GetSource(i)))
            return false;
    }
    return true;
}

bool Utils::AreAllSourcesTheSameOperand(const INode* node) {
    int count = node->SourcesCount();
    if (count == 0)
        return true;
    const Operand* first = node->GetSource(0);
    for (int i = 1; i < count; i++) {
        if (!IsSameOperand(first, node->GetSource(i)))
            return false;
    }
    return true;
}

Operation* Utils::FindBranchSource(const BasicBlock* block) {
    for (BasicBlock* pred : block->Predecessors) {
        INode* last = pred->GetLastOp();
        if (last == nullptr)
            continue;
        Operation* op = last->AsOperation();
        if (op == nullptr)
            continue;
        if ((op->Inst == Instruction::BranchIfFalse || op->Inst == Instruction::BranchIfTrue) &&
            pred->Next() == block) {
            return op;
        }
    }
    return nullptr;
}

bool Utils::IsSameCondition(const Operand* x, const Operand* y) {
    if (x == y)
        return true;
    if (x == nullptr || y == nullptr)
        return false;
    const Operation* xOp = x->Definition != nullptr ? x->Definition->AsOperation() : nullptr;
    const Operation* yOp = y->Definition != nullptr ? y->Definition->AsOperation() : nullptr;
    if (xOp == nullptr || yOp == nullptr || xOp->Inst != yOp->Inst)
        return false;
    return AreAllSourcesEqual(xOp, yOp);
}

bool Utils::BlockConditionsMatch(const BasicBlock* x, const BasicBlock* y) {
    const Operation* xBranch = FindBranchSource(x);
    const Operation* yBranch = FindBranchSource(y);
    if (xBranch == nullptr || yBranch == nullptr || xBranch->Inst != yBranch->Inst)
        return false;
    if (xBranch->SourcesCount() < 1 || yBranch->SourcesCount() < 1)
        return false;
    return IsSameCondition(xBranch->GetSource(0), yBranch->GetSource(0));
}

Operand* Utils::FindLastOperation(Operand* value, const BasicBlock* block, bool recurse) {
    const PhiNode* phi = value->Definition != nullptr ? value->Definition->AsPhi() : nullptr;
    if (phi == nullptr)
        return value;

    int count = phi->SourcesCount();
    int undefinedCount = 0;
    for (int i = count - 1; i >= 0; i--) {
        Operand* source = phi->GetSource(i);
        if (BlockConditionsMatch(block, phi->GetBlock(i)))
            return source;

        // One level deeper only: the search must stay bounded on phi webs.
        if (recurse && source->Definition != nullptr && source->Definition->IsPhi()) {
            Operand* inner = FindLastOperation(source, block, false);
            if (inner != source)
                return inner;
        }
        if (source->Type == OperandType::Undefined)
            undefinedCount++;
    }

    // A value defined on one road only: the other roads bring nothing.
    if (count > 0 && undefinedCount == count - 1) {
        Operand* last = nullptr;
        for (int i = 0; i < count; i++) {
            Operand* source = phi->GetSource(i);
            if (source->Type != OperandType::Undefined)
                last = source;
        }
        return last;
    }
    return value;
}

void Utils::TurnInto(Operation* operation, Instruction newInst, Operand* source) {
    for (Operand* old : operation->Sources()) {
        // Read by this operation alone and not kept: nothing reads it once
        // the rewrite is done.
        if (old != nullptr && old != source && old->Type == OperandType::LocalVariable &&
            old->Definition != nullptr && old->Uses.Count() == 1)
            old->Definition->set_Revisit(true);
    }
    operation->TurnInto(newInst, source);
    operation->set_Revisit(true);
}

void Utils::MarkForCleanUp(Operation* operation) {
    operation->set_Revisit(true);
    for (Operand* source : operation->Sources()) {
        if (source != nullptr && source->Type == OperandType::LocalVariable && source->Definition != nullptr)
            source->Definition->set_Revisit(true);
    }
}

void Utils::DeleteNode(Operation* operation) {
    MarkForCleanUp(operation);
    if (operation->List() != nullptr)
        operation->List()->Remove(operation);
    for (int i = 0; i < operation->SourcesCount(); i++) {
        operation->SetSource(i, nullptr);
    }
    operation->set_Dest(nullptr);
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
