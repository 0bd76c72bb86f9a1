#pragma once
// Numeric literal operand. Literals are pooled: every one is made by a named
// factory that takes an object from the calling thread's current literal pool
// (set by the Module under construction) and overwrites it. There are no
// implicit conversions, because the literal's kind takes part in equality:
// a signed 2 and an unsigned 2 are different constants to the deduplication.
#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>

#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/GeneratorPool.h"
#include "Spv.Generator/IOperand.h"

namespace Spv::Generator {

class LiteralInteger final : public IOperand {
public:
    enum class IntegerType : int32_t {
        UInt32 = 0,
        Int32 = 1,
        UInt64 = 2,
        Int64 = 3,
        Float32 = 4,
        Float64 = 5,
    };

    // Only the pool creates literals this way; use the factories below.
    LiteralInteger() noexcept : IOperand(OperandType::Number) {}
    LiteralInteger(const LiteralInteger&) = delete;
    LiteralInteger& operator=(const LiteralInteger&) = delete;

    // Sign-extended, kind Int32, one word.
    static LiteralInteger* FromInt32(int32_t value);
    // Zero-extended, kind UInt32, one word.
    static LiteralInteger* FromUInt32(uint32_t value);
    // The float's bits, kind Float32, one word.
    static LiteralInteger* FromFloat32(float value);
    // The double's bits, kind Float64, two words (low word first).
    static LiteralInteger* FromFloat64(double value);
    // 1 or 0, kind Int32, one word.
    static LiteralInteger* FromBool(bool value);
    // Any SPIR-V enumerant (all are 32-bit): sign-extended, kind Int32.
    template <typename E>
        requires std::is_enum_v<E> && (sizeof(E) == 4)
    static LiteralInteger* FromEnum(E value) {
        return FromInt32(static_cast<int32_t>(static_cast<std::underlying_type_t<E>>(value)));
    }

    // Exact parameter types only: a call that would convert does not compile.
    template <typename T> static LiteralInteger* FromInt32(T) = delete;
    template <typename T> static LiteralInteger* FromUInt32(T) = delete;
    template <typename T> static LiteralInteger* FromFloat32(T) = delete;
    template <typename T> static LiteralInteger* FromFloat64(T) = delete;
    template <typename T> static LiteralInteger* FromBool(T) = delete;

    // The pool the factories draw from on this thread (null when none).
    static GeneratorPool<LiteralInteger>* GetCurrentPool() noexcept;
    static void SetCurrentPool(GeneratorPool<LiteralInteger>* pool) noexcept;

    uint64_t Data() const noexcept { return _data; }
    IntegerType GetIntegerType() const noexcept { return _integerType; }

    uint32_t GetWordCount() const noexcept { return _wordCount; }
    void WriteOperand(BinaryWriter& writer) const;
    bool Equals(const IOperand& other) const;
    bool Equals(const LiteralInteger& other) const noexcept {
        return _integerType == other._integerType && _data == other._data;
    }
    uint32_t GetHashCode() const noexcept {
        return DeterministicHashCode::Combine(static_cast<uint32_t>(OperandType::Number),
                                              DeterministicHashCode::Fold(_data));
    }
    std::string ToString() const;

private:
    static LiteralInteger* Make(uint64_t data, IntegerType type, uint16_t wordCount);

    uint64_t _data = 0;
    IntegerType _integerType = IntegerType::UInt32;
    uint16_t _wordCount = 1;
};

} // namespace Spv::Generator
