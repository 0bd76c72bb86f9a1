#pragma once
// Harness for the integer/move/shift emitter tests: assembles instruction
// words, runs the emitter the instruction table binds to each word inside a
// real translation context, prints what it appended, and interprets the flat
// IR over a guest register file. Values produced by a host-undefined
// operation (a shift by 32 or more) are poisoned; a select that discards
// them clears the poison, so a poisoned register means undefined output.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/Decoders/InstTable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

namespace Zerivox::Graphics::Shader::Testing {

// An instruction word from a 14-character table prefix plus fields, with
// the usual field helpers (Rd, Ra, Rb, Imm20 from DecoderTestSupport).
inline Inst Word(std::string_view prefix) { return Inst(prefix); }
inline Inst& Rc(Inst& inst, int r) { return inst.Bits(39, 8, static_cast<uint64_t>(r)); }
inline Inst& Cbuf(Inst& inst, int slot, int offset) {
    return inst.Bits(20, 14, static_cast<uint64_t>(offset)).Bits(34, 5, static_cast<uint64_t>(slot));
}

class EmitHarness {
  public:
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;
    using Instruction = IntermediateRepresentation::Instruction;

    explicit EmitHarness(ShaderStage stage = ShaderStage::Compute, int32_t subgroupSize = 32) {
        CodeBuilder code;
        code.Add(Exit());
        std::vector<uint64_t> words;
        auto flags = Translation::TranslationFlags::None;
        if (stage == ShaderStage::Compute) {
            flags = Translation::TranslationFlags::Compute;
        } else {
            words.assign(10, 0);
            words[0] = static_cast<uint64_t>(stage) << 10;
            words[1] = uint64_t{4} << 24; // threads per input primitive: a control shader's patch size
        }
        words.insert(words.end(), code.Words.begin(), code.Words.end());
        _accessor = std::make_unique<DecoderGpuAccessor>(words);
        _accessor->SubgroupSize = subgroupSize;
        Translation::TranslationOptions options(Translation::TargetLanguage::Spirv,
                                                Translation::TargetGraphicsApi::Vulkan, flags);
        _translator = std::make_unique<Translation::TranslatorContext>(
            Translation::Translator::DecodeShader(0, *_accessor, options));
        _resources = _translator->CreateResourceManager(false);
        Context = std::make_unique<Translation::EmitterContext>(*_translator, *_resources, _translator->Program(),
                                                                false, false);
        _start = Context->Operations.size();
    }

    Translation::ShaderDefinitions& Definitions() { return _translator->Definitions(); }
    const std::vector<std::string>& Log() const { return _accessor->Messages; }

    // Runs the emitter bound to word; returns the IR it appended, one
    // operation per line.
    std::string Emit(uint64_t word) {
        const std::size_t before = Context->Operations.size();
        const Decoders::InstOp op = Decoders::InstTable::GetOp(0x8, word);
        if (op.Emitter == nullptr)
            throw std::logic_error("word matches no emitter");
        Context->CurrOp = op;
        op.Emitter(*Context);
        std::span<Operation* const> all(Context->Operations);
        return IntermediateRepresentation::IrPrinter::PrintOperations(all.subspan(before));
    }

    // Everything emitted so far (after the prologue).
    std::span<Operation* const> Emitted() const {
        return std::span<Operation* const>(Context->Operations).subspan(_start);
    }

    std::unique_ptr<Translation::EmitterContext> Context;

  private:
    std::unique_ptr<DecoderGpuAccessor> _accessor;
    std::unique_ptr<Translation::TranslatorContext> _translator;
    std::unique_ptr<Translation::ResourceManager> _resources;
    std::size_t _start = 0;
};

// Guest register file plus an interpreter for straight-line IR.
class AluMachine {
  public:
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;
    using Instruction = IntermediateRepresentation::Instruction;
    using OperandType = IntermediateRepresentation::OperandType;
    using RegisterType = Decoders::RegisterType;

    struct Value {
        uint32_t Bits = 0;
        bool Poison = false;
    };

    Value Gpr[256];
    Value Pred[8];
    Value Flags[4];
    std::map<std::pair<int, int>, uint32_t> Cbuf; // (slot, word) -> value
    // Input loads: the IoVariable and component (-1 when none).
    std::function<uint32_t(int, int)> OnInput;

    uint32_t R(int index) const { return Check(Gpr[index], "R" + std::to_string(index)); }
    bool P(int index) const { return Check(Pred[index], "P" + std::to_string(index)) != 0; }
    uint32_t CC(int index) const { return Check(Flags[index], "CC" + std::to_string(index)); }
    void SetR(int index, uint32_t value) { Gpr[index] = {value, false}; }
    void SetP(int index, bool value) { Pred[index] = {value ? 0xFFFFFFFFu : 0u, false}; }
    void SetCC(int index, bool value) { Flags[index] = {value ? 0xFFFFFFFFu : 0u, false}; }

    void Run(std::span<Operation* const> operations) {
        for (const Operation* op : operations)
            Execute(*op);
    }

  private:
    static uint32_t Check(const Value& value, const std::string& name) {
        if (value.Poison)
            throw std::logic_error(name + " holds an undefined value");
        return value.Bits;
    }

    Value Get(const Operand* operand) {
        switch (operand->Type) {
        case OperandType::Constant:
            return {static_cast<uint32_t>(operand->Value), false};
        case OperandType::ConstantBuffer: {
            auto it = Cbuf.find({operand->GetCbufSlot(), operand->GetCbufOffset()});
            return {it == Cbuf.end() ? 0u : it->second, false};
        }
        case OperandType::Register:
            return RegisterSlot(operand);
        case OperandType::LocalVariable: {
            auto it = _locals.find(operand);
            if (it == _locals.end())
                throw std::logic_error("read of an unassigned local");
            return it->second;
        }
        default:
            throw std::logic_error("unsupported operand type");
        }
    }

    Value& RegisterSlot(const Operand* operand) {
        const Decoders::Register reg = operand->GetRegister();
        switch (reg.Type) {
        case RegisterType::Gpr:
            return Gpr[reg.Index & 0xFF];
        case RegisterType::Predicate:
            return Pred[reg.Index & 7];
        default:
            return Flags[reg.Index & 3];
        }
    }

    void Set(const Operand* operand, Value value) {
        if (operand == nullptr)
            return;
        if (operand->Type == OperandType::Register) {
            RegisterSlot(operand) = value;
        } else {
            _locals[operand] = value;
        }
    }

    static float F(uint32_t v) { return std::bit_cast<float>(v); }
    static uint32_t B(bool v) { return v ? 0xFFFFFFFFu : 0u; }
    static int32_t S(uint32_t v) { return static_cast<int32_t>(v); }

    void Execute(const Operation& op) {
        std::vector<Value> s;
        bool poison = false;
        for (const Operand* source : op.Sources()) {
            s.push_back(Get(source));
            poison |= s.back().Poison;
        }
        auto u = [&](int i) { return s.at(static_cast<std::size_t>(i)).Bits; };
        const bool fp = (static_cast<uint32_t>(op.Inst) & static_cast<uint32_t>(Instruction::FP32)) != 0;
        uint32_t r = 0;
        switch (IntermediateRepresentation::InstCode(op.Inst)) {
        case Instruction::Comment:
        case Instruction::MarkLabel:
            return;
        case Instruction::Copy:
            Set(op.Dest(), s.at(0));
            return;
        case Instruction::ConditionalSelect: {
            Value cond = s.at(0);
            Value chosen = cond.Bits != 0 ? s.at(1) : s.at(2);
            chosen.Poison |= cond.Poison;
            Set(op.Dest(), chosen);
            return;
        }
        case Instruction::Add:
            r = u(0) + u(1);
            break;
        case Instruction::Subtract:
            r = u(0) - u(1);
            break;
        case Instruction::Multiply:
            r = u(0) * u(1);
            break;
        case Instruction::MultiplyHighS32:
            r = static_cast<uint32_t>(static_cast<uint64_t>(int64_t{S(u(0))} * int64_t{S(u(1))}) >> 32);
            break;
        case Instruction::MultiplyHighU32:
            r = static_cast<uint32_t>((uint64_t{u(0)} * uint64_t{u(1)}) >> 32);
            break;
        case Instruction::Negate:
            r = fp ? u(0) ^ 0x80000000u : 0u - u(0);
            break;
        case Instruction::Absolute:
            r = fp ? u(0) & 0x7FFFFFFFu : (S(u(0)) < 0 ? 0u - u(0) : u(0));
            break;
        case Instruction::BitwiseAnd:
            r = u(0) & u(1);
            break;
        case Instruction::BitwiseOr:
            r = u(0) | u(1);
            break;
        case Instruction::BitwiseExclusiveOr:
            r = u(0) ^ u(1);
            break;
        case Instruction::BitwiseNot:
            r = ~u(0);
            break;
        case Instruction::ShiftLeft:
        case Instruction::ShiftRightU32:
        case Instruction::ShiftRightS32: {
            const uint32_t count = u(1);
            if (count >= 32) {
                poison = true;
                break;
            }
            const Instruction code = IntermediateRepresentation::InstCode(op.Inst);
            r = code == Instruction::ShiftLeft       ? u(0) << count
                : code == Instruction::ShiftRightU32 ? u(0) >> count
                                                     : static_cast<uint32_t>(S(u(0)) >> count);
            break;
        }
        case Instruction::BitfieldExtractS32: {
            const uint32_t offset = u(1), bits = u(2);
            if (offset + bits > 32 || bits == 0)
                throw std::logic_error("bit-field extract out of range");
            const uint32_t field = (u(0) >> offset) << (32 - bits);
            r = static_cast<uint32_t>(S(field) >> (32 - bits));
            break;
        }
        case Instruction::BitfieldReverse:
            for (int i = 0; i < 32; i++)
                r |= ((u(0) >> i) & 1u) << (31 - i);
            break;
        case Instruction::CompareEqual:
            r = B(fp ? F(u(0)) == F(u(1)) : u(0) == u(1));
            break;
        case Instruction::CompareNotEqual:
            r = B(fp ? F(u(0)) != F(u(1)) : u(0) != u(1));
            break;
        case Instruction::CompareLess:
            r = B(fp ? F(u(0)) < F(u(1)) : S(u(0)) < S(u(1)));
            break;
        case Instruction::CompareLessOrEqual:
            r = B(S(u(0)) <= S(u(1)));
            break;
        case Instruction::CompareGreater:
            r = B(S(u(0)) > S(u(1)));
            break;
        case Instruction::CompareGreaterOrEqual:
            r = B(S(u(0)) >= S(u(1)));
            break;
        case Instruction::CompareLessU32:
            r = B(u(0) < u(1));
            break;
        case Instruction::CompareLessOrEqualU32:
            r = B(u(0) <= u(1));
            break;
        case Instruction::CompareGreaterU32:
            r = B(u(0) > u(1));
            break;
        case Instruction::CompareGreaterOrEqualU32:
            r = B(u(0) >= u(1));
            break;
        case Instruction::Minimum:
            r = static_cast<uint32_t>(std::min(S(u(0)), S(u(1))));
            break;
        case Instruction::Maximum:
            r = static_cast<uint32_t>(std::max(S(u(0)), S(u(1))));
            break;
        case Instruction::MinimumU32:
            r = std::min(u(0), u(1));
            break;
        case Instruction::MaximumU32:
            r = std::max(u(0), u(1));
            break;
        case Instruction::Load:
            r = OnInput(static_cast<int>(u(0)), s.size() > 1 ? static_cast<int>(u(1)) : -1);
            break;
        default:
            throw std::logic_error("instruction not interpreted: " + std::to_string(static_cast<uint32_t>(op.Inst)));
        }
        Set(op.Dest(), {r, poison});
    }

    std::unordered_map<const Operand*, Value> _locals;
};

// Emits the words in a fresh compute context and runs them on a machine
// whose registers R0.. hold regs and whose flags Z, N, C, V hold flags.
inline AluMachine RunWords(const std::vector<uint64_t>& words, const std::vector<uint32_t>& regs,
                           const std::vector<bool>& flags = {}) {
    EmitHarness harness;
    for (uint64_t word : words)
        harness.Emit(word);
    AluMachine machine;
    for (std::size_t i = 0; i < regs.size(); i++)
        machine.SetR(static_cast<int>(i), regs[i]);
    for (std::size_t i = 0; i < flags.size(); i++)
        machine.SetCC(static_cast<int>(i), flags[i]);
    machine.Run(harness.Emitted());
    return machine;
}

} // namespace Zerivox::Graphics::Shader::Testing
