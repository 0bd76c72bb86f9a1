#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/StructureType.h"

namespace Zerivox::Graphics::Shader {

// Uniform block of vertex and geometry stages run as compute shaders
// ("vb_info"), std140.
struct VertexInfoBuffer {
    static constexpr int32_t FieldVertexCounts = 0;
    static constexpr int32_t FieldGeometryCounts = 1;
    static constexpr int32_t FieldVertexStrides = 2;
    static constexpr int32_t FieldVertexOffsets = 3;

    static constexpr int32_t VertexStridesCount = 32;
    static constexpr int32_t VertexOffsetsCount = 32;

    static constexpr int32_t RequiredSize = 1056;
    static constexpr int32_t VertexCountsOffset = 0;
    static constexpr int32_t GeometryCountsOffset = 16;
    static constexpr int32_t VertexStridesOffset = 32;
    static constexpr int32_t VertexOffsetsOffset = 544;

    // A fresh object on every call.
    static StructureType GetStructureType();
};

} // namespace Zerivox::Graphics::Shader
