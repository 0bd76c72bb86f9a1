// Every sampled encoding of the shared ISA cross-check data, as a shader of
// one instruction followed by EXIT, in each of the six stages: a translation
// must either end in a typed error or give output the host accepts (a module
// the validator accepts, GLSL that glslang compiles), and the GLSL and SPIR-V
// translations of a word must end alike. The words are hostile (random
// fields), which is the point: whatever an instruction means in a stage, the
// tool must never hand a host invalid output, and both back ends must mean
// the same program.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TestTools/GlslCompiler.h"
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
// 80-byte program header (the stage; a geometry shader runs once per input
// primitive and emits up to 3 vertices of a triangle strip; a fragment
// shader writes render target 0), then a scheduling word, the instruction
// and EXIT.
std::vector<uint8_t> CodeFile(ShaderStage stage, uint64_t word) {
    std::vector<uint32_t> header;
    if (stage != ShaderStage::Compute) {
        header.assign(20, 0);
        header[0] = static_cast<uint32_t>(stage) << 10;
        if (stage == ShaderStage::Geometry) {
            header[2] = 1u << 24; // one invocation per input primitive
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

// A word that GLSL cannot say the way the SPIR-V module says it: the module
// translates, the GLSL translation fails with exactly this error.
struct GlslException {
    std::optional<ShaderStage> Stage; // none: every stage
    const char* Form;
    const char* Error;
};

const GlslException GlslExceptions[] = {
    // A non-zero explicit level of an array depth comparison: core GLSL has
    // no such form, and the glslang that checks the text does not know
    // GL_EXT_texture_shadow_lod, which adds it.
    {std::nullopt, "Tex",
     "NotSupportedException: An explicit level of a \"Texture2D, Array, Shadow\" depth comparison needs "
     "GL_EXT_texture_shadow_lod."},
    // GLSL allows a tessellation control barrier only in main's own block
    // before any return; the sampled words are predicated, so the barrier
    // stands in an if (a module may synchronise there).
    {ShaderStage::TessellationControl, "Bar",
     "NotSupportedException: A tessellation control barrier inside flow control, outside main or after a return has "
     "no GLSL form."},
};

enum class Result { Translated, Rejected, TypedError, Untyped };

struct Outcome {
    Result Kind = Result::Translated;
    std::string Text; // the checker's complaint, or the error's text
};

// Translates one code file; with check, also hands the output to the host's
// checker (spirv-val, or glslang for GLSL).
Outcome Translate(const std::vector<uint8_t>& code, const Fv::Json& job, ShaderStage stage, Tr::TargetLanguage language,
                  bool check) {
    const Tr::TranslationOptions options(language, Tr::TargetGraphicsApi::Vulkan,
                                         stage == ShaderStage::Compute ? Tr::TranslationFlags::Compute
                                                                       : Tr::TranslationFlags::None);
    try {
        Fv::FenkVanterAccessor accessor(code, job);
        const Tr::ShaderProgram program = Fv::RunTranslator(accessor, options);
        if (!check)
            return {};
        std::string error = language == Tr::TargetLanguage::Glsl
                                ? Zerivox::TestTools::CompileGlsl(program.Code, stage).Error
                                : Zerivox::TestTools::ValidateSpirv(program.BinaryCode);
        if (error.empty())
            return {};
        return {Result::Rejected, error};
    } catch (const Zerivox::Common::Exception& e) {
        return {Result::TypedError, Zerivox::Common::ErrorText(e)};
    } catch (const std::exception& e) {
        return {Result::Untyped, e.what()};
    }
}

// Translates every sampled word in every stage to the target language; a
// translation must end in a typed error or in output the host accepts: a
// module the validator accepts, or GLSL text that glslang compiles. For
// GLSL, the same job's SPIR-V translation is made as well, and the two must
// end alike: both translate, or both fail with the same typed error (but for
// the few words GlslExceptions lists).
void Sweep(Tr::TargetLanguage language) {
    const bool glsl = language == Tr::TargetLanguage::Glsl;
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

    int translated = 0, typedErrors = 0, invalid = 0, untyped = 0, differing = 0, excepted = 0;
    // Per stage and instruction form: how many words failed, and the first
    // failure in full.
    std::map<std::string, std::pair<int, std::string>> failures;
    auto fail = [&failures](const std::string& key, const std::string& first) {
        auto& [count, text] = failures[key];
        if (count++ == 0)
            text = first;
    };
    std::vector<int> exceptionUses(std::size(GlslExceptions), 0);
    constexpr ShaderStage Stages[] = {ShaderStage::Compute,
                                      ShaderStage::Vertex,
                                      ShaderStage::TessellationControl,
                                      ShaderStage::TessellationEvaluation,
                                      ShaderStage::Geometry,
                                      ShaderStage::Fragment};
    for (ShaderStage stage : Stages) {
        const Fv::Json& job = stage == ShaderStage::Compute ? computeJob : graphicsJob;
        for (const SampleWord& sample : sample) {
            const std::vector<uint8_t> code = CodeFile(stage, sample.Word);
            char word[17];
            std::snprintf(word, sizeof(word), "%016llx", static_cast<unsigned long long>(sample.Word));
            const std::string key = std::string(StageName(stage)) + " " + sample.Form;
            const std::string where = key + " " + word;
            const Outcome outcome = Translate(code, job, stage, language, true);
            switch (outcome.Kind) {
            case Result::Translated:
                translated++;
                break;
            case Result::TypedError:
                typedErrors++;
                break;
            case Result::Rejected:
                invalid++;
                fail(key, where + ": " + outcome.Text);
                break;
            case Result::Untyped:
                untyped++;
                fail(key, where + ": untyped error: " + outcome.Text);
                break;
            }
            if (!glsl || outcome.Kind == Result::Rejected || outcome.Kind == Result::Untyped)
                continue;

            const Outcome spirv = Translate(code, job, stage, Tr::TargetLanguage::Spirv, false);
            if (spirv.Kind == outcome.Kind && spirv.Text == outcome.Text)
                continue;
            bool listed = false;
            for (std::size_t i = 0; i < std::size(GlslExceptions) && !listed; i++) {
                const GlslException& exception = GlslExceptions[i];
                listed = spirv.Kind == Result::Translated && outcome.Text == exception.Error &&
                         sample.Form == exception.Form && (!exception.Stage || *exception.Stage == stage);
                if (listed)
                    exceptionUses[i]++;
            }
            if (listed) {
                excepted++;
                continue;
            }
            differing++;
            fail(key, where + ": SPIR-V " + (spirv.Kind == Result::Translated ? "translates" : spirv.Text) + ", GLSL " +
                          (outcome.Kind == Result::Translated ? "translates" : outcome.Text));
        }
    }
    std::cout << "ISA sweep (" << (glsl ? "GLSL" : "SPIR-V") << "): " << translated << " translated, " << typedErrors
              << " typed errors, " << invalid << " rejected outputs, " << untyped << " untyped errors";
    if (glsl)
        std::cout << "; " << differing << " outcomes differ from SPIR-V's, " << excepted << " listed exceptions";
    std::cout << "\n";
    for (const auto& [key, failure] : failures)
        ADD_FAILURE() << key << ": " << failure.first << " words; the first: " << failure.second;
    EXPECT_EQ(invalid, 0);
    EXPECT_EQ(untyped, 0);
    EXPECT_EQ(differing, 0);
    // The list stays current: an exception no word needs any more goes.
    for (std::size_t i = 0; glsl && i < std::size(GlslExceptions); i++)
        EXPECT_GT(exceptionUses[i], 0) << "unused exception: " << GlslExceptions[i].Form << ": "
                                       << GlslExceptions[i].Error;
}

} // namespace

TEST(IsaSweepTests, EverySampledEncodingInEveryStageIsATypedErrorOrAValidModule) { Sweep(Tr::TargetLanguage::Spirv); }

// Also: GLSL and SPIR-V translations of each word end alike.
TEST(IsaSweepTests, EverySampledEncodingInEveryStageIsATypedErrorOrGlslThatCompiles) {
    Sweep(Tr::TargetLanguage::Glsl);
}
