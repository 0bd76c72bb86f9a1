#pragma once
// In-process SPIR-V validation for tests and fuzz targets: the same checks as
// `spirv-val --target-env vulkan1.1`, without a process or a scratch file per
// module, so every module a test produces can be validated.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Zerivox::TestTools {

// Empty when the module is valid for Vulkan 1.1, else the validator's first
// message (with the instruction it points at).
std::string ValidateSpirv(std::span<const uint32_t> words);
std::string ValidateSpirv(std::span<const uint8_t> bytes);

// The module as text (spirv-dis without header or indentation); for failure
// messages and for tests that look for instructions.
std::string DisassembleSpirv(std::span<const uint8_t> bytes);

} // namespace Zerivox::TestTools
