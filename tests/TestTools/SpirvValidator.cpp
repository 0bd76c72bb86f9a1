#include "TestTools/SpirvValidator.h"

#include <cstring>

#include <spirv-tools/libspirv.hpp>

namespace Zerivox::TestTools {

namespace {

std::vector<uint32_t> ToWords(std::span<const uint8_t> bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    if (!words.empty())
        std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

} // namespace

std::string ValidateSpirv(std::span<const uint32_t> words) {
    // One validator per thread: building one loads its grammar tables, which
    // costs more than validating a small module.
    thread_local spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_1);
    std::string first;
    tools.SetMessageConsumer([&first](spv_message_level_t, const char*, const spv_position_t& position,
                                      const char* message) {
        if (first.empty())
            first = "word " + std::to_string(position.index) + ": " + message;
    });
    const bool valid = tools.Validate(words.data(), words.size());
    if (valid)
        return {};
    return first.empty() ? std::string("invalid module") : first;
}

std::string ValidateSpirv(std::span<const uint8_t> bytes) {
    if (bytes.size() % 4 != 0)
        return "module size " + std::to_string(bytes.size()) + " is not a whole number of words";
    std::vector<uint32_t> words = ToWords(bytes);
    return ValidateSpirv(std::span<const uint32_t>(words));
}

std::string DisassembleSpirv(std::span<const uint8_t> bytes) {
    thread_local spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_1);
    std::vector<uint32_t> words = ToWords(bytes);
    std::string text;
    tools.SetMessageConsumer([](spv_message_level_t, const char*, const spv_position_t&, const char*) {});
    if (!tools.Disassemble(words, &text, SPV_BINARY_TO_TEXT_OPTION_NO_HEADER | SPV_BINARY_TO_TEXT_OPTION_FRIENDLY_NAMES))
        return "(module does not disassemble)";
    return text;
}

} // namespace Zerivox::TestTools
