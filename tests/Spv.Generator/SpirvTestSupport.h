#pragma once
// Helpers for the module builder tests: byte/word views of a module and the
// SPIRV-Tools command-line validator and disassembler.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace SpvTest {

inline std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = uint32_t{bytes[4 * i]} | uint32_t{bytes[4 * i + 1]} << 8 | uint32_t{bytes[4 * i + 2]} << 16 |
                   uint32_t{bytes[4 * i + 3]} << 24;
    }
    return words;
}

inline bool ToolsAvailable() {
    return std::system("command -v spirv-val >/dev/null 2>&1 && command -v spirv-dis >/dev/null 2>&1") == 0;
}

struct ToolResult {
    int ExitCode = -1;
    std::string Output;
};

// Runs `tool <args> <file holding bytes>` and captures stdout and stderr.
inline ToolResult RunTool(const std::string& tool, const std::string& args, const std::vector<uint8_t>& bytes) {
    char path[] = "/tmp/zv-spv-test-XXXXXX";
    int fd = mkstemp(path);
    ToolResult result;
    if (fd < 0) return result;
    std::size_t written = bytes.empty() ? 0 : static_cast<std::size_t>(::write(fd, bytes.data(), bytes.size()));
    ::close(fd);
    if (written == bytes.size()) {
        std::string command = tool + " " + args + " " + path + " 2>&1";
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, n);
            int status = pclose(pipe);
            result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    }
    ::unlink(path);
    return result;
}

inline ToolResult Validate(const std::vector<uint8_t>& bytes) {
    return RunTool("spirv-val", "--target-env vulkan1.1", bytes);
}

inline std::string Disassemble(const std::vector<uint8_t>& bytes) {
    return RunTool("spirv-dis", "--no-header --no-indent --no-color", bytes).Output;
}

} // namespace SpvTest

#define ZV_REQUIRE_SPIRV_TOOLS()                                                   \
    do {                                                                           \
        if (!SpvTest::ToolsAvailable()) GTEST_SKIP() << "spirv-val/spirv-dis missing"; \
    } while (0)

#define ZV_EXPECT_VALID(bytes)                                            \
    do {                                                                  \
        auto _validation = SpvTest::Validate(bytes);                      \
        EXPECT_EQ(_validation.ExitCode, 0) << _validation.Output          \
                                           << SpvTest::Disassemble(bytes); \
    } while (0)
