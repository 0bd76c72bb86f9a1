#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/Decoders/InstName.h"
#include "Zerivox.Graphics.Shader/Decoders/InstProps.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Decoders {

// Turns the current instruction of the context into IR.
using InstEmitter = void (*)(Translation::EmitterContext& context);

// One decoded instruction as blocks keep it. A default InstOp (no emitter,
// address 0, word 0, Invalid) stands for "no instruction".
struct InstOp {
    uint64_t Address = 0;   // byte address relative to the start of the decoded code
    uint64_t RawOpCode = 0; // the 64-bit instruction word
    InstEmitter Emitter = nullptr;
    InstProps Props = InstProps::None;
    InstName Name = InstName::Invalid;

    constexpr InstOp() = default;
    constexpr InstOp(uint64_t address, uint64_t rawOpCode, InstName name, InstEmitter emitter, InstProps props)
        : Address(address), RawOpCode(rawOpCode), Emitter(emitter), Props(props), Name(name) {}

    // Target of a relative branch or push: the following word plus the signed
    // 24-bit byte offset in bits 20-43. Wraps modulo 2^64 like the hardware
    // address arithmetic; callers range-check the result against the code.
    constexpr uint64_t GetAbsoluteAddress() const {
        const uint64_t offset = (RawOpCode >> 20) & 0xFFFFFFu;
        const uint64_t signExtended = (offset ^ 0x800000u) - 0x800000u;
        return Address + 8u + signExtended;
    }
};

} // namespace Zerivox::Graphics::Shader::Decoders
