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
// buffer at a dynamic index into accesses of an array of 32 textures keyed by
// the handle's constant-buffer slot (and the separate sampler word, when the
// handle ORs one in). Element i stands for the 64-bit handle in words 2i and
// 2i + 1 of that constant buffer; the index is clamped to the array.
// RunPassOgl is the variant for OpenGL hosts (handles in constant buffer 2).
// Both return whether the block changed.
struct BindlessToArray {
    static bool RunPass(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager,
                        IGpuAccessor& gpuAccessor);
    static bool RunPassOgl(IntermediateRepresentation::BasicBlock& block, ResourceManager& resourceManager);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
