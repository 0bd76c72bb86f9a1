#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/StructureType.h"

namespace Zerivox::Graphics::Shader {

// The translator's own uniform block, binding 0 of set 0 in every shader,
// std140. The IR addresses members by field index; the host fills the block
// by byte offset, so both views are published here.
struct SupportBuffer {
    static constexpr int32_t FieldAlphaTest = 0;
    static constexpr int32_t FieldIsBgra = 1;
    static constexpr int32_t FieldViewportInverse = 2;
    static constexpr int32_t FieldViewportSize = 3;
    static constexpr int32_t FieldFragScaleCount = 4;
    static constexpr int32_t FieldRenderScale = 5;
    static constexpr int32_t FieldTfeOffset = 6;
    static constexpr int32_t FieldTfeVertexCount = 7;
    static constexpr int32_t FieldPointSize = 8;

    static constexpr int32_t RenderScaleMaxCount = 73;
    static constexpr int32_t FragmentIsBgraCount = 8;

    // Every std140 member and array element occupies one 16-byte slot.
    static constexpr int32_t FieldSize = 16;
    static constexpr int32_t RequiredSize = 1408;

    static constexpr int32_t AlphaTestOffset = 0;
    static constexpr int32_t FragmentIsBgraOffset = 16;
    static constexpr int32_t ViewportInverseOffset = 144;
    static constexpr int32_t ViewportSizeOffset = 160;
    static constexpr int32_t FragmentRenderScaleCountOffset = 176;
    static constexpr int32_t GraphicsRenderScaleOffset = 192;
    static constexpr int32_t FragmentRenderScaleOffset = 208;
    static constexpr int32_t TfeOffsetOffset = 1360;
    static constexpr int32_t TfeVertexCountOffset = 1376;
    static constexpr int32_t PointSizeOffset = 1392;

    // A fresh object on every call.
    static StructureType GetStructureType();
};

} // namespace Zerivox::Graphics::Shader
