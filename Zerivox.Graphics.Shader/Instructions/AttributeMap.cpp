#include "Zerivox.Graphics.Shader/Instructions/AttributeMap.h"

#include <array>
#include <string>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Instructions {

using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using Translation::AggregateType;
using Translation::EmitterContext;
namespace Ins = Translation::EmitterContextInsts;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

constexpr uint8_t V = 0x02, TC = 0x04, TE = 0x08, G = 0x10, F = 0x20;
constexpr uint8_t VTG = V | TC | TE | G;
constexpr uint8_t TGF = TC | TE | G | F;

constexpr int PerVertexWords = 0x400 / 4;
constexpr int PerPatchWords = 0x200 / 4;

template <int Words>
struct Table {
    std::array<AttributeMap::AttributeEntry, Words> Entries{};
    std::array<bool, Words> Present{};

    void Add(int offset, AggregateType type, IoVariable variable, uint8_t input, uint8_t output, int count = 1,
             int upperBound = 0x400) {
        const int base = offset;
        const int elements = AttributeMap::GetElementCount(type);
        for (int e = 0; e < count; e++) {
            for (int c = 0; c < elements; c++) {
                if (offset >= upperBound) return;
                Entries[static_cast<std::size_t>(offset / 4)] = {base, type, variable, input, output};
                Present[static_cast<std::size_t>(offset / 4)] = true;
                offset += 4;
            }
        }
    }
};

const Table<PerVertexWords>& PerVertexTable() {
    static const Table<PerVertexWords> table = [] {
        Table<PerVertexWords> t;
        const AggregateType vec4 = AggregateType::FP32 | AggregateType::Vector4;
        const AggregateType vec2 = AggregateType::FP32 | AggregateType::Vector2;
        t.Add(0x060, AggregateType::S32, IoVariable::PrimitiveId, TC | TE | G | F, G);
        t.Add(0x064, AggregateType::S32, IoVariable::Layer, F, VTG);
        t.Add(0x068, AggregateType::S32, IoVariable::ViewportIndex, F, VTG);
        t.Add(0x06C, AggregateType::FP32, IoVariable::PointSize, 0, VTG);
        t.Add(0x070, vec4, IoVariable::Position, TGF, VTG);
        t.Add(0x080, vec4, IoVariable::UserDefined, V | TGF, VTG, 32);
        t.Add(0x280, vec4, IoVariable::FrontColorDiffuse, TGF, VTG);
        t.Add(0x290, vec4, IoVariable::FrontColorSpecular, TGF, VTG);
        t.Add(0x2A0, vec4, IoVariable::BackColorDiffuse, TGF, VTG);
        t.Add(0x2B0, vec4, IoVariable::BackColorSpecular, TGF, VTG);
        t.Add(0x2C0, AggregateType::FP32 | AggregateType::Array, IoVariable::ClipDistance, TGF, VTG, 8);
        t.Add(0x2E0, vec2, IoVariable::PointCoord, F, 0);
        t.Add(0x2E8, AggregateType::FP32, IoVariable::FogCoord, TGF, VTG);
        t.Add(0x2F0, vec2, IoVariable::TessellationCoord, TE, 0);
        t.Add(0x2F8, AggregateType::S32, IoVariable::InstanceId, V, 0);
        t.Add(0x2FC, AggregateType::S32, IoVariable::VertexId, V, 0);
        t.Add(0x300, vec4, IoVariable::TextureCoord, TGF, VTG);
        t.Add(0x3A0, AggregateType::S32 | AggregateType::Array, IoVariable::ViewportMask, F, VTG);
        t.Add(0x3FC, AggregateType::Bool, IoVariable::FrontFacing, F, 0);
        return t;
    }();
    return table;
}

const Table<PerPatchWords>& PerPatchTable() {
    static const Table<PerPatchWords> table = [] {
        Table<PerPatchWords> t;
        t.Add(0x000, AggregateType::FP32 | AggregateType::Vector4, IoVariable::TessellationLevelOuter, TE, TC);
        t.Add(0x010, AggregateType::FP32 | AggregateType::Vector2, IoVariable::TessellationLevelInner, TE, TC);
        t.Add(0x018, AggregateType::FP32 | AggregateType::Vector4, IoVariable::UserDefined, TE, TC, 31, 0x200);
        return t;
    }();
    return table;
}

uint8_t StageBit(ShaderStage stage) { return static_cast<uint8_t>(1u << (static_cast<unsigned>(stage) & 7u)); }

std::string OffsetText(int offset) { return "0x" + InstEmitHelper::ToHexUpper(static_cast<uint32_t>(offset)); }

// Steps shared by loads and stores: the entry when the stage may use it in
// this direction and the host can handle it; null after logging why not.
const AttributeMap::AttributeEntry* Validate(EmitterContext& context, int offset, bool isOutput, bool isPerPatch) {
    const AttributeMap::AttributeEntry* entry = AttributeMap::Find(offset, isPerPatch);
    if (entry == nullptr) {
        context.GpuAccessor().Log("Attribute offset " + OffsetText(offset) + " is not valid.");
        return nullptr;
    }
    const ShaderStage stage = context.Definitions().Stage;
    const uint8_t mask = isOutput ? entry->OutputMask : entry->InputMask;
    const std::string name(IntermediateRepresentation::IoVariableName(entry->IoVariable));
    if ((mask & StageBit(stage)) == 0) {
        context.GpuAccessor().Log("Attribute offset " + OffsetText(offset) + " (" + name +
                                  ") is not valid for stage " + ShaderStageName(stage) + ".");
        return nullptr;
    }
    if (!AttributeMap::IsSupportedByHost(context.GpuAccessor(), stage, entry->IoVariable)) {
        context.GpuAccessor().Log("Attribute offset " + OffsetText(offset) + " (" + name +
                                  ") is not supported by the host for stage " + ShaderStageName(stage) + ".");
        return nullptr;
    }
    return entry;
}

// Sources after the variable: a per-location variable puts its location
// before the vertex, an array variable puts the vertex first; vectors end
// with the component. Returns the number of operands written.
int BuildSources(EmitterContext& context, const AttributeMap::AttributeEntry& entry, int offset, bool isOutput,
                 Operand* primVertex, IoVariable variable, Operand* (&sources)[3]) {
    const int word = (offset - entry.BaseOffset) / 4;
    const AggregateType type = entry.IoVariable == IoVariable::UserDefined
                                   ? context.Definitions().GetUserDefinedType(word / 4, isOutput)
                                   : entry.Type;
    const int count = AttributeMap::GetElementCount(type);
    const bool isArray = HasFlag(type, AggregateType::Array);
    const bool indexed = isArray || context.Definitions().HasPerLocationInputOrOutput(variable, isOutput);
    int n = 0;
    auto push = [&](Operand* operand) {
        if (operand != nullptr) sources[n++] = operand;
    };
    if (indexed && count > 1) {
        Operand* location = OH::MakeConstant(context.Arena(), word / count);
        Operand* component = OH::MakeConstant(context.Arena(), word % count);
        if (primVertex != nullptr && !isArray) {
            push(location);
            push(primVertex);
        } else {
            push(primVertex);
            push(location);
        }
        push(component);
    } else if (indexed || count > 1) {
        Operand* index = OH::MakeConstant(context.Arena(), word);
        if (primVertex != nullptr && !isArray && indexed) {
            push(index);
            push(primVertex);
        } else {
            push(primVertex);
            push(index);
        }
    } else {
        push(primVertex);
    }
    return n;
}

Operand* InvocationId(EmitterContext& context) {
    return Ins::Load(context, StorageKind::Input, static_cast<int>(IoVariable::InvocationId));
}

} // namespace

int AttributeMap::GetElementCount(AggregateType type) {
    switch (static_cast<uint32_t>(type) & 0x300u) {
    case 0x100:
        return 2;
    case 0x200:
        return 3;
    case 0x300:
        return 4;
    default:
        return 1;
    }
}

bool AttributeMap::HasPrimitiveVertex(ShaderStage stage, bool isOutput) {
    if (isOutput) return false;
    return stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation ||
           stage == ShaderStage::Geometry;
}

bool AttributeMap::IsSupportedByHost(IGpuAccessor& gpuAccessor, ShaderStage stage, IoVariable ioVariable) {
    if (ioVariable == IoVariable::ViewportIndex && stage != ShaderStage::Geometry && stage != ShaderStage::Fragment) {
        return gpuAccessor.QueryHostSupportsViewportIndexInVertexStages();
    }
    if (ioVariable == IoVariable::ViewportMask) return gpuAccessor.QueryHostSupportsViewportMask();
    return true;
}

const AttributeMap::AttributeEntry* AttributeMap::Find(int offset, bool isPerPatch) {
    if (offset < 0 || (offset & 3) != 0) return nullptr;
    const int index = offset / 4;
    if (isPerPatch) {
        const auto& table = PerPatchTable();
        if (index >= PerPatchWords || !table.Present[static_cast<std::size_t>(index)]) return nullptr;
        return &table.Entries[static_cast<std::size_t>(index)];
    }
    const auto& table = PerVertexTable();
    if (index >= PerVertexWords || !table.Present[static_cast<std::size_t>(index)]) return nullptr;
    return &table.Entries[static_cast<std::size_t>(index)];
}

IoVariable AttributeMap::GetIoVariable(const Translation::ShaderDefinitions& definitions, int offset, int& location) {
    location = 0;
    const AttributeEntry* entry = Find(offset, false);
    if (entry == nullptr || (entry->OutputMask & StageBit(definitions.Stage)) == 0) return IoVariable::Invalid;
    if (definitions.HasPerLocationInputOrOutput(entry->IoVariable, true)) {
        location = (offset - entry->BaseOffset) / 16;
    }
    if (entry->IoVariable == IoVariable::Position && definitions.Stage == ShaderStage::Fragment) {
        return IoVariable::FragmentCoord;
    }
    return entry->IoVariable;
}

Operand* AttributeMap::GenerateAttributeLoad(EmitterContext& context, Operand* primVertex, int offset, bool isOutput,
                                             bool isPerPatch) {
    const AttributeEntry* entry = Validate(context, offset, isOutput, isPerPatch);
    if (entry == nullptr) return OH::MakeConstant(context.Arena(), 0);
    const ShaderStage stage = context.Definitions().Stage;
    if (isOutput && stage == ShaderStage::TessellationControl && !isPerPatch) {
        // A tessellation control shader's outputs are indexed by its own
        // invocation.
        primVertex = InvocationId(context);
    }
    const StorageKind kind = isPerPatch ? (isOutput ? StorageKind::OutputPerPatch : StorageKind::InputPerPatch)
                                        : (isOutput ? StorageKind::Output : StorageKind::Input);
    IoVariable variable = entry->IoVariable;
    if (variable == IoVariable::Position && stage == ShaderStage::Fragment) variable = IoVariable::FragmentCoord;
    Operand* sources[3] = {};
    const int n = BuildSources(context, *entry, offset, isOutput, primVertex, variable, sources);
    const int id = static_cast<int>(variable);
    switch (n) {
    case 0:
        return Ins::Load(context, kind, id);
    case 1:
        return Ins::Load(context, kind, id, sources[0]);
    case 2:
        return Ins::Load(context, kind, id, sources[0], sources[1]);
    default:
        return Ins::Load(context, kind, id, sources[0], sources[1], sources[2]);
    }
}

void AttributeMap::GenerateAttributeStore(EmitterContext& context, int offset, bool isPerPatch, Operand* value) {
    const AttributeEntry* entry = Validate(context, offset, true, isPerPatch);
    if (entry == nullptr) return;
    Operand* primVertex = nullptr;
    if (!isPerPatch && context.Definitions().Stage == ShaderStage::TessellationControl) {
        primVertex = InvocationId(context);
    }
    const StorageKind kind = isPerPatch ? StorageKind::OutputPerPatch : StorageKind::Output;
    Operand* sources[3] = {};
    const int n = BuildSources(context, *entry, offset, true, primVertex, entry->IoVariable, sources);
    switch (n) {
    case 0:
        Ins::Store(context, kind, static_cast<int>(entry->IoVariable), value);
        break;
    case 1:
        Ins::Store(context, kind, static_cast<int>(entry->IoVariable), sources[0], value);
        break;
    case 2:
        Ins::Store(context, kind, static_cast<int>(entry->IoVariable), sources[0], sources[1], value);
        break;
    default:
        Ins::Store(context, kind, entry->IoVariable, sources[0], sources[1], sources[2], value);
        break;
    }
}

} // namespace Zerivox::Graphics::Shader::Instructions
