#pragma once
// The one spelling of numbers in hexadecimal for text the system writes
// (messages, comments, resource names, GLSL literals). Digits only: callers
// add their own "0x" where the text has one.
#include <cstdint>
#include <string>

namespace Zerivox::Common {

enum class HexCase : uint8_t { Upper, Lower };

// Room PutHex may need: a 64-bit value never has more than 16 digits.
inline constexpr int MaxHexDigits = 16;

// Writes value at p as hexadecimal digits, at least minDigits of them
// (leading zeros; clamped to 1..16), and returns the end. p needs room for
// MaxHexDigits characters. Digits are written in place: no heap use,
// fit for paths that run per instruction.
char* PutHex(char* p, uint64_t value, int minDigits = 1, HexCase letters = HexCase::Upper);

void AppendHex(std::string& out, uint64_t value, int minDigits = 1, HexCase letters = HexCase::Upper);

std::string ToHex(uint64_t value, int minDigits = 1, HexCase letters = HexCase::Upper);

} // namespace Zerivox::Common
