#pragma once
// Leaves SSA: every phi becomes one copy from a fresh variable that each
// predecessor writes last (before its final branch). Going through a fresh
// variable per phi keeps parallel phis (swaps, rotations) correct.
#include <span>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class BasicBlock;
}

namespace Zerivox::Graphics::Shader::StructuredIr {

struct PhiFunctions {
    static void Remove(std::span<IntermediateRepresentation::BasicBlock* const> blocks);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
