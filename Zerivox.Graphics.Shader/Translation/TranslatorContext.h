#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/FeatureFlags.h"
#include "Zerivox.Graphics.Shader/Decoders/IoUsage.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Decoders {
class DecodedProgram;
}
namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Function;
class IrArena;
class Operation;
} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation

namespace Zerivox::Graphics::Shader::Translation {

class AttributeUsage;
class ResourceManager;
class ResourceReservations;
class ShaderDefinitions;
struct ShaderProgram;

// One translation: created by Translator::DecodeShader and used for one
// Translate() call. It owns everything the translation creates - the decoded
// program, the definitions, the IR storage, the resource manager and the
// helper functions - and frees it all when it dies; nothing is shared with
// other translations. Moving the context keeps every owned object in place.
class TranslatorContext {
  public:
    TranslatorContext(TranslatorContext&&) noexcept;
    TranslatorContext& operator=(TranslatorContext&&) noexcept;
    TranslatorContext(const TranslatorContext&) = delete;
    TranslatorContext& operator=(const TranslatorContext&) = delete;
    ~TranslatorContext();

    // Runs emission, the pass pipeline, structuring and the back end.
    // asCompute translates a vertex or geometry shader as a compute shader of
    // 32 x 32 x 1 invocations; other stages, and whatever such a shader does
    // that the compute form cannot carry, fail with NotImplementedException.
    ShaderProgram Translate(bool asCompute = false);

    ShaderDefinitions& Definitions() const noexcept { return *_definitions; }
    IGpuAccessor& GpuAccessor() const noexcept { return *_gpuAccessor; }
    const TranslationOptions& Options() const noexcept { return _options; }
    Decoders::DecodedProgram& Program() const noexcept { return *_program; }
    IntermediateRepresentation::IrArena& Arena() const noexcept { return *_arena; }
    uint64_t Address() const noexcept { return _address; }
    // Bytes of local memory the shader may use.
    int32_t LocalMemorySize() const noexcept { return _localMemorySize; }
    // Bytes of code, header included for graphics stages.
    int32_t Size() const noexcept { return _size; }

    // Outputs of the vertex stage before a geometry shader: a passthrough
    // geometry shader passes them on, and a geometry shader run as compute
    // reads its input vertices in their layout, so a host that runs both
    // stages as compute sets it to the vertex shader's Program().GetIoUsage()
    // before translating the geometry shader. Until then it names every user
    // attribute.
    IoUsage VertexOutputUsage{FeatureFlags::None, 0, 0xFFFFFFFFu};

    // Transform feedback is always captured by the host here.
    bool get_IsTransformFeedbackEmulated() const noexcept { return false; }
    // The general register from which the fragment epilogue reads depth:
    // the one after the colour outputs the header declares.
    int32_t GetDepthRegister() const;

    // Pipeline steps, public so that tests can drive them one at a time.
    ResourceReservations GetResourceReservations() const;
    // Without IO offsets the word offset maps stay empty (their sizes are
    // set): only a stage run as compute looks anything up in them, and
    // filling them for every translation cost as much as a small shader's
    // decoding.
    ResourceReservations GetResourceReservations(bool withIoOffsets) const;
    std::unique_ptr<ResourceManager> CreateResourceManager(bool asCompute) const;
    // The definitions the back end is given: a 32x32x1 compute form when a
    // vertex or geometry shader runs as compute.
    const ShaderDefinitions& GetDefinitions(bool asCompute);

  private:
    friend struct Translator;
    TranslatorContext(std::unique_ptr<ShaderDefinitions> definitions, IGpuAccessor& gpuAccessor, uint64_t address,
                      int32_t localMemorySize, const TranslationOptions& options);

    ShaderProgram TranslatePasses(std::vector<std::vector<IntermediateRepresentation::Operation*>>& codes,
                                  ResourceManager& resourceManager, FeatureFlags usedFeatures,
                                  uint8_t clipDistancesWritten, bool asCompute);
    ShaderProgram Generate(std::vector<IntermediateRepresentation::Function*>& functions,
                           AttributeUsage& attributeUsage, const ShaderDefinitions& definitions,
                           ResourceManager& resourceManager, FeatureFlags usedFeatures, uint8_t clipDistancesWritten);

    std::unique_ptr<IntermediateRepresentation::IrArena> _arena;
    std::unique_ptr<ShaderDefinitions> _definitions;
    std::unique_ptr<ShaderDefinitions> _computeDefinitions;
    std::unique_ptr<Decoders::DecodedProgram> _program;
    std::unique_ptr<ResourceManager> _resourceManager;
    IGpuAccessor* _gpuAccessor;
    uint64_t _address = 0;
    int32_t _localMemorySize = 0;
    int32_t _size = 0;
    TranslationOptions _options;
};

} // namespace Zerivox::Graphics::Shader::Translation
