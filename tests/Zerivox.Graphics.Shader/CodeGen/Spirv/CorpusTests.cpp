// The real shaders of the shared corpus: every job translates and every
// module passes the Vulkan 1.1 validator.
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "SpirvTestSupport.h"

namespace fs = std::filesystem;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

TEST(SpirvCorpusTests, EveryCorpusJobTranslatesToAValidModule) {
    ZV_REQUIRE_SPIRV_TOOLS();
    fs::path corpus = fs::path(ZV_SHARED_DIR) / "corpus";
    fs::path tool = ZV_TOOL_PATH;
    if (!fs::exists(corpus / "jobs.json"))
        GTEST_SKIP() << "no corpus at " << corpus;
    if (!fs::exists(tool))
        GTEST_SKIP() << "tool not built at " << tool;

    // One folder per process: several builds may run this test at once.
    fs::path work = fs::path(::testing::TempDir()) / ("zv_spirv_corpus-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    nlohmann::json jobs = nlohmann::json::parse(std::ifstream(corpus / "jobs.json"));
    for (auto& job : jobs)
        job["code"] = (corpus / job["code"].get<std::string>()).string();
    std::ofstream(work / "jobs.json") << jobs.dump();

    std::string command = tool.string() + " " + (work / "jobs.json").string() + " " + (work / "out").string() + " >" +
                          (work / "log.txt").string() + " 2>&1";
    int status = std::system(command.c_str());
    std::ifstream logFile(work / "log.txt");
    std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    EXPECT_EQ(status, 0) << log;

    for (const auto& job : jobs) {
        std::string key = job["key"].get<std::string>();
        fs::path module = work / "out" / (key + ".spv");
        if (!fs::exists(module)) {
            ADD_FAILURE() << key << " produced no module";
            continue;
        }
        std::ifstream file(module, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(Validate(bytes), "") << key;
    }
    fs::remove_all(work);
}

} // namespace
