#pragma once
#include <span>

#include "Zerivox.Graphics.Shader/Decoders/FeatureFlags.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class BasicBlock;
}
namespace Zerivox::Graphics::Shader::Translation {
class HelperFunctionManager;
class ResourceManager;
class ShaderDefinitions;
} // namespace Zerivox::Graphics::Shader::Translation

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// What every optimisation and transform pass of one function receives. A
// cheap record of references: copies share the function's blocks and the
// translation's used-feature value, so a bit a pass ORs into UsedFeatures is
// seen by the caller and by every later pass.
struct TransformContext {
    HelperFunctionManager& Hfm;
    std::span<IntermediateRepresentation::BasicBlock* const> Blocks;
    ShaderDefinitions& Definitions;
    Translation::ResourceManager& ResourceManager;
    IGpuAccessor& GpuAccessor;
    FeatureFlags& UsedFeatures;
    TargetGraphicsApi GraphicsApi;
    Translation::TargetLanguage TargetLanguage;
    ShaderStage Stage;
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
