#include "Spv.Generator/LiteralInteger.h"

#include <bit>

#include "Spv.Generator/BinaryWriter.h"
#include "Spv.Generator/DeterministicHashCode.h"
#include "Zerivox.Common/Exceptions.h"

namespace Spv::Generator {

namespace {

// The module under construction on this thread lends its literal pool here,
// so literals can be made anywhere in the code generator without threading
// the module through every helper.
thread_local GeneratorPool<LiteralInteger>* t_currentPool = nullptr;

const char* IntegerTypeName(LiteralInteger::IntegerType type) {
    switch (type) {
    case LiteralInteger::IntegerType::UInt32: return "UInt32";
    case LiteralInteger::IntegerType::Int32: return "Int32";
    case LiteralInteger::IntegerType::UInt64: return "UInt64";
    case LiteralInteger::IntegerType::Int64: return "Int64";
    case LiteralInteger::IntegerType::Float32: return "Float32";
    case LiteralInteger::IntegerType::Float64: return "Float64";
    }
    return "Invalid";
}

} // namespace

GeneratorPool<LiteralInteger>* LiteralInteger::GetCurrentPool() noexcept { return t_currentPool; }

void LiteralInteger::SetCurrentPool(GeneratorPool<LiteralInteger>* pool) noexcept { t_currentPool = pool; }

LiteralInteger* LiteralInteger::Make(uint64_t data, IntegerType type, uint16_t wordCount) {
    if (t_currentPool == nullptr) {
        throw Zerivox::Common::InvalidOperationException(
            "No module is being built on this thread: literals can only be made between a module's "
            "construction and its Generate.");
    }
    LiteralInteger* literal = t_currentPool->Allocate();
    literal->_data = data;
    literal->_integerType = type;
    literal->_wordCount = wordCount;
    return literal;
}

LiteralInteger* LiteralInteger::FromInt32(int32_t value) {
    return Make(static_cast<uint64_t>(static_cast<int64_t>(value)), IntegerType::Int32, 1);
}

LiteralInteger* LiteralInteger::FromUInt32(uint32_t value) {
    return Make(static_cast<uint64_t>(value), IntegerType::UInt32, 1);
}

LiteralInteger* LiteralInteger::FromFloat32(float value) {
    return Make(static_cast<uint64_t>(std::bit_cast<uint32_t>(value)), IntegerType::Float32, 1);
}

LiteralInteger* LiteralInteger::FromFloat64(double value) {
    return Make(std::bit_cast<uint64_t>(value), IntegerType::Float64, 2);
}

LiteralInteger* LiteralInteger::FromBool(bool value) { return Make(value ? 1u : 0u, IntegerType::Int32, 1); }

void LiteralInteger::WriteOperand(BinaryWriter& writer) const {
    if (_wordCount == 2) {
        writer.WriteUInt64(_data);
    } else {
        writer.WriteUInt32(static_cast<uint32_t>(_data));
    }
}

bool LiteralInteger::Equals(const IOperand& other) const {
    if (other.GetOperandType() != OperandType::Number) return false;
    const auto* literal = static_cast<const LiteralInteger*>(&other);
    return Equals(*literal);
}

std::string LiteralInteger::ToString() const {
    return std::string(IntegerTypeName(_integerType)) + " " + std::to_string(_data);
}

} // namespace Spv::Generator
