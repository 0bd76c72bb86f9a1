#pragma once
// The GLSL back end over hand-built structured programs (the same builder
// the SPIR-V back end's tests use), with the text split into lines and
// compiled by glslang.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestTools/GlslCompiler.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/GlslGenerator.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/SpirvTestSupport.h"

namespace Zerivox::Graphics::Shader::Testing {

using GlslProgram = SpirvProgram;

inline std::string GenerateGlsl(GlslProgram& p) {
    CodeGen::CodeGenParameters parameters(p.Usage, *p.Definitions, p.Properties, p.Host, p.Accessor, p.Api);
    return CodeGen::Glsl::GlslGenerator::Generate(p.Info, parameters);
}

// The text's lines; every line must end in CR LF (a lone LF fails the test).
inline std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text does not end in CR LF";
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Lines joined by "\n", for readable comparisons.
inline std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The lines of main's body, without the local declarations.
inline std::vector<std::string> MainStatements(const std::string& text) {
    std::vector<std::string> lines = TextLines(text);
    std::vector<std::string> body;
    bool inMain = false;
    for (std::size_t i = 0; i < lines.size(); i++) {
        if (lines[i] == "void main()") {
            inMain = true;
            i++;
            continue;
        }
        if (!inMain || i + 1 == lines.size())
            continue;
        const std::string& line = lines[i];
        bool declaration = line.rfind("    ", 0) == 0 && line.find(" temp_") != std::string::npos &&
                           line.find(" = ") == std::string::npos && line.find('(') == std::string::npos;
        if (!declaration)
            body.push_back(line);
    }
    return body;
}

// Whether lines appear in the text as consecutive whole lines.
inline bool HasLines(const std::string& text, const std::vector<std::string>& lines) {
    std::string block = "\r\n";
    for (const std::string& line : lines)
        block += line + "\r\n";
    return ("\r\n" + text).find(block) != std::string::npos;
}

// Empty when glslang compiles the text for Vulkan, else its first error.
inline std::string CompileError(const std::string& text, ShaderStage stage) {
    TestTools::GlslCompileResult result = TestTools::CompileGlsl(text, stage);
    return result.Ok ? std::string() : result.Error;
}

// The SPIR-V that glslang makes of the text, disassembled (empty when it
// does not compile).
inline std::string CompiledDisassembly(const std::string& text, ShaderStage stage) {
    TestTools::GlslCompileResult result = TestTools::CompileGlsl(text, stage);
    if (!result.Ok)
        return std::string();
    std::vector<uint8_t> bytes(result.Words.size() * 4);
    std::memcpy(bytes.data(), result.Words.data(), bytes.size());
    return Disassemble(bytes);
}

} // namespace Zerivox::Graphics::Shader::Testing
