// Every sampled encoding of the shared ISA cross-check data, as a shader of
// one instruction followed by EXIT, in each of the six stages: a translation
// must either end in a typed error or give a module the validator accepts.
// The words are hostile (random fields), which is the point: whatever an
// instruction means in a stage, the tool must never hand a host an invalid
// module.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestTools/SpirvValidator.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "driver/FenkVanter.h"
#include "driver/FenkVanterAccessor.h"

namespace {

namespace Fv = Zerivox::FenkVanter;
namespace Tr = Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::ShaderStage;

constexpr uint64_t ExitWord = 0xE30000000007000Full; // EXIT, always, guard PT

struct SampleWord {
    uint64_t Word = 0;
    std::string Form;
};

std::vector<SampleWord> ReadSample(const std::filesystem::path& path) {
    std::vector<SampleWord> words;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SampleWord sample;
        std::string hex;
        if (!std::getline(fields, sample.Form, '\t') || !std::getline(fields, hex, '\t'))
            continue;
        sample.Word = std::stoull(hex, nullptr, 16);
        words.push_back(sample);
    }
    return words;
}

// The code file of a one-instruction shader: for a graphics stage the
// 80-byte program header (the stage; a geometry shader emits up to 3
// vertices of a triangle strip; a fragment shader writes render target 0),
// then a scheduling word, the instruction and EXIT.
std::vector<uint8_t> CodeFile(ShaderStage stage, uint64_t word) {
    std::vector<uint32_t> header;
    if (stage != ShaderStage::Compute) {
        header.assign(20, 0);
        header[0] = static_cast<uint32_t>(stage) << 10;
        if (stage == ShaderStage::Geometry) {
            header[3] = 7u << 24; // triangle strip
            header[4] = 3;
        }
        if (stage == ShaderStage::TessellationControl)
            header[2] = 3u << 24; // output patch of 3 vertices
        if (stage == ShaderStage::Fragment)
            header[18] = 0xF;
    }
    const uint64_t code[] = {0, word, ExitWord};
    std::vector<uint8_t> bytes(header.size() * 4 + sizeof(code));
    if (!header.empty())
        std::memcpy(bytes.data(), header.data(), header.size() * 4);
    std::memcpy(bytes.data() + header.size() * 4, code, sizeof(code));
    return bytes;
}

const char* StageName(ShaderStage stage) {
    static constexpr const char* Names[] = {"compute", "vertex", "tess-control", "tess-eval", "geometry", "fragment"};
    return Names[static_cast<int>(stage)];
}

} // namespace

TEST(IsaSweepTests, EverySampledEncodingInEveryStageIsATypedErrorOrAValidModule) {
    const std::filesystem::path path = std::filesystem::path(ZV_SHARED_DIR) / "isa" / "isa_sample.tsv";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "shared ISA data absent";
    const std::vector<SampleWord> sample = ReadSample(path);
    ASSERT_GT(sample.size(), 1000u);

    Fv::Json graphicsJob = Fv::Json::object();
    graphicsJob["key"] = "sweep";
    graphicsJob["code"] = "sweep.bin";
    graphicsJob["debug"] = false;
    Fv::Json computeJob = graphicsJob;
    computeJob["stage"] = "cs";

    int translated = 0, typedErrors = 0, invalid = 0, untyped = 0;
    // Per stage and instruction form: how many words failed, and the first
    // failure in full.
    std::map<std::string, std::pair<int, std::string>> failures;
    constexpr ShaderStage Stages[] = {ShaderStage::Compute,
                                      ShaderStage::Vertex,
                                      ShaderStage::TessellationControl,
                                      ShaderStage::TessellationEvaluation,
                                      ShaderStage::Geometry,
                                      ShaderStage::Fragment};
    for (ShaderStage stage : Stages) {
        const bool compute = stage == ShaderStage::Compute;
        const Tr::TranslationOptions options(Tr::TargetLanguage::Spirv, Tr::TargetGraphicsApi::Vulkan,
                                             compute ? Tr::TranslationFlags::Compute : Tr::TranslationFlags::None);
        for (const SampleWord& sample : sample) {
            const std::vector<uint8_t> code = CodeFile(stage, sample.Word);
            char word[17];
            std::snprintf(word, sizeof(word), "%016llx", static_cast<unsigned long long>(sample.Word));
            const std::string where = std::string(StageName(stage)) + " " + sample.Form + " " + word;
            try {
                Fv::FenkVanterAccessor accessor(code, compute ? computeJob : graphicsJob);
                const Tr::ShaderProgram program = Fv::RunTranslator(accessor, options);
                const std::string error = Zerivox::TestTools::ValidateSpirv(program.BinaryCode);
                if (error.empty()) {
                    translated++;
                } else {
                    invalid++;
                    auto& [count, first] = failures[std::string(StageName(stage)) + " " + sample.Form];
                    if (count++ == 0)
                        first = where + ": " + error;
                }
            } catch (const Zerivox::Common::Exception&) {
                typedErrors++;
            } catch (const std::exception& e) {
                untyped++;
                auto& [count, first] = failures[std::string(StageName(stage)) + " " + sample.Form];
                if (count++ == 0)
                    first = where + ": untyped error: " + e.what();
            }
        }
    }
    std::cout << "ISA sweep: " << translated << " translated, " << typedErrors << " typed errors, " << invalid
              << " invalid modules, " << untyped << " untyped errors\n";
    for (const auto& [key, failure] : failures)
        ADD_FAILURE() << key << ": " << failure.first << " words; the first: " << failure.second;
    EXPECT_EQ(invalid, 0);
    EXPECT_EQ(untyped, 0);
}
