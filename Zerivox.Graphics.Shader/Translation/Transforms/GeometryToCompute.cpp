#include "Zerivox.Graphics.Shader/Translation/Transforms/GeometryToCompute.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/InsertionPoint.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/StageAsCompute.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

namespace {

constexpr int32_t VertexCountsField = 0;
constexpr int32_t RestartIndex = -1;

// x of vb_info.vertex_counts: the vertices of one instance, by which the
// instance number (GlobalId.y) is scaled.
Operand* LoadVertexCount(InsertionPoint& at, const ResourceManager& resourceManager) {
    Operand* binding = at.Const(resourceManager.Reservations().VertexInfoConstantBufferBinding);
    Operand* field = at.Const(VertexCountsField);
    Operand* component = at.Const(0);
    return at.Load(StorageKind::ConstantBuffer, {binding, field, component});
}

Operand* LoadGlobalId(InsertionPoint& at, int32_t component, Operand* dest) {
    Operand* variable = at.Const(static_cast<int32_t>(IoVariable::GlobalId));
    Operand* index = at.Const(component);
    return at.Load(StorageKind::Input, dest, {variable, index});
}

Operand* GenerateInvocationId(InsertionPoint& at, Operand* dest) { return LoadGlobalId(at, 2, dest); }

// Primitive number across instances: instance × vertex count + primitive.
// It places the invocation's slice of the output buffers; the primitive id
// the shader reads is GeneratePrimitiveIdInput.
Operand* GeneratePrimitiveId(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    Operand* count = LoadVertexCount(at, resourceManager);
    Operand* instance = LoadGlobalId(at, 1, at.NewLocal());
    Operand* primitive = LoadGlobalId(at, 0, at.NewLocal());
    Operand* instanceBase = at.Op(Instruction::Multiply, {instance, count});
    return at.Op(Instruction::Add, dest, {instanceBase, primitive});
}

// Loads the one-word local memory `memoryId`, stores it back plus one and
// returns the value before the increment.
// The primitive id input: the real pipeline numbers the primitives of each
// instance from 0, so it is the primitive's x alone, not the slot number.
Operand* GeneratePrimitiveIdInput(InsertionPoint& at, Operand* dest) { return LoadGlobalId(at, 0, dest); }

Operand* IncrementLocalMemory(InsertionPoint& at, int32_t memoryId) {
    Operand* loadId = at.Const(memoryId);
    Operand* old = at.Load(StorageKind::LocalMemory, {loadId});
    Operand* one = at.Const(1);
    Operand* incremented = at.Op(Instruction::Add, {old, one});
    Operand* storeId = at.Const(memoryId);
    at.Store(StorageKind::LocalMemory, {storeId, incremented});
    return old;
}

// First slot of this invocation: primitive × perPrimitive + invocation × perInvocation.
Operand* GenerateBaseOffset(InsertionPoint& at, const ResourceManager& resourceManager, int32_t perPrimitive,
                            int32_t perInvocation) {
    Operand* primitive = GeneratePrimitiveId(at, resourceManager, at.NewLocal());
    Operand* primitiveStride = at.Const(perPrimitive);
    Operand* primitiveBase = at.Op(Instruction::Multiply, {primitive, primitiveStride});
    Operand* invocation = GenerateInvocationId(at, at.NewLocal());
    Operand* invocationStride = at.Const(perInvocation);
    Operand* invocationBase = at.Op(Instruction::Multiply, {invocation, invocationStride});
    return at.Op(Instruction::Add, {primitiveBase, invocationBase});
}

// Word `offset` of input vertex `vertex` of this primitive in "vertex_output".
Operand* GenerateVertexOffset(InsertionPoint& at, const ResourceManager& resourceManager, int32_t offset,
                              Operand* vertex) {
    Operand* count = LoadVertexCount(at, resourceManager);
    Operand* remapId = at.Const(resourceManager.LocalTopologyRemapMemoryId);
    Operand* remapped = at.Load(StorageKind::LocalMemory, {remapId, vertex});
    Operand* instance = LoadGlobalId(at, 1, at.NewLocal());
    Operand* instanceBase = at.Op(Instruction::Multiply, {instance, count});
    Operand* vertexIndex = at.Op(Instruction::Add, {instanceBase, remapped});
    Operand* size = at.Const(resourceManager.Reservations().InputSizePerInvocation);
    Operand* base = at.Op(Instruction::Multiply, {vertexIndex, size});
    if (offset == 0) {
        return base;
    }
    Operand* word = at.Const(offset);
    return at.Op(Instruction::Add, {base, word});
}

// Index slot for the next index entry of this invocation.
Operand* GenerateIndexSlot(InsertionPoint& at, const ShaderDefinitions& definitions,
                           const ResourceManager& resourceManager) {
    Operand* written = IncrementLocalMemory(at, resourceManager.LocalGeometryOutputIndexCountMemoryId);
    const int32_t stride = definitions.GetGeometryOutputIndexBufferStridePerInstance();
    const int32_t perPrimitive = static_cast<int32_t>(static_cast<uint32_t>(stride) *
                                                      static_cast<uint32_t>(definitions.ThreadsPerInputPrimitive));
    Operand* base = GenerateBaseOffset(at, resourceManager, perPrimitive, stride);
    return at.Op(Instruction::Add, {base, written});
}

// The current output vertex becomes the next vertex of this invocation and
// its number the next index entry.
void GenerateEmitVertex(InsertionPoint& at, const ShaderDefinitions& definitions,
                        const ResourceManager& resourceManager) {
    const ResourceReservations& reservations = resourceManager.Reservations();
    const int32_t maxVertices = definitions.MaxOutputVertices;
    const int32_t perPrimitive = static_cast<int32_t>(static_cast<uint32_t>(maxVertices) *
                                                      static_cast<uint32_t>(definitions.ThreadsPerInputPrimitive));

    Operand* emitted = IncrementLocalMemory(at, resourceManager.LocalGeometryOutputVertexCountMemoryId);
    Operand* base = GenerateBaseOffset(at, resourceManager, perPrimitive, maxVertices);
    Operand* vertex = at.Op(Instruction::Add, {base, emitted});

    Operand* slot = GenerateIndexSlot(at, definitions, resourceManager);
    Operand* indexBuffer = at.Const(reservations.GeometryIndexOutputStorageBufferBinding);
    Operand* indexField = at.Const(0);
    at.Store(StorageKind::StorageBuffer, {indexBuffer, indexField, slot, vertex});

    const int32_t words = reservations.OutputSizePerInvocation;
    Operand* wordsOperand = at.Const(words);
    Operand* vertexBase = at.Op(Instruction::Multiply, {vertex, wordsOperand});
    for (int32_t i = 0; i < words; i++) {
        Operand* element = vertexBase;
        if (i != 0) {
            Operand* word = at.Const(i);
            element = at.Op(Instruction::Add, {vertexBase, word});
        }
        Operand* memory = at.Const(resourceManager.LocalVertexDataMemoryId);
        Operand* localWord = at.Const(i);
        Operand* value = at.Load(StorageKind::LocalMemory, {memory, localWord});
        Operand* vertexBuffer = at.Const(reservations.GeometryVertexOutputStorageBufferBinding);
        Operand* field = at.Const(0);
        at.Store(StorageKind::StorageBuffer, {vertexBuffer, field, element, value});
    }
}

// Ends the current strip with a restart index. On a strip without vertices
// (none written yet, or the entry before is a restart) the real pipeline
// does nothing, and neither does this: the restart then only rewrites the
// entry before it (or the first entry, which the next vertex or the
// epilogue overwrites) and the count stays. Repeated calls therefore cost no
// index slots, so they cannot push this invocation's entries into the next
// invocation's slots.
void GenerateEndPrimitive(InsertionPoint& at, const ShaderDefinitions& definitions,
                          const ResourceManager& resourceManager) {
    const int32_t stride = definitions.GetGeometryOutputIndexBufferStridePerInstance();
    const int32_t perPrimitive = static_cast<int32_t>(static_cast<uint32_t>(stride) *
                                                      static_cast<uint32_t>(definitions.ThreadsPerInputPrimitive));
    const int32_t countId = resourceManager.LocalGeometryOutputIndexCountMemoryId;
    const int32_t indexBinding = resourceManager.Reservations().GeometryIndexOutputStorageBufferBinding;

    Operand* loadId = at.Const(countId);
    Operand* written = at.Load(StorageKind::LocalMemory, {loadId});
    Operand* base = GenerateBaseOffset(at, resourceManager, perPrimitive, stride);
    Operand* zero = at.Const(0);
    Operand* any = at.Op(Instruction::CompareNotEqual, {written, zero});
    Operand* one = at.Const(1);
    Operand* last = at.Op(Instruction::Subtract, {written, one});
    Operand* first = at.Const(0);
    Operand* previousEntry = at.Op(Instruction::ConditionalSelect, {any, last, first});
    Operand* previousSlot = at.Op(Instruction::Add, {base, previousEntry});
    Operand* readBuffer = at.Const(indexBinding);
    Operand* readField = at.Const(0);
    Operand* previous = at.Load(StorageKind::StorageBuffer, {readBuffer, readField, previousSlot});
    Operand* restartIndex = at.Const(RestartIndex);
    Operand* afterVertex = at.Op(Instruction::CompareNotEqual, {previous, restartIndex});
    Operand* open = at.Op(Instruction::LogicalAnd, {any, afterVertex});
    Operand* nextSlot = at.Op(Instruction::Add, {base, written});
    Operand* slot = at.Op(Instruction::ConditionalSelect, {open, nextSlot, previousSlot});
    Operand* buffer = at.Const(indexBinding);
    Operand* field = at.Const(0);
    Operand* restart = at.Const(RestartIndex);
    at.Store(StorageKind::StorageBuffer, {buffer, field, slot, restart});
    Operand* taken = at.Const(1);
    Operand* kept = at.Const(0);
    Operand* step = at.Op(Instruction::ConditionalSelect, {open, taken, kept});
    Operand* count = at.Op(Instruction::Add, {written, step});
    Operand* storeId = at.Const(countId);
    at.Store(StorageKind::LocalMemory, {storeId, count});
}


} // namespace

bool GeometryToCompute::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags usedFeatures) {
    return HasFlag(usedFeatures, FeatureFlags::VtgAsCompute);
}

bool GeometryToCompute::TryGetOffset(const ResourceManager& resourceManager, const Operation& operation,
                                     StorageKind kind, int32_t& offset) {
    return resourceManager.Reservations().TryGetOffset(kind, operation, offset);
}

INode* GeometryToCompute::RunPass(TransformContext& context, INode* node) {
    if (context.Definitions.Stage != ShaderStage::Geometry) {
        return node;
    }
    Operation* operation = node->AsOperation();
    const ShaderDefinitions& definitions = context.Definitions;
    const ResourceManager& resourceManager = context.ResourceManager;
    InsertionPoint at = InsertionPoint::Before(node);

    if (operation->Inst == Instruction::EmitVertex) {
        GenerateEmitVertex(at, definitions, resourceManager);
    } else if (operation->Inst == Instruction::EndPrimitive) {
        GenerateEndPrimitive(at, definitions, resourceManager);
    } else {
        const bool isLoad = operation->Inst == Instruction::Load;
        const bool isStore = operation->Inst == Instruction::Store;
        const StorageKind kind = operation->StorageKind;
        if (!(isLoad && (kind == StorageKind::Input || kind == StorageKind::Output)) &&
            !(isStore && kind == StorageKind::Output)) {
            return node;
        }
        if (operation->SourcesCount() < 1 || !operation->GetSource(0)->IsConstant()) {
            return node;
        }
        const auto variable = static_cast<IoVariable>(operation->GetSource(0)->Value);
        int32_t offset = 0;

        if (kind == StorageKind::Input) {
            Operand* dest = operation->Dest();
            if (TryGetOffset(resourceManager, *operation, StorageKind::Input, offset)) {
                const int32_t vertexSource = variable == IoVariable::UserDefined ? 2 : 1;
                if (operation->SourcesCount() <= vertexSource) {
                    StageAsCompute::ThrowUnsupported(context.GpuAccessor, "geometry", "input", variable);
                }
                Operand* vertex = operation->GetSource(vertexSource);
                Operand* element = GenerateVertexOffset(at, resourceManager, offset, vertex);
                Operand* buffer = at.Const(resourceManager.Reservations().VertexOutputStorageBufferBinding);
                Operand* field = at.Const(0);
                at.Load(StorageKind::StorageBuffer, dest, {buffer, field, element});
            } else {
                switch (variable) {
                case IoVariable::GlobalId:
                case IoVariable::SubgroupEqMask:
                case IoVariable::SubgroupGeMask:
                case IoVariable::SubgroupGtMask:
                case IoVariable::SubgroupLaneId:
                case IoVariable::SubgroupLeMask:
                case IoVariable::SubgroupLtMask:
                    return node;
                case IoVariable::InvocationId:
                    GenerateInvocationId(at, dest);
                    break;
                case IoVariable::PrimitiveId:
                    GeneratePrimitiveIdInput(at, dest);
                    break;
                default:
                    StageAsCompute::ThrowUnsupported(context.GpuAccessor, "geometry", "input", variable);
                }
            }
        } else {
            if (!TryGetOffset(resourceManager, *operation, StorageKind::Output, offset)) {
                if (StageAsCompute::IsUnwrittenClipDistanceStore(*operation, variable)) {
                    return StageAsCompute::RemoveNode(operation);
                }
                StageAsCompute::ThrowUnsupported(context.GpuAccessor, "geometry", "output", variable);
            }
            StageAsCompute::AccessLocalVertexData(at, resourceManager.LocalVertexDataMemoryId, *operation, offset);
        }
    }

    INode* next = at.Last();
    Optimizations::Utils::DeleteNode(operation);
    return next;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
