#pragma once
#include <cstdint>

namespace Zerivox::Graphics::Shader::Decoders {

class PushOpInfo;

// One push instruction that a popping block returns to. PushOpId numbers the
// block's sync targets in the order they were found (0, 1, 2, ...): the push
// stores it into the pair's local and the pop compares against it.
struct SyncTarget {
    Decoders::PushOpInfo* PushOpInfo = nullptr;
    int32_t PushOpId = 0;
};

} // namespace Zerivox::Graphics::Shader::Decoders
