#include "Zerivox.Graphics.Shader/Translation/Translator.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/FunctionMatch.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderHeader.h"

namespace Zerivox::Graphics::Shader::Translation {

namespace {

constexpr uint64_t HeaderSize = ShaderHeader::SizeInBytes;
// The most threads per input primitive a program header may give.
constexpr int32_t MaxThreadsPerInputPrimitive = 32;

std::string HexAddress(uint64_t value) { return "0x" + Common::ToHex(value); }

// The host has no call stack: SPIR-V forbids recursion, and a guest call
// that reaches its own function again cannot be translated. Only calls
// between emitted functions matter (a recognised helper emits no call).
// Iterative, so a long chain of calls cannot exhaust the stack.
void RejectRecursion(const std::vector<Decoders::DecodedFunction*>& emitted) {
    std::unordered_map<const Decoders::DecodedFunction*, std::size_t> index;
    index.reserve(emitted.size());
    for (std::size_t i = 0; i < emitted.size(); i++)
        index.emplace(emitted[i], i);
    // Walks caller links, which are call links reversed: a cycle either way
    // is the same cycle.
    enum : uint8_t { Unseen, OnPath, Done };
    std::vector<uint8_t> state(emitted.size(), Unseen);
    std::vector<std::pair<std::size_t, std::size_t>> path; // function, next caller to visit
    for (std::size_t root = 0; root < emitted.size(); root++) {
        if (state[root] != Unseen)
            continue;
        state[root] = OnPath;
        path.emplace_back(root, 0);
        while (!path.empty()) {
            auto& [node, next] = path.back();
            const auto& callers = emitted[node]->Callers;
            if (next == callers.size()) {
                state[node] = Done;
                path.pop_back();
                continue;
            }
            const Decoders::DecodedFunction* caller = callers.ItemAt(next++);
            auto it = index.find(caller);
            if (it == index.end())
                continue;
            if (state[it->second] == OnPath) {
                throw Common::InvalidOperationException("The function at " + HexAddress(caller->Address) +
                                                        " calls itself (directly or through other calls); "
                                                        "recursion cannot be translated.");
            }
            if (state[it->second] == Unseen) {
                state[it->second] = OnPath;
                path.emplace_back(it->second, 0);
            }
        }
    }
}

} // namespace

TranslatorContext Translator::DecodeShader(uint64_t address, IGpuAccessor& gpuAccessor,
                                           const TranslationOptions& options) {
    std::unique_ptr<ShaderDefinitions> definitions;
    int32_t localMemorySize;
    bool isCompute = HasFlag(options.Flags, TranslationFlags::Compute);

    if (isCompute) {
        definitions = CreateComputeDefinitions(gpuAccessor);
        localMemorySize = gpuAccessor.QueryComputeLocalMemorySize();
    } else {
        ShaderHeader header(gpuAccessor, address);
        definitions = CreateGraphicsDefinitions(gpuAccessor, header);
        localMemorySize = GetLocalMemorySize(header);
    }

    TranslatorContext context(std::move(definitions), gpuAccessor, address, localMemorySize, options);

    uint64_t codeAddress = isCompute ? address : address + HeaderSize;
    context._program = std::make_unique<Decoders::DecodedProgram>(
        Decoders::Decoder::Decode(*context._definitions, gpuAccessor, codeAddress));

    uint64_t size = 0;
    for (Decoders::DecodedFunction* function : *context._program) {
        for (const Decoders::Block* block : function->Blocks()) {
            size = std::max(size, block->EndAddress);
        }
    }
    if (!isCompute) {
        size += HeaderSize;
    }
    if (size > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        throw Common::OverflowException("The shader code is too large (" + std::to_string(size) + " bytes).");
    }
    context._size = static_cast<int32_t>(size);
    return context;
}

std::unique_ptr<ShaderDefinitions> Translator::CreateComputeDefinitions(IGpuAccessor& gpuAccessor) {
    int32_t x = gpuAccessor.QueryWorkgroupSizeX();
    int32_t y = gpuAccessor.QueryWorkgroupSizeY();
    int32_t z = gpuAccessor.QueryWorkgroupSizeZ();
    return std::make_unique<ShaderDefinitions>(ShaderStage::Compute, x, y, z);
}

std::unique_ptr<ShaderDefinitions> Translator::CreateGraphicsDefinitions(IGpuAccessor& gpuAccessor,
                                                                         const ShaderHeader& header) {
    uint64_t vecMap = 0;
    std::optional<TransformFeedbackOutputArray> outputs = GetTransformFeedbackOutputs(gpuAccessor, vecMap);
    GpuGraphicsState graphicsState = gpuAccessor.QueryGraphicsState();
    bool scaledVertexFormatsSupported = gpuAccessor.QueryHostSupportsScaledVertexFormats();

    // Stages past Fragment have no meaning anywhere downstream (stage masks,
    // name prefixes, built-in tables); refuse them here rather than let them
    // index those tables.
    if (header.Stage > ShaderStage::Fragment) {
        throw Common::ArgumentException("Invalid shader stage " + std::to_string(static_cast<int>(header.Stage)) +
                                        " in the program header.");
    }

    // A control shader's output patch has one vertex per thread of an input
    // primitive, and a geometry shader runs that many invocations per input
    // primitive: 1 to 32 (the hardware's limit, and the least a host must
    // take). Neither back end can declare other counts the host accepts.
    const int32_t threads = header.ThreadsPerInputPrimitive;
    if (threads < 1 || threads > MaxThreadsPerInputPrimitive) {
        if (header.Stage == ShaderStage::TessellationControl) {
            throw Common::ArgumentException("The program header of the tessellation control shader gives " +
                                            std::to_string(threads) + " output vertices per patch.");
        }
        if (header.Stage == ShaderStage::Geometry) {
            throw Common::ArgumentException("The program header of the geometry shader gives " +
                                            std::to_string(threads) + " invocations per input primitive.");
        }
    }

    bool geometryPassthrough = header.Stage == ShaderStage::Geometry && header.GeometryPassthrough;
    return std::make_unique<ShaderDefinitions>(
        header.Stage, graphicsState, geometryPassthrough, header.ThreadsPerInputPrimitive, header.OutputTopology,
        header.MaxOutputVertexCount, header.ImapTypes, header.FragmentOutputMap, header.WritesSampleMask,
        header.WritesDepth, scaledVertexFormatsSupported, vecMap, std::move(outputs));
}

std::optional<TransformFeedbackOutputArray> Translator::GetTransformFeedbackOutputs(IGpuAccessor& gpuAccessor,
                                                                                    uint64_t& vecMap) {
    vecMap = 0;
    if (!gpuAccessor.QueryTransformFeedbackEnabled()) {
        return std::nullopt;
    }

    TransformFeedbackOutputArray outputs{};
    for (int32_t buffer = 0; buffer < 4; buffer++) {
        std::span<const uint8_t> words = gpuAccessor.QueryTransformFeedbackVaryingLocations(buffer);
        int32_t stride = gpuAccessor.QueryTransformFeedbackBufferStride(buffer);
        if (words.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4)) {
            throw Common::OverflowException("Transform feedback buffer " + std::to_string(buffer) +
                                            " has too many varying locations.");
        }
        for (std::size_t j = 0; j < words.size(); j++) {
            uint8_t word = words[j];
            if (word >= ShaderDefinitions::TransformFeedbackOutputCount) {
                continue;
            }
            outputs[word] = TransformFeedbackOutput(buffer, static_cast<int32_t>(j) * 4, stride);
            vecMap |= 1ull << (word / 4);
        }
    }
    return outputs;
}

int32_t Translator::GetLocalMemorySize(const ShaderHeader& header) {
    return header.LocalMemoryLowSize + header.LocalMemoryHighSize + header.CallStackSize / 32;
}

std::vector<Translator::FunctionCode> Translator::EmitShader(TranslatorContext& translatorContext,
                                                             ResourceManager& resourceManager,
                                                             Decoders::DecodedProgram& program, bool asCompute,
                                                             bool initializeOutputs,
                                                             int32_t& initializationOperations) {
    initializationOperations = 0;

    // Recognised guest helpers (fragment interlock) change type and are
    // not emitted below.
    FunctionMatch::RunPass(program);

    std::vector<Decoders::DecodedFunction*> emitted;
    for (Decoders::DecodedFunction* function : program) {
        if (function->Type == Decoders::FunctionType::User) {
            emitted.push_back(function);
        }
    }
    std::stable_sort(
        emitted.begin(), emitted.end(),
        [](const Decoders::DecodedFunction* a, const Decoders::DecodedFunction* b) { return a->Address < b->Address; });
    RejectRecursion(emitted);
    for (Decoders::DecodedFunction* function : emitted) {
        function->Id = static_cast<int32_t>(program.FunctionsById.size());
        program.FunctionsById.push_back(function);
    }

    std::vector<FunctionCode> codes;
    codes.reserve(program.FunctionsById.size());
    for (std::size_t index = 0; index < program.FunctionsById.size(); index++) {
        Decoders::DecodedFunction* function = program.FunctionsById[index];
        EmitterContext context(translatorContext, resourceManager, program, asCompute, index != 0);

        if (initializeOutputs && index == 0) {
            EmitOutputsInitialization(context, program.AttributeUsage, translatorContext.GpuAccessor(),
                                      translatorContext.Definitions().Stage);
            initializationOperations = static_cast<int32_t>(context.Operations.size());
        }

        for (Decoders::Block* block : function->Blocks()) {
            context.CurrBlock = block;
            context.EnterBlock(block->Address);
            EmitOps(context, block);
        }
        codes.push_back(std::move(context.Operations));
    }
    return codes;
}

namespace {

using EmitterContextInsts::Load;
using EmitterContextInsts::Store;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using IntermediateRepresentation::OperandHelper::MakeConstant;
using IntermediateRepresentation::OperandHelper::MakeFloatConstant;

constexpr float OutputDefault(int32_t component) { return component == 3 ? 1.0f : 0.0f; }

} // namespace

void Translator::EmitOutputsInitialization(EmitterContext& context, const AttributeUsage& attributeUsage,
                                           IGpuAccessor& gpuAccessor, ShaderStage stage) {
    if (stage == ShaderStage::Compute) {
        return;
    }
    IntermediateRepresentation::IrArena& arena = context.Arena();

    if (stage == ShaderStage::Fragment) {
        // The second blend source must be defined even where the shader
        // never writes it.
        if (gpuAccessor.QueryGraphicsState().DualSourceBlend) {
            for (int32_t c = 0; c < 4; c++) {
                Operand* location = MakeConstant(arena, 1);
                Operand* component = MakeConstant(arena, c);
                Operand* zero = MakeFloatConstant(arena, 0.0f);
                Store(context, StorageKind::Output, IoVariable::FragmentOutputColor, nullptr, location, component,
                      zero);
            }
        }
        return;
    }

    if (stage == ShaderStage::Vertex) {
        InitializeVertexOutputs(context);
    }

    std::bitset<128> mask = attributeUsage.NextStageInputComponents;
    if (!attributeUsage.NextStageInputComponentsKnown) {
        for (int32_t attribute = 0; attribute < 32; attribute++) {
            if ((attributeUsage.UsedOutputAttributes & (1u << attribute)) != 0) {
                for (int32_t c = 0; c < 4; c++) {
                    mask.set(static_cast<std::size_t>(attribute * 4 + c));
                }
            }
        }
    }
    for (std::size_t bit = 0; bit < mask.size(); bit++) {
        if (!mask.test(bit)) {
            continue;
        }
        auto attribute = static_cast<int32_t>(bit / 4);
        auto component = static_cast<int32_t>(bit % 4);
        // Passed-through attributes are copied from the input, not defaulted.
        if ((attributeUsage.PassthroughAttributes & (1u << attribute)) != 0) {
            continue;
        }
        InitializeOutputComponent(context, attribute, component, false);
    }

    if (attributeUsage.NextStageInputsPerPatch.has_value()) {
        std::vector<int32_t> locations(attributeUsage.NextStageInputsPerPatch->begin(),
                                       attributeUsage.NextStageInputsPerPatch->end());
        std::stable_sort(locations.begin(), locations.end());
        for (int32_t location : locations) {
            for (int32_t c = 0; c < 4; c++) {
                InitializeOutputComponent(context, location, c, true);
            }
        }
    }

    if (attributeUsage.NextStageInputsKnown) {
        for (int32_t i = 0; i < 15; i++) {
            int32_t index = attributeUsage.GetFreeUserAttribute(true, i);
            if (index < 0) {
                break;
            }
            for (int32_t c = 0; c < 4; c++) {
                InitializeOutputComponent(context, index, c, false);
            }
        }
    }
}

void Translator::InitializeVertexOutputs(EmitterContext& context) {
    IntermediateRepresentation::IrArena& arena = context.Arena();
    for (int32_t c = 0; c < 4; c++) {
        Operand* component = MakeConstant(arena, c);
        Operand* value = MakeFloatConstant(arena, OutputDefault(c));
        Store(context, StorageKind::Output, IoVariable::Position, nullptr, component, value);
    }
    if (context.Program != nullptr && context.Program->ClipDistancesWritten != 0) {
        for (int32_t i = 0; i < 8; i++) {
            Operand* element = MakeConstant(arena, i);
            Operand* zero = MakeFloatConstant(arena, 0.0f);
            Store(context, StorageKind::Output, IoVariable::ClipDistance, nullptr, element, zero);
        }
    }
}

void Translator::InitializeOutputComponent(EmitterContext& context, int32_t location, int32_t component,
                                           bool isPerPatch) {
    IntermediateRepresentation::IrArena& arena = context.Arena();
    StorageKind storageKind = isPerPatch ? StorageKind::OutputPerPatch : StorageKind::Output;

    // Tessellation control outputs are per invocation.
    Operand* invocationId = nullptr;
    if (context.Definitions().Stage == ShaderStage::TessellationControl && !isPerPatch) {
        invocationId = Load(context, StorageKind::Input, static_cast<int>(IoVariable::InvocationId));
    }

    Operand* value = MakeFloatConstant(arena, OutputDefault(component));
    if (context.Definitions().IndexedOutputAttributes) {
        // Indexed outputs are one array of vectors, addressed (as the
        // register-indexed attribute stores address it) by the vertex first,
        // then the location and the component.
        Operand* locationOperand = MakeConstant(arena, location);
        Operand* componentOperand = MakeConstant(arena, component);
        Store(context, storageKind, IoVariable::UserDefined, invocationId, locationOperand, componentOperand, value);
    } else {
        Operand* locationOperand = MakeConstant(arena, location);
        Operand* componentOperand = MakeConstant(arena, component);
        // A per-location attribute names its location before the vertex index.
        if (invocationId != nullptr) {
            Store(context, storageKind, IoVariable::UserDefined, locationOperand, invocationId, componentOperand,
                  value);
        } else {
            Store(context, storageKind, IoVariable::UserDefined, locationOperand, componentOperand, value);
        }
    }
}

namespace {

} // namespace

void Translator::EmitOps(EmitterContext& context, Decoders::Block* block) {
    const bool debugMode = HasFlag(context.TranslatorContext->Options().Flags, TranslationFlags::DebugMode);
    IntermediateRepresentation::IrArena& arena = context.Arena();
    const std::vector<Decoders::InstOp>& ops = block->Ops;

    for (std::size_t index = 0; index < ops.size(); index++) {
        const Decoders::InstOp& op = ops[index];

        if (debugMode) {
            // Built in place: this runs for every instruction of a debug
            // translation, so one allocation per comment, not one per piece.
            std::string_view name = "???";
            if (op.Emitter != nullptr) {
                name = Decoders::ToString(op.Name);
            } else {
                std::string message = "Invalid instruction at 0x";
                Common::AppendHex(message, op.Address, 6);
                message += " (0x";
                Common::AppendHex(message, op.RawOpCode, 16);
                message += ").";
                context.GpuAccessor().Log(message);
            }
            // "0x<address>: 0x<word> <name>", formed on the stack: the
            // arena keeps the one copy the comment needs.
            constexpr std::size_t HeadLength = 2 + 16 + 4 + 16 + 1;
            char text[HeadLength + 64];
            char* end = text;
            *end++ = '0';
            *end++ = 'x';
            end = Common::PutHex(end, op.Address, 6);
            std::memcpy(end, ": 0x", 4);
            end = Common::PutHex(end + 4, op.RawOpCode, 16);
            *end++ = ' ';
            if (name.size() <= sizeof text - HeadLength) {
                std::memcpy(end, name.data(), name.size());
                end += name.size();
                context.Add(arena.NewComment(std::string_view(text, static_cast<std::size_t>(end - text))));
            } else {
                std::string longText(text, static_cast<std::size_t>(end - text));
                longText += name;
                context.Add(arena.NewComment(longText));
            }
        }

        const bool hasPredicate = !Decoders::HasFlag(op.Props, Decoders::InstProps::NoPred);
        const auto predicate = static_cast<int>((op.RawOpCode >> 16) & 7);
        const bool predicateInverted = ((op.RawOpCode >> 19) & 1) != 0;

        // @!PT: the instruction never runs.
        if (hasPredicate && predicate == Decoders::Register::PredicateTrueIndex && predicateInverted) {
            continue;
        }

        bool skipPredicateCheck;
        if (Decoders::Decoder::IsPopBranch(op.Name)) {
            // With several sync targets the pop's own test needs the guard
            // outside; with one, the emitter folds it into its branch.
            skipPredicateCheck = block->SyncTargets.Count() <= 1;
        } else if (op.Name == Decoders::InstName::Bra) {
            skipPredicateCheck = true;
        } else {
            skipPredicateCheck = !hasPredicate;
        }
        skipPredicateCheck |= predicate == Decoders::Register::PredicateTrueIndex;

        Operand* skipLabel = nullptr;
        if (!skipPredicateCheck) {
            Operand* target;
            if (index == ops.size() - 1 && block->HasNext()) {
                target = context.EnsureBlockLabel(block->Successors.at(0)->Address).Label;
            } else {
                skipLabel = IntermediateRepresentation::OperandHelper::MakeLabel(arena);
                target = skipLabel;
            }
            Operand* condition = IntermediateRepresentation::OperandHelper::Register(
                arena, Decoders::Register(predicate, Decoders::RegisterType::Predicate));
            if (predicateInverted) {
                EmitterContextInsts::BranchIfTrue(context, target, condition);
            } else {
                EmitterContextInsts::BranchIfFalse(context, target, condition);
            }
        }

        context.CurrOp = op;
        if (op.Emitter != nullptr) {
            op.Emitter(context);
        }

        if (skipLabel != nullptr) {
            context.MarkLabel(skipLabel);
        }
    }
}

} // namespace Zerivox::Graphics::Shader::Translation
