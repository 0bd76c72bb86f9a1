#pragma once
// A small interpreter for IR functions in the form ControlFlowGraph::Create
// leaves them (no phis): runs one invocation with 32-bit values, so tests can
// check what generated IR computes, not only how it looks. Memory and
// subgroup access go through hooks.
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Testing {

class IrEvaluator {
  public:
    using Instruction = IntermediateRepresentation::Instruction;
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;
    using OperandType = IntermediateRepresentation::OperandType;
    using StorageKind = IntermediateRepresentation::StorageKind;

    // Load of ConstantBuffer or Input: the storage kind and the evaluated
    // sources (resource index first).
    std::function<uint32_t(StorageKind, std::span<const uint32_t>)> OnLoad;
    // Store to any memory but shared memory: the storage kind and the
    // evaluated sources (the value last).
    std::function<void(StorageKind, std::span<const uint32_t>)> OnStore;
    // Two-source Shuffle: the value and the host lane it reads.
    std::function<uint32_t(uint32_t, uint32_t)> OnShuffle;
    std::vector<uint32_t> SharedMemory;
    // In-arguments followed by out-arguments.
    std::vector<uint32_t> Arguments;

    // Runs the function; the returned value, or none for a plain Return.
    std::optional<uint32_t> Run(const IntermediateRepresentation::Function& function) {
        _values.clear();
        const IntermediateRepresentation::BasicBlock* block = function.Blocks.at(0);
        for (int steps = 0; steps < 100000; steps++) {
            const IntermediateRepresentation::BasicBlock* next = block->Next();
            for (const IntermediateRepresentation::INode* node : block->Operations) {
                const Operation* op = node->AsOperation();
                if (op == nullptr)
                    throw std::logic_error("phi nodes are not evaluated");
                Instruction code = IntermediateRepresentation::InstCode(op->Inst);
                if (code == Instruction::Comment)
                    continue;
                if (code == Instruction::Return) {
                    if (op->SourcesCount() == 0)
                        return std::nullopt;
                    return Get(op->GetSource(0));
                }
                if (code == Instruction::Branch) {
                    next = block->Branch();
                    break;
                }
                if (code == Instruction::BranchIfTrue || code == Instruction::BranchIfFalse) {
                    bool cond = Get(op->GetSource(0)) != 0;
                    if (cond == (code == Instruction::BranchIfTrue))
                        next = block->Branch();
                    break;
                }
                Execute(*op);
            }
            if (next == nullptr)
                throw std::logic_error("fell off the end of the function");
            block = next;
        }
        throw std::logic_error("step limit reached");
    }

  private:
    static float F(uint32_t v) { return std::bit_cast<float>(v); }
    static uint32_t U(float v) { return std::bit_cast<uint32_t>(v); }
    static uint32_t B(bool v) { return v ? 0xFFFFFFFFu : 0u; }
    static int32_t S(uint32_t v) { return static_cast<int32_t>(v); }

    uint32_t Get(const Operand* operand) {
        switch (operand->Type) {
        case OperandType::Constant:
            return static_cast<uint32_t>(operand->Value);
        case OperandType::Argument:
            return Arguments.at(static_cast<std::size_t>(operand->Value));
        case OperandType::Undefined:
            return 0;
        case OperandType::LocalVariable: {
            auto it = _values.find(operand);
            if (it == _values.end())
                throw std::logic_error("read of an unassigned local");
            return it->second;
        }
        default:
            throw std::logic_error("unsupported operand type");
        }
    }

    void Set(const Operand* operand, uint32_t value) {
        if (operand == nullptr)
            return;
        if (operand->Type == OperandType::Argument) {
            Arguments.at(static_cast<std::size_t>(operand->Value)) = value;
        } else {
            _values[operand] = value;
        }
    }

    void Execute(const Operation& op) {
        std::vector<uint32_t> s;
        for (const Operand* source : op.Sources())
            s.push_back(Get(source));
        auto src = [&](int i) { return s.at(static_cast<std::size_t>(i)); };
        const bool fp = (static_cast<uint32_t>(op.Inst) & static_cast<uint32_t>(Instruction::FP32)) != 0;
        uint32_t r = 0;
        switch (IntermediateRepresentation::InstCode(op.Inst)) {
        case Instruction::Copy:
            r = src(0);
            break;
        case Instruction::Add:
            r = fp ? U(F(src(0)) + F(src(1))) : src(0) + src(1);
            break;
        case Instruction::Subtract:
            r = fp ? U(F(src(0)) - F(src(1))) : src(0) - src(1);
            break;
        case Instruction::Multiply:
            r = fp ? U(F(src(0)) * F(src(1))) : src(0) * src(1);
            break;
        case Instruction::Divide:
            r = fp ? U(F(src(0)) / F(src(1))) : static_cast<uint32_t>(S(src(0)) / S(src(1)));
            break;
        case Instruction::Negate:
            r = fp ? src(0) ^ 0x80000000u : 0u - src(0);
            break;
        case Instruction::Absolute:
            r = fp ? src(0) & 0x7FFFFFFFu : static_cast<uint32_t>(std::abs(S(src(0))));
            break;
        case Instruction::Modulo: {
            float x = F(src(0)), y = F(src(1));
            r = U(x - y * std::floor(x / y));
            break;
        }
        case Instruction::LogicalAnd:
            r = B(src(0) != 0 && src(1) != 0);
            break;
        case Instruction::BitwiseAnd:
            r = src(0) & src(1);
            break;
        case Instruction::BitwiseOr:
            r = src(0) | src(1);
            break;
        case Instruction::BitwiseExclusiveOr:
            r = src(0) ^ src(1);
            break;
        case Instruction::BitwiseNot:
            r = ~src(0);
            break;
        case Instruction::ShiftLeft:
            r = src(1) >= 32 ? 0 : src(0) << src(1);
            break;
        case Instruction::ShiftRightU32:
            r = src(1) >= 32 ? 0 : src(0) >> src(1);
            break;
        case Instruction::ShiftRightS32:
            r = static_cast<uint32_t>(S(src(0)) >> (src(1) & 31));
            break;
        case Instruction::CompareEqual:
            r = B(fp ? F(src(0)) == F(src(1)) : src(0) == src(1));
            break;
        case Instruction::CompareNotEqual:
            r = B(fp ? F(src(0)) != F(src(1)) : src(0) != src(1));
            break;
        case Instruction::CompareLess:
            r = B(fp ? F(src(0)) < F(src(1)) : S(src(0)) < S(src(1)));
            break;
        case Instruction::CompareGreater:
            r = B(fp ? F(src(0)) > F(src(1)) : S(src(0)) > S(src(1)));
            break;
        case Instruction::CompareGreaterOrEqual:
            r = B(S(src(0)) >= S(src(1)));
            break;
        case Instruction::CompareLessOrEqualU32:
            r = B(src(0) <= src(1));
            break;
        case Instruction::CompareGreaterU32:
            r = B(src(0) > src(1));
            break;
        case Instruction::ConditionalSelect:
            r = src(0) != 0 ? src(1) : src(2);
            break;
        case Instruction::Maximum:
            r = static_cast<uint32_t>(std::max(S(src(0)), S(src(1))));
            break;
        case Instruction::Minimum:
            r = static_cast<uint32_t>(std::min(S(src(0)), S(src(1))));
            break;
        case Instruction::FindMSBU32:
            r = src(0) == 0 ? 0xFFFFFFFFu : 31u - static_cast<uint32_t>(std::countl_zero(src(0)));
            break;
        case Instruction::BitfieldInsert: {
            uint32_t mask = src(3) >= 32 ? ~0u : ((1u << src(3)) - 1u) << src(2);
            r = (src(0) & ~mask) | ((src(1) << src(2)) & mask);
            break;
        }
        case Instruction::ConvertS32ToFP32:
            r = U(static_cast<float>(S(src(0))));
            break;
        case Instruction::ConvertFP32ToS32:
            r = static_cast<uint32_t>(static_cast<int32_t>(std::trunc(F(src(0)))));
            break;
        case Instruction::Shuffle:
            r = OnShuffle(src(0), src(1));
            break;
        case Instruction::Load:
            if (op.StorageKind == StorageKind::SharedMemory) {
                r = SharedMemory.at(src(1));
            } else {
                r = OnLoad(op.StorageKind, s);
            }
            break;
        case Instruction::Store:
            if (op.StorageKind == StorageKind::SharedMemory) {
                SharedMemory.at(src(1)) = src(2);
            } else {
                OnStore(op.StorageKind, s);
            }
            return;
        case Instruction::AtomicCompareAndSwap: {
            uint32_t& word = SharedMemory.at(src(1));
            r = word;
            if (word == src(2))
                word = src(3);
            break;
        }
        default:
            throw std::logic_error("instruction not evaluated: " + std::to_string(static_cast<uint32_t>(op.Inst)));
        }
        Set(op.Dest(), r);
    }

    std::unordered_map<const Operand*, uint32_t> _values;
};

} // namespace Zerivox::Graphics::Shader::Testing
