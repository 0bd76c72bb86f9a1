#pragma once

#include "Spv.Generator/Instruction.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

// The value an instruction generator produced and the type it has.
struct OperationResult {
    Translation::AggregateType Type = Translation::AggregateType::Invalid;
    Spv::Generator::Instruction* Value = nullptr;

    constexpr OperationResult() = default;
    constexpr OperationResult(Translation::AggregateType type, Spv::Generator::Instruction* value)
        : Type(type), Value(value) {}

    // What generators without a value (stores, barriers, control flow) return.
    static constexpr OperationResult Invalid() { return OperationResult(); }
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
