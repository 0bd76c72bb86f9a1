#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/ShaderProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader::Translation {

using Shader::ShaderProgramInfo;

// Result of one translation: the resource descriptors and stage facts, and
// either GLSL text (Code) or SPIR-V bytes (BinaryCode) depending on Language.
struct ShaderProgram {
    ShaderProgramInfo Info;
    std::string Code;
    std::vector<uint8_t> BinaryCode;
    TargetLanguage Language;

    ShaderProgram(ShaderProgramInfo info, TargetLanguage language, std::string code, std::vector<uint8_t> binaryCode)
        : Info(std::move(info)), Code(std::move(code)), BinaryCode(std::move(binaryCode)), Language(language) {}
};

} // namespace Zerivox::Graphics::Shader::Translation
