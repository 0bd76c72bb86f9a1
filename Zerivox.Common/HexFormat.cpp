#include "Zerivox.Common/HexFormat.h"

#include <bit>
#include <cstring>

namespace Zerivox::Common {

namespace {

// Two digits per byte value, so a 64-bit value takes eight steps, not
// sixteen: the debug comment of every decoded instruction formats two.
struct DigitPairs {
    char Upper[512];
    char Lower[512];
};

constexpr DigitPairs MakeDigitPairs() {
    DigitPairs pairs{};
    for (int i = 0; i < 256; i++) {
        pairs.Upper[2 * i] = "0123456789ABCDEF"[i >> 4];
        pairs.Upper[2 * i + 1] = "0123456789ABCDEF"[i & 0xF];
        pairs.Lower[2 * i] = "0123456789abcdef"[i >> 4];
        pairs.Lower[2 * i + 1] = "0123456789abcdef"[i & 0xF];
    }
    return pairs;
}

constexpr DigitPairs Pairs = MakeDigitPairs();

} // namespace

char* PutHex(char* p, uint64_t value, int minDigits, HexCase letters) {
    const char* pairs = letters == HexCase::Upper ? Pairs.Upper : Pairs.Lower;
    int digits = value == 0 ? 1 : (64 - std::countl_zero(value) + 3) / 4;
    if (digits < minDigits)
        digits = minDigits < MaxHexDigits ? minDigits : MaxHexDigits;
    char* const end = p + digits;
    char* q = end;
    while (q - p >= 2) {
        q -= 2;
        std::memcpy(q, pairs + 2 * (value & 0xFF), 2);
        value >>= 8;
    }
    if (q != p)
        *p = pairs[2 * (value & 0xF) + 1];
    return end;
}

void AppendHex(std::string& out, uint64_t value, int minDigits, HexCase letters) {
    char buffer[MaxHexDigits];
    char* end = PutHex(buffer, value, minDigits, letters);
    out.append(buffer, static_cast<std::size_t>(end - buffer));
}

std::string ToHex(uint64_t value, int minDigits, HexCase letters) {
    std::string text;
    AppendHex(text, value, minDigits, letters);
    return text;
}

} // namespace Zerivox::Common
