#pragma once
// Operand list of one instruction. Up to five operands live inline, so the
// common instruction needs no allocation; longer lists move into one array
// (10 slots, doubled when full). The array is kept when the owning pooled
// instruction is reused, so a long list allocates once per pool object, not
// once per module.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "Spv.Generator/IOperand.h"

namespace Spv::Generator {

class InstructionOperands {
public:
    static constexpr uint32_t InlineCapacity = 5;
    static constexpr uint32_t FirstOverflowLength = 10;

    InstructionOperands() = default;
    InstructionOperands(const InstructionOperands&) = delete;
    InstructionOperands& operator=(const InstructionOperands&) = delete;

    // The inline part covers nearly every instruction; longer lists spill.
    void Add(IOperand* operand) {
        if (_count < InlineCapacity) {
            _inline[_count++] = operand;
            return;
        }
        AddSpilled(operand);
    }
    // Forgets every operand (the overflow storage is kept for reuse).
    void Clear() noexcept { _count = 0; }

    uint32_t Count() const noexcept { return _count; }
    // The operands in order.
    std::span<IOperand* const> AsSpan() const noexcept {
        return _count <= InlineCapacity ? std::span<IOperand* const>(_inline.data(), _count)
                                        : std::span<IOperand* const>(_overflow.get(), _count);
    }
    std::span<IOperand* const> AllOperands() const noexcept { return AsSpan(); }

    // "(" + pieces joined by ", " + ")": the first operands carry the given
    // labels ("Width: Int32 32"), the rest their text alone.
    std::string ToString(std::span<const std::string_view> labels) const;

private:
    void AddSpilled(IOperand* operand);

    std::array<IOperand*, InlineCapacity> _inline{};
    std::unique_ptr<IOperand*[]> _overflow;
    uint32_t _overflowLength = 0;
    uint32_t _count = 0;
};

} // namespace Spv::Generator
