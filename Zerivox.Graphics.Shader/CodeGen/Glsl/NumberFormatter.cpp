#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"

#include <bit>
#include <charconv>
#include <cmath>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using Translation::AggregateType;

namespace {

std::string Hex(uint32_t value) { return "0x" + Common::ToHex(value); }

std::string Decimal(int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

[[noreturn]] void ThrowInvalidType(AggregateType type) {
    throw Common::ArgumentException("Invalid variable type \"" + AggregateTypeText(type) + "\".");
}

} // namespace

std::string AggregateTypeText(AggregateType type) {
    uint32_t bits = static_cast<uint32_t>(type);
    static constexpr const char* Elements[] = {"Invalid", "Void", "Bool", "FP32", "FP64", "S32", "U32"};
    uint32_t element = bits & 0xFFu;
    std::string text = element < 7 ? Elements[element] : Decimal(element);
    uint32_t count = (bits >> 8) & 3u;
    if (count != 0)
        text += ", Vector" + Decimal(count + 1);
    if ((bits & 0x400u) != 0)
        text += ", Array";
    if ((bits & ~0x7FFu) != 0)
        return Decimal(bits);
    return text;
}

bool NumberFormatter::TryFormat(int32_t value, AggregateType type, std::string& text) {
    switch (type) {
    case AggregateType::FP32:
        return TryFormatFloat(std::bit_cast<float>(value), text);
    case AggregateType::S32:
        text = FormatInt(value);
        return true;
    case AggregateType::U32:
        text = FormatUint(static_cast<uint32_t>(value));
        return true;
    case AggregateType::Bool:
        text = value != 0 ? "true" : "false";
        return true;
    default:
        ThrowInvalidType(type);
    }
}

bool NumberFormatter::TryFormatFloat(float value, std::string& text) {
    if (!std::isfinite(value))
        return false;
    // Nine significant digits name every float uniquely; the double holds the
    // float exactly, so the rounding is that of the float's own value.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), static_cast<double>(value),
                                std::chars_format::scientific, 8);
    std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    bool negative = scientific.front() == '-';
    if (negative)
        scientific.remove_prefix(1);
    std::size_t e = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c != '.')
            digits += c;
    }
    int32_t exponent = 0;
    std::string_view exponentText = scientific.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent > -5 && exponent < 9) {
        if (exponent >= 0) {
            std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= integerDigits) {
                out += digits;
                out.append(integerDigits - digits.size(), '0');
            } else {
                out += digits.substr(0, integerDigits);
                out += '.';
                out += digits.substr(integerDigits);
            }
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += exponent < 0 ? '-' : '+';
        int32_t magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            out += '0';
        out += Decimal(magnitude);
    }
    if (out.find_first_of(".eE") == std::string::npos)
        out += ".0";
    text = std::move(out);
    return true;
}

std::string NumberFormatter::FormatFloat(float value) {
    std::string text;
    if (!TryFormatFloat(value, text))
        throw Common::ArgumentException("Failed to convert float value to string.");
    return text;
}

std::string NumberFormatter::FormatInt(int32_t value, AggregateType type) {
    if (type == AggregateType::S32)
        return FormatInt(value);
    if (type == AggregateType::U32)
        return FormatUint(static_cast<uint32_t>(value));
    ThrowInvalidType(type);
}

std::string NumberFormatter::FormatInt(int32_t value) {
    if (value >= -256 && value <= 256)
        return Decimal(value);
    return Hex(static_cast<uint32_t>(value));
}

std::string NumberFormatter::FormatUint(uint32_t value) {
    if (value <= 256)
        return Decimal(value) + "u";
    return Hex(value) + "u";
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
