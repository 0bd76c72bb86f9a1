#pragma once
#include <cstdint>
#include <string_view>

#include "Zerivox.Common/EnumFlags.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// IR operation: the code sits in the low 16 bits, the float precision flags
// above it. A code shared by integer and float forms is the signed 32-bit
// integer operation when neither FP32 nor FP64 is set.
enum class Instruction : uint32_t {
#define ZV_IR_INSTRUCTION(name, facts, dest, sources) name,
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionTable.def"
#undef ZV_IR_INSTRUCTION

    Count,
    Mask = 0xFFFF,

    FP32 = 0x10000,
    FP64 = 0x20000,
};

ZV_ENUM_FLAGS(Instruction)

static_assert(static_cast<uint32_t>(Instruction::Count) <= static_cast<uint32_t>(Instruction::Mask),
              "operation codes must stay below the precision flags");

// The operation code without precision flags; index for every per-instruction table.
constexpr Instruction InstCode(Instruction inst) { return inst & Instruction::Mask; }
constexpr uint32_t InstIndex(Instruction inst) { return static_cast<uint32_t>(inst) & 0xFFFFu; }

// Member name of an operation code ("Add", "None" for 0); the precision flags
// are ignored. Codes from Count on give empty text.
std::string_view InstructionName(Instruction inst);

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
