#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"

#include <array>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

std::string_view InstructionName(Instruction inst) {
    static constexpr std::array<std::string_view, static_cast<size_t>(Instruction::Count)> Names = {
#define ZV_IR_INSTRUCTION(name, facts, dest, sources) #name,
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionTable.def"
#undef ZV_IR_INSTRUCTION
    };
    uint32_t code = InstIndex(inst);
    return code < Names.size() ? Names[code] : std::string_view{};
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
