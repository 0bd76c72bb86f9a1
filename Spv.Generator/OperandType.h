#pragma once
#include <cstdint>

namespace Spv::Generator {

// What an operand of a SPIR-V instruction is; the encoder dispatches on it.
enum class OperandType : int32_t {
    Invalid = 0,
    Number = 1,
    String = 2,
    Instruction = 3,
};

} // namespace Spv::Generator
