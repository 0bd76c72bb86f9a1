#include <gtest/gtest.h>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

using namespace Zerivox::Graphics::Shader;

namespace {
// Implements only what has no default, so every default shows through.
class MinimalAccessor final : public IGpuAccessor {
  public:
    std::span<const uint64_t> GetCode(uint64_t, int32_t) override { return {}; }
    int32_t ConstantBuffer1Read(int32_t) override { return 0; }
    SamplerType QuerySamplerType(int32_t, int32_t) override { return SamplerType::Texture2D; }
    TextureFormat QueryTextureFormat(int32_t, int32_t) override { return TextureFormat::Unknown; }
    GpuGraphicsState QueryGraphicsState() override { return {}; }
    int32_t QueryComputeSharedMemorySize() override { return 0; }
    bool QueryTransformFeedbackEnabled() override { return false; }
    std::span<const uint8_t> QueryTransformFeedbackVaryingLocations(int32_t) override { return {}; }
    bool QueryHostSupportsShaderFloat64() override { return true; }
    int32_t QueryHostGatherBiasPrecision() override { return 0; }
    bool QueryHostReducedPrecision() override { return false; }
    bool QueryHasUnalignedStorageBuffer() override { return false; }
    int32_t QueryHostStorageBufferOffsetAlignment() override { return 16; }
    int32_t QueryHostSubgroupSize() override { return 32; }
    int32_t QueryWorkgroupSizeX() override { return 1; }
    int32_t QueryWorkgroupSizeY() override { return 1; }
    int32_t QueryWorkgroupSizeZ() override { return 1; }
    int32_t QueryTransformFeedbackBufferStride(int32_t) override { return 0; }
    int32_t AllocateConstantBufferBinding(int32_t) override { return 1; }
    int32_t AllocateStorageBufferBinding(int32_t) override { return 1; }
    int32_t AllocateTextureBinding(int32_t) override { return 1; }
    int32_t AllocateImageBinding(int32_t) override { return 1; }
};
} // namespace

// The tool keeps every default, so these answers are the host this system
// translates for; a flipped one silently changes generated code.
TEST(IGpuAccessor, DefaultAnswers) {
    MinimalAccessor a;
    EXPECT_EQ(a.QueryComputeLocalMemorySize(), 4096);
    struct Case {
        const char* Name;
        bool Actual;
        bool Expected;
    };
    const Case cases[] = {
        {"ScaledVertexFormats", a.QueryHostSupportsScaledVertexFormats(), true},
        {"TransformFeedback", a.QueryHostSupportsTransformFeedback(), true},
        {"DepthModeControl", a.QueryHostSupportsDepthModeControl(), true},
        {"GeometryShaderPassthrough", a.QueryHostSupportsGeometryShaderPassthrough(), false},
        {"LayerInVertexStages", a.QueryHostSupportsLayerInVertexStages(), true},
        {"ViewportIndexInVertexStages", a.QueryHostSupportsViewportIndexInVertexStages(), true},
        {"ViewportMask", a.QueryHostSupportsViewportMask(), false},
        {"FragmentShaderInterlock", a.QueryHostSupportsFragmentShaderInterlock(), true},
        {"IntelFragmentShaderOrdering", a.QueryHostSupportsIntelFragmentShaderOrdering(), false},
        {"ArbShaderBallot", a.QueryHostSupportsArbShaderBallot(), true},
        {"BarrierInDivergentCode", a.QueryHostSupportsBarrierInDivergentCode(), true},
        {"NonUniformIndexing", a.QueryHostSupportsNonUniformIndexing(), false},
        {"TextureShadowLod", a.QueryHostSupportsTextureShadowLod(), true},
        {"FrontFacingFixup", a.QueryHostNeedsFrontFacingFixup(), false},
        {"ImageLoadFormatted", a.QueryHostSupportsImageLoadFormatted(), true},
        {"NormalizedCoords", a.QueryTextureUsesNormalizedCoords(0x5A, 2), true},
        {"GatherWithOffsets", a.QueryHostSupportsGatherWithOffsets(), false},
        {"DynamicTextureOffsets", a.QueryHostSupportsDynamicTextureOffsets(), false},
        {"VectorComponentSelect", a.QueryHostNeedsVectorComponentSelect(), false},
        {"DrawParametersReplacement", a.QueryDrawParametersReplacement(), false},
        {"BufferTextureFixup", a.QueryHostBufferTextureFixup(), false},
        {"BindlessAccess", a.QueryHostSupportsBindlessAccess(), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Actual, c.Expected) << c.Name;
    a.Log("dropped"); // must not throw or print
}
