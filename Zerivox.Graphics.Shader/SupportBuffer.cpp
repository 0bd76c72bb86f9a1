#include "Zerivox.Graphics.Shader/SupportBuffer.h"

namespace Zerivox::Graphics::Shader {

using Translation::AggregateType;

StructureType SupportBuffer::GetStructureType() {
    return StructureType({
        StructureField(AggregateType::U32, "alpha_test"),
        StructureField(AggregateType::Array | AggregateType::U32, "is_bgra", FragmentIsBgraCount),
        StructureField(AggregateType::Vector4 | AggregateType::FP32, "viewport_inverse"),
        StructureField(AggregateType::Vector4 | AggregateType::FP32, "viewport_size"),
        StructureField(AggregateType::S32, "frag_scale_count"),
        StructureField(AggregateType::Array | AggregateType::FP32, "render_scale", RenderScaleMaxCount),
        StructureField(AggregateType::Vector4 | AggregateType::S32, "tfe_offset"),
        StructureField(AggregateType::S32, "tfe_vertex_count"),
        StructureField(AggregateType::FP32, "point_size"),
    });
}

} // namespace Zerivox::Graphics::Shader
