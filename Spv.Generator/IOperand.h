#pragma once
#include <cstdint>
#include <string>

#include "Spv.Generator/OperandType.h"

namespace Spv::Generator {

class BinaryWriter;

// An operand of a SPIR-V instruction: another instruction (written as its
// id), a numeric literal or a string literal. Equality is by value so that
// types and constants built separately deduplicate.
class IOperand {
public:
    virtual ~IOperand() = default;

    virtual OperandType GetOperandType() const = 0;
    // Words the operand occupies in the encoded module.
    virtual uint32_t GetWordCount() const = 0;
    virtual void WriteOperand(BinaryWriter& writer) const = 0;
    virtual bool Equals(const IOperand& other) const = 0;
    // Same value in every run and on every machine.
    virtual uint32_t GetHashCode() const = 0;
    virtual std::string ToString() const = 0;

protected:
    IOperand() = default;
    IOperand(const IOperand&) = default;
    IOperand& operator=(const IOperand&) = default;
};

} // namespace Spv::Generator
