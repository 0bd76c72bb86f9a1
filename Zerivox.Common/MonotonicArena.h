#pragma once
// Bump allocator for the storage of one translation: memory is handed out
// from large chunks and never given back before the arena dies, when all of
// it goes at once. What lives here is never destroyed one by one, so only
// trivially destructible data belongs in it (or objects whose destructors
// have nothing to release). Chunks grow with the arena's use, so a small
// shader takes a few small chunks and a huge one does not take thousands.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Common {

class MonotonicArena {
public:
    MonotonicArena() = default;
    MonotonicArena(const MonotonicArena&) = delete;
    MonotonicArena& operator=(const MonotonicArena&) = delete;

    // Uninitialised room for size bytes aligned to align (a power of two, at
    // most alignof(std::max_align_t)); never null.
    void* Allocate(std::size_t size, std::size_t align) {
        std::size_t padding = (align - (reinterpret_cast<uintptr_t>(_cursor) & (align - 1))) & (align - 1);
        if (_cursor == nullptr || size > _left || padding > _left - size) return AllocateSlow(size);
        std::byte* result = _cursor + padding;
        _cursor = result + size;
        _left -= padding + size;
        return result;
    }

    // Uninitialised room for n objects of T (n = 0 gives null).
    template <typename T>
    T* AllocateArray(std::size_t n) {
        static_assert(std::is_trivially_destructible_v<T>, "arena arrays are never destroyed");
        if (n == 0) return nullptr;
        if (n > MaxBytes / sizeof(T)) throw OverflowException("An arena allocation is too large.");
        return static_cast<T*>(Allocate(n * sizeof(T), alignof(T)));
    }

    // A copy of text that lives as long as the arena.
    std::string_view CopyString(std::string_view text) {
        if (text.empty()) return {};
        auto* chars = static_cast<char*>(Allocate(text.size(), 1));
        std::memcpy(chars, text.data(), text.size());
        return std::string_view(chars, text.size());
    }

    // Bytes taken from the system so far.
    std::size_t Reserved() const { return _reserved; }

private:
    static constexpr std::size_t MaxBytes = std::size_t{1} << 40;
    static constexpr std::size_t FirstChunk = 4096;
    static constexpr std::size_t LargestChunk = 256 * 1024;

    // A fresh chunk (every chunk is aligned for any fundamental type). A
    // request larger than a chunk gets a chunk of its own, and the current
    // chunk stays the one to bump from. Kept out of line, so that the bump
    // above is small enough to inline at every caller.
    [[gnu::noinline]] void* AllocateSlow(std::size_t size) {
        if (size > MaxBytes) throw OverflowException("An arena allocation is too large.");
        std::size_t chunk = std::min(LargestChunk, std::max(FirstChunk, _reserved));
        if (size > chunk / 2) {
            _chunks.push_back(std::make_unique_for_overwrite<Block[]>(BlocksFor(size)));
            _reserved += size;
            return _chunks.back().get();
        }
        _chunks.push_back(std::make_unique_for_overwrite<Block[]>(BlocksFor(chunk)));
        _reserved += chunk;
        _cursor = reinterpret_cast<std::byte*>(_chunks.back().get()) + size;
        _left = chunk - size;
        return _chunks.back().get();
    }

    struct alignas(std::max_align_t) Block {
        std::byte Bytes[alignof(std::max_align_t)];
    };
    static std::size_t BlocksFor(std::size_t bytes) { return (bytes + sizeof(Block) - 1) / sizeof(Block); }

    std::vector<std::unique_ptr<Block[]>> _chunks;
    std::byte* _cursor = nullptr;
    std::size_t _left = 0;
    std::size_t _reserved = 0;
};

} // namespace Zerivox::Common
