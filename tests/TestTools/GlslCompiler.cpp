#include "TestTools/GlslCompiler.h"

#include <mutex>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

namespace Zerivox::TestTools {

namespace {

EShLanguage Language(Graphics::Shader::ShaderStage stage) {
    using Graphics::Shader::ShaderStage;
    switch (stage) {
    case ShaderStage::Vertex:
        return EShLangVertex;
    case ShaderStage::TessellationControl:
        return EShLangTessControl;
    case ShaderStage::TessellationEvaluation:
        return EShLangTessEvaluation;
    case ShaderStage::Geometry:
        return EShLangGeometry;
    case ShaderStage::Fragment:
        return EShLangFragment;
    default:
        return EShLangCompute;
    }
}

// The first line of glslang's log that reports an error.
std::string FirstError(const std::string& log) {
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(start, end - start);
        if (line.rfind("ERROR:", 0) == 0)
            return line;
        start = end + 1;
    }
    std::size_t end = log.find('\n');
    return end == std::string::npos ? log : log.substr(0, end);
}

// glslang's defaults are the smallest limits Vulkan guarantees. A geometry
// shader's output vertex count comes from its program header, which encodes
// up to 4095; the SPIR-V validator checks no such limit, so neither does
// this compile.
const TBuiltInResource& Resources() {
    static const TBuiltInResource resources = [] {
        TBuiltInResource r = *GetDefaultResources();
        r.maxGeometryOutputVertices = 4095;
        r.maxGeometryTotalOutputComponents = 4095 * 128;
        return r;
    }();
    return resources;
}

} // namespace

GlslCompileResult CompileGlsl(const std::string& source, Graphics::Shader::ShaderStage stage) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { glslang::InitializeProcess(); });

    GlslCompileResult result;
    const EShLanguage language = Language(stage);
    glslang::TShader shader(language);
    const char* text = source.c_str();
    const int length = static_cast<int>(source.size());
    shader.setStringsWithLengths(&text, &length, 1);
    shader.setEnvInput(glslang::EShSourceGlsl, language, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_1);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_3);
    const EShMessages messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules);
    if (!shader.parse(&Resources(), 450, false, messages)) {
        result.Log = std::string(shader.getInfoLog()) + shader.getInfoDebugLog();
        result.Error = FirstError(result.Log);
        return result;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages)) {
        result.Log = std::string(program.getInfoLog()) + program.getInfoDebugLog();
        result.Error = FirstError(result.Log);
        return result;
    }
    glslang::SpvOptions options;
    options.validate = false;
    spv::SpvBuildLogger logger;
    glslang::GlslangToSpv(*program.getIntermediate(language), result.Words, &logger, &options);
    result.Log = logger.getAllMessages();
    result.Ok = !result.Words.empty();
    if (!result.Ok)
        result.Error = "glslang produced no module";
    return result;
}

} // namespace Zerivox::TestTools
