// The README's library example: it compiles (this file includes it), both
// languages come out of it as the README says, and the README shows exactly
// this code.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestTools/GlslCompiler.h"
#include "TestTools/SpirvValidator.h"
#include "driver/LibraryUseExample.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(LibraryUse, TheReadmeExampleTranslatesToBothLanguages) {
    std::string codeText = ReadText(std::string(ZV_SOURCE_DIR) + "/examples/mov_exit.bin");
    ASSERT_FALSE(codeText.empty());
    std::vector<uint8_t> code(codeText.begin(), codeText.end());
    Fv::Json job = Fv::ParseJson(R"({"stage": "cs", "local": [64, 1, 1]})", false);

    Tr::ShaderProgram spirv = TranslateShader(code, job, Tr::TargetLanguage::Spirv);
    EXPECT_EQ(spirv.Language, Tr::TargetLanguage::Spirv);
    EXPECT_TRUE(spirv.Code.empty());
    EXPECT_EQ(Zerivox::TestTools::ValidateSpirv(spirv.BinaryCode), "");

    Tr::ShaderProgram glsl = TranslateShader(code, job, Tr::TargetLanguage::Glsl);
    EXPECT_EQ(glsl.Language, Tr::TargetLanguage::Glsl);
    EXPECT_TRUE(glsl.BinaryCode.empty());
    EXPECT_TRUE(glsl.Code.starts_with("#version 460 core\r\n"));
    EXPECT_TRUE(glsl.Code.find("layout (local_size_x = 64, local_size_y = 1, local_size_z = 1) in;") !=
                std::string::npos);
    Zerivox::TestTools::GlslCompileResult compiled = Zerivox::TestTools::CompileGlsl(glsl.Code, glsl.Info.Stage);
    EXPECT_TRUE(compiled.Ok) << compiled.Error;
    EXPECT_EQ(glsl.Info.Stage, spirv.Info.Stage);
}

TEST(LibraryUse, TheReadmeShowsTheExampleVerbatim) {
    std::string readme = ReadText(std::string(ZV_SOURCE_DIR) + "/README.md");
    std::string example = ReadText(std::string(ZV_SOURCE_DIR) + "/tests/driver/LibraryUseExample.h");
    ASSERT_FALSE(example.empty());
    EXPECT_NE(readme.find("```cpp\n" + example + "```\n"), std::string::npos);
}

} // namespace
