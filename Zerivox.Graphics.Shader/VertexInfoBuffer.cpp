#include "Zerivox.Graphics.Shader/VertexInfoBuffer.h"

namespace Zerivox::Graphics::Shader {

using Translation::AggregateType;

StructureType VertexInfoBuffer::GetStructureType() {
    return StructureType({
        StructureField(AggregateType::Vector4 | AggregateType::U32, "vertex_counts"),
        StructureField(AggregateType::Vector4 | AggregateType::U32, "geometry_counts"),
        StructureField(AggregateType::Array | AggregateType::Vector4 | AggregateType::U32, "vertex_strides",
                       VertexStridesCount),
        StructureField(AggregateType::Array | AggregateType::Vector4 | AggregateType::U32, "vertex_offsets",
                       VertexOffsetsCount),
    });
}

} // namespace Zerivox::Graphics::Shader
