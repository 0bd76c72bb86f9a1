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

// Turns bindless texture operations whose handle is read from a constant
// buffer at a dynamic index into accesses of an array of textures.
// (Placeholder until the texture passes land: changes nothing.)
struct BindlessToArray {
    static void RunPass(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager,
                        IGpuAccessor& gpuAccessor);
    static void RunPassOgl(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
