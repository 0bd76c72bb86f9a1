#include "Zerivox.Graphics.Shader/Translation/Optimizations/Simplification.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

namespace {

Operation* DefiningOperation(const Operand* operand) {
    return operand != nullptr && operand->Definition != nullptr ? operand->Definition->AsOperation() : nullptr;
}

void TurnIntoConstant(Operation* operation, int32_t value) {
    Operand* constant = OperandHelper::MakeConstant(operation->Arena(), value);
    Utils::TurnInto(operation, Instruction::Copy, constant);
}

bool IsBinary(const Operation* operation) { return operation->SourcesCount() >= 2; }

} // namespace

void Simplification::RunPass(Operation* operation) {
    switch (operation->Inst) {
    case Instruction::Add:
        TryEliminateBinaryOpCommutative(operation, 0);
        break;
    case Instruction::BitwiseAnd:
        TryEliminateBitwiseAnd(operation);
        break;
    case Instruction::BitwiseExclusiveOr:
        if (!TryEliminateXorSwap(operation))
            TryEliminateBinaryOpCommutative(operation, 0);
        break;
    case Instruction::BitwiseOr:
        TryEliminateBitwiseOr(operation);
        break;
    case Instruction::CompareNotEqual:
        TryEliminateCompareNotEqual(operation);
        break;
    case Instruction::ConditionalSelect:
        TryEliminateConditionalSelect(operation);
        break;
    case Instruction::Divide:
        if (IsBinary(operation) && IsConstEqual(operation->GetSource(1), 1)) {
            Utils::TurnInto(operation, Instruction::Copy, operation->GetSource(0));
        }
        break;
    case Instruction::Multiply:
        TryEliminateBinaryOpCommutative(operation, 1);
        break;
    case Instruction::ShiftLeft:
    case Instruction::ShiftRightS32:
    case Instruction::ShiftRightU32:
    case Instruction::Subtract:
        if (IsBinary(operation) && IsConstEqual(operation->GetSource(1), 0)) {
            Utils::TurnInto(operation, Instruction::Copy, operation->GetSource(0));
        }
        break;
    default:
        break;
    }
}

void Simplification::TryEliminateBitwiseAnd(Operation* operation) {
    if (!IsBinary(operation))
        return;
    Operand* x = operation->GetSource(0);
    Operand* y = operation->GetSource(1);
    if (IsConstEqual(x, -1)) {
        Utils::TurnInto(operation, Instruction::Copy, y);
    } else if (IsConstEqual(y, -1)) {
        Utils::TurnInto(operation, Instruction::Copy, x);
    } else if (IsConstEqual(x, 0) || IsConstEqual(y, 0)) {
        TurnIntoConstant(operation, 0);
    }
}

void Simplification::TryEliminateBitwiseOr(Operation* operation) {
    if (!IsBinary(operation))
        return;
    Operand* x = operation->GetSource(0);
    Operand* y = operation->GetSource(1);
    if (IsConstEqual(x, 0)) {
        Utils::TurnInto(operation, Instruction::Copy, y);
    } else if (IsConstEqual(y, 0)) {
        Utils::TurnInto(operation, Instruction::Copy, x);
    } else if (IsConstEqual(x, -1) || IsConstEqual(y, -1)) {
        TurnIntoConstant(operation, -1);
    }
}

bool Simplification::TryEliminateXorSwap(Operation* xCopyOp) {
    // Recognises the last of the three XORs that exchange two values:
    //   x = a ^ b;  y = x ^ b;  op = x ^ y   ==>  x = b, y = a, op = x.
    if (!IsBinary(xCopyOp))
        return false;
    Operand* x = xCopyOp->GetSource(0);
    Operand* y = xCopyOp->GetSource(1);

    Operation* xOp = DefiningOperation(x);
    Operation* yOp = DefiningOperation(y);
    if (xOp == nullptr || yOp == nullptr || xOp == yOp)
        return false;
    if (xOp->Inst != Instruction::BitwiseExclusiveOr || yOp->Inst != Instruction::BitwiseExclusiveOr)
        return false;
    if (!IsBinary(xOp) || !IsBinary(yOp))
        return false;
    if (yOp->GetSource(0) != x || yOp->GetSource(1) != xOp->GetSource(1))
        return false;
    // x may be read only by y and op: its value is about to change.
    if (x->Uses.Count() != 2)
        return false;

    Operand* a = xOp->GetSource(0);
    Operand* b = xOp->GetSource(1);
    Utils::TurnInto(xOp, Instruction::Copy, b);
    Utils::TurnInto(yOp, Instruction::Copy, a);
    Utils::TurnInto(xCopyOp, Instruction::Copy, x);
    return true;
}

void Simplification::TryEliminateBinaryOpCommutative(Operation* operation, int32_t comparand) {
    if (!IsBinary(operation))
        return;
    Operand* x = operation->GetSource(0);
    Operand* y = operation->GetSource(1);
    if (IsConstEqual(x, comparand)) {
        Utils::TurnInto(operation, Instruction::Copy, y);
    } else if (IsConstEqual(y, comparand)) {
        Utils::TurnInto(operation, Instruction::Copy, x);
    }
}

void Simplification::TryEliminateCompareNotEqual(Operation* operation) {
    if (!IsBinary(operation))
        return;
    Operand* x = operation->GetSource(0);
    Operand* y = operation->GetSource(1);
    if (x->Type == OperandType::Constant)
        std::swap(x, y);

    // (comparison != 0) is the comparison itself: booleans are -1 or 0.
    if (!IsConstEqual(y, 0))
        return;
    Operation* definition = DefiningOperation(x);
    if (definition != nullptr && InstructionExtensions::IsComparison(definition->Inst)) {
        Utils::TurnInto(operation, Instruction::Copy, x);
    }
}

void Simplification::TryEliminateConditionalSelect(Operation* operation) {
    if (operation->SourcesCount() < 3)
        return;
    Operand* condition = operation->GetSource(0);
    if (condition->Type != OperandType::Constant)
        return;
    Utils::TurnInto(operation, Instruction::Copy, operation->GetSource(condition->Value != 0 ? 1 : 2));
}

bool Simplification::IsConstEqual(const Operand* operand, int32_t value) {
    return operand != nullptr && operand->Type == OperandType::Constant && operand->Value == value;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
