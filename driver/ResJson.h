#pragma once
// The ".res.json" resource description. Written by hand because its layout
// is fixed byte for byte: two-space indentation, CR LF line ends, no line end
// after the final "}", and every non-ASCII or HTML-sensitive character
// escaped, so the file is pure ASCII.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Graphics.Shader/ShaderProgramInfo.h"

namespace Zerivox::FenkVanter {

struct ResJsonContent {
    std::optional<std::string> Key;
    std::optional<std::string> Stage;
    std::vector<std::string> Notes;
    const Graphics::Shader::ShaderProgramInfo* Info = nullptr; // nullptr: empty descriptor lists
    std::set<int32_t> TexQueried;
    std::set<int32_t> ImgQueried;
};

// A JSON string literal (quotes included). U+0020-U+007E pass unchanged
// except " & ' + < > \ and `; \ \n \r \t \b \f get their short escapes;
// everything else becomes \uXXXX per UTF-16 code unit (uppercase hex). Bytes
// that are not valid UTF-8 are written as U+FFFD.
std::string QuoteJsonString(std::string_view utf8);

std::string WriteResJson(const ResJsonContent& content);

} // namespace Zerivox::FenkVanter
