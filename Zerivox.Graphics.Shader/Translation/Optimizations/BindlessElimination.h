#pragma once

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class BasicBlock;
}
namespace Zerivox::Graphics::Shader::Translation {
class ResourceManager;
}

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Resolves or removes every bindless texture operation left in a block.
// Afterwards no operation of the block carries the Bindless flag.
struct BindlessElimination {
    static void RunPass(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager,
                        IGpuAccessor& gpuAccessor);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
