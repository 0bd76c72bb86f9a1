#include "Zerivox.Graphics.Shader/Translation/Optimizations/XmadOptimizer.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Optimizer.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

namespace {

Operation* DefiningOperation(const Operand* operand) {
    return operand != nullptr && operand->Definition != nullptr ? operand->Definition->AsOperation() : nullptr;
}

bool IsConstEqual(const Operand* operand, int32_t value) {
    return operand != nullptr && operand->Type == OperandType::Constant && operand->Value == value;
}

} // namespace

void XmadOptimizer::RunPass(BasicBlock* block) {
    INode* node = block->Operations.First();
    while (node != nullptr) {
        Operation* operation = node->AsOperation();
        // Both patterns end in an Add: most operations are ruled out here,
        // without a call.
        if (operation == nullptr || operation->Inst != Instruction::Add) {
            node = node->ListNext();
            continue;
        }

        Operand* a = nullptr;
        Operand* b = nullptr;
        Operand* c = nullptr;
        if (!TryMatchXmad32x32Pattern(operation, a, b, c) && !TryMatchXmad32x16Pattern(operation, a, b, c)) {
            node = node->ListNext();
            continue;
        }

        IrArena& arena = operation->Arena();
        Operand* dest = operation->Dest();
        INode* last;
        if (c == nullptr) {
            Operation* mul = arena.NewOperation(Instruction::Multiply, dest, {a, b});
            block->Operations.AddAfter(operation, mul);
            last = mul;
        } else {
            Operand* temp = OperandHelper::MakeLocal(arena);
            Operation* mul = arena.NewOperation(Instruction::Multiply, temp, {a, b});
            block->Operations.AddAfter(operation, mul);
            Operation* add = arena.NewOperation(Instruction::Add, dest, {temp, c});
            block->Operations.AddAfter(mul, add);
            last = add;
        }

        Optimizer::RemoveNode(block, operation);
        node = last->ListNext();
    }
}

bool XmadOptimizer::TryMatchXmad32x32Pattern(Operation* operation, Operand*& a, Operand*& b, Operand*& c) {
    a = b = c = nullptr;
    if (operation->Inst != Instruction::Add || operation->SourcesCount() != 2)
        return false;

    Operation* midOp = DefiningOperation(operation->GetSource(1));
    if (midOp == nullptr || midOp->Inst != Instruction::Add || midOp->SourcesCount() != 2)
        return false;

    Operation* lowTimesLowOp = DefiningOperation(GetCopySource(midOp->GetSource(0)));
    if (lowTimesLowOp == nullptr || !TryMatchLowTimesLow(lowTimesLowOp, a, b, c))
        return false;

    Operand* w = GetShifted16Source(midOp->GetSource(1), Instruction::ShiftLeft);
    if (w == nullptr)
        return false;
    Operand* t = GetCopySource(w);

    Operation* lowTimesHighOp = DefiningOperation(t);
    if (lowTimesHighOp == nullptr || !TryMatchLowTimesHigh(lowTimesHighOp, a, b))
        return false;

    Operation* highTimesHighOp = DefiningOperation(operation->GetSource(0));
    if (highTimesHighOp == nullptr || !TryMatchHighTimesHigh(highTimesHighOp, a, t))
        return false;

    return true;
}

bool XmadOptimizer::TryMatchXmad32x16Pattern(Operation* operation, Operand*& a, Operand*& b, Operand*& c) {
    a = b = c = nullptr;
    if (operation->Inst != Instruction::Add || operation->SourcesCount() != 2)
        return false;

    Operation* lowTimesLowOp = DefiningOperation(GetCopySource(operation->GetSource(1)));
    if (lowTimesLowOp == nullptr || !TryMatchLowTimesLow(lowTimesLowOp, a, b, c))
        return false;

    Operation* highTimesLowOp = DefiningOperation(operation->GetSource(0));
    if (highTimesLowOp == nullptr || !TryMatchHighTimesLow(highTimesLowOp, a, b))
        return false;

    // Only a 16-bit constant factor makes a.lo*b + (a.hi*b << 16) the full product.
    return b->Type == OperandType::Constant && b->Value >= 0 && b->Value <= 0xFFFF;
}

bool XmadOptimizer::TryMatchLowTimesLow(Operation* operation, Operand*& a, Operand*& b, Operand*& c) {
    a = b = c = nullptr;
    if (operation->Inst == Instruction::Add) {
        if (operation->SourcesCount() != 2)
            return false;
        c = operation->GetSource(1);
        operation = DefiningOperation(operation->GetSource(0));
        if (operation == nullptr)
            return false;
    }

    if (operation->Inst != Instruction::Multiply || operation->SourcesCount() != 2)
        return false;

    a = GetMasked16Source(operation->GetSource(0));
    b = GetMasked16Source(operation->GetSource(1));
    return a != nullptr && b != nullptr;
}

bool XmadOptimizer::TryMatchLowTimesHigh(Operation* operation, Operand* a, Operand* b) {
    if (operation->Inst != Instruction::BitwiseOr || operation->SourcesCount() != 2)
        return false;

    Operand* masked = GetMasked16Source(operation->GetSource(0));
    if (masked == nullptr)
        return false;

    Operation* mulOp = DefiningOperation(GetCopySource(masked));
    if (mulOp == nullptr || mulOp->Inst != Instruction::Multiply || mulOp->SourcesCount() != 2)
        return false;

    if (GetMasked16Source(mulOp->GetSource(0)) != a)
        return false;
    if (GetShifted16Source(mulOp->GetSource(1), Instruction::ShiftRightU32) != b)
        return false;

    return GetShifted16Source(operation->GetSource(1), Instruction::ShiftLeft) == b;
}

bool XmadOptimizer::TryMatchHighTimesLow(Operation* operation, Operand* a, Operand* b) {
    if (operation->Inst != Instruction::ShiftLeft || operation->SourcesCount() != 2 ||
        !IsConstEqual(operation->GetSource(1), 16)) {
        return false;
    }

    Operation* mulOp = DefiningOperation(operation->GetSource(0));
    if (mulOp == nullptr || mulOp->Inst != Instruction::Multiply || mulOp->SourcesCount() != 2)
        return false;

    if (GetShifted16Source(mulOp->GetSource(0), Instruction::ShiftRightU32) != a)
        return false;

    // The constant factor was masked separately for each step: compare by value.
    Operand* q = GetMasked16Source(mulOp->GetSource(1));
    return q != nullptr && b != nullptr && q->Type == b->Type && q->Value == b->Value;
}

bool XmadOptimizer::TryMatchHighTimesHigh(Operation* operation, Operand* a, Operand* t) {
    if (operation->Inst != Instruction::ShiftLeft || operation->SourcesCount() != 2 ||
        !IsConstEqual(operation->GetSource(1), 16)) {
        return false;
    }

    Operation* mulOp = DefiningOperation(operation->GetSource(0));
    if (mulOp == nullptr || mulOp->Inst != Instruction::Multiply || mulOp->SourcesCount() != 2)
        return false;

    if (GetShifted16Source(mulOp->GetSource(0), Instruction::ShiftRightU32) != a)
        return false;

    Operand* q = GetShifted16Source(mulOp->GetSource(1), Instruction::ShiftRightU32);
    return q != nullptr && GetCopySource(q) == t;
}

Operand* XmadOptimizer::GetMasked16Source(Operand* x) {
    Operation* op = DefiningOperation(x);
    if (op == nullptr || op->Inst != Instruction::BitwiseAnd || op->SourcesCount() != 2)
        return nullptr;
    return IsConstEqual(op->GetSource(1), 0xFFFF) ? op->GetSource(0) : nullptr;
}

Operand* XmadOptimizer::GetShifted16Source(Operand* x, Instruction inst) {
    Operation* op = DefiningOperation(x);
    if (op == nullptr || op->Inst != inst || op->SourcesCount() != 2)
        return nullptr;
    return IsConstEqual(op->GetSource(1), 16) ? op->GetSource(0) : nullptr;
}

Operand* XmadOptimizer::GetCopySource(Operand* x) {
    // Copy chains of well-formed SSA are acyclic; the bound only guards
    // against malformed input looping forever.
    for (int guard = 0; guard < 1024; guard++) {
        Operation* op = DefiningOperation(x);
        if (op == nullptr || !IsCopy(op))
            break;
        x = op->GetSource(0);
    }
    return x;
}

bool XmadOptimizer::IsCopy(const Operation* operation) {
    if (operation->SourcesCount() < 1)
        return false;
    return operation->Inst == Instruction::Copy ||
           (operation->Inst == Instruction::Add && operation->SourcesCount() == 2 &&
            IsConstEqual(operation->GetSource(1), 0));
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
