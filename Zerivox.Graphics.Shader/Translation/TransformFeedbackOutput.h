#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader::Translation {

// Where one output attribute word is captured by transform feedback.
struct TransformFeedbackOutput {
    bool Valid = false;
    int32_t Buffer = 0;
    int32_t Offset = 0;
    int32_t Stride = 0;

    constexpr TransformFeedbackOutput() = default;
    constexpr TransformFeedbackOutput(int32_t buffer, int32_t offset, int32_t stride)
        : Valid(true), Buffer(buffer), Offset(offset), Stride(stride) {}

    constexpr bool operator==(const TransformFeedbackOutput&) const = default;
};

} // namespace Zerivox::Graphics::Shader::Translation
