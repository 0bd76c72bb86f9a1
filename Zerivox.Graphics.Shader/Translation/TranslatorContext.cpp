#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

#include <bit>
#include <span>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/CodeGenParameters.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/GlslGenerator.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/SpirvGenerator.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgram.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/HostCapabilities.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Optimizer.h"
#include "Zerivox.Graphics.Shader/Translation/RegisterUsage.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "Zerivox.Graphics.Shader/Translation/Ssa.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/DrawParametersReplace.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/ForcePreciseEnable.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/GeometryToCompute.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/SharedAtomicSignedCas.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/SharedStoreSmallIntCas.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/ShufflePass.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TexturePass.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformPasses.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/VectorComponentSelect.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/VertexToCompute.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/VertexInfoBuffer.h"

namespace Zerivox::Graphics::Shader::Translation {

namespace {

// In builds that verify IR: one function's IR after the named pipeline step.
void CheckAfter(const char* pass, std::span<IntermediateRepresentation::BasicBlock* const> blocks) {
    if constexpr (IntermediateRepresentation::VerifyIrAfterPasses)
        IntermediateRepresentation::IrVerifier::VerifyAfter(pass, blocks);
}

} // namespace

using IntermediateRepresentation::Function;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operation;
using IntermediateRepresentation::StorageKind;
using StructuredIr::BufferDefinition;
using StructuredIr::BufferLayout;
using StructuredIr::TextureDefinition;

const char* TargetLanguageName(TargetLanguage language) noexcept {
    switch (language) {
    case TargetLanguage::Glsl:
        return "Glsl";
    case TargetLanguage::Spirv:
        return "Spirv";
    case TargetLanguage::Arb:
        return "Arb";
    }
    return "Unknown";
}

TranslatorContext::TranslatorContext(std::unique_ptr<ShaderDefinitions> definitions, IGpuAccessor& gpuAccessor,
                                     uint64_t address, int32_t localMemorySize, const TranslationOptions& options)
    : _arena(std::make_unique<IntermediateRepresentation::IrArena>()), _definitions(std::move(definitions)),
      _gpuAccessor(&gpuAccessor), _address(address), _localMemorySize(localMemorySize), _options(options) {}

TranslatorContext::TranslatorContext(TranslatorContext&&) noexcept = default;
TranslatorContext& TranslatorContext::operator=(TranslatorContext&&) noexcept = default;
TranslatorContext::~TranslatorContext() = default;

int32_t TranslatorContext::GetDepthRegister() const {
    return std::popcount(static_cast<uint32_t>(_definitions->FragmentOutputMap)) + 1;
}

const ShaderDefinitions& TranslatorContext::GetDefinitions(bool asCompute) {
    if (!asCompute) {
        return *_definitions;
    }
    if (!_computeDefinitions) {
        _computeDefinitions = std::make_unique<ShaderDefinitions>(ShaderStage::Compute, 32, 32, 1);
    }
    return *_computeDefinitions;
}

ResourceReservations TranslatorContext::GetResourceReservations() const { return GetResourceReservations(true); }

ResourceReservations TranslatorContext::GetResourceReservations(bool withIoOffsets) const {
    IoUsage ioUsage = _program->GetIoUsage();
    if (_definitions->GeometryPassthrough) {
        ioUsage = ioUsage.Combine(VertexOutputUsage);
    }
    // Reserved as if running as compute whatever the caller asks, so the
    // binding numbers of a shader do not depend on how it is run.
    ResourceReservations reservations(get_IsTransformFeedbackEmulated(), true);
    if (withIoOffsets) {
        reservations.InputSizePerInvocation =
            reservations.FillIoOffsetMap(*_gpuAccessor, StorageKind::Input, VertexOutputUsage);
        reservations.OutputSizePerInvocation =
            reservations.FillIoOffsetMap(*_gpuAccessor, StorageKind::Output, ioUsage);
    } else {
        reservations.InputSizePerInvocation = ResourceReservations::CountIoOffsets(*_gpuAccessor, VertexOutputUsage);
        reservations.OutputSizePerInvocation = ResourceReservations::CountIoOffsets(*_gpuAccessor, ioUsage);
    }
    return reservations;
}

std::unique_ptr<ResourceManager> TranslatorContext::CreateResourceManager(bool asCompute) const {
    auto resourceManager =
        std::make_unique<ResourceManager>(_definitions->Stage, *_gpuAccessor, GetResourceReservations(asCompute));
    const ResourceReservations& reservations = resourceManager->Reservations();
    StructuredIr::ShaderProperties& properties = resourceManager->Properties();

    if (get_IsTransformFeedbackEmulated()) {
        for (int32_t i = 0; i < ResourceReservations::TfeBuffersCount; i++) {
            properties.AddOrUpdateStorageBuffer(BufferDefinition(
                BufferLayout::Std430, 1, reservations.TfeBufferBaseBinding + i, "tfe_data" + std::to_string(i),
                StructureType({StructureField(AggregateType::Array | AggregateType::U32, "data", 0)})));
        }
    }

    if (asCompute) {
        ShaderStage stage = _definitions->Stage;
        auto dataBuffer = [](AggregateType elementType) {
            return StructureType({StructureField(AggregateType::Array | elementType, "data", 0)});
        };
        properties.AddOrUpdateConstantBuffer(BufferDefinition(BufferLayout::Std140, 0,
                                                              reservations.VertexInfoConstantBufferBinding, "vb_info",
                                                              VertexInfoBuffer::GetStructureType()));
        properties.AddOrUpdateStorageBuffer(BufferDefinition(BufferLayout::Std430, 1,
                                                             reservations.VertexOutputStorageBufferBinding,
                                                             "vertex_output", dataBuffer(AggregateType::FP32)));
        auto bufferTexture = [&](int32_t binding, std::string name) {
            properties.AddOrUpdateTexture(TextureDefinition(2, binding, 1, false, std::move(name),
                                                            SamplerType::TextureBuffer, TextureFormat::Unknown,
                                                            TextureUsageFlags::None));
        };
        if (stage == ShaderStage::Vertex) {
            bufferTexture(reservations.IndexBufferTextureBinding, "ib_data");
            uint32_t usedAttributes = _program->AttributeUsage.UsedInputAttributes;
            for (int32_t n = 0; n < ResourceReservations::MaxVertexBufferTextures; n++) {
                if ((usedAttributes & (1u << n)) != 0) {
                    bufferTexture(reservations.VertexBufferTextureBaseBinding + n, "vb_data" + std::to_string(n));
                }
            }
        } else if (stage == ShaderStage::Geometry) {
            bufferTexture(reservations.TopologyRemapBufferTextureBinding, "trb_data");
            properties.AddOrUpdateStorageBuffer(
                BufferDefinition(BufferLayout::Std430, 1, reservations.GeometryVertexOutputStorageBufferBinding,
                                 "geometry_vb_output", dataBuffer(AggregateType::FP32)));
            properties.AddOrUpdateStorageBuffer(BufferDefinition(BufferLayout::Std430, 1,
                                                                 reservations.GeometryIndexOutputStorageBufferBinding,
                                                                 "geometry_ib_output", dataBuffer(AggregateType::U32)));
        }
        resourceManager->SetVertexAsComputeLocalMemories(stage, _definitions->get_InputTopology());
    }
    return resourceManager;
}

ShaderProgram TranslatorContext::Translate(bool asCompute) {
    if (_resourceManager) {
        throw Common::InvalidOperationException("A translation context translates its shader only once.");
    }
    if (asCompute) {
        const ShaderStage stage = _definitions->Stage;
        if (stage != ShaderStage::Vertex && stage != ShaderStage::Geometry) {
            throw Common::NotImplementedException(
                std::string("Only vertex and geometry shaders can run as compute shaders; this one is a ") +
                ShaderStageName(stage) + " shader.");
        }
        // The first half of a split vertex program gets no prologue, so it
        // would never learn its vertex and instance.
        if (HasFlag(_options.Flags, TranslationFlags::VertexA)) {
            throw Common::NotImplementedException("The first part of a split vertex program cannot run as a compute "
                                                  "shader.");
        }
    }
    _resourceManager = CreateResourceManager(asCompute);
    ResourceManager& resourceManager = *_resourceManager;
    Decoders::DecodedProgram& program = *_program;

    resourceManager.SetCurrentLocalMemory(_localMemorySize, HasFlag(program.UsedFeatures, FeatureFlags::LocalMemory));
    if (_definitions->Stage == ShaderStage::Compute) {
        int32_t sharedMemorySize = _gpuAccessor->QueryComputeSharedMemorySize();
        resourceManager.SetCurrentSharedMemory(sharedMemorySize,
                                               HasFlag(program.UsedFeatures, FeatureFlags::SharedMemory));
    }

    int32_t initializationOperations = 0;
    std::vector<Translator::FunctionCode> codes =
        Translator::EmitShader(*this, resourceManager, program, asCompute, true, initializationOperations);
    program.ReleaseCode();

    return TranslatePasses(codes, resourceManager, program.UsedFeatures, program.ClipDistancesWritten, asCompute);
}

ShaderProgram TranslatorContext::TranslatePasses(std::vector<std::vector<Operation*>>& codes,
                                                 ResourceManager& resourceManager, FeatureFlags usedFeatures,
                                                 uint8_t clipDistancesWritten, bool asCompute) {
    if (asCompute) {
        usedFeatures |= FeatureFlags::VtgAsCompute;
    }

    const std::size_t count = codes.size();
    std::vector<ControlFlowGraph> cfgs;
    cfgs.reserve(count);

    // Every graph and register usage must exist before calls are fixed up:
    // a call may name a function that comes later in the list. The usages
    // are worked out for all functions together, so that registers a nested
    // callee reads or writes pass through every caller on the way.
    for (std::size_t i = 0; i < count; i++) {
        cfgs.push_back(ControlFlowGraph::Create(*_arena, codes[i]));
    }
    // The blocks hold every operation now; the flat lists are not read again.
    codes = {};
    std::vector<ControlFlowGraph*> graphs;
    graphs.reserve(count);
    for (ControlFlowGraph& cfg : cfgs) graphs.push_back(&cfg);
    std::vector<RegisterUsage::FunctionRegisterUsage> usages = RegisterUsage::RunPass(graphs);

    std::vector<Function*> functions(count, nullptr);
    HelperFunctionManager hfm(*_arena, functions, _definitions->Stage);

    for (std::size_t i = 0; i < count; i++) {
        ControlFlowGraph& cfg = cfgs[i];
        if (!cfg.Blocks.empty()) {
            CheckAfter("ControlFlowGraph::Create", cfg.Blocks);
            RegisterUsage::FixupCalls(cfg.Blocks, usages);
            CheckAfter("RegisterUsage::FixupCalls", cfg.Blocks);
            Dominance::FindDominators(cfg);
            Ssa::Rename(cfg.Blocks);
            CheckAfter("Ssa::Rename", cfg.Blocks);

            Transforms::TransformContext context{
                hfm,          cfg.Blocks,           *_definitions,           resourceManager,    *_gpuAccessor,
                usedFeatures, _options.GraphicsApi, _options.TargetLanguage, _definitions->Stage};

            // The optimiser checks the IR after each of its own steps.
            Optimizations::Optimizer::RunPass(context);
            using Transforms::TransformPasses;
            TransformPasses::RunPassChecked<Transforms::DrawParametersReplace>(context, "DrawParametersReplace");
            TransformPasses::RunPassChecked<Transforms::ForcePreciseEnable>(context, "ForcePreciseEnable");
            TransformPasses::RunPassChecked<Transforms::VectorComponentSelect>(context, "VectorComponentSelect");
            TransformPasses::RunPassChecked<Transforms::TexturePass>(context, "TexturePass");
            TransformPasses::RunPassChecked<Transforms::SharedStoreSmallIntCas>(context, "SharedStoreSmallIntCas");
            TransformPasses::RunPassChecked<Transforms::SharedAtomicSignedCas>(context, "SharedAtomicSignedCas");
            TransformPasses::RunPassChecked<Transforms::ShufflePass>(context, "ShufflePass");
            TransformPasses::RunPassChecked<Transforms::VertexToCompute>(context, "VertexToCompute");
            TransformPasses::RunPassChecked<Transforms::GeometryToCompute>(context, "GeometryToCompute");
        }

        functions[i] = _arena->NewFunction(std::move(cfg.Blocks), "fun" + std::to_string(i), false,
                                           static_cast<int>(usages[i].InArguments.size()),
                                           static_cast<int>(usages[i].OutArguments.size()));
    }

    // The functions own their block lists; the graphs' orders are not read again.
    cfgs = {};
    const ShaderDefinitions& definitions = GetDefinitions(asCompute);
    return Generate(functions, _program->AttributeUsage, definitions, resourceManager, usedFeatures,
                    clipDistancesWritten);
}

ShaderProgram TranslatorContext::Generate(std::vector<Function*>& functions, AttributeUsage& attributeUsage,
                                          const ShaderDefinitions& definitions, ResourceManager& resourceManager,
                                          FeatureFlags usedFeatures, uint8_t clipDistancesWritten) {
    bool debugMode = HasFlag(_options.Flags, TranslationFlags::DebugMode);
    std::unique_ptr<StructuredIr::StructuredProgramInfo> structured =
        StructuredIr::StructuredProgram::MakeStructuredProgram(functions, attributeUsage, definitions, resourceManager,
                                                               _options.TargetLanguage, debugMode);
    resourceManager.RemoveUnusedConstantBufferDeclarations();
    // The structured program holds copies of all it needs from the IR, and
    // nothing reads the IR from here on: its memory goes back now, for the
    // back end to reuse, instead of adding to the translation's peak.
    functions.clear();
    _arena = std::make_unique<IntermediateRepresentation::IrArena>();

    // Stage and header facts always describe the shader itself, even when the
    // back end is given the compute form.
    const ShaderDefinitions& own = *_definitions;
    int32_t geometryVerticesPerPrimitive = own.OutputTopology == Shader::OutputTopology::LineStrip       ? 2
                                           : own.OutputTopology == Shader::OutputTopology::TriangleStrip ? 3
                                                                                                         : 1;

    ShaderProgramInfo info(
        resourceManager.GetConstantBufferDescriptors(), resourceManager.GetStorageBufferDescriptors(),
        resourceManager.GetTextureDescriptors(true), resourceManager.GetImageDescriptors(true), own.Stage,
        geometryVerticesPerPrimitive, own.MaxOutputVertices, own.ThreadsPerInputPrimitive,
        HasFlag(usedFeatures, FeatureFlags::FragCoordXY), HasFlag(usedFeatures, FeatureFlags::InstanceId),
        HasFlag(usedFeatures, FeatureFlags::DrawParameters), HasFlag(usedFeatures, FeatureFlags::RtLayer),
        clipDistancesWritten, own.FragmentOutputMap);

    HostCapabilities hostCapabilities;
    hostCapabilities.HasReducedPrecision = _gpuAccessor->QueryHostReducedPrecision();
    hostCapabilities.HasFloat64 = _gpuAccessor->QueryHostSupportsShaderFloat64();
    hostCapabilities.HasFragmentShaderInterlock = true;
    hostCapabilities.HasIntelFragmentShaderOrdering = false;
    hostCapabilities.HasGeometryShaderPassthrough = false;
    hostCapabilities.HasArbShaderBallot = true;
    hostCapabilities.HasBarrierInDivergentCode = true;
    hostCapabilities.HasNonUniformIndexing = false;
    hostCapabilities.HasTextureShadowLod = true;
    hostCapabilities.HasViewportMask = false;

    CodeGen::CodeGenParameters parameters(attributeUsage, definitions, resourceManager.Properties(), hostCapabilities,
                                          *_gpuAccessor, _options.GraphicsApi);

    switch (_options.TargetLanguage) {
    case TargetLanguage::Glsl: {
        std::string code = CodeGen::Glsl::GlslGenerator::Generate(*structured, parameters);
        return ShaderProgram(std::move(info), TargetLanguage::Glsl, std::move(code), {});
    }
    case TargetLanguage::Spirv: {
        std::vector<uint8_t> bytes = CodeGen::Spirv::SpirvGenerator::Generate(*structured, parameters);
        return ShaderProgram(std::move(info), TargetLanguage::Spirv, {}, std::move(bytes));
    }
    default:
        throw Common::NotImplementedException(TargetLanguageName(_options.TargetLanguage));
    }
}

} // namespace Zerivox::Graphics::Shader::Translation
