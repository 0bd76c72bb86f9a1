#pragma once
// Declarations of everything a shader's code addresses, made once per module
// before the first function: buffers, memories, textures and images, inputs
// and outputs with the per-vertex blocks; and, per function, the parameters
// and local variables.
#include <cstdint>
#include <span>

#include <spirv/unified1/spirv.hpp11>

#include "Zerivox.Graphics.Shader/CodeGen/Spirv/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderHeader.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
struct BufferDefinition;
struct MemoryDefinition;
struct TextureDefinition;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

struct Declarations {
    // Buffers, memories, textures, images, then inputs and outputs; the ids
    // and annotations of the module follow this order.
    static void DeclareAll(CodeGenContext& context);

    static void DeclareBuffers(CodeGenContext& context,
                               const Common::OrderedMap<int32_t, StructuredIr::BufferDefinition>& buffers,
                               bool isStorage);
    static void DeclareMemories(CodeGenContext& context,
                                const Common::OrderedMap<int32_t, StructuredIr::MemoryDefinition>& memories,
                                Common::OrderedMap<int32_t, Instruction*>& map, spv::StorageClass storageClass);
    static void DeclareSamplers(CodeGenContext& context,
                                const Common::OrderedMap<SetBindingPair, StructuredIr::TextureDefinition>& textures);
    static void DeclareImages(CodeGenContext& context,
                              const Common::OrderedMap<SetBindingPair, StructuredIr::TextureDefinition>& images);
    // Throws ArgumentException for a base type without dimension.
    static spv::Dim GetDim(SamplerType type);
    // Throws ArgumentException for a value beyond the formats.
    static spv::ImageFormat GetImageFormat(TextureFormat format);

    static void DeclareInputsAndOutputs(CodeGenContext& context);
    static void DeclareInputOrOutput(CodeGenContext& context, const StructuredIr::IoDefinition& ioDefinition,
                                     bool isOutput, bool isPerPatch, Translation::PixelImap interpolation,
                                     int32_t firstLocation);
    static void DeclarePerVertexBlock(CodeGenContext& context);
    // A new gl_PerVertex structure type on every call.
    static Instruction* CreatePerVertexStructType(CodeGenContext& context);

    // One pointer parameter per argument, inputs first.
    static void DeclareParameters(CodeGenContext& context, const StructuredIr::StructuredFunction& function);
    static void DeclareParameters(CodeGenContext& context, std::span<const Translation::AggregateType> argumentTypes,
                                  int32_t firstIndex);
    // The function's local variables, right after its entry label.
    static void DeclareLocals(CodeGenContext& context, const StructuredIr::StructuredFunction& function);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
