#pragma once
// Word-level edits of translated modules so that vkrun can run them: every
// descriptor moved into set 0 (vkrun binds nothing else), and transform
// feedback decorations added to a copy of a graphics module so that a real
// draw records what leaves its last stage. The code itself is never touched.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace VtgTest {

// Where one captured output lands in a transform feedback record.
struct CaptureKey {
    // A built-in (spv::BuiltIn value) or, with Location >= 0, a user output.
    int32_t BuiltIn = -1;
    int32_t Location = -1;

    friend bool operator<(const CaptureKey& a, const CaptureKey& b) {
        return a.BuiltIn != b.BuiltIn ? a.BuiltIn < b.BuiltIn : a.Location < b.Location;
    }
};

struct CaptureLayout {
    // Byte offset of each captured output within one record of buffer 0.
    std::map<CaptureKey, uint32_t> Offsets;
    uint32_t Stride = 0;
};

std::vector<uint32_t> ToWords(std::span<const uint8_t> bytes);
std::vector<uint8_t> ToBytes(std::span<const uint32_t> words);

// Every resource of set s and binding b moves to set 0, binding 100 * s + b.
// Bindings of set 0 stay, so they must be below 100.
std::vector<uint32_t> FlattenDescriptorSets(std::span<const uint32_t> module);
int32_t FlatBinding(int32_t set, int32_t binding);

// A copy of a vertex or geometry module (the only entry point) that writes
// every output to transform feedback buffer 0: each user output variable
// whole, the Position, PointSize and ClipDistance members of the per-vertex
// block, and every other built-in output variable. Throws std::runtime_error
// when the module has no such outputs or a record would exceed maxStride.
std::vector<uint32_t> AddTransformFeedback(std::span<const uint32_t> module, CaptureLayout& layout,
                                           uint32_t maxStride = 512);

} // namespace VtgTest
