#pragma once
// One function of the structured program.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/AstNodeSet.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstBlock;
class AstOperand;

class StructuredFunction {
public:
    StructuredFunction(AstBlock* mainBlock, std::string name, Translation::AggregateType returnType,
                       std::vector<Translation::AggregateType> inArguments,
                       std::vector<Translation::AggregateType> outArguments)
        : MainBlock(mainBlock), Name(std::move(name)), InArguments(std::move(inArguments)),
          OutArguments(std::move(outArguments)), ReturnType(returnType) {}

    StructuredFunction(const StructuredFunction&) = delete;
    StructuredFunction& operator=(const StructuredFunction&) = delete;

    AstBlock* MainBlock;
    std::string Name;
    std::vector<Translation::AggregateType> InArguments;
    std::vector<Translation::AggregateType> OutArguments;
    // Every local variable and temporary in order of first appearance,
    // without those the structurer's optimiser removed.
    AstNodeSet<AstOperand> Locals;
    // Void or S32.
    Translation::AggregateType ReturnType;

    // Arguments are numbered inputs first, then outputs. An index outside
    // both lists throws IndexOutOfRangeException.
    Translation::AggregateType GetArgumentType(int32_t index) const;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
