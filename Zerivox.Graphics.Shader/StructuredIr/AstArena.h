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
        void* memory = _storage.Allocate(sizeof(T), alignof(T));
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
    void* Allocate(std::size_t size, std::size_t align) { return _storage.Allocate(size, align); }

    // A copy of text in the arena's storage, valid as long as the arena. Node
    // text kept this way needs no destructor to be released.
    std::string_view CopyString(std::string_view text) { return _storage.CopyString(text); }

private:
    Common::MonotonicArena _storage;
    std::size_t _count = 0;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
