#include "Zerivox.Graphics.Shader/Translation/Transforms/VertexToCompute.h"

#include <bit>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/InsertionPoint.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/StageAsCompute.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

namespace {

// Fields of "vb_info" (VertexInfoBuffer) read here.
constexpr int32_t VertexCountsField = 0;
constexpr int32_t VertexStridesField = 2;
constexpr int32_t VertexOffsetsField = 3;
constexpr int32_t BaseVertexComponent = 2;
constexpr int32_t BaseInstanceComponent = 3;
constexpr int32_t VertexBufferTextureSet = 2;
constexpr int32_t AttributeCount = 32;

// vb_info.vertex_counts component `component` into dest.
Operand* LoadVertexCounts(InsertionPoint& at, const ResourceManager& resourceManager, int32_t component,
                          Operand* dest) {
    Operand* binding = at.Const(resourceManager.Reservations().VertexInfoConstantBufferBinding);
    Operand* field = at.Const(VertexCountsField);
    Operand* index = at.Const(component);
    return at.Load(StorageKind::ConstantBuffer, dest, {binding, field, index});
}

// vb_info field `field` (an array by attribute location), element `location`, component `component`.
Operand* LoadAttributeInfo(InsertionPoint& at, const ResourceManager& resourceManager, int32_t field, int32_t location,
                           int32_t component) {
    Operand* binding = at.Const(resourceManager.Reservations().VertexInfoConstantBufferBinding);
    Operand* fieldIndex = at.Const(field);
    Operand* element = at.Const(location);
    Operand* index = at.Const(component);
    return at.Load(StorageKind::ConstantBuffer, {binding, fieldIndex, element, index});
}

Operand* LoadGlobalIdY(InsertionPoint& at, Operand* dest) {
    Operand* variable = at.Const(static_cast<int32_t>(IoVariable::GlobalId));
    Operand* component = at.Const(1);
    return at.Load(StorageKind::Input, dest, {variable, component});
}

Operand* GenerateBaseVertexLoad(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    return LoadVertexCounts(at, resourceManager, BaseVertexComponent, dest);
}

Operand* GenerateBaseInstanceLoad(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    return LoadVertexCounts(at, resourceManager, BaseInstanceComponent, dest);
}

Operand* GenerateVertexIdVertexRateLoad(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    Operand* memory = at.Const(resourceManager.LocalVertexIndexVertexRateMemoryId);
    return at.Load(StorageKind::LocalMemory, dest, {memory});
}

Operand* GenerateVertexIdInstanceRateLoad(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    Operand* memory = at.Const(resourceManager.LocalVertexIndexInstanceRateMemoryId);
    return at.Load(StorageKind::LocalMemory, dest, {memory});
}

// The vertex index of the real pipeline (gl_VertexIndex) already holds the
// base vertex: the prologue stores base vertex + index-buffer value as the
// vertex-rate index, the same index the attribute fetches use. Adding the
// base vertex again would count it twice.
Operand* GenerateVertexIndexLoad(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    return GenerateVertexIdVertexRateLoad(at, resourceManager, dest);
}

// Instance number without the base instance: the y of the invocation.
Operand* GenerateInstanceIdLoad(InsertionPoint& at, Operand* dest) { return LoadGlobalIdY(at, dest); }

Operand* GenerateInstanceIndexLoad(InsertionPoint& at, const ResourceManager& resourceManager, Operand* dest) {
    Operand* base = GenerateBaseInstanceLoad(at, resourceManager, at.NewLocal());
    Operand* instance = LoadGlobalIdY(at, at.NewLocal());
    return at.Op(Instruction::Add, dest, {base, instance});
}

// Texel index of component `component` of attribute `location` for this invocation:
// first element + (per-instance ? instance index : vertex index) * stride + component.
Operand* GenerateVertexOffset(InsertionPoint& at, const ResourceManager& resourceManager, int32_t location,
                              int32_t component) {
    Operand* vertexRate = GenerateVertexIdVertexRateLoad(at, resourceManager, at.NewLocal());
    Operand* instanceRate = GenerateVertexIdInstanceRateLoad(at, resourceManager, at.NewLocal());
    Operand* first = LoadAttributeInfo(at, resourceManager, VertexOffsetsField, location, 0);
    Operand* perInstance = LoadAttributeInfo(at, resourceManager, VertexOffsetsField, location, 1);
    Operand* index = at.Op(Instruction::ConditionalSelect, {perInstance, instanceRate, vertexRate});
    Operand* stride = LoadAttributeInfo(at, resourceManager, VertexStridesField, location, 0);
    Operand* scaled = at.Op(Instruction::Multiply, {index, stride});
    Operand* offset = at.Op(Instruction::Add, {first, scaled});
    if (component == 0) {
        return offset;
    }
    Operand* componentOffset = at.Const(component);
    return at.Op(Instruction::Add, {offset, componentOffset});
}

// Whether the raw bits fetched for an attribute are an integer: integer
// attributes, and scaled ones, which the attribute emitter converts to float
// only after the fetch.
bool IsIntegerAttribute(const ShaderDefinitions& definitions, int32_t location) {
    constexpr uint8_t BaseKindMask = 0x3F;
    auto type = static_cast<AttributeType>(
        static_cast<uint8_t>(definitions.GraphicsState.AttributeTypes[static_cast<std::size_t>(location)]) &
        BaseKindMask);
    return type == AttributeType::Sint || type == AttributeType::Uint || type == AttributeType::Sscaled ||
           type == AttributeType::Uscaled;
}

// After `fetch`: dest = the attribute has component `component` ? fetched : default.
// A missing y or z reads 0 and a missing w reads 1, as the real pipeline
// fills them: float 1.0 for float attributes, integer 1 for integer and
// scaled ones (a scaled 1 becomes 1.0 when the emitter converts it).
Operation* CopyMasked(INode* fetch, const ResourceManager& resourceManager, const ShaderDefinitions& definitions,
                      int32_t location, int32_t component, Operand* dest, Operand* fetched) {
    InsertionPoint at = InsertionPoint::After(fetch);
    Operand* present = LoadAttributeInfo(at, resourceManager, VertexStridesField, location, component);
    int32_t missing = 0;
    if (component == 3) {
        missing = IsIntegerAttribute(definitions, location) ? 1 : std::bit_cast<int32_t>(1.0f);
    }
    Operand* fallback = at.Const(missing);
    at.Op(Instruction::ConditionalSelect, dest, {present, fetched, fallback});
    return at.Last();
}

// After `fetch`: sign-extends the low `bits` bits of `fetched` into dest, and
// when `normalize` also scales them to a float by 1 / 2^(bits - 1).
void CopySignExtendedNormalized(INode* fetch, int32_t bits, bool normalize, Operand* dest, Operand* fetched) {
    InsertionPoint at = InsertionPoint::After(fetch);
    Operand* shiftLeft = at.Const(32 - bits);
    Operand* shifted = at.Op(Instruction::ShiftLeft, {fetched, shiftLeft});
    Operand* shiftRight = at.Const(32 - bits);
    Operand* extended = normalize ? at.NewLocal() : dest;
    at.Op(Instruction::ShiftRightS32, extended, {shifted, shiftRight});
    if (!normalize) {
        return;
    }
    Operand* asFloat = at.Op(Instruction::ConvertS32ToFP32, {extended});
    const float scale = 1.0f / static_cast<float>(1u << (bits - 1));
    Operand* factor = at.Const(std::bit_cast<int32_t>(scale));
    at.Op(Instruction::Multiply | Instruction::FP32, dest, {asFloat, factor});
}


// Replaces the attribute load `load` (sources UserDefined, location,
// component) by a texel fetch from the attribute's buffer texture; returns
// the node from which the walk continues.
INode* GenerateAttributeFetch(TransformContext& context, Operation* load) {
    if (load->SourcesCount() != 3 || load->DestsCount() != 1 || !load->GetSource(1)->IsConstant() ||
        !load->GetSource(2)->IsConstant()) {
        // Attributes addressed through a register would need a fetch from a
        // buffer texture chosen at run time.
        StageAsCompute::ThrowUnsupported(context.GpuAccessor, "vertex", "input", IoVariable::UserDefined);
    }
    const int32_t location = load->GetSource(1)->Value;
    const int32_t component = load->GetSource(2)->Value;
    if (location < 0 || location >= AttributeCount || component < 0 || component > 3) {
        throw Common::ArgumentOutOfRangeException("Vertex attribute " + std::to_string(location) + " component " +
                                                  std::to_string(component) + " is out of range.");
    }
    const ShaderDefinitions& definitions = context.Definitions;
    const ResourceManager& resourceManager = context.ResourceManager;
    const int32_t binding = resourceManager.Reservations().VertexBufferTextureBaseBinding + location;
    Operand* dest = load->Dest();
    InsertionPoint at = InsertionPoint::Before(load);

    auto fetch = [&](int32_t componentMask, Operand* texel, Operand* offset) {
        Operand* dests[] = {texel};
        Operand* sources[] = {offset};
        TextureOperation* operation = at.Arena().NewTextureOperation(
            Instruction::TextureSample, SamplerType::TextureBuffer, TextureFormat::Unknown, TextureFlags::IntCoords,
            VertexBufferTextureSet, binding, componentMask, dests, sources);
        at.Insert(operation);
        return operation;
    };

    if (!definitions.IsAttributePacked(location)) {
        Operand* texel = component == 0 ? dest : at.NewLocal();
        Operand* offset = GenerateVertexOffset(at, resourceManager, location, component);
        TextureOperation* fetched = fetch(1, texel, offset);
        if (component == 0) {
            return fetched;
        }
        return CopyMasked(fetched, resourceManager, definitions, location, component, dest, texel);
    }

    const bool signedRgb10A2 = definitions.IsAttributePackedRgb10A2Signed(location);
    Operand* texel = signedRgb10A2 ? at.NewLocal() : dest;
    Operand* offset = GenerateVertexOffset(at, resourceManager, location, 0);
    TextureOperation* fetched = fetch(1 << component, texel, offset);
    if (signedRgb10A2) {
        const int32_t bits = component == 3 ? 2 : 10;
        CopySignExtendedNormalized(fetched, bits, !definitions.IsAttributeSint(location), dest, texel);
    }
    // The sign extension after the fetch is visited next; it reads no input.
    return fetched;
}

} // namespace

bool VertexToCompute::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags usedFeatures) {
    return HasFlag(usedFeatures, FeatureFlags::VtgAsCompute);
}

bool VertexToCompute::TryGetOutputOffset(const ResourceManager& resourceManager, const Operation& operation,
                                         int32_t& offset) {
    return resourceManager.Reservations().TryGetOffset(StorageKind::Output, operation, offset);
}

INode* VertexToCompute::RunPass(TransformContext& context, INode* node) {
    if (context.Definitions.Stage != ShaderStage::Vertex) {
        return node;
    }
    Operation* operation = node->AsOperation();
    const bool isLoad = operation->Inst == Instruction::Load;
    const bool isStore = operation->Inst == Instruction::Store;
    if (!(isLoad && (operation->StorageKind == StorageKind::Input || operation->StorageKind == StorageKind::Output)) &&
        !(isStore && operation->StorageKind == StorageKind::Output)) {
        return node;
    }
    if (operation->SourcesCount() < 1 || !operation->GetSource(0)->IsConstant()) {
        return node;
    }
    const auto variable = static_cast<IoVariable>(operation->GetSource(0)->Value);
    const ResourceManager& resourceManager = context.ResourceManager;
    InsertionPoint at = InsertionPoint::Before(node);
    INode* next = nullptr;

    if (operation->StorageKind == StorageKind::Output) {
        int32_t offset = 0;
        if (!TryGetOutputOffset(resourceManager, *operation, offset)) {
            if (StageAsCompute::IsUnwrittenClipDistanceStore(*operation, variable)) {
                return StageAsCompute::RemoveNode(operation);
            }
            StageAsCompute::ThrowUnsupported(context.GpuAccessor, "vertex", "output", variable);
        }
        StageAsCompute::AccessLocalVertexData(at, resourceManager.LocalVertexDataMemoryId, *operation, offset);
        next = at.Last();
    } else {
        Operand* dest = operation->Dest();
        switch (variable) {
        case IoVariable::BaseVertex:
            GenerateBaseVertexLoad(at, resourceManager, dest);
            break;
        case IoVariable::BaseInstance:
            GenerateBaseInstanceLoad(at, resourceManager, dest);
            break;
        case IoVariable::VertexId:
        case IoVariable::VertexIndex:
            GenerateVertexIndexLoad(at, resourceManager, dest);
            break;
        case IoVariable::InstanceId:
            GenerateInstanceIdLoad(at, dest);
            break;
        case IoVariable::InstanceIndex:
            GenerateInstanceIndexLoad(at, resourceManager, dest);
            break;
        case IoVariable::UserDefined:
            next = GenerateAttributeFetch(context, operation);
            break;
        case IoVariable::GlobalId:
        case IoVariable::SubgroupEqMask:
        case IoVariable::SubgroupGeMask:
        case IoVariable::SubgroupGtMask:
        case IoVariable::SubgroupLaneId:
        case IoVariable::SubgroupLeMask:
        case IoVariable::SubgroupLtMask:
            return node;
        default:
            StageAsCompute::ThrowUnsupported(context.GpuAccessor, "vertex", "input", variable);
        }
        if (next == nullptr) {
            next = at.Last();
        }
    }

    Optimizations::Utils::DeleteNode(operation);
    return next;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
