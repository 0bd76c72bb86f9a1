#pragma once
// Fixtures for structurer tests: a translation-sized environment (IR arena,
// accessor, definitions, resource manager), a printer that renders a
// structured function as compact text, and interpreters for IR functions and
// structured functions so that tests can compare what both compute. The IR
// they structure comes from text (TestSupport/IrTestBuilder.h).
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstComment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgram.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Testing {

namespace IR = IntermediateRepresentation;
namespace SIR = StructuredIr;
using IR::Instruction;
using IR::OperandType;
using IR::StorageKind;

// Everything MakeStructuredProgram needs besides the functions.
struct StructurerEnvironment {
    FakeGpuAccessor Accessor;
    Translation::AttributeUsage AttributeUsage{Accessor};
    Translation::ShaderDefinitions Definitions{ShaderStage::Compute, 1, 1, 1};
    Translation::ResourceManager Resources{ShaderStage::Compute, Accessor,
                                           Translation::ResourceReservations(false, false)};

    std::unique_ptr<SIR::StructuredProgramInfo> Structure(std::vector<IR::Function*> functions,
                                                          bool debugMode = true,
                                                          Translation::TargetLanguage language =
                                                              Translation::TargetLanguage::Spirv) {
        return SIR::StructuredProgram::MakeStructuredProgram(functions, AttributeUsage, Definitions, Resources,
                                                             language, debugMode);
    }
};

// Compact text of a structured block: one statement per line, nested blocks
// indented by two blanks per level. Locals print as v0, v1, ... in order of
// first appearance in the text, constants in decimal, operations as
// Name(sources); Load/Store of local memory print as mem[...].
class AstPrinter {
public:
    std::string Print(const SIR::AstBlock* block) {
        std::string text;
        PrintBlock(block, 0, text);
        return text;
    }

    std::string Expr(const SIR::IAstNode* node) {
        if (node == nullptr) return "null";
        if (const auto* operand = SIR::As<SIR::AstOperand>(node)) {
            switch (operand->Type) {
            case OperandType::LocalVariable: {
                auto [it, added] = _names.try_emplace(operand, "v" + std::to_string(_names.size()));
                return it->second;
            }
            case OperandType::Argument: return "a" + std::to_string(operand->Value);
            case OperandType::Undefined: return "undef";
            default: return std::to_string(operand->Value);
            }
        }
        if (const auto* op = SIR::As<SIR::AstOperation>(node)) {
            std::string text(IR::InstructionName(op->Inst));
            if ((static_cast<uint32_t>(op->Inst) & 0x10000u) != 0) text += ".f32";
            if ((static_cast<uint32_t>(op->Inst) & 0x20000u) != 0) text += ".f64";
            text += "(";
            for (int32_t i = 0; i < op->SourcesCount(); i++) {
                if (i > 0) text += ", ";
                text += Expr(op->GetSource(i));
            }
            return text + ")";
        }
        return "?";
    }

private:
    void PrintBlock(const SIR::AstBlock* block, int depth, std::string& text) {
        for (const SIR::IAstNode* node : *block) {
            std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
            if (const auto* nested = SIR::As<SIR::AstBlock>(node)) {
                text += indent + SIR::AstBlockTypeName(nested->Type);
                if (nested->Condition() != nullptr) text += " " + Expr(nested->Condition());
                text += " {\n";
                PrintBlock(nested, depth + 1, text);
                text += indent + "}\n";
            } else if (const auto* assignment = SIR::As<SIR::AstAssignment>(node)) {
                std::string dest = Expr(assignment->Destination());
                text += indent + dest + " = " + Expr(assignment->Source()) + "\n";
            } else if (const auto* comment = SIR::As<SIR::AstComment>(node)) {
                text += indent + "// " + std::string(comment->Comment) + "\n";
            } else {
                text += indent + Expr(node) + "\n";
            }
        }
    }

    std::unordered_map<const SIR::AstOperand*, std::string> _names;
};

// Observable behaviour of a run: the local-memory stores in order, and the
// returned value.
struct Trace {
    std::vector<std::pair<uint32_t, uint32_t>> Stores;
    std::optional<uint32_t> Result;
    bool Truncated = false;
    bool operator==(const Trace&) const = default;
};

// Both interpreters understand the same small instruction set (integer
// arithmetic, comparisons, logic, select, local-memory load/store); a run
// stops after `MaxStores` stores so that endless loops still compare.
constexpr std::size_t MaxStores = 64;
constexpr int MaxSteps = 200000;

inline uint32_t Evaluate(Instruction inst, const std::vector<uint32_t>& v) {
    auto b = [](uint32_t x) { return x != 0; };
    auto fromBool = [](bool x) { return x ? 0xFFFFFFFFu : 0u; };
    switch (inst) {
    case Instruction::Add: return v.at(0) + v.at(1);
    case Instruction::Subtract: return v.at(0) - v.at(1);
    case Instruction::Multiply: return v.at(0) * v.at(1);
    case Instruction::BitwiseAnd: return v.at(0) & v.at(1);
    case Instruction::BitwiseOr: return v.at(0) | v.at(1);
    case Instruction::BitwiseExclusiveOr: return v.at(0) ^ v.at(1);
    case Instruction::BitwiseNot: return ~v.at(0);
    case Instruction::Negate: return 0u - v.at(0);
    case Instruction::CompareLess: return fromBool(static_cast<int32_t>(v.at(0)) < static_cast<int32_t>(v.at(1)));
    case Instruction::CompareEqual: return fromBool(v.at(0) == v.at(1));
    case Instruction::CompareNotEqual: return fromBool(v.at(0) != v.at(1));
    case Instruction::LogicalNot: return fromBool(!b(v.at(0)));
    case Instruction::LogicalAnd: return fromBool(b(v.at(0)) && b(v.at(1)));
    case Instruction::LogicalOr: return fromBool(b(v.at(0)) || b(v.at(1)));
    case Instruction::LogicalExclusiveOr: return fromBool(b(v.at(0)) != b(v.at(1)));
    case Instruction::ConditionalSelect: return b(v.at(0)) ? v.at(1) : v.at(2);
    default: throw std::logic_error("instruction not interpreted: " + std::string(IR::InstructionName(inst)));
    }
}

// Runs an IR function without phis (guest registers and/or locals).
class IrInterpreter {
public:
    std::map<uint32_t, uint32_t> Memory;

    Trace Run(const IR::Function& function) {
        Trace trace;
        const IR::BasicBlock* block = function.Blocks.at(0);
        int steps = 0;
        while (block != nullptr) {
            const IR::BasicBlock* next = block->Next();
            for (const IR::INode* node : block->Operations) {
                if (++steps > MaxSteps) throw std::runtime_error("IR run did not stop");
                const IR::Operation* op = node->AsOperation();
                if (op == nullptr) throw std::logic_error("phi nodes are not interpreted");
                switch (op->Inst) {
                case Instruction::Branch: next = block->Branch(); break;
                case Instruction::BranchIfTrue:
                    if (Get(op->GetSource(0)) != 0) next = block->Branch();
                    break;
                case Instruction::BranchIfFalse:
                    if (Get(op->GetSource(0)) == 0) next = block->Branch();
                    break;
                case Instruction::Return:
                    if (op->SourcesCount() > 0) trace.Result = Get(op->GetSource(0));
                    return trace;
                case Instruction::Copy: Set(op->Dest(), Get(op->GetSource(0))); break;
                case Instruction::Load:
                    Set(op->Dest(), Memory[Get(op->GetSource(1))]);
                    break;
                case Instruction::Store: {
                    uint32_t address = Get(op->GetSource(1));
                    uint32_t value = Get(op->GetSource(2));
                    Memory[address] = value;
                    trace.Stores.emplace_back(address, value);
                    if (trace.Stores.size() >= MaxStores) {
                        trace.Truncated = true;
                        return trace;
                    }
                    break;
                }
                default: {
                    std::vector<uint32_t> values;
                    for (const IR::Operand* source : op->Sources()) values.push_back(Get(source));
                    Set(op->Dest(), Evaluate(op->Inst, values));
                }
                }
            }
            block = next;
        }
        throw std::runtime_error("IR run fell off the function");
    }

private:
    uint32_t Get(const IR::Operand* operand) {
        switch (operand->Type) {
        case OperandType::Constant: return static_cast<uint32_t>(operand->Value);
        case OperandType::Register: return _registers[operand->Value];
        case OperandType::LocalVariable: return _locals[operand];
        default: return 0;
        }
    }
    void Set(const IR::Operand* operand, uint32_t value) {
        if (operand->Type == OperandType::Register) {
            _registers[operand->Value] = value;
        } else {
            _locals[operand] = value;
        }
    }

    std::unordered_map<int32_t, uint32_t> _registers;
    std::unordered_map<const IR::Operand*, uint32_t> _locals;
};

// Runs a structured function: Main/If/Else/DoWhile blocks, LoopBreak,
// LoopContinue and Return.
class AstInterpreter {
public:
    std::map<uint32_t, uint32_t> Memory;

    Trace Run(const SIR::StructuredFunction& function) {
        _trace = Trace{};
        _steps = 0;
        RunBlock(function.MainBlock);
        return _trace;
    }

private:
    enum class Flow { Normal, Break, Continue, Return, Stop };

    Flow RunBlock(const SIR::AstBlock* block) {
        bool previousIfTaken = false;
        for (const SIR::IAstNode* node : *block) {
            if (++_steps > MaxSteps) throw std::runtime_error("structured run did not stop");
            if (const auto* nested = SIR::As<SIR::AstBlock>(node)) {
                Flow flow = Flow::Normal;
                if (nested->Type == SIR::AstBlockType::If) {
                    previousIfTaken = Eval(nested->Condition()) != 0;
                    if (previousIfTaken) flow = RunBlock(nested);
                } else if (nested->Type == SIR::AstBlockType::Else) {
                    if (!previousIfTaken) flow = RunBlock(nested);
                } else if (nested->Type == SIR::AstBlockType::DoWhile) {
                    flow = RunLoop(nested);
                } else {
                    throw std::logic_error("unexpected block type");
                }
                if (flow != Flow::Normal) return flow;
                continue;
            }
            if (const auto* assignment = SIR::As<SIR::AstAssignment>(node)) {
                uint32_t value = Eval(assignment->Source());
                _locals[SIR::As<SIR::AstOperand>(assignment->Destination())] = value;
                continue;
            }
            if (SIR::Is<SIR::AstComment>(node)) continue;
            const auto* op = SIR::As<SIR::AstOperation>(node);
            switch (op->Inst) {
            case Instruction::LoopBreak: return Flow::Break;
            case Instruction::LoopContinue: return Flow::Continue;
            case Instruction::Return:
                if (op->SourcesCount() > 0) _trace.Result = Eval(op->GetSource(0));
                return Flow::Return;
            case Instruction::Store: {
                uint32_t address = Eval(op->GetSource(1));
                uint32_t value = Eval(op->GetSource(2));
                Memory[address] = value;
                _trace.Stores.emplace_back(address, value);
                if (_trace.Stores.size() >= MaxStores) {
                    _trace.Truncated = true;
                    return Flow::Stop;
                }
                break;
            }
            default: throw std::logic_error("unexpected statement " + std::string(IR::InstructionName(op->Inst)));
            }
        }
        return Flow::Normal;
    }

    Flow RunLoop(const SIR::AstBlock* loop) {
        while (true) {
            Flow flow = RunBlock(loop);
            if (flow == Flow::Break) return Flow::Normal;
            if (flow == Flow::Return || flow == Flow::Stop) return flow;
            if (Eval(loop->Condition()) == 0) return Flow::Normal;
        }
    }

    uint32_t Eval(const SIR::IAstNode* node) {
        if (const auto* operand = SIR::As<SIR::AstOperand>(node)) {
            if (operand->Type == OperandType::LocalVariable) return _locals[operand];
            return static_cast<uint32_t>(operand->Value);
        }
        const auto* op = SIR::As<SIR::AstOperation>(node);
        if (op == nullptr) throw std::logic_error("unexpected expression");
        if (op->Inst == Instruction::Load) return Memory[Eval(op->GetSource(1))];
        std::vector<uint32_t> values;
        for (const SIR::IAstNode* source : op->Sources()) values.push_back(Eval(source));
        return Evaluate(op->Inst, values);
    }

    std::unordered_map<const SIR::AstOperand*, uint32_t> _locals;
    Trace _trace;
    int _steps = 0;
};

} // namespace Zerivox::Graphics::Shader::Testing
