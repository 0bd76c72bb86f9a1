#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

namespace Zerivox::Graphics::Shader::Translation {

using namespace IntermediateRepresentation;
using namespace EmitterContextInsts;
using Decoders::RegisterType;

namespace {

constexpr int SupportBufferBinding = 0;
constexpr int SupportBufferPointSizeField = 8;
constexpr int SupportBufferViewportInverseField = 2;
constexpr int IndexBufferTextureSet = 2;
constexpr uint32_t AlphaToCoverageDitherTable = 0xFBB99110u;  // nibble L: surviving quad pixels at level L

}  // namespace

EmitterContext::EmitterContext(IrArena& arena) : _arena(&arena) {}

EmitterContext::EmitterContext(Translation::TranslatorContext& translatorContext,
                               Translation::ResourceManager& resourceManager, Decoders::DecodedProgram& program,
                               bool vertexAsCompute, bool isNonMain)
    : TranslatorContext(&translatorContext),
      ResourceManager(&resourceManager),
      VertexAsCompute(vertexAsCompute),
      IsNonMain(isNonMain),
      Program(&program),
      _arena(&translatorContext.Arena()) {
    EmitStart();
}

void EmitterContext::RequireTranslatorContext() const {
    if (TranslatorContext == nullptr) {
        throw Common::InvalidOperationException("The emitter context has no translator context.");
    }
}

IGpuAccessor& EmitterContext::GpuAccessor() const {
    RequireTranslatorContext();
    return TranslatorContext->GpuAccessor();
}

ShaderDefinitions& EmitterContext::Definitions() const {
    RequireTranslatorContext();
    return TranslatorContext->Definitions();
}

Operation* EmitterContext::Add(Operation* operation) {
    Operations.push_back(operation);
    return operation;
}

Operand* EmitterContext::Add(Instruction inst, Operand* dest, std::initializer_list<Operand*> sources) {
    Add(_arena->NewOperation(inst, dest, sources));
    return dest;
}

Operand* EmitterContext::Add(Instruction inst, Operand* dest, std::span<Operand* const> sources) {
    Add(_arena->NewOperation(inst, dest, sources));
    return dest;
}

Operand* EmitterContext::Add(Instruction inst, StorageKind storageKind, Operand* dest,
                             std::initializer_list<Operand*> sources) {
    Add(_arena->NewOperation(inst, storageKind, dest, sources));
    return dest;
}

Operand* EmitterContext::Add(Instruction inst, StorageKind storageKind, Operand* dest,
                             std::span<Operand* const> sources) {
    Add(_arena->NewOperation(inst, storageKind, dest, sources));
    return dest;
}

std::pair<Operand*, Operand*> EmitterContext::Add(Instruction inst, std::pair<Operand*, Operand*> dests,
                                                  std::initializer_list<Operand*> sources) {
    Add(_arena->NewOperation(inst, 0, {dests.first, dests.second}, sources));
    return dests;
}

void EmitterContext::MarkLabel(Operand* label) { Add(Instruction::MarkLabel, label); }

void EmitterContext::Branch(Operand* label) { Add(Instruction::Branch, label); }

EmitterContext::BlockLabel& EmitterContext::EnsureBlockLabel(uint64_t address) {
    if (BlockLabel** found = _labels.Find(address)) return **found;
    BlockLabel& record = _labelStorage.emplace_back();
    record.Label = OperandHelper::MakeLabel(*_arena);
    _labels.Set(address, &record);
    return record;
}

void EmitterContext::EnterBlock(uint64_t address) {
    BlockLabel& record = EnsureBlockLabel(address);
    MarkLabel(record.Label);
    if (record.Selector != nullptr) {
        Operand* next = EnsureBlockLabel(record.NextTarget).Label;
        Operand* value = OperandHelper::MakeConstant(*_arena, record.SelectorValue);
        Operand* isThisTarget = ICompareEqual(*this, record.Selector, value);
        BranchIfFalse(*this, next, isThisTarget);
    }
}

void EmitterContext::EmitStart() {
    RequireTranslatorContext();
    IrArena& arena = *_arena;
    const ShaderDefinitions& definitions = TranslatorContext->Definitions();
    if (HasFlag(TranslatorContext->Options().Flags, TranslationFlags::VertexA)) return;

    auto constant = [&](int value) { return OperandHelper::MakeConstant(arena, value); };
    auto globalId = [&](int component) {
        return Load(*this, StorageKind::Input, static_cast<int>(IoVariable::GlobalId), constant(component));
    };

    if (definitions.Stage == ShaderStage::Vertex) {
        Operand* pointSize = Load(*this, StorageKind::ConstantBuffer, SupportBufferBinding,
                                  constant(SupportBufferPointSizeField));
        Store(*this, StorageKind::Output, IoVariable::PointSize, nullptr, pointSize);
    }

    if (!VertexAsCompute) return;

    const ResourceReservations& reservations = ResourceManager->Reservations();
    int info = reservations.VertexInfoConstantBufferBinding;
    auto vertexInfo = [&](int field, int component) {
        return Load(*this, StorageKind::ConstantBuffer, info, constant(field), constant(component));
    };

    // Invocations past the vertex (or primitive) count and instance count do nothing.
    Operand* gx = globalId(0);
    Operand* count = vertexInfo(definitions.Stage == ShaderStage::Vertex ? 0 : 1, 0);
    Operand* inRangeX = OperandHelper::MakeLabel(arena);
    Operand* pastX = ICompareGreaterOrEqualUnsigned(*this, gx, count);
    BranchIfFalse(*this, inRangeX, pastX);
    Add(Instruction::Return);
    MarkLabel(inRangeX);

    Operand* gy = globalId(1);
    Operand* vy = vertexInfo(0, 1);
    Operand* vz = vertexInfo(0, 2);
    Operand* vw = vertexInfo(0, 3);
    Operand* gw = vertexInfo(1, 3);
    Operand* inRangeY = OperandHelper::MakeLabel(arena);
    Operand* pastY = ICompareGreaterOrEqualUnsigned(*this, gy, vy);
    BranchIfFalse(*this, inRangeY, pastY);
    Add(Instruction::Return);
    MarkLabel(inRangeY);

    if (definitions.Stage == ShaderStage::Vertex) {
        Operand* vertexIndex = OperandHelper::MakeLocal(arena);
        Operand* indexBufferOffset = IAdd(*this, gw, gx);
        Operand* dests[] = {vertexIndex};
        Operand* sources[] = {indexBufferOffset};
        TextureSample(*this, SamplerType::TextureBuffer, TextureFlags::IntCoords,
                      SetBindingPair(IndexBufferTextureSet, reservations.IndexBufferTextureBinding), 1, dests,
                      sources);
        Operand* vertexRate = IAdd(*this, vz, vertexIndex);
        Store(*this, StorageKind::LocalMemory, ResourceManager->LocalVertexIndexVertexRateMemoryId, vertexRate);
        Operand* instanceRate = IAdd(*this, vw, gy);
        Store(*this, StorageKind::LocalMemory, ResourceManager->LocalVertexIndexInstanceRateMemoryId, instanceRate);
    } else if (definitions.Stage == ShaderStage::Geometry) {
        int vertexCount = InputTopologyExtensions::get_InputVertexCount(definitions.GraphicsState.Topology);
        Operand* vertexCountOperand = constant(vertexCount);
        Operand* base = IMultiply(*this, gx, vertexCountOperand);
        for (int i = 0; i < vertexCount; i++) {
            Operand* remapped = OperandHelper::MakeLocal(arena);
            Operand* index = constant(i);
            Operand* offset = IAdd(*this, base, index);
            Operand* dests[] = {remapped};
            Operand* sources[] = {offset};
            TextureSample(*this, SamplerType::TextureBuffer, TextureFlags::IntCoords,
                          SetBindingPair(IndexBufferTextureSet, reservations.TopologyRemapBufferTextureBinding), 1,
                          dests, sources);
            Operand* slot = constant(i);
            Store(*this, StorageKind::LocalMemory, ResourceManager->LocalTopologyRemapMemoryId, slot, remapped);
        }
        Operand* zeroVertices = constant(0);
        Store(*this, StorageKind::LocalMemory, ResourceManager->LocalGeometryOutputVertexCountMemoryId, zeroVertices);
        Operand* zeroIndices = constant(0);
        Store(*this, StorageKind::LocalMemory, ResourceManager->LocalGeometryOutputIndexCountMemoryId, zeroIndices);
    }
}

bool EmitterContext::PrepareForReturn() {
    if (IsNonMain) return true;
    RequireTranslatorContext();
    IrArena& arena = *_arena;
    const ShaderDefinitions& definitions = TranslatorContext->Definitions();
    const GpuGraphicsState& state = definitions.GraphicsState;
    bool vertexA = HasFlag(TranslatorContext->Options().Flags, TranslationFlags::VertexA);
    auto constant = [&](int value) { return OperandHelper::MakeConstant(arena, value); };
    auto gpr = [&](int index) { return OperandHelper::Register(arena, index, RegisterType::Gpr); };

    if (definitions.IsLastVertexStage &&
        (definitions.Stage == ShaderStage::Vertex || definitions.Stage == ShaderStage::TessellationEvaluation) &&
        !vertexA) {
        PrepareForVertexReturn();
    } else if (definitions.Stage == ShaderStage::Geometry && definitions.GeometryPassthrough &&
               !TranslatorContext->GpuAccessor().QueryHostSupportsGeometryShaderPassthrough()) {
        // The host cannot pass the primitive through: write it out vertex by vertex.
        int firstVertex = 0;
        int vertexCount;
        int step = 1;
        switch (state.Topology) {
            case InputTopology::LinesAdjacency:
                firstVertex = 1;
                vertexCount = 2;
                break;
            case InputTopology::TrianglesAdjacency:
                vertexCount = 3;
                step = 2;
                break;
            default:
                vertexCount = InputTopologyExtensions::get_InputVertexCountNoAdjacency(state.Topology);
                break;
        }
        uint32_t passthrough = TranslatorContext->Program().AttributeUsage.PassthroughAttributes;
        for (int i = 0; i < vertexCount; i++) {
            int vertex = firstVertex + i * step;
            WritePositionOutput(vertex);
            for (uint32_t bits = passthrough; bits != 0; bits &= bits - 1) {
                WriteUserDefinedOutput(std::countr_zero(bits), vertex);
            }
            Add(Instruction::EmitVertex);
        }
        Add(Instruction::EndPrimitive);
    } else if (definitions.Stage == ShaderStage::Fragment) {
        GenerateAlphaToCoverageDitherDiscard();

        if (definitions.WritesDepth) {
            Operand* depth = gpr(TranslatorContext->GetDepthRegister());
            Store(*this, StorageKind::Output, IoVariable::FragmentOutputDepth, nullptr, depth);
        }

        Instruction compare = Instruction::None;
        switch (state.AlphaTestFunction) {
            case AlphaTestOp::Never:
                Add(Instruction::Discard);
                return false;
            case AlphaTestOp::Less: compare = Instruction::CompareLess; break;
            case AlphaTestOp::Equal: compare = Instruction::CompareEqual; break;
            case AlphaTestOp::LessOrEqual: compare = Instruction::CompareLessOrEqual; break;
            case AlphaTestOp::Greater: compare = Instruction::CompareGreater; break;
            case AlphaTestOp::NotEqual: compare = Instruction::CompareNotEqual; break;
            case AlphaTestOp::GreaterOrEqual: compare = Instruction::CompareGreaterOrEqual; break;
            default: break;  // Always, and values outside the enumeration: no test
        }
        // Only a render target 0 that writes its alpha can be tested.
        if (compare != Instruction::None && (definitions.FragmentOutputMap & 8) != 0) {
            Operand* passes = OperandHelper::MakeLocal(arena);
            Operand* alpha = gpr(3);
            Operand* reference = OperandHelper::MakeFloatConstant(arena, state.AlphaTestReference);
            Add(compare | Instruction::FP32, passes, {alpha, reference});
            Operand* keep = OperandHelper::MakeLabel(arena);
            BranchIfTrue(*this, keep, passes);
            Add(Instruction::Discard);
            MarkLabel(keep);
        }

        // Each enabled render target takes four consecutive registers.
        int regBase = 0;
        for (int rt = 0; rt < 8; rt++) {
            int components = (definitions.FragmentOutputMap >> (rt * 4)) & 0xF;
            for (int j = 0; j < 4; j++) {
                if ((components & (1 << j)) == 0) continue;
                Operand* target = constant(rt);
                Operand* component = constant(j);
                Operand* value = gpr(regBase + j);
                Store(*this, StorageKind::Output, IoVariable::FragmentOutputColor, target, component, value);
            }
            if (components != 0) regBase += 4;
        }
    }

    if (!VertexAsCompute) return true;

    const ResourceReservations& reservations = ResourceManager->Reservations();
    int info = reservations.VertexInfoConstantBufferBinding;
    auto globalId = [&](int component) {
        return Load(*this, StorageKind::Input, static_cast<int>(IoVariable::GlobalId), constant(component));
    };

    if (definitions.Stage == ShaderStage::Vertex) {
        int outputSize = reservations.OutputSizePerInvocation;
        Operand* count = Load(*this, StorageKind::ConstantBuffer, info, constant(0), constant(0));
        Operand* gx = globalId(0);
        Operand* gy = globalId(1);
        Operand* instanceBase = IMultiply(*this, gy, count);
        Operand* vertex = IAdd(*this, instanceBase, gx);
        Operand* outputSizeOperand = constant(outputSize);
        Operand* base = IMultiply(*this, vertex, outputSizeOperand);
        for (int i = 0; i < outputSize; i++) {
            Operand* word = constant(i);
            Operand* address = IAdd(*this, base, word);
            Operand* localIndex = constant(i);
            Operand* value = Load(*this, StorageKind::LocalMemory, ResourceManager->LocalVertexDataMemoryId, localIndex);
            Operand* field = constant(0);
            Store(*this, StorageKind::StorageBuffer, reservations.VertexOutputStorageBufferBinding, field, address,
                  value);
        }
    } else if (definitions.Stage == ShaderStage::Geometry) {
        // Fill the rest of this invocation's index slice with restart indices.
        Operand* loop = OperandHelper::MakeLabel(arena);
        Operand* done = OperandHelper::MakeLabel(arena);
        MarkLabel(loop);
        Operand* written = Load(*this, StorageKind::LocalMemory, ResourceManager->LocalGeometryOutputIndexCountMemoryId);
        int stride = definitions.GetGeometryOutputIndexBufferStridePerInstance();
        Operand* strideOperand = constant(stride);
        Operand* full = ICompareGreaterOrEqualUnsigned(*this, written, strideOperand);
        BranchIfTrue(*this, done, full);
        Operand* gx = globalId(0);
        Operand* gy = globalId(1);
        Operand* gz = globalId(2);
        Operand* count = Load(*this, StorageKind::ConstantBuffer, info, constant(0), constant(0));
        Operand* instanceBase = IMultiply(*this, gy, count);
        Operand* primitive = IAdd(*this, instanceBase, gx);
        int primitiveStride = static_cast<int>(static_cast<uint32_t>(stride) *
                                               static_cast<uint32_t>(definitions.ThreadsPerInputPrimitive));
        Operand* primitiveStrideOperand = constant(primitiveStride);
        Operand* primitiveBase = IMultiply(*this, primitive, primitiveStrideOperand);
        Operand* invocationStride = constant(stride);
        Operand* invocationBase = IMultiply(*this, gz, invocationStride);
        Operand* sliceBase = IAdd(*this, primitiveBase, invocationBase);
        Operand* address = IAdd(*this, sliceBase, written);
        Operand* field = constant(0);
        Operand* restart = constant(-1);
        Store(*this, StorageKind::StorageBuffer, reservations.GeometryIndexOutputStorageBufferBinding, field, address,
              restart);
        Operand* one = constant(1);
        Operand* next = IAdd(*this, written, one);
        Store(*this, StorageKind::LocalMemory, ResourceManager->LocalGeometryOutputIndexCountMemoryId, next);
        Branch(loop);
        MarkLabel(done);
    }
    return true;
}

void EmitterContext::PrepareForVertexReturn() {
    RequireTranslatorContext();
    IrArena& arena = *_arena;
    const GpuGraphicsState& state = TranslatorContext->Definitions().GraphicsState;
    auto constant = [&](int value) { return OperandHelper::MakeConstant(arena, value); };

    if (state.ViewportTransformDisabled) {
        // Positions arrive in window space: map them back with the inverse viewport.
        int position = static_cast<int>(IoVariable::Position);
        Operand* x = Load(*this, StorageKind::Output, position, constant(0));
        Operand* y = Load(*this, StorageKind::Output, position, constant(1));
        Operand* sx = Load(*this, StorageKind::ConstantBuffer, SupportBufferBinding,
                           constant(SupportBufferViewportInverseField), constant(0));
        Operand* sy = Load(*this, StorageKind::ConstantBuffer, SupportBufferBinding,
                           constant(SupportBufferViewportInverseField), constant(1));
        Operand* xComponent = constant(0);
        Operand* minusOneX = OperandHelper::MakeFloatConstant(arena, -1.0f);
        Operand* newX = FPFusedMultiplyAdd(*this, x, sx, minusOneX, Instruction::FP32);
        Store(*this, StorageKind::Output, IoVariable::Position, xComponent, newX);
        Operand* yComponent = constant(1);
        Operand* minusOneY = OperandHelper::MakeFloatConstant(arena, -1.0f);
        Operand* newY = FPFusedMultiplyAdd(*this, y, sy, minusOneY, Instruction::FP32);
        Store(*this, StorageKind::Output, IoVariable::Position, yComponent, newY);
    }

    if (state.DepthMode) {
        // A host without depth mode control would need a depth remap here;
        // every host this tool targets has it, so nothing is emitted.
        (void)TranslatorContext->GpuAccessor().QueryHostSupportsDepthModeControl();
    }
}

void EmitterContext::PrepareForVertexReturn(Operand*& x, Operand*& y, Operand*& z) {
    RequireTranslatorContext();
    IrArena& arena = *_arena;
    const GpuGraphicsState& state = TranslatorContext->Definitions().GraphicsState;
    x = nullptr;
    y = nullptr;
    z = nullptr;
    if (state.ViewportTransformDisabled) {
        int position = static_cast<int>(IoVariable::Position);
        x = OperandHelper::MakeLocal(arena);
        Operand* xComponent = OperandHelper::MakeConstant(arena, 0);
        Operand* currentX = Load(*this, StorageKind::Output, position, xComponent);
        Copy(*this, x, currentX);
        y = OperandHelper::MakeLocal(arena);
        Operand* yComponent = OperandHelper::MakeConstant(arena, 1);
        Operand* currentY = Load(*this, StorageKind::Output, position, yComponent);
        Copy(*this, y, currentY);
    }
    if (state.DepthMode) {
        (void)TranslatorContext->GpuAccessor().QueryHostSupportsDepthModeControl();
    }
    PrepareForVertexReturn();
}

void EmitterContext::GenerateAlphaToCoverageDitherDiscard() {
    RequireTranslatorContext();
    const ShaderDefinitions& definitions = TranslatorContext->Definitions();
    const GpuGraphicsState& state = definitions.GraphicsState;
    if (!state.AlphaToCoverage || !state.AlphaToCoverageDither || (definitions.FragmentOutputMap & 8) == 0) return;

    IrArena& arena = *_arena;
    auto constant = [&](int value) { return OperandHelper::MakeConstant(arena, value); };
    int fragCoord = static_cast<int>(IoVariable::FragmentCoord);

    Operand* table = constant(static_cast<int32_t>(AlphaToCoverageDitherTable));
    Operand* fx = Load(*this, StorageKind::Input, fragCoord, constant(0));
    Operand* fy = Load(*this, StorageKind::Input, fragCoord, constant(1));

    // Pixel parity within the 2x2 quad: bit x + 2y.
    Operand* fxInt = FP32ConvertToU32(*this, fx);
    Operand* x = BitwiseAnd(*this, fxInt, constant(1));
    Operand* fyInt = FP32ConvertToU32(*this, fy);
    Operand* y = BitwiseAnd(*this, fyInt, constant(1));
    Operand* yShifted = ShiftLeft(*this, y, constant(1));
    Operand* quadPixel = BitwiseOr(*this, x, yShifted);

    // Coverage level 0-7 from the alpha of render target 0.
    Operand* alpha = OperandHelper::Register(arena, 3, RegisterType::Gpr);
    Operand* saturated = FPSaturate(*this, alpha, Instruction::FP32);
    Operand* eight = OperandHelper::MakeFloatConstant(arena, 8.0f);
    Operand* scaled = FPMultiply(*this, saturated, eight, Instruction::FP32);
    Operand* scaledInt = FP32ConvertToU32(*this, scaled);
    Operand* level = IMinimumU32(*this, scaledInt, constant(7));

    Operand* nibble = ShiftLeft(*this, level, constant(2));
    Operand* bitIndex = BitwiseOr(*this, nibble, quadPixel);
    Operand* shifted = ShiftRightU32(*this, table, bitIndex);
    Operand* keep = BitwiseAnd(*this, shifted, constant(1));

    Operand* keepLabel = OperandHelper::MakeLabel(arena);
    BranchIfTrue(*this, keepLabel, keep);
    Add(Instruction::Discard);
    MarkLabel(keepLabel);
}

void EmitterContext::WritePositionOutput(int vertex) {
    IrArena& arena = *_arena;
    int position = static_cast<int>(IoVariable::Position);
    Operand* components[4];
    for (int j = 0; j < 4; j++) {
        Operand* vertexOperand = OperandHelper::MakeConstant(arena, vertex);
        Operand* component = OperandHelper::MakeConstant(arena, j);
        components[j] = Load(*this, StorageKind::Input, position, vertexOperand, component);
    }
    for (int j = 0; j < 4; j++) {
        Operand* component = OperandHelper::MakeConstant(arena, j);
        Store(*this, StorageKind::Output, IoVariable::Position, component, components[j]);
    }
}

void EmitterContext::WriteUserDefinedOutput(int location, int vertex) {
    IrArena& arena = *_arena;
    int userDefined = static_cast<int>(IoVariable::UserDefined);
    Operand* components[4];
    for (int j = 0; j < 4; j++) {
        Operand* locationOperand = OperandHelper::MakeConstant(arena, location);
        Operand* vertexOperand = OperandHelper::MakeConstant(arena, vertex);
        Operand* component = OperandHelper::MakeConstant(arena, j);
        components[j] = Load(*this, StorageKind::Input, userDefined, locationOperand, vertexOperand, component);
    }
    for (int j = 0; j < 4; j++) {
        Operand* locationOperand = OperandHelper::MakeConstant(arena, location);
        Operand* component = OperandHelper::MakeConstant(arena, j);
        Store(*this, StorageKind::Output, IoVariable::UserDefined, locationOperand, component, components[j]);
    }
}

} // namespace Zerivox::Graphics::Shader::Translation
