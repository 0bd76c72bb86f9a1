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
// Afterwards no operation of the block carries the Bindless flag. Returns
// whether the block changed: the optimiser's clean-up is run again only then.
struct BindlessElimination {
    static bool RunPass(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager,
                        IGpuAccessor& gpuAccessor);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
