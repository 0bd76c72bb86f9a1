#pragma once
// GLSL text of the operations that touch a resource: inputs, outputs,
// buffers, memories, images and textures.
#include <cstdint>
#include <string>

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstOperation;
class AstTextureOperation;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {
class CodeGenContext;
}

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using StructuredIr::AstOperation;
using StructuredIr::AstTextureOperation;

struct InstGenMemory {
    static std::string ImageLoadOrStore(CodeGenContext& context, const AstOperation& operation);
    static std::string Lod(CodeGenContext& context, const AstOperation& operation);
    static std::string TextureSample(CodeGenContext& context, const AstOperation& operation);
    static std::string TextureQuerySamples(CodeGenContext& context, const AstOperation& operation);
    static std::string TextureQuerySize(CodeGenContext& context, const AstOperation& operation);
    // The location of a load, store or atomic; a store adds " = " and the
    // value.
    static std::string GenerateLoadOrStore(CodeGenContext& context, const AstOperation& operation, bool isStore);
    // The memory location of an atomic; outOfRange when a constant index
    // lies beyond its sized array (the atomic then has no location).
    static std::string GenerateAtomicLocation(CodeGenContext& context, const AstOperation& operation,
                                              bool& outOfRange);
    // The texture (with its separate sampler) or image expression; both take
    // array-index sources from the cursor.
    static std::string GetSamplerName(CodeGenContext& context, const AstTextureOperation& texOp, int32_t& srcIndex);
    static std::string GetImageName(CodeGenContext& context, const AstTextureOperation& texOp, int32_t& srcIndex);
    // The location text (with " = " and the value for a store); outOfRange
    // when a constant index lies beyond a sized array.
    static std::string LocationOrStore(CodeGenContext& context, const AstOperation& operation, bool isStore,
                                       bool& outOfRange);
    // "." and the character at index in "rgba".
    static std::string GetMask(int32_t index);
    // "." and "xyzw" for the set bits of mask, in order.
    static std::string GetMaskMultiDest(int32_t mask);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
