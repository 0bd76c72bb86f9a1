#pragma once
#include "Zerivox.Graphics.Shader/Translation/HostCapabilities.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Translation {
class AttributeUsage;
class ShaderDefinitions;
} // namespace Zerivox::Graphics::Shader::Translation
namespace Zerivox::Graphics::Shader::StructuredIr {
class ShaderProperties;
}

namespace Zerivox::Graphics::Shader::CodeGen {

// What a back end is given beside the structured program. References into
// the translation, valid for the code generation call.
class CodeGenParameters {
  public:
    CodeGenParameters(const Translation::AttributeUsage& attributeUsage,
                      const Translation::ShaderDefinitions& definitions,
                      const StructuredIr::ShaderProperties& properties,
                      const Translation::HostCapabilities& hostCapabilities, IGpuAccessor& gpuAccessor,
                      Translation::TargetGraphicsApi graphicsApi)
        : AttributeUsage(attributeUsage), Definitions(definitions), Properties(properties),
          HostCapabilities(hostCapabilities), GpuAccessor(gpuAccessor), GraphicsApi(graphicsApi) {}

    const Translation::AttributeUsage& AttributeUsage;
    const Translation::ShaderDefinitions& Definitions;
    const StructuredIr::ShaderProperties& Properties;
    const Translation::HostCapabilities& HostCapabilities;
    IGpuAccessor& GpuAccessor;
    Translation::TargetGraphicsApi GraphicsApi;
};

} // namespace Zerivox::Graphics::Shader::CodeGen
