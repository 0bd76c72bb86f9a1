#include "Spv.Generator/IOperand.h"

#include "Spv.Generator/Instruction.h"
#include "Spv.Generator/LiteralInteger.h"
#include "Spv.Generator/LiteralString.h"

namespace Spv::Generator {

// Every member forwards to the operand's own class, chosen by its kind.
#define ZV_OPERAND_DISPATCH(call)                                                                                     \
    switch (_operandType) {                                                                                           \
    case OperandType::Instruction: return static_cast<const Instruction*>(this)->call;                                \
    case OperandType::Number: return static_cast<const LiteralInteger*>(this)->call;                                  \
    case OperandType::String: return static_cast<const LiteralString*>(this)->call;                                   \
    default: break;                                                                                                   \
    }

uint32_t IOperand::GetWordCount() const {
    ZV_OPERAND_DISPATCH(GetWordCount())
    return 0;
}

void IOperand::WriteOperand(BinaryWriter& writer) const {
    ZV_OPERAND_DISPATCH(WriteOperand(writer))
}

bool IOperand::Equals(const IOperand& other) const {
    ZV_OPERAND_DISPATCH(Equals(other))
    return false;
}

uint32_t IOperand::GetHashCode() const {
    ZV_OPERAND_DISPATCH(GetHashCode())
    return 0;
}

std::string IOperand::ToString() const {
    ZV_OPERAND_DISPATCH(ToString())
    return {};
}

#undef ZV_OPERAND_DISPATCH

} // namespace Spv::Generator
