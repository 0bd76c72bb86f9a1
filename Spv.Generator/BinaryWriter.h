#pragma once
// Little-endian writer over a growing byte buffer: the sink of module
// encoding. Words are written byte by byte so the output does not depend on
// the host's byte order; the buffer grows amortised, never per word.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace Spv::Generator {

class BinaryWriter {
public:
    explicit BinaryWriter(std::size_t initialCapacity) { _bytes.reserve(initialCapacity); }

    void WriteUInt16(uint16_t value) {
        _bytes.push_back(static_cast<uint8_t>(value));
        _bytes.push_back(static_cast<uint8_t>(value >> 8));
    }

    void WriteUInt32(uint32_t value) {
        WriteUInt16(static_cast<uint16_t>(value));
        WriteUInt16(static_cast<uint16_t>(value >> 16));
    }

    void WriteUInt64(uint64_t value) {
        WriteUInt32(static_cast<uint32_t>(value));
        WriteUInt32(static_cast<uint32_t>(value >> 32));
    }

    void WriteZeroBytes(std::size_t count) { _bytes.insert(_bytes.end(), count, uint8_t{0}); }

    // Text is ASCII in a module; anything outside it becomes '?' rather than
    // leaking raw bytes of another encoding into the binary.
    void WriteAscii(std::string_view text) {
        for (char c : text) {
            auto byte = static_cast<uint8_t>(c);
            _bytes.push_back(byte < 0x80 ? byte : static_cast<uint8_t>('?'));
        }
    }

    const std::vector<uint8_t>& Bytes() const noexcept { return _bytes; }
    std::vector<uint8_t> TakeBytes() noexcept { return std::move(_bytes); }

private:
    std::vector<uint8_t> _bytes;
};

} // namespace Spv::Generator
