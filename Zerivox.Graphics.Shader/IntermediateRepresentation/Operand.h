#pragma once
#include <bit>
#include <cstdint>

#include "Zerivox.Graphics.Shader/Decoders/Register.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandType.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/UseSet.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class INode;

// An IR value. Operands are compared by identity: two constants with the same
// value may be distinct objects, while a LocalVariable or Label is one object
// shared by every node that names it.
//
// Create operands through IrArena (or OperandHelper); the arena owns them.
//
// Value encoding by Type:
//   Argument        argument index
//   Constant        the 32 bits of an integer, or a float's IEEE-754 bits
//   ConstantBuffer  slot << 27 | word offset
//   Register        register type << 24 | register index
//   Label, LocalVariable, Undefined: 0 (known by identity)
class Operand {
public:
    explicit Operand(OperandType type, int32_t value = 0) : Type(type), Value(value) {}
    explicit Operand(Decoders::Register reg)
        : Type(OperandType::Register),
          Value(static_cast<int32_t>((static_cast<uint32_t>(reg.Type) << 24) | (static_cast<uint32_t>(reg.Index) & 0xFFFFFFu))) {}

    Operand(const Operand&) = delete;
    Operand& operator=(const Operand&) = delete;
    Operand(Operand&&) = delete;
    Operand& operator=(Operand&&) = delete;

    // What passes read first comes first: every operand is read for its kind.
    OperandType Type;
    int32_t Value;
    // Node that assigns this operand (kept for LocalVariable operands by the
    // IR members; single-destination constructors record it for any kind).
    INode* Definition = nullptr;
    // Nodes that read this operand; only LocalVariable operands are entered.
    UseSet Uses;

    Decoders::Register GetRegister() const {
        return Decoders::Register(Value & 0xFFFFFF, static_cast<Decoders::RegisterType>(Value >> 24));
    }
    float AsFloat() const { return std::bit_cast<float>(Value); }
    int GetCbufSlot() const { return static_cast<int>((static_cast<uint32_t>(Value) >> 27) & 0x1Fu); }
    int GetCbufOffset() const { return Value & 0x7FFFFFF; }

    bool IsLocal() const { return Type == OperandType::LocalVariable; }
    bool IsConstant() const { return Type == OperandType::Constant; }
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
