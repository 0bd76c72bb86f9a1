#pragma once
// Chunked object pool for the builder's instructions and numeric literals.
// Objects are created a chunk at a time, lent out in order, and handed out
// again after Reset, so a long-running process stops allocating them once its
// largest module has been built. The pool owns every object for its whole
// life; nothing it returns may be kept past the next Reset.
#include <cstdint>
#include <memory>
#include <vector>

#include "Zerivox.Common/Exceptions.h"

namespace Spv::Generator {

template <typename T>
class GeneratorPool {
public:
    // initialCapacity only sizes the chunk list (twice its value);
    // chunkSize is the number of objects created at a time.
    GeneratorPool(int32_t initialCapacity, int32_t chunkSize) : _chunkSize(chunkSize) {
        if (chunkSize <= 0) {
            throw Zerivox::Common::ArgumentOutOfRangeException("Chunk size must be positive.");
        }
        if (initialCapacity > 0) _chunks.reserve(2 * static_cast<std::size_t>(initialCapacity));
        AddChunkIfNeeded();
    }

    GeneratorPool(const GeneratorPool&) = delete;
    GeneratorPool& operator=(const GeneratorPool&) = delete;

    // Advances to the next chunk, creating it when it does not exist yet;
    // the next object lent out is that chunk's first.
    void AddChunkIfNeeded() {
        ++_chunkIndex;
        if (static_cast<std::size_t>(_chunkIndex) == _chunks.size()) {
            _chunks.push_back(std::make_unique<T[]>(static_cast<std::size_t>(_chunkSize)));
        }
        _next = _chunks[static_cast<std::size_t>(_chunkIndex)].get();
        _end = _next + _chunkSize;
    }

    // The next object, still holding whatever its previous user left in it.
    // Inline: every instruction and literal of a module starts here, and the
    // common case is one compare and one increment.
    T* Allocate() {
        if (_next != _end) [[likely]] return _next++;
        return AllocateFromNextChunk();
    }

    // Lends every object out again from the start; nothing is freed.
    void Reset() noexcept {
        _chunkIndex = 0;
        _next = _chunks.front().get();
        _end = _next + _chunkSize;
    }

    std::size_t ChunkCount() const noexcept { return _chunks.size(); }
    int32_t ChunkSize() const noexcept { return _chunkSize; }

private:
    // Out of line so that the inlined Allocate stays small.
    [[gnu::noinline]] T* AllocateFromNextChunk() {
        AddChunkIfNeeded();
        return _next++;
    }

    std::vector<std::unique_ptr<T[]>> _chunks;
    // The free part of the current chunk.
    T* _next = nullptr;
    T* _end = nullptr;
    int32_t _chunkIndex = -1;
    int32_t _chunkSize;
};

} // namespace Spv::Generator
