#pragma once
// Little-endian writer over a growing byte buffer: the sink of module
// encoding. Words are written byte by byte so the output does not depend on
// the host's byte order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace Spv::Generator {

class BinaryWriter {
public:
    explicit BinaryWriter(std::size_t initialCapacity)
        : _capacity(initialCapacity < 64 ? 64 : initialCapacity),
          _bytes(std::make_unique_for_overwrite<uint8_t[]>(_capacity)) {}

    void WriteUInt16(uint16_t value) {
        uint8_t* p = Reserve(2);
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
    }

    void WriteUInt32(uint32_t value) { StoreUInt32(Reserve(4), value); }

    void WriteUInt64(uint64_t value) {
        WriteUInt32(static_cast<uint32_t>(value));
        WriteUInt32(static_cast<uint32_t>(value >> 32));
    }

    void WriteZeroBytes(std::size_t count) {
        uint8_t* p = Reserve(count);
        std::fill(p, p + count, uint8_t{0});
    }

    // Text is ASCII in a module; anything outside it becomes '?' rather than
    // leaking raw bytes of another encoding into the binary.
    void WriteAscii(std::string_view text) {
        uint8_t* p = Reserve(text.size());
        for (char c : text) {
            auto byte = static_cast<uint8_t>(c);
            *p++ = byte < 0x80 ? byte : static_cast<uint8_t>('?');
        }
    }

    // Room for count more bytes, to be filled by the caller before anything
    // else is written: lets an instruction store all its words after one
    // capacity check. The pointer is valid until the next write.
    uint8_t* Append(std::size_t count) { return Reserve(count); }
    // Bytes that can be appended before the buffer has to grow.
    std::size_t Room() const noexcept { return _capacity - _size; }
    // Gives back the last count bytes of what Append handed out and nothing
    // has been written after: room an instruction asked for and did not use.
    void Retract(std::size_t count) noexcept { _size -= count < _size ? count : _size; }

    // Stores value little-endian at p; returns the position after it.
    static uint8_t* StoreUInt32(uint8_t* p, uint32_t value) noexcept {
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
        p[3] = static_cast<uint8_t>(value >> 24);
        return p + 4;
    }

    std::size_t Size() const noexcept { return _size; }

    // A copy of the bytes written so far.
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(_bytes.get(), _bytes.get() + _size); }
    // The bytes written so far, copied out once at their exact size; the
    // writer starts empty again. The buffer itself is never cleared: filling
    // it with zeros first cost as much as this one copy, and more for the
    // room a module did not use.
    std::vector<uint8_t> TakeBytes() {
        std::vector<uint8_t> bytes = Bytes();
        _size = 0;
        return bytes;
    }

private:
    // Room for count more bytes at the end. The buffer is kept larger than
    // the written part and grows by doubling, so a word costs a compare and
    // four stores instead of four checked appends.
    uint8_t* Reserve(std::size_t count) {
        if (_capacity - _size < count) Grow(count);
        uint8_t* p = _bytes.get() + _size;
        _size += count;
        return p;
    }

    void Grow(std::size_t count) {
        const std::size_t needed = _size + count;
        const std::size_t grown = _capacity * 2;
        const std::size_t capacity = grown > needed ? grown : needed;
        auto bytes = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        if (_size != 0) std::memcpy(bytes.get(), _bytes.get(), _size);
        _bytes = std::move(bytes);
        _capacity = capacity;
    }

    // Only the first _size bytes of the buffer hold anything.
    std::size_t _capacity;
    std::unique_ptr<uint8_t[]> _bytes;
    std::size_t _size = 0;
};

} // namespace Spv::Generator
