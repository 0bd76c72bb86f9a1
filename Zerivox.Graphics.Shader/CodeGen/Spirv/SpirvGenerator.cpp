#include "Zerivox.Graphics.Shader/CodeGen/Spirv/SpirvGenerator.h"

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/ObjectPool.h"
#include "Zerivox.Graphics.Shader/CodeGen/AssignmentTarget.h"
#include "Zerivox.Graphics.Shader/CodeGen/CodeGenParameters.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/EnumConversion.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Instructions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlockVisitor.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IrInst = IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using Spv::Generator::GeneratorPool;
using Spv::Generator::IOperand;
using Spv::Generator::LiteralInteger;
using StructuredIr::AstBlock;
using StructuredIr::AstBlockType;
using StructuredIr::AstOperand;
using StructuredIr::IAstNode;
using StructuredIr::IoDefinition;
using Translation::AggregateType;
using SpvInst = Spv::Generator::Instruction;
using InstructionPool = GeneratorPool<SpvInst>;
using LiteralPool = GeneratorPool<LiteralInteger>;

namespace {

constexpr int32_t PoolCapacity = 1000;
constexpr int32_t PoolChunkSize = 200;

// The one piece of process-wide mutable state of a translation.
struct PoolStore {
    std::mutex Lock;
    Common::ObjectPool<InstructionPool> InstructionPools{
        [] { return std::make_unique<InstructionPool>(PoolCapacity, PoolChunkSize); }, 1};
    Common::ObjectPool<LiteralPool> LiteralPools{
        [] { return std::make_unique<LiteralPool>(PoolCapacity, PoolChunkSize); }, 1};
};

PoolStore& Store() {
    static PoolStore store;
    return store;
}

bool HasIo(const CodeGenContext& context, StorageKind kind, IoVariable variable) {
    return context.IoDefinitions.Contains(IoDefinition(kind, variable, 0, 0));
}

void DeclareCapabilities(CodeGenContext& context) {
    using C = spv::Capability;
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    ShaderStage stage = definitions.Stage;

    context.AddCapabilityOnce(C::Shader);
    context.SetMemoryModel(spv::AddressingModel::Logical, spv::MemoryModel::GLSL450);
    for (C capability : {C::GroupNonUniformBallot, C::GroupNonUniformShuffle, C::GroupNonUniformVote, C::ImageBuffer,
                         C::ImageGatherExtended, C::ImageQuery, C::SampledBuffer}) {
        context.AddCapabilityOnce(capability);
    }
    if (context.HostCapabilities.HasFloat64)
        context.AddCapabilityOnce(C::Float64);
    if (definitions.TransformFeedbackEnabled && definitions.IsLastVertexStage) {
        context.AddCapabilityOnce(C::TransformFeedback);
    }
    if (stage == ShaderStage::Fragment) {
        if (HasIo(context, StorageKind::Input, IoVariable::Layer) ||
            HasIo(context, StorageKind::Input, IoVariable::PrimitiveId)) {
            context.AddCapabilityOnce(C::Geometry);
        }
        if (context.HostCapabilities.HasFragmentShaderInterlock) {
            context.AddCapabilityOnce(C::FragmentShaderPixelInterlockEXT);
            context.AddExtensionOnce("SPV_EXT_fragment_shader_interlock");
        }
    } else if (stage == ShaderStage::Geometry) {
        context.AddCapabilityOnce(C::Geometry);
        if (definitions.GeometryPassthrough && context.HostCapabilities.HasGeometryShaderPassthrough) {
            context.AddCapabilityOnce(C::GeometryShaderPassthroughNV);
            context.AddExtensionOnce("SPV_NV_geometry_shader_passthrough");
        }
    } else if (stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation) {
        context.AddCapabilityOnce(C::Tessellation);
    } else if (stage == ShaderStage::Vertex) {
        context.AddCapabilityOnce(C::DrawParameters);
    }
    if ((stage == ShaderStage::Vertex || stage == ShaderStage::TessellationControl ||
         stage == ShaderStage::TessellationEvaluation) &&
        (HasIo(context, StorageKind::Output, IoVariable::Layer) ||
         HasIo(context, StorageKind::Output, IoVariable::ViewportIndex))) {
        context.AddCapabilityOnce(C::ShaderViewportIndexLayerEXT);
        context.AddExtensionOnce("SPV_EXT_shader_viewport_index_layer");
    }
    if (HasIo(context, StorageKind::Output, IoVariable::ViewportMask)) {
        context.AddCapabilityOnce(C::ShaderViewportMaskNV);
        context.AddExtensionOnce("SPV_NV_viewport_array2");
    }
}

std::string InputTopologyText(InputTopology topology) {
    switch (topology) {
    case InputTopology::Points:
        return "Points";
    case InputTopology::Lines:
        return "Lines";
    case InputTopology::LinesAdjacency:
        return "LinesAdjacency";
    case InputTopology::Triangles:
        return "Triangles";
    case InputTopology::TrianglesAdjacency:
        return "TrianglesAdjacency";
    }
    return std::to_string(static_cast<int32_t>(topology));
}

void AddMode(CodeGenContext& context, SpvInst* function, spv::ExecutionMode mode) {
    context.AddExecutionMode(function, mode);
}

void AddMode(CodeGenContext& context, SpvInst* function, spv::ExecutionMode mode, std::span<const int32_t> values) {
    std::array<IOperand*, 3> operands{};
    std::size_t count = 0;
    for (int32_t value : values)
        operands[count++] = LiteralInteger::FromInt32(value);
    context.AddExecutionMode(function, mode, std::span<IOperand* const>(operands.data(), count));
}

void DeclareExecutionModes(CodeGenContext& context, SpvInst* function) {
    using M = spv::ExecutionMode;
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    const GpuGraphicsState& state = definitions.GraphicsState;
    switch (definitions.Stage) {
    case ShaderStage::Compute: {
        std::array<int32_t, 3> size{definitions.WorkgroupSizeX, definitions.WorkgroupSizeY, definitions.WorkgroupSizeZ};
        AddMode(context, function, M::LocalSize, size);
        break;
    }
    case ShaderStage::TessellationControl: {
        // A patch of no vertices has no meaning; its outputs would be
        // arrays of no elements.
        if (definitions.ThreadsPerInputPrimitive < 1) {
            throw Common::InvalidOperationException("The program header gives the tessellation control shader " +
                                                    std::to_string(definitions.ThreadsPerInputPrimitive) +
                                                    " output vertices.");
        }
        std::array<int32_t, 1> vertices{definitions.ThreadsPerInputPrimitive};
        AddMode(context, function, M::OutputVertices, vertices);
        break;
    }
    case ShaderStage::TessellationEvaluation: {
        switch (state.TessellationPatchType) {
        case TessPatchType::Isolines:
            AddMode(context, function, M::Isolines);
            break;
        case TessPatchType::Triangles:
            AddMode(context, function, M::Triangles);
            break;
        case TessPatchType::Quads:
            AddMode(context, function, M::Quads);
            break;
        default:
            break;
        }
        switch (state.TessellationSpacing) {
        case TessSpacing::EqualSpacing:
            AddMode(context, function, M::SpacingEqual);
            break;
        case TessSpacing::FractionalEven:
            AddMode(context, function, M::SpacingFractionalEven);
            break;
        case TessSpacing::FractionalOdd:
            AddMode(context, function, M::SpacingFractionalOdd);
            break;
        default:
            break;
        }
        // Vulkan's origin is the upper left: the guest's winding reads inverted.
        bool clockwise = state.TessellationClockwise;
        if (context.GraphicsApi == Translation::TargetGraphicsApi::Vulkan)
            clockwise = !clockwise;
        AddMode(context, function, clockwise ? M::VertexOrderCw : M::VertexOrderCcw);
        break;
    }
    case ShaderStage::Geometry: {
        InputTopology topology = definitions.get_InputTopology();
        switch (topology) {
        case InputTopology::Points:
            AddMode(context, function, M::InputPoints);
            break;
        case InputTopology::Lines:
            AddMode(context, function, M::InputLines);
            break;
        case InputTopology::LinesAdjacency:
            AddMode(context, function, M::InputLinesAdjacency);
            break;
        case InputTopology::Triangles:
            AddMode(context, function, M::Triangles);
            break;
        case InputTopology::TrianglesAdjacency:
            AddMode(context, function, M::InputTrianglesAdjacency);
            break;
        default:
            throw Common::InvalidOperationException("Invalid input topology \"" + InputTopologyText(topology) + "\".");
        }
        std::array<int32_t, 1> invocations{definitions.ThreadsPerInputPrimitive};
        AddMode(context, function, M::Invocations, invocations);
        switch (definitions.OutputTopology) {
        case OutputTopology::PointList:
            AddMode(context, function, M::OutputPoints);
            break;
        case OutputTopology::LineStrip:
            AddMode(context, function, M::OutputLineStrip);
            break;
        case OutputTopology::TriangleStrip:
            AddMode(context, function, M::OutputTriangleStrip);
            break;
        default:
            throw Common::InvalidOperationException("Invalid output topology \"" +
                                                    std::to_string(static_cast<int32_t>(definitions.OutputTopology)) +
                                                    "\".");
        }
        std::array<int32_t, 1> vertices{definitions.MaxOutputVertices};
        AddMode(context, function, M::OutputVertices, vertices);
        break;
    }
    case ShaderStage::Fragment: {
        // Vulkan has no lower-left origin; the host flips coordinates itself.
        bool upperLeft = state.OriginUpperLeft || context.GraphicsApi == Translation::TargetGraphicsApi::Vulkan;
        AddMode(context, function, upperLeft ? M::OriginUpperLeft : M::OriginLowerLeft);
        if (HasIo(context, StorageKind::Output, IoVariable::FragmentOutputDepth)) {
            AddMode(context, function, M::DepthReplacing);
        }
        if (state.EarlyFragmentTests)
            AddMode(context, function, M::EarlyFragmentTests);
        if ((context.Info.HelperFlags & 0x800u) != 0 && context.HostCapabilities.HasFragmentShaderInterlock) {
            AddMode(context, function, M::PixelInterlockOrderedEXT);
        }
        break;
    }
    default:
        break;
    }
    if (definitions.TransformFeedbackEnabled && definitions.IsLastVertexStage)
        AddMode(context, function, M::Xfb);
}

// Label at which block continues when it is next entered.
SpvInst* NextLabel(CodeGenContext& context, const AstBlock* block) {
    CodeGenContext::BlockState& state = context.GetBlockStateLazy(block);
    return state.GetLabel(context, state.EntryCount);
}

bool IsBlockOfType(IAstNode* node, AstBlockType type) {
    const AstBlock* block = StructuredIr::As<AstBlock>(node);
    return block != nullptr && block->Type == type;
}

void OnBlockEntered(CodeGenContext& context, CodeGenContext::LoopTargetMap& loopTargets, AstBlock* block) {
    AstBlock* parent = block->Parent();
    if (block->Type == AstBlockType::If) {
        context.EnsureBlockOpen();
        IAstNode* next = StructuredIr::AstHelper::Next(block);
        const AstBlock* falseBlock =
            IsBlockOfType(next, AstBlockType::Else) ? StructuredIr::As<AstBlock>(next) : parent;
        SpvInst* condition = context.Get(AggregateType::Bool, block->Condition());
        SpvInst* mergeLabel = NextLabel(context, parent);
        context.SelectionMerge(mergeLabel, spv::SelectionControlMask::MaskNone);
        SpvInst* trueLabel = NextLabel(context, block);
        SpvInst* falseLabel = NextLabel(context, falseBlock);
        context.BranchConditional(condition, trueLabel, falseLabel);
        context.MarkTerminated();
    } else if (block->Type == AstBlockType::DoWhile) {
        context.EnsureBlockOpen();
        SpvInst* continueLabel = context.Label();
        SpvInst* headerLabel = context.NewBlock();
        if (!loopTargets.emplace(block, std::make_pair(headerLabel, continueLabel)).second) {
            throw Common::ArgumentException("An item with the same key has already been added.");
        }
        SpvInst* mergeLabel = NextLabel(context, parent);
        context.LoopMerge(mergeLabel, continueLabel, spv::LoopControlMask::MaskNone);
        SpvInst* bodyLabel = context.GetBlockStateLazy(block).GetLabel(context, 0);
        context.Branch(bodyLabel);
        context.MarkTerminated();
    }
    context.EnterBlock(block);
}

void OnBlockLeft(CodeGenContext& context, CodeGenContext::LoopTargetMap& loopTargets, AstBlock* block) {
    AstBlock* parent = block->Parent();
    if (parent == nullptr)
        return;
    if (block->Type == AstBlockType::DoWhile) {
        auto it = loopTargets.find(block);
        if (it == loopTargets.end())
            throw Common::KeyNotFoundException("The loop was never opened.");
        auto [headerLabel, continueLabel] = it->second;
        // A body that ended in a break, continue or return has no fall-through
        // into the continue block.
        if (!context.IsBlockTerminated())
            context.Branch(continueLabel);
        context.PlaceLabel(continueLabel);
        SpvInst* condition = context.Get(AggregateType::Bool, block->Condition());
        SpvInst* mergeLabel = NextLabel(context, parent);
        context.BranchConditional(condition, headerLabel, mergeLabel);
        context.MarkTerminated();
    } else if (!context.IsBlockTerminated()) {
        SpvInst* mergeLabel = NextLabel(context, parent);
        context.Branch(mergeLabel);
        context.MarkTerminated();
    }
    IAstNode* next = StructuredIr::AstHelper::Next(block);
    if (!IsBlockOfType(next, AstBlockType::Else) && !IsBlockOfType(next, AstBlockType::ElseIf)) {
        context.EnterBlock(parent);
    }
}

void GenerateAssignment(CodeGenContext& context, const StructuredIr::AstAssignment& assignment) {
    const AstOperand* destination = &GetAssignmentTarget(assignment);
    if (destination->Type == OperandType::LocalVariable) {
        SpvInst* value = context.Get(destination->VarType, assignment.Source());
        auto it = context.Locals.find(destination);
        if (it == context.Locals.end())
            throw Common::KeyNotFoundException("The local variable was never declared.");
        context.Store(it->second, value);
    } else {
        if (destination->Value < 0 || static_cast<std::size_t>(destination->Value) >= context.Arguments.size() ||
            context.CurrentFunction == nullptr) {
            throw Common::IndexOutOfRangeException("Argument " + std::to_string(destination->Value) +
                                                   " does not exist in this function.");
        }
        // Stored as the parameter's own type, which is what its pointer holds.
        AggregateType type = context.CurrentFunction->GetArgumentType(destination->Value);
        SpvInst* value = context.Get(type, assignment.Source());
        context.Store(context.Arguments[static_cast<std::size_t>(destination->Value)], value);
    }
}

} // namespace

std::vector<uint8_t> SpirvGenerator::Generate(const StructuredIr::StructuredProgramInfo& info,
                                              const CodeGenParameters& parameters) {
    PoolStore& store = Store();
    std::unique_ptr<InstructionPool> instructionPool;
    std::unique_ptr<LiteralPool> literalPool;
    {
        std::lock_guard lock(store.Lock);
        instructionPool = store.InstructionPools.Allocate();
        literalPool = store.LiteralPools.Allocate();
    }

    std::vector<uint8_t> bytes;
    {
        CodeGenContext context(info, parameters, instructionPool.get(), literalPool.get());
        DeclareCapabilities(context);

        if ((info.HelperFlags & 0x400u) != 0) {
            context.IoDefinitions.Add(IoDefinition(StorageKind::Input, IoVariable::SubgroupLaneId, 0, 0));
        }

        Declarations::DeclareAll(context);

        context.Functions.reserve(info.Functions.size());
        for (const auto& function : info.Functions) {
            SpvInst* returnType = context.GetType(function->ReturnType);
            std::size_t argumentCount = function->InArguments.size() + function->OutArguments.size();
            std::vector<SpvInst*> parameterTypes;
            parameterTypes.reserve(argumentCount);
            for (std::size_t j = 0; j < argumentCount; j++) {
                SpvInst* argumentType = context.GetType(function->GetArgumentType(static_cast<int32_t>(j)));
                parameterTypes.push_back(context.TypePointer(spv::StorageClass::Function, argumentType));
            }
            SpvInst* functionType = context.TypeFunction(returnType, parameterTypes);
            SpvInst* spirvFunction = context.Function(returnType, spv::FunctionControlMask::MaskNone, functionType);
            context.Functions.emplace_back(function.get(), spirvFunction);
        }

        for (std::size_t i = 0; i < info.Functions.size(); i++)
            Generate(context, info, static_cast<int32_t>(i));

        // Writing the module also resets the pools for their next use.
        bytes = context.Generate();
    }

    {
        std::lock_guard lock(store.Lock);
        store.InstructionPools.Release(std::move(instructionPool));
        store.LiteralPools.Release(std::move(literalPool));
    }
    return bytes;
}

void SpirvGenerator::Generate(CodeGenContext& context, const StructuredIr::StructuredProgramInfo& info, int32_t index) {
    auto [function, spirvFunction] = context.Functions[static_cast<std::size_t>(index)];
    context.CurrentFunction = function;
    context.AddFunction(spirvFunction);
    context.StartFunction(index == 0);
    Declarations::DeclareParameters(context, *function);
    context.EnterBlock(function->MainBlock);
    Declarations::DeclareLocals(context, *function);
    Generate(context, function->MainBlock);

    // Falling off the end of the body returns (with an undefined value from a
    // function that has one: only unreachable code gets there).
    if (!context.IsBlockTerminated()) {
        if (function->ReturnType == AggregateType::Void) {
            context.Return();
        } else {
            SpvInst* value = context.GetUndefined(function->ReturnType);
            context.ReturnValue(value);
        }
        context.MarkTerminated();
    }
    context.FunctionEnd();

    if (index == 0) {
        spv::ExecutionModel model = EnumConversion::Convert(context.Definitions.Stage);
        std::vector<SpvInst*> interface = context.GetMainInterface();
        context.AddEntryPoint(model, spirvFunction, "main", interface);
        DeclareExecutionModes(context, spirvFunction);
    }
    (void)info;
}

void SpirvGenerator::Generate(CodeGenContext& context, AstBlock* block) {
    CodeGenContext::LoopTargetMap loopTargets;
    context.LoopTargets = &loopTargets;

    StructuredIr::AstBlockVisitor visitor(block);
    visitor.BlockEntered.push_back(
        [&](const StructuredIr::BlockVisitationEventArgs& e) { OnBlockEntered(context, loopTargets, e.Block); });
    visitor.BlockLeft.push_back(
        [&](const StructuredIr::BlockVisitationEventArgs& e) { OnBlockLeft(context, loopTargets, e.Block); });

    for (IAstNode* node : visitor.Visit()) {
        if (const auto* assignment = StructuredIr::As<StructuredIr::AstAssignment>(node)) {
            context.EnsureBlockOpen();
            GenerateAssignment(context, *assignment);
        } else if (const auto* operation = StructuredIr::As<StructuredIr::AstOperation>(node)) {
            context.EnsureBlockOpen();
            Instructions::Generate(context, *operation);
        }
    }
    context.LoopTargets = nullptr;
}

std::size_t SpirvGenerator::SpareInstructionPools() { return Store().InstructionPools.Count(); }

std::size_t SpirvGenerator::SpareLiteralPools() { return Store().LiteralPools.Count(); }

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
