#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "TestTools/SpirvValidator.h"
#include "Zerivox.Common/Exceptions.h"
#include "driver/FenkVanter.h"
#include "driver/FenkVanterAccessor.h"

using namespace Zerivox::FenkVanter;
namespace fs = std::filesystem;
namespace Tr = Zerivox::Graphics::Shader::Translation;

// Program headers of garbage, as a hostile or confused user hands them in:
// every real graphics shader with header words replaced or flipped at
// random (its stage kept, so that its instructions stay ones the stage can
// execute), with and without transform feedback asked for. Each must give a
// module that spirv-val accepts, or fail with a typed error.
TEST(GarbageHeader, GivesAValidModuleOrATypedError) {
    const fs::path corpus = fs::path(ZV_SHARED_DIR) / "corpus";
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no corpus";
    std::vector<fs::path> shaders;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".bin" && !name.starts_with("compute_"))
            shaders.push_back(entry.path());
    }
    std::sort(shaders.begin(), shaders.end());
    ASSERT_FALSE(shaders.empty());

    const Json feedback = ParseJson(R"({"tf":[{"words":[32,33,34,35,36,255,40],"stride":28}]})", false);
    const Json plain = Json::object();
    std::mt19937 rng(2024);
    int translated = 0;
    for (const fs::path& path : shaders) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GE(original.size(), 80u);
        for (int round = 0; round < 24; round++) {
            std::vector<uint8_t> code = original;
            // Round 0: the header as it is, with and without feedback. Round
            // 1: no threads per input primitive (byte 3 of word 2), which
            // gives a control shader an output patch of no vertices.
            if (round == 1)
                code[11] = 0;
            for (int edits = round <= 1 ? 0 : 1 + static_cast<int>(rng() % 3); edits > 0; edits--) {
                const std::size_t word = rng() % 20;
                uint32_t value;
                std::memcpy(&value, code.data() + 4 * word, 4);
                value = rng() % 2 == 0 ? static_cast<uint32_t>(rng()) : value ^ (1u << (rng() % 32));
                if (word == 0) {
                    uint32_t stage;
                    std::memcpy(&stage, original.data(), 4);
                    value = (value & ~0x3C00u) | (stage & 0x3C00u);
                }
                std::memcpy(code.data() + 4 * word, &value, 4);
            }
            for (const Json* job : {&plain, &feedback}) {
                const std::string what = path.filename().string() + " round " + std::to_string(round) +
                                         (job == &feedback ? " with feedback" : "");
                FenkVanterAccessor accessor(code, *job);
                Tr::TranslationOptions options(Tr::TargetLanguage::Spirv, Tr::TargetGraphicsApi::Vulkan,
                                               Tr::TranslationFlags::DebugMode);
                try {
                    Tr::ShaderProgram program = RunTranslator(accessor, options);
                    EXPECT_EQ(Zerivox::TestTools::ValidateSpirv(program.BinaryCode), "") << what;
                    translated++;
                } catch (const Zerivox::Common::Exception&) {
                    // A typed error is a sound answer to a header of garbage.
                }
            }
        }
    }
    EXPECT_GT(translated, 0);
}
