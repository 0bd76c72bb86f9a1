#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/BufferDescriptor.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/TextureDescriptor.h"

namespace Zerivox::Graphics::Shader {

// Description of a translated program: its resource descriptors (in the
// order the resource manager fixes, which is also the ".res.json" order) and
// the stage facts a host needs to bind and run it.
struct ShaderProgramInfo {
    std::vector<BufferDescriptor> CBuffers;
    std::vector<BufferDescriptor> SBuffers;
    std::vector<TextureDescriptor> Textures;
    std::vector<TextureDescriptor> Images;
    ShaderStage Stage = ShaderStage::Compute;
    int32_t GeometryVerticesPerPrimitive = 1;
    int32_t GeometryMaxOutputVertices = 0;
    int32_t ThreadsPerInputPrimitive = 0;
    bool UsesFragCoord = false;
    bool UsesInstanceId = false;
    bool UsesDrawParameters = false;
    bool UsesRtLayer = false;
    uint8_t ClipDistancesWritten = 0;
    int32_t FragmentOutputMap = 0;

    ShaderProgramInfo() = default;
    ShaderProgramInfo(std::vector<BufferDescriptor> cBuffers, std::vector<BufferDescriptor> sBuffers,
                      std::vector<TextureDescriptor> textures, std::vector<TextureDescriptor> images, ShaderStage stage,
                      int32_t geometryVerticesPerPrimitive, int32_t geometryMaxOutputVertices,
                      int32_t threadsPerInputPrimitive, bool usesFragCoord, bool usesInstanceId,
                      bool usesDrawParameters, bool usesRtLayer, uint8_t clipDistancesWritten,
                      int32_t fragmentOutputMap)
        : CBuffers(std::move(cBuffers)), SBuffers(std::move(sBuffers)), Textures(std::move(textures)),
          Images(std::move(images)), Stage(stage), GeometryVerticesPerPrimitive(geometryVerticesPerPrimitive),
          GeometryMaxOutputVertices(geometryMaxOutputVertices), ThreadsPerInputPrimitive(threadsPerInputPrimitive),
          UsesFragCoord(usesFragCoord), UsesInstanceId(usesInstanceId), UsesDrawParameters(usesDrawParameters),
          UsesRtLayer(usesRtLayer), ClipDistancesWritten(clipDistancesWritten), FragmentOutputMap(fragmentOutputMap) {}
};

} // namespace Zerivox::Graphics::Shader
