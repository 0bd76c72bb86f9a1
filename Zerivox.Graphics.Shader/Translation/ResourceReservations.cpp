#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::Operation;
using IntermediateRepresentation::StorageKind;
using StructuredIr::IoDefinition;

ResourceReservations::ResourceReservations(bool isTransformFeedbackEmulated, bool vertexAsCompute) {
    // Binding 0 is the support buffer.
    ReservedConstantBuffers = 1;
    ReservedStorageBuffers = 0;
    ReservedTextures = 0;
    ReservedImages = 0;

    if (isTransformFeedbackEmulated) {
        TfeBufferBaseBinding = ReservedStorageBuffers;
        ReservedStorageBuffers += TfeBuffersCount;
    }

    if (vertexAsCompute) {
        VertexInfoConstantBufferBinding = ReservedConstantBuffers++;
        VertexOutputStorageBufferBinding = ReservedStorageBuffers++;
        GeometryVertexOutputStorageBufferBinding = ReservedStorageBuffers++;
        GeometryIndexOutputStorageBufferBinding = ReservedStorageBuffers++;
        IndexBufferTextureBinding = ReservedTextures++;
        TopologyRemapBufferTextureBinding = ReservedTextures++;
        VertexBufferTextureBaseBinding = ReservedTextures;
        ReservedTextures += MaxVertexBufferTextures;
    }
}

namespace {

// Calls visit(variable, location, component) for every input or output of
// ioUsage that travels through memory, in the order of their word offsets.
template <typename Visit>
void ForEachIoOffset(IGpuAccessor& gpuAccessor, const IoUsage& ioUsage, Visit&& visit) {
    for (int32_t c = 0; c < 4; c++) {
        visit(IoVariable::Position, 0, c);
    }
    visit(IoVariable::PointSize, 0, 0);
    for (int32_t c = 0; c < 8; c++) {
        if ((ioUsage.ClipDistancesWritten & (1u << c)) != 0) {
            visit(IoVariable::ClipDistance, 0, c);
        }
    }
    if (ioUsage.get_UsesRtLayer()) {
        visit(IoVariable::Layer, 0, 0);
    }
    if (ioUsage.get_UsesViewportIndex() && gpuAccessor.QueryHostSupportsViewportIndexInVertexStages()) {
        visit(IoVariable::ViewportIndex, 0, 0);
    }
    if (ioUsage.get_UsesViewportMask() && gpuAccessor.QueryHostSupportsViewportMask()) {
        visit(IoVariable::ViewportMask, 0, 0);
    }
    // A geometry shader may hand its own primitive id to the next stage; run
    // as compute it has to travel with the vertex like any other output.
    if (ioUsage.WritesPrimitiveId) {
        visit(IoVariable::PrimitiveId, 0, 0);
    }
    for (int32_t location = 0; location < 32; location++) {
        if ((ioUsage.UserDefinedMap & (1u << location)) != 0) {
            for (int32_t c = 0; c < 4; c++) {
                visit(IoVariable::UserDefined, location, c);
            }
        }
    }
}

} // namespace

int32_t ResourceReservations::FillIoOffsetMap(IGpuAccessor& gpuAccessor, StorageKind storageKind,
                                              const IoUsage& ioUsage) {
    const int32_t count = CountIoOffsets(gpuAccessor, ioUsage);
    IoOffsetMap.Reserve(IoOffsetMap.Count() + static_cast<std::size_t>(count));
    int32_t offset = 0;
    ForEachIoOffset(gpuAccessor, ioUsage, [&](IoVariable variable, int32_t location, int32_t component) {
        if (!IoOffsetMap.TryAdd(IoDefinition(storageKind, variable, location, component), offset)) {
            throw Common::ArgumentException("An item with the same key has already been added. Key: " +
                                            IoDefinition(storageKind, variable, location, component).ToString());
        }
        offset++;
    });
    return offset;
}

int32_t ResourceReservations::CountIoOffsets(IGpuAccessor& gpuAccessor, const IoUsage& ioUsage) {
    int32_t count = 0;
    ForEachIoOffset(gpuAccessor, ioUsage, [&](IoVariable, int32_t, int32_t) { count++; });
    return count;
}

bool ResourceReservations::TryGetOffset(StorageKind storageKind, const Operation& operation, int32_t& offset) const {
    offset = 0;
    const int32_t count = operation.SourcesCount();
    // A store's last source is the value, not an index.
    const int32_t last = count - (operation.Inst == Instruction::Store ? 2 : 1);
    if (count < 1 || !operation.GetSource(0)->IsConstant()) {
        return false;
    }
    const auto variable = static_cast<IoVariable>(operation.GetSource(0)->Value);
    int32_t location = 0;
    int32_t component = 0;
    if (variable == IoVariable::UserDefined || IsVectorOrArrayVariable(variable)) {
        if (last < 1) {
            return false;
        }
        const Operand* componentSource = operation.GetSource(last);
        if (!componentSource->IsConstant()) {
            return false;
        }
        component = componentSource->Value;
        if (variable == IoVariable::UserDefined) {
            const Operand* locationSource = operation.GetSource(1);
            if (!locationSource->IsConstant()) {
                return false;
            }
            location = locationSource->Value;
        }
    }
    const int32_t* found = IoOffsetMap.Find(IoDefinition(storageKind, variable, location, component));
    if (found == nullptr) {
        return false;
    }
    offset = *found;
    return true;
}

bool ResourceReservations::IsVectorOrArrayVariable(IoVariable variable) {
    return variable == IoVariable::ClipDistance || variable == IoVariable::Position;
}

} // namespace Zerivox::Graphics::Shader::Translation
