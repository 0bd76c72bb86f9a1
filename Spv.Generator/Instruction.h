#pragma once
// One SPIR-V instruction of a module under construction. Instructions are
// pooled and reinitialised with Set; an instruction standing as an operand of
// another is written as its id, read at write time, so it may be used before
// its id is known (labels and variables get theirs when they are placed).
#include <cstdint>
#include <span>
#include <string>

#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/IOperand.h"
#include "Spv.Generator/InstructionOperands.h"
#include "Spv.Generator/SpirvEnums.h"

namespace Spv::Generator {

class LiteralInteger;

class Instruction final : public IOperand {
public:
    // Id of an instruction that has none, or whose id is not bound yet.
    static constexpr uint32_t InvalidId = 0xFFFFFFFFu;

    SpirvEnums::Op Opcode{};
    uint32_t Id = 0;
    Instruction* ResultType = nullptr;
    InstructionOperands Operands;

    Instruction() noexcept : IOperand(OperandType::Instruction) {}
    Instruction(const Instruction&) = delete;
    Instruction& operator=(const Instruction&) = delete;

    // Reinitialises a (possibly reused) instruction: no operands afterwards.
    void Set(SpirvEnums::Op opcode, uint32_t id = InvalidId, Instruction* resultType = nullptr) noexcept {
        Opcode = opcode;
        Id = id;
        ResultType = resultType;
        Operands.Clear();
    }

    void AddOperand(IOperand* operand) { Operands.Add(operand); }
    void AddOperand(std::span<IOperand* const> operands);
    void AddOperand(std::span<LiteralInteger* const> operands);
    void AddOperand(std::span<Instruction* const> operands);

    // Words of the encoded instruction; fails for an instruction that would
    // not fit the 16-bit word count of the encoding.
    uint16_t GetTotalWordCount() const;
    // Appends the whole instruction; fails when an operand or the result
    // type has no bound id.
    void Write(BinaryWriter& writer) const;
    // Appends the instructions in order, byte for byte what Write gives one
    // by one. When it fails (as Write would) the writer holds a partial list.
    static void WriteAll(std::span<Instruction* const> instructions, BinaryWriter& writer);

    uint32_t GetWordCount() const noexcept { return 1; }
    // Appends this instruction's id; fails when it is not bound.
    void WriteOperand(BinaryWriter& writer) const;

    // Same id, equal result types (recursively) and equal operands.
    bool Equals(const Instruction& other) const;
    bool Equals(const IOperand& other) const;
    // Operand lists of equal length, equal element by element.
    bool EqualsContent(const Instruction& other) const;
    // Both result types present, same opcode and equal operands (ids ignored).
    bool EqualsResultType(const Instruction& other) const;

    // Hash of the identity (the id): consistent with Equals, cheap for
    // deep types. Equal instructions have the same id, so the id alone is a
    // sound hash; walking the result type and operands instead made every
    // lookup of a type or constant rehash the whole tree of types beneath it.
    uint32_t GetHashCode() const noexcept {
        return DeterministicHashCode::Combine(static_cast<uint32_t>(OperandType::Instruction), Id);
    }
    uint32_t GetHashCodeContent() const;
    uint32_t GetHashCodeResultType() const;

    // Diagnostic text, e.g. "OpTypeInt(Width: Int32 32, Signed: Int32 1)";
    // never part of the module output.
    std::string ToString() const;

private:
    // The id operands refer to; InvalidOperationException when the
    // instruction was never given one.
    uint32_t BoundId() const {
        if (Id == InvalidId) ThrowUnbound();
        return Id;
    }
    [[noreturn]] void ThrowUnbound() const;
    // Write for an instruction with a string operand: counts its words first.
    void WriteCounted(BinaryWriter& writer) const;
};

} // namespace Spv::Generator
