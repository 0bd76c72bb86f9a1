#pragma once
#include <cstdint>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/IoUsage.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IoDefinition.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Operation;
}

namespace Zerivox::Graphics::Shader::Translation {

// Binding numbers set aside for the emulation paths (transform feedback done
// in the shader; vertex and geometry stages run as compute), and the word
// offsets at which such stages pass their inputs and outputs.
class ResourceReservations {
  public:
    static constexpr int32_t TfeBuffersCount = 4;
    static constexpr int32_t MaxVertexBufferTextures = 32;

    ResourceReservations(bool isTransformFeedbackEmulated, bool vertexAsCompute);

    int32_t ReservedConstantBuffers = 0;
    int32_t ReservedStorageBuffers = 0;
    int32_t ReservedTextures = 0;
    int32_t ReservedImages = 0;

    int32_t TfeBufferBaseBinding = 0;
    int32_t VertexInfoConstantBufferBinding = 0;
    int32_t VertexOutputStorageBufferBinding = 0;
    int32_t GeometryVertexOutputStorageBufferBinding = 0;
    int32_t GeometryIndexOutputStorageBufferBinding = 0;
    int32_t IndexBufferTextureBinding = 0;
    int32_t TopologyRemapBufferTextureBinding = 0;
    int32_t VertexBufferTextureBaseBinding = 0;

    // Word offset of every input or output a stage run as compute passes
    // through memory; filled by FillIoOffsetMap.
    Common::OrderedMap<StructuredIr::IoDefinition, int32_t> IoOffsetMap;
    int32_t InputSizePerInvocation = 0;
    int32_t OutputSizePerInvocation = 0;

    // Lays out the variables of `ioUsage` for one storage kind (Input or
    // Output) and returns the number of words per invocation. Filling the
    // same kind twice is an error.
    int32_t FillIoOffsetMap(IGpuAccessor& gpuAccessor, IntermediateRepresentation::StorageKind storageKind,
                            const IoUsage& ioUsage);
    // The number FillIoOffsetMap returns, without filling the map.
    static int32_t CountIoOffsets(IGpuAccessor& gpuAccessor, const IoUsage& ioUsage);

    // The word offset of the input or output that a Load or Store with the
    // Input or Output storage kind names, looked up under `storageKind`: user
    // attributes by location and component, Position and ClipDistance by
    // component, every other variable as one word. False when the access is
    // not in the map, also when its location or component is not a constant
    // (an attribute addressed through a register has no fixed place).
    bool TryGetOffset(IntermediateRepresentation::StorageKind storageKind,
                      const IntermediateRepresentation::Operation& operation, int32_t& offset) const;

    // Variables whose map entries are per component.
    static bool IsVectorOrArrayVariable(IntermediateRepresentation::IoVariable variable);
};

} // namespace Zerivox::Graphics::Shader::Translation
