#include "Spv.Generator/LiteralString.h"

#include "Spv.Generator/BinaryWriter.h"
#include "Spv.Generator/DeterministicHashCode.h"

namespace Spv::Generator {

void LiteralString::WriteOperand(BinaryWriter& writer) const {
    writer.WriteAscii(_value);
    writer.WriteZeroBytes(4 - _value.size() % 4);
}

bool LiteralString::Equals(const IOperand& other) const {
    if (other.GetOperandType() != OperandType::String) return false;
    const auto* text = static_cast<const LiteralString*>(&other);
    return text->_value == _value;
}

uint32_t LiteralString::GetHashCode() const {
    return DeterministicHashCode::Combine(static_cast<uint32_t>(OperandType::String),
                                          DeterministicHashCode::GetHashCode(_value));
}

} // namespace Spv::Generator
