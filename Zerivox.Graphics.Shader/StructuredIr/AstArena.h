#pragma once
// Per-program storage of AST nodes. Nodes are bump-allocated and released all
// together with the arena; nothing is freed earlier, so every node pointer
// stays valid for the program's lifetime. Nodes made here keep everything
// they own in the arena too (source lists, use and definition sets, comment
// text), so the arena releases them without running a destructor per node.
#include <cstddef>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "Zerivox.Common/MonotonicArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena {
public:
    AstArena() = default;
    AstArena(const AstArena&) = delete;
    AstArena& operator=(const AstArena&) = delete;

    // A node built with args; a node class that can take the arena as its
    // first argument gets it, so that it can keep its own storage here.
    template <typename T, typename... Args>
    T* New(Args&&... args) {
        static_assert(std::is_base_of_v<IAstNode, T>);
        void* memory = Allocate(sizeof(T), alignof(T));
        T* node;
        if constexpr (std::is_constructible_v<T, AstArena&, Args&&...>) {
            node = ::new (memory) T(*this, std::forward<Args>(args)...);
        } else {
            node = ::new (memory) T(std::forward<Args>(args)...);
        }
        node->_arena = this;
        _count++;
        return node;
    }

    // Nodes made so far.
    std::size_t Count() const { return _count; }

    // Uninitialised room for size bytes, valid as long as the arena.
    void* Allocate(std::size_t size, std::size_t align) {
        // Nodes, source lists and set blocks are all word-aligned and take
        // whole words: a plain bump, small enough to inline at every node
        // made, serves them from a run of the storage.
        // (Strictly less: an empty run, including none at all, never
        // answers, so not even a zero-byte request gets null.)
        if (align <= Word && size < _left) {
            const std::size_t rounded = Rounded(size);
            if (rounded <= _left) return Bump(rounded);
        }
        return AllocateSlow(size, align);
    }

    // A copy of text in the arena's storage, valid as long as the arena. Node
    // text kept this way needs no destructor to be released.
    std::string_view CopyString(std::string_view text) { return _storage.CopyString(text); }

private:
    static constexpr std::size_t Word = alignof(void*);
    static constexpr std::size_t FirstRun = 2048;
    static constexpr std::size_t LargestRun = 32 * 1024;

    // A request the current run cannot take. Large or unusually aligned ones
    // go to the storage directly and the run stays; otherwise a new run
    // starts, so at most a quarter of a run is left unused at its end.
    void* AllocateSlow(std::size_t size, std::size_t align) {
        if (align > Word || size > _run / 4) return _storage.Allocate(size, align);
        _cursor = static_cast<std::byte*>(_storage.Allocate(_run, Word));
        _left = _run;
        if (_run < LargestRun) _run *= 2;
        return Bump(Rounded(size));
    }

    static std::size_t Rounded(std::size_t size) { return (size + Word - 1) & ~(Word - 1); }

    void* Bump(std::size_t rounded) {
        std::byte* result = _cursor;
        _cursor += rounded;
        _left -= rounded;
        return result;
    }

    Common::MonotonicArena _storage;
    std::byte* _cursor = nullptr;
    std::size_t _left = 0;
    std::size_t _run = FirstRun;
    std::size_t _count = 0;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
