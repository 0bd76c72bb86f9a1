#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

namespace Zerivox::Graphics::Shader {

int32_t IGpuAccessor::QueryComputeLocalMemorySize() { return 0x1000; }
bool IGpuAccessor::QueryHostSupportsScaledVertexFormats() { return true; }
bool IGpuAccessor::QueryHostSupportsTransformFeedback() { return true; }
bool IGpuAccessor::QueryHostSupportsDepthModeControl() { return true; }
bool IGpuAccessor::QueryHostSupportsGeometryShaderPassthrough() { return false; }
bool IGpuAccessor::QueryHostSupportsLayerInVertexStages() { return true; }
bool IGpuAccessor::QueryHostSupportsViewportIndexInVertexStages() { return true; }
bool IGpuAccessor::QueryHostSupportsViewportMask() { return false; }
bool IGpuAccessor::QueryHostSupportsFragmentShaderInterlock() { return true; }
bool IGpuAccessor::QueryHostSupportsIntelFragmentShaderOrdering() { return false; }
bool IGpuAccessor::QueryHostSupportsArbShaderBallot() { return true; }
bool IGpuAccessor::QueryHostSupportsBarrierInDivergentCode() { return true; }
bool IGpuAccessor::QueryHostSupportsNonUniformIndexing() { return false; }
bool IGpuAccessor::QueryHostSupportsTextureShadowLod() { return true; }
bool IGpuAccessor::QueryHostNeedsFrontFacingFixup() { return false; }
bool IGpuAccessor::QueryHostSupportsImageLoadFormatted() { return true; }
bool IGpuAccessor::QueryTextureUsesNormalizedCoords(int32_t, int32_t) { return true; }
bool IGpuAccessor::QueryHostSupportsGatherWithOffsets() { return false; }
bool IGpuAccessor::QueryHostSupportsDynamicTextureOffsets() { return false; }
bool IGpuAccessor::QueryHostNeedsVectorComponentSelect() { return false; }
bool IGpuAccessor::QueryDrawParametersReplacement() { return false; }
bool IGpuAccessor::QueryHostBufferTextureFixup() { return false; }
bool IGpuAccessor::QueryHostSupportsBindlessAccess() { return true; }
int32_t IGpuAccessor::QueryConstantBuffer1Size() { return -1; }
void IGpuAccessor::Log(std::string_view) {}

} // namespace Zerivox::Graphics::Shader
