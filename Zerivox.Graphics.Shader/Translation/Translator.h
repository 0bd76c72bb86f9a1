#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Decoders {
class Block;
class DecodedProgram;
} // namespace Zerivox::Graphics::Shader::Decoders
namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Operation;
}

namespace Zerivox::Graphics::Shader::Translation {

class AttributeUsage;
class EmitterContext;
class ResourceManager;

// Entry point of a translation and the emission of guest functions as IR.
struct Translator {
    // The IR operations emitted for one guest function, in emission order.
    using FunctionCode = std::vector<IntermediateRepresentation::Operation*>;

    // Reads the program header (graphics stages), builds the shader
    // definitions and decodes the code. The returned context owns everything
    // the translation creates; call Translate() on it once.
    static TranslatorContext DecodeShader(uint64_t address, IGpuAccessor& gpuAccessor,
                                          const TranslationOptions& options);

    static std::unique_ptr<ShaderDefinitions> CreateComputeDefinitions(IGpuAccessor& gpuAccessor);
    static std::unique_ptr<ShaderDefinitions> CreateGraphicsDefinitions(IGpuAccessor& gpuAccessor,
                                                                        const ShaderHeader& header);
    // One entry per output attribute word, or none when transform feedback is
    // off. vecMap gets bit v for every attribute vector v with a captured word.
    static std::optional<TransformFeedbackOutputArray> GetTransformFeedbackOutputs(IGpuAccessor& gpuAccessor,
                                                                                   uint64_t& vecMap);
    static int32_t GetLocalMemorySize(const ShaderHeader& header);

    // Emits every function of the program that is not a recognised guest
    // helper, numbering them by address (the entry point is 0). Returns the
    // code per function id; initializationOperations receives the number of
    // operations function 0 had after its output initialisation.
    static std::vector<FunctionCode> EmitShader(TranslatorContext& translatorContext, ResourceManager& resourceManager,
                                                Decoders::DecodedProgram& program, bool asCompute,
                                                bool initializeOutputs, int32_t& initializationOperations);
    static void EmitOutputsInitialization(EmitterContext& context, const AttributeUsage& attributeUsage,
                                          IGpuAccessor& gpuAccessor, ShaderStage stage);
    static void InitializeVertexOutputs(EmitterContext& context);
    static void InitializeOutputComponent(EmitterContext& context, int32_t location, int32_t component,
                                          bool isPerPatch);
    static void EmitOps(EmitterContext& context, Decoders::Block* block);
};

} // namespace Zerivox::Graphics::Shader::Translation
