#pragma once
#include <string>
#include <string_view>

#include "Spv.Generator/IOperand.h"

namespace Spv::Generator {

// String literal operand (names, extension and import names). Not pooled:
// the module keeps the ones its builders create until it is destroyed.
class LiteralString final : public IOperand {
public:
    explicit LiteralString(std::string_view value) : IOperand(OperandType::String), _value(value) {}

    const std::string& Value() const noexcept { return _value; }

    // The characters plus at least one terminating zero byte, in whole words.
    uint32_t GetWordCount() const noexcept { return static_cast<uint32_t>(_value.size() / 4 + 1); }
    void WriteOperand(BinaryWriter& writer) const;
    bool Equals(const IOperand& other) const;
    uint32_t GetHashCode() const;
    std::string ToString() const { return _value; }

private:
    std::string _value;
};

} // namespace Spv::Generator
