#pragma once
// How one IR instruction is spelled in GLSL: an operator with its
// precedence, a function call, or a generator of its own.
#include <cstdint>

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

enum class InstType : int32_t {
    ArityMask = 0xFF,
    Commutative = 0x100,
    Op = 0x200,
    Call = 0x400,
    Atomic = 0x800,
    Special = 0x1000,

    OpNullary = Op | 0,
    OpUnary = Op | 1,
    OpBinary = Op | 2,
    OpBinaryCom = Op | 2 | Commutative,
    OpTernary = Op | 3,

    CallNullary = Call | 0,
    CallUnary = Call | 1,
    CallBinary = Call | 2,
    CallTernary = Call | 3,
    CallQuaternary = Call | 4,

    AtomicBinary = Call | Atomic | 3,
    AtomicTernary = Call | Atomic | 4,
};

constexpr bool Has(InstType value, InstType flag) {
    return (static_cast<int32_t>(value) & static_cast<int32_t>(flag)) != 0;
}
constexpr int32_t Arity(InstType value) { return static_cast<int32_t>(value) & 0xFF; }

struct InstInfo {
    // Operator text or function name; null for Special and empty slots.
    const char* OpName = nullptr;
    InstType Type = static_cast<InstType>(0);
    // Binary and ternary operators: lower binds tighter. 0 otherwise.
    int32_t Precedence = 0;
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
