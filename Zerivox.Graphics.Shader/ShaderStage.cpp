#include "Zerivox.Graphics.Shader/ShaderStage.h"

namespace Zerivox::Graphics::Shader {

const char* ShaderStageName(ShaderStage stage) noexcept {
    static constexpr const char* Names[] = {
        "Compute", "Vertex", "TessellationControl", "TessellationEvaluation", "Geometry", "Fragment", "Count"};
    static constexpr const char* Digits[] = {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
                                             "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21",
                                             "22", "23", "24", "25", "26", "27", "28", "29", "30", "31"};
    auto v = static_cast<uint8_t>(stage);
    if (v < 7)
        return Names[v];
    // A stage read from a header field can hold any small value; keep the
    // name non-allocating so it works inside noexcept paths.
    if (v < 32)
        return Digits[v];
    return "?";
}

} // namespace Zerivox::Graphics::Shader
