#include "Spv.Generator/InstructionOperands.h"

#include <algorithm>

#include "Zerivox.Common/Exceptions.h"

namespace Spv::Generator {

void InstructionOperands::AddSpilled(IOperand* operand) {
    if (_count == InlineCapacity) {
        if (_overflowLength < FirstOverflowLength) {
            _overflow = std::make_unique<IOperand*[]>(FirstOverflowLength);
            _overflowLength = FirstOverflowLength;
        }
        std::copy(_inline.begin(), _inline.end(), _overflow.get());
    } else if (_count == _overflowLength) {
        if (_overflowLength > UINT32_MAX / 2) {
            throw Zerivox::Common::OverflowException("Too many operands for one instruction.");
        }
        uint32_t newLength = _overflowLength * 2;
        auto grown = std::make_unique<IOperand*[]>(newLength);
        std::copy(_overflow.get(), _overflow.get() + _count, grown.get());
        _overflow = std::move(grown);
        _overflowLength = newLength;
    }
    _overflow[_count++] = operand;
}

std::string InstructionOperands::ToString(std::span<const std::string_view> labels) const {
    std::string text = "(";
    auto operands = AsSpan();
    for (std::size_t i = 0; i < operands.size(); ++i) {
        if (i != 0) text += ", ";
        if (i < labels.size()) {
            text += labels[i];
            text += ": ";
        }
        text += operands[i]->ToString();
    }
    text += ")";
    return text;
}

} // namespace Spv::Generator
