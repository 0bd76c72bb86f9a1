#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "Zerivox.Graphics.Shader/GpuGraphicsState.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"

namespace Zerivox::Graphics::Shader {

// The one channel through which the translator learns anything that is not
// in its own tables (code words, constant buffer 1, texture types, draw
// state, host facts) and obtains binding numbers. Diagnostics that do not
// stop a translation go to Log.
//
// Rules for implementations: answers are stable within one translation (the
// translator may ask the same question several times), and the binding
// allocators are the only operations with an effect: each returns numbers
// not returned before in the same translation, all four from one number
// space, never binding 0 of set 0 (the support buffer).
//
// Spans returned are owned by the host and stay valid until the next call of
// the same operation; the translator copies what it keeps.
class IGpuAccessor {
  public:
    virtual ~IGpuAccessor() = default;

    // ---- Per-shader data (no default) ----

    // Code from the byte address to the end of the available code, as whole
    // little-endian 64-bit words. An address beyond the code throws
    // ArgumentOutOfRangeException.
    virtual std::span<const uint64_t> GetCode(uint64_t address, int32_t minimumSize) = 0;
    // Little-endian word of constant buffer 1 at a byte offset.
    virtual int32_t ConstantBuffer1Read(int32_t offset) = 0;
    // cbufSlot is negative when the handle does not come from a constant buffer.
    virtual SamplerType QuerySamplerType(int32_t handle, int32_t cbufSlot = -1) = 0;
    virtual TextureFormat QueryTextureFormat(int32_t handle, int32_t cbufSlot = -1) = 0;
    virtual GpuGraphicsState QueryGraphicsState() = 0;
    // 0 or less selects the translator's default size.
    virtual int32_t QueryComputeSharedMemorySize() = 0;
    virtual bool QueryTransformFeedbackEnabled() = 0;
    // Byte j: the output attribute word captured at byte offset 4j of buffer
    // bufferIndex (0-3); 192 or more means none.
    virtual std::span<const uint8_t> QueryTransformFeedbackVaryingLocations(int32_t bufferIndex) = 0;
    virtual bool QueryHostSupportsShaderFloat64() = 0;
    // Sub-texel precision bits of host gathers; 0 inserts no bias.
    virtual int32_t QueryHostGatherBiasPrecision() = 0;
    virtual bool QueryHostReducedPrecision() = 0;
    virtual bool QueryHasUnalignedStorageBuffer() = 0;
    virtual int32_t QueryHostStorageBufferOffsetAlignment() = 0;
    virtual int32_t QueryHostSubgroupSize() = 0;

    // ---- Asked from a few fixed places (no default) ----

    virtual int32_t QueryWorkgroupSizeX() = 0;
    virtual int32_t QueryWorkgroupSizeY() = 0;
    virtual int32_t QueryWorkgroupSizeZ() = 0;
    virtual int32_t QueryTransformFeedbackBufferStride(int32_t bufferIndex) = 0;
    virtual int32_t AllocateConstantBufferBinding(int32_t slot) = 0;
    virtual int32_t AllocateStorageBufferBinding(int32_t index) = 0;
    // Takes count consecutive numbers and returns the first.
    virtual int32_t AllocateTextureBinding(int32_t count) = 0;
    virtual int32_t AllocateImageBinding(int32_t count) = 0;

    // ---- Defaults (the command-line host keeps every one) ----

    virtual int32_t QueryComputeLocalMemorySize();
    virtual bool QueryHostSupportsScaledVertexFormats();
    virtual bool QueryHostSupportsTransformFeedback();
    virtual bool QueryHostSupportsDepthModeControl();
    virtual bool QueryHostSupportsGeometryShaderPassthrough();
    virtual bool QueryHostSupportsLayerInVertexStages();
    virtual bool QueryHostSupportsViewportIndexInVertexStages();
    virtual bool QueryHostSupportsViewportMask();
    virtual bool QueryHostSupportsFragmentShaderInterlock();
    virtual bool QueryHostSupportsIntelFragmentShaderOrdering();
    virtual bool QueryHostSupportsArbShaderBallot();
    virtual bool QueryHostSupportsBarrierInDivergentCode();
    virtual bool QueryHostSupportsNonUniformIndexing();
    virtual bool QueryHostSupportsTextureShadowLod();
    virtual bool QueryHostNeedsFrontFacingFixup();
    virtual bool QueryHostSupportsImageLoadFormatted();
    virtual bool QueryTextureUsesNormalizedCoords(int32_t handle, int32_t cbufSlot = -1);
    virtual bool QueryHostSupportsGatherWithOffsets();
    virtual bool QueryHostSupportsDynamicTextureOffsets();
    virtual bool QueryHostNeedsVectorComponentSelect();
    virtual bool QueryDrawParametersReplacement();
    virtual bool QueryHostBufferTextureFixup();
    virtual bool QueryHostSupportsBindlessAccess();
    // Number of bytes of constant buffer 1 the host has, or -1 when unknown.
    // Jump-table reads stop at the first word beyond a known size, so a table
    // length taken from the code cannot cause a flood of out-of-range reads.
    virtual int32_t QueryConstantBuffer1Size();
    // Receives every soft diagnostic, fully formatted. The default drops it.
    virtual void Log(std::string_view message);

  protected:
    IGpuAccessor() = default;
    IGpuAccessor(const IGpuAccessor&) = default;
    IGpuAccessor& operator=(const IGpuAccessor&) = default;
};

} // namespace Zerivox::Graphics::Shader
