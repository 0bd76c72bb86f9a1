#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "driver/FenkVanter.h"

using namespace Zerivox::FenkVanter;
namespace fs = std::filesystem;
namespace Tr = Zerivox::Graphics::Shader::Translation;
namespace C = Zerivox::Common;

namespace {

// A scratch directory per test, removed afterwards.
struct TempDir {
    fs::path Path;
    TempDir() {
        Path = fs::temp_directory_path() / ("fv-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
    std::string operator/(const std::string& name) const { return (Path / name).string(); }
};

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Stands in for the translator: records the options, asks the accessor one
// question that makes a note, and either succeeds with a fixed module or
// throws what the job's code file says.
struct FakeTranslator {
    std::vector<Tr::TranslationOptions> Seen;

    TranslateFunction Function() {
        return [this](Zerivox::Graphics::Shader::IGpuAccessor& accessor, const Tr::TranslationOptions& options) {
            Seen.push_back(options);
            auto code = accessor.GetCode(0, 0);
            if (!code.empty() && code[0] == 0x21776F7268742121ull) { // "!!throw!"
                throw C::InvalidOperationException("first line\r\nsecond line");
            }
            accessor.ConstantBuffer1Read(0);
            Zerivox::Graphics::Shader::ShaderProgramInfo info;
            info.CBuffers.push_back({0, accessor.AllocateConstantBufferBinding(0), 0});
            return Tr::ShaderProgram(std::move(info), Tr::TargetLanguage::Spirv, "", {0x03, 0x02, 0x23, 0x07});
        };
    }
};

struct RunResult {
    int Exit;
    std::string Out, Err;
};

RunResult RunTool(const std::vector<std::string>& args, FakeTranslator& fake, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    FenkVanter tool(in, out, err, fake.Function());
    int exit = tool.Run(args);
    return {exit, out.str(), err.str()};
}

} // namespace

TEST(FenkVanter, OneShotCountsAndReportsEveryJob) {
    TempDir dir;
    WriteFile(dir / "ok.bin", std::string(8, '\0'));
    WriteFile(dir / "throw.bin", "!!throw!");
    std::string ok = dir / "ok.bin", bad = dir / "throw.bin";
    WriteFile(dir / "jobs.json", "\xEF\xBB\xBF[\n"
                                 R"({"key":"a","code":")" +
                                     ok +
                                     R"(","stage":"cs"},)"
                                     R"({"code":")" +
                                     ok +
                                     R"(","debug":false,"stage":"CS"},)"
                                     R"({"key":"t","code":")" +
                                     bad +
                                     R"("},)"
                                     R"({"key":5,"code":")" +
                                     ok +
                                     R"("},)"
                                     R"(null,)"
                                     R"({"key":"nocode"},)"
                                     R"({"key":"dbg","code":")" +
                                     ok +
                                     R"(","debug":"no"},)"
                                     R"({"key":"../up","code":")" +
                                     ok +
                                     R"("},)"
                                     R"({"key":"/abs","code":")" +
                                     ok +
                                     R"("},)"
                                     R"({"key":"a\nb","code":")" +
                                     ok +
                                     R"("})"
                                     "]");
    FakeTranslator fake;
    RunResult r = RunTool({dir / "jobs.json", dir / "out/deeper"}, fake);
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Out, "翻译 2 成功，8 失败\r\n");
    EXPECT_EQ(r.Err, "【红】t：InvalidOperationException: first line\r\r\n"
                     "【红】：JsonException: \"key\" must be a string, not number.\r\n"
                     "【红】：ArgumentException: A job must be a JSON object, not null.\r\n"
                     "【红】nocode：ArgumentException: The job has no \"code\".\r\n"
                     "【红】dbg：JsonException: \"debug\" must be a boolean, not string.\r\n"
                     "【红】../up：ArgumentException: The job key \"../up\" has a \"..\" component; outputs must "
                     "stay in the output directory.\r\n"
                     "【红】/abs：ArgumentException: The job key \"/abs\" is an absolute path; outputs must stay in "
                     "the output directory.\r\n"
                     "【红】：ArgumentException: The job key must not contain a line break.\r\n");

    ASSERT_EQ(fake.Seen.size(), 3u);
    EXPECT_EQ(fake.Seen[0].Flags, Tr::TranslationFlags::DebugMode | Tr::TranslationFlags::Compute);
    EXPECT_EQ(fake.Seen[1].Flags, Tr::TranslationFlags::None); // "CS" is a graphics job
    EXPECT_EQ(fake.Seen[0].TargetLanguage, Tr::TargetLanguage::Spirv);
    EXPECT_EQ(fake.Seen[0].GraphicsApi, Tr::TargetGraphicsApi::Vulkan);

    EXPECT_EQ(ReadFile(dir / "out/deeper/a.spv"), std::string("\x03\x02\x23\x07", 4));
    std::string res = ReadFile(dir / "out/deeper/a.res.json");
    EXPECT_NE(res.find("\"key\": \"a\",\r\n  \"stage\": \"cs\",\r\n  \"notes\": [\r\n    \"c1 \\u8BFB"),
              std::string::npos)
        << res;
    EXPECT_NE(res.find("\"cbufs\": [\r\n    {\r\n      \"binding\": 1,"), std::string::npos) << res;
    // A job without a key writes ".spv" and ".res.json".
    EXPECT_NE(ReadFile(dir / "out/deeper/.res.json").find("\"key\": null,\r\n  \"stage\": \"CS\""), std::string::npos);
    // Nothing was written for the rejected keys, and no temporary files remain.
    EXPECT_FALSE(fs::exists(dir / "out/up.spv"));
    EXPECT_FALSE(fs::exists("/abs.spv"));
    int files = 0;
    for (auto& e : fs::directory_iterator(dir / "out/deeper"))
        files += e.is_regular_file();
    EXPECT_EQ(files, 4);
}

TEST(FenkVanter, OneShotHandlesEmptyAndEdgeJobLists) {
    TempDir dir;
    FakeTranslator fake;
    WriteFile(dir / "empty.json", " [ ] ");
    RunResult empty = RunTool({dir / "empty.json", dir / "o"}, fake);
    EXPECT_EQ(empty.Exit, 0);
    EXPECT_EQ(empty.Out, "翻译 0 成功，0 失败\r\n");
    EXPECT_EQ(empty.Err, "");

    // Whole-run failures stop before any job, with a message and a non-zero status.
    WriteFile(dir / "object.json", R"({"key":"a"})");
    WriteFile(dir / "comment.json", "[] // no");
    WriteFile(dir / "file", "x");
    const std::vector<std::vector<std::string>> runs = {
        {},
        {dir / "empty.json"},
        {dir / "missing.json", dir / "o"},
        {dir / "object.json", dir / "o"},
        {dir / "comment.json", dir / "o"},
        {dir / "empty.json", dir / "file/sub"},
    };
    for (const auto& args : runs) {
        RunResult r = RunTool(args, fake);
        EXPECT_NE(r.Exit, 0) << args.size();
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(r.Err.empty());
        EXPECT_TRUE(r.Err.ends_with("\r\n"));
    }
    EXPECT_TRUE(fake.Seen.empty());
}

TEST(FenkVanter, FailedResourceFileLeavesTheModuleInPlace) {
    TempDir dir;
    WriteFile(dir / "ok.bin", std::string(8, '\0'));
    fs::create_directories(dir / "out/j.res.json"); // cannot be replaced by a file
    WriteFile(dir / "jobs.json", R"([{"key":"j","code":")" + (dir / "ok.bin") + R"("}])");
    FakeTranslator fake;
    RunResult r = RunTool({dir / "jobs.json", dir / "out"}, fake);
    EXPECT_EQ(r.Exit, 1);
    EXPECT_TRUE(r.Err.starts_with("【红】j：IOException: Cannot write ")) << r.Err;
    EXPECT_TRUE(fs::is_regular_file(dir / "out/j.spv"));
}

TEST(FenkVanter, ServeAnswersEachRequestWithOneLine) {
    TempDir dir;
    WriteFile(dir / "ok.bin", std::string(8, '\0'));
    std::string ok = dir / "ok.bin", out = dir / "served";
    const std::string job = R"({"job":{"key":)";
    const std::string requests[] = {
        "",                                              // empty: no answer
        "\r",                                            // empty once CR LF is removed
        "   ",                                           // blanks: not JSON
        "[1]",                                           // not an object
        R"({"out":"x"})",                                // no job
        R"({"job":[],"out":"x"})",                       // job no object
        R"({"job":{"key":5},"out":"x"})",                // key of the wrong kind
        R"({"job":{"key":"k\r\nok forged"},"out":"x"})", // line break in key
        R"({"job":{"key":"k"},"out":7})",                // out of the wrong kind
        R"({"job":{"key":"k"}})",                        // no out: key already known
        job + R"("m","code":"/no/such/file"},"out":")" + out + "\"}\r",
        // A NUL would cut a path short and name another file.
        job + R"("z","code":")" + ok + R"(\u0000.txt"},"out":")" + out + "\"}",
        R"({"job":{"key":"o"},"out":"x\u0000y"})",
        R"({"job":{"code":")" + ok + R"("},"out":")" + out + "\"}",
    };
    std::string input;
    for (const std::string& l : requests)
        input += l + "\n";
    input += job + R"("s","code":")" + ok + R"("},"out":")" + out + "\"}"; // no final line feed
    FakeTranslator fake;
    RunResult r = RunTool({"--serve"}, fake, input);
    EXPECT_EQ(r.Exit, 0);
    std::istringstream lines(r.Out);
    std::vector<std::string> answers;
    for (std::string l; std::getline(lines, l);)
        answers.push_back(l);
    ASSERT_EQ(answers.size(), 13u) << r.Out;
    EXPECT_TRUE(answers[0].starts_with("fail ? JsonException: Invalid JSON: ")) << answers[0];
    EXPECT_EQ(answers[1], "fail ? JsonException: A request must be a JSON object.\r");
    EXPECT_EQ(answers[2], "fail ? ArgumentException: The request's \"job\" must be a JSON object.\r");
    EXPECT_EQ(answers[3], answers[2]);
    EXPECT_EQ(answers[4], "fail ? JsonException: \"key\" must be a string, not number.\r");
    EXPECT_EQ(answers[5], "fail ? ArgumentException: The job key must not contain a line break.\r");
    EXPECT_EQ(answers[6], "fail ? JsonException: \"out\" must be a string, not number.\r");
    EXPECT_EQ(answers[7], "fail k ArgumentException: The request has no \"out\".\r");
    EXPECT_EQ(answers[8], "fail m FileNotFoundException: Cannot open \"/no/such/file\": No such file or directory.\r");
    EXPECT_EQ(answers[9], "fail z ArgumentException: The path \"" + ok + "\\x00.txt\" contains a NUL character.\r");
    EXPECT_EQ(answers[10], "fail o ArgumentException: The path \"x\\x00y\" contains a NUL character.\r");
    EXPECT_EQ(answers[11], "ok \r");
    EXPECT_EQ(answers[12], "ok s\r");
    EXPECT_TRUE(fs::exists(out + "/s.spv") && fs::exists(out + "/.spv"));
    EXPECT_EQ(r.Err, ""); // no stack traces asked for
}

TEST(FenkVanter, StackTracesOnlyForTranslationErrors) {
    TempDir dir;
    WriteFile(dir / "throw.bin", "!!throw!");
    ::setenv("KTRV_STACK", "", 1);
    FakeTranslator fake;
    RunResult serve = RunTool({"--serve"}, fake,
                              "not json\n"
                              R"({"job":{"key":"t","code":")" +
                                  (dir / "throw.bin") + R"("},"out":")" + (dir / "o") + "\"}\n");
    ::unsetenv("KTRV_STACK");
    EXPECT_EQ(serve.Out, "fail ? JsonException: Invalid JSON: [json.exception.parse_error.101] parse error at line 1, "
                         "column 2: syntax error while parsing value - invalid literal; last read: 'no'\r\n"
                         "fail t InvalidOperationException: first line\r\r\n");
    // Exactly one trace, for the failed translation, ending with a line end.
    EXPECT_FALSE(serve.Err.empty());
    EXPECT_TRUE(serve.Err.ends_with("\r\n"));

    RunResult quiet =
        RunTool({"--serve"}, fake,
                R"({"job":{"key":"t","code":")" + (dir / "throw.bin") + R"("},"out":")" + (dir / "o") + "\"}\n");
    EXPECT_EQ(quiet.Err, "");
}

// Random and mangled requests: every non-empty line gets exactly one answer
// line, and nothing in an answer can start a new line.
TEST(FenkVanter, ServeAnswersGarbageRequestsAndKeepsGoing) {
    TempDir dir;
    fs::path cwd = fs::current_path();
    fs::current_path(dir.Path); // mangled "out" values stay in here
    WriteFile("ok.bin", std::string(16, '\0'));
    const std::string seeds[] = {
        R"({"job":{"key":"k","code":"ok.bin","c1":"00ff","tex":{"0":"2d"},"local":[1,2,3]},"out":"o"})",
        R"({"job":{"key":"a\u00e9\ud83d\ude00","code":"ok.bin","attr":{"1":"sint"},"tf":[{"words":[1],"stride":4}]},"out":"o"})",
        R"([{"job":null},{"out":"o"},1.5e300,"\u0000",true])",
    };
    std::mt19937 rng(12345);
    std::ostringstream input;
    int expected = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string line = seeds[static_cast<std::size_t>(i) % 3];
        int edits = static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !line.empty(); ++e) {
            std::size_t at = rng() % line.size();
            switch (rng() % 3) {
            case 0:
                line[at] = static_cast<char>(rng() % 256);
                break;
            case 1:
                line.erase(at, 1 + rng() % 8);
                break;
            default:
                line = line.substr(0, at);
                break;
            }
        }
        if (i % 7 == 0) {
            line.clear();
            for (int n = static_cast<int>(rng() % 40); n > 0; --n)
                line += static_cast<char>(rng() % 256);
        }
        input << line << '\n';
    }
    // Requests end at line feeds (a random byte may add some); a CR before
    // the line feed belongs to the line end.
    std::istringstream pieces(input.str());
    for (std::string piece; std::getline(pieces, piece);) {
        if (!piece.empty() && piece.back() == '\r')
            piece.pop_back();
        expected += !piece.empty();
    }
    FakeTranslator fake;
    RunResult r = RunTool({"--serve"}, fake, input.str());
    fs::current_path(cwd);
    EXPECT_EQ(r.Exit, 0);
    int answers = 0;
    std::size_t start = 0;
    while (start < r.Out.size()) {
        std::size_t end = r.Out.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        std::string answer = r.Out.substr(start, end - start);
        EXPECT_TRUE(answer.starts_with("ok ") || answer.starts_with("fail ")) << answer;
        EXPECT_EQ(answer.find_first_of("\r\n"), std::string::npos) << answer;
        ++answers;
        start = end + 2;
    }
    EXPECT_EQ(answers, expected);
}
