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
// buffer at a dynamic index into accesses of an array of textures. The array
// starts at the constant part of the word offset (its handle) and element i
// is the handle word base + i; its length is the number of words the index
// can reach when masks or shifts bound it, else 32.
// RunPassOgl is the variant for OpenGL hosts (handles in constant buffer 2).
struct BindlessToArray {
    static void RunPass(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager,
                        IGpuAccessor& gpuAccessor);
    static void RunPassOgl(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
