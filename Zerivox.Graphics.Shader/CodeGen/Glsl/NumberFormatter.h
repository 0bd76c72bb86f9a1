#pragma once
// GLSL literals of 32-bit constants. The texts never depend on the locale and
// read back to the same bits.
#include <cstdint>
#include <string>

#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

struct NumberFormatter {
    // The 32 bits of value read as type (Bool, FP32, S32 or U32). False, and
    // no text, for a NaN or infinite float, which has no literal; any other
    // type is an ArgumentException.
    static bool TryFormat(int32_t value, Translation::AggregateType type, std::string& text);
    // Nine significant digits, fixed notation for decimal exponents -4 to 8,
    // otherwise mantissa "E" sign and at least two exponent digits; always a
    // point or an exponent, so the text reads as a float.
    static bool TryFormatFloat(float value, std::string& text);
    // As TryFormatFloat; ArgumentException for NaN and infinities.
    static std::string FormatFloat(float value);
    // S32 or U32 literal of the bits; ArgumentException for any other type.
    static std::string FormatInt(int32_t value, Translation::AggregateType type);
    // Decimal from -256 to 256, else "0x" and upper-case hexadecimal of the
    // 32 bits.
    static std::string FormatInt(int32_t value);
    // Decimal up to 256, else hexadecimal; "u" after either.
    static std::string FormatUint(uint32_t value);
};

// Member name of a type for messages: "FP32", "FP32, Vector3", "U32, Array".
std::string AggregateTypeText(Translation::AggregateType type);

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
