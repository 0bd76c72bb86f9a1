#pragma once
// Helpers for the module builder tests: byte/word views of a module and the
// SPIRV-Tools validator and disassembler, linked in.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestTools/SpirvValidator.h"

namespace SpvTest {

inline std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = uint32_t{bytes[4 * i]} | uint32_t{bytes[4 * i + 1]} << 8 | uint32_t{bytes[4 * i + 2]} << 16 |
                   uint32_t{bytes[4 * i + 3]} << 24;
    }
    return words;
}

struct ToolResult {
    int ExitCode = -1;
    std::string Output;
};

inline ToolResult Validate(const std::vector<uint8_t>& bytes) {
    std::string message = Zerivox::TestTools::ValidateSpirv(bytes);
    return ToolResult{message.empty() ? 0 : 1, message};
}

inline std::string Disassemble(const std::vector<uint8_t>& bytes) { return Zerivox::TestTools::DisassembleSpirv(bytes); }

} // namespace SpvTest

// The validator and disassembler are linked in; nothing to skip for.
#define ZV_REQUIRE_SPIRV_TOOLS() \
    do {                         \
    } while (0)

#define ZV_EXPECT_VALID(bytes)                                            \
    do {                                                                  \
        auto _validation = SpvTest::Validate(bytes);                      \
        EXPECT_EQ(_validation.ExitCode, 0) << _validation.Output          \
                                           << SpvTest::Disassemble(bytes); \
    } while (0)
