#include "Zerivox.Common/HexFormat.h"

#include <cstring>

namespace Zerivox::Common {

char* PutHex(char* p, uint64_t value, int minDigits, HexCase letters) {
    const char* digitText = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[MaxHexDigits];
    char* first = buffer + MaxHexDigits;
    do {
        *--first = digitText[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (first > buffer && buffer + MaxHexDigits - first < minDigits) *--first = '0';
    const auto count = static_cast<std::size_t>(buffer + MaxHexDigits - first);
    std::memcpy(p, first, count);
    return p + count;
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
