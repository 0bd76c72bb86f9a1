#pragma once
#include <cstdint>
#include <string>

#include "Spv.Generator/OperandType.h"

namespace Spv::Generator {

class BinaryWriter;

// An operand of a SPIR-V instruction: another instruction (written as its
// id), a numeric literal or a string literal. Equality is by value so that
// types and constants built separately deduplicate.
//
// The three kinds are the only ones, and the operand carries its kind: the
// members below dispatch on it with a switch instead of a virtual call.
// Encoding and deduplication ask every operand of every instruction for its
// kind, size and hash, and a call through a table per question was a
// measurable share of writing a module.
class IOperand {
public:
    OperandType GetOperandType() const noexcept { return _operandType; }
    // Words the operand occupies in the encoded module.
    uint32_t GetWordCount() const;
    void WriteOperand(BinaryWriter& writer) const;
    bool Equals(const IOperand& other) const;
    // Same value in every run and on every machine.
    uint32_t GetHashCode() const;
    std::string ToString() const;

protected:
    explicit IOperand(OperandType type) noexcept : _operandType(type) {}
    IOperand(const IOperand&) = default;
    IOperand& operator=(const IOperand&) = default;
    // Operands are never destroyed through this base.
    ~IOperand() = default;

private:
    OperandType _operandType;
};

} // namespace Spv::Generator
