#pragma once
#include <cstdint>
#include <string_view>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

enum class OperandType : int32_t {
    Argument = 0,
    Constant = 1,
    ConstantBuffer = 2,
    Label = 3,
    LocalVariable = 4,
    Register = 5,
    Undefined = 6,
};

std::string_view OperandTypeName(OperandType type);

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
