#pragma once
// Per-program storage of AST nodes. Nodes are bump-allocated and destroyed all
// together with the arena (in reverse order of creation); nothing is freed
// earlier, so every node pointer stays valid for the program's lifetime.
#include <cstring>
#include <memory_resource>
#include <string_view>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena {
public:
    AstArena() = default;
    AstArena(const AstArena&) = delete;
    AstArena& operator=(const AstArena&) = delete;
    ~AstArena() {
        for (auto it = _nodes.rbegin(); it != _nodes.rend(); ++it) (*it)->~IAstNode();
    }

    template <typename T, typename... Args>
    T* New(Args&&... args) {
        // Room for the node's record first, so that a failing push_back can
        // never leave a constructed node without its destructor call.
        if (_nodes.size() == _nodes.capacity()) _nodes.reserve(_nodes.empty() ? 64 : _nodes.size() * 2);
        void* memory = _resource.allocate(sizeof(T), alignof(T));
        T* node = ::new (memory) T(std::forward<Args>(args)...);
        _nodes.push_back(node);
        return node;
    }

    std::size_t Count() const { return _nodes.size(); }

    // A copy of text in the arena's storage, valid as long as the arena. Node
    // text kept this way needs no destructor to be released.
    std::string_view CopyString(std::string_view text) {
        if (text.empty()) return {};
        auto* chars = static_cast<char*>(_resource.allocate(text.size(), 1));
        std::memcpy(chars, text.data(), text.size());
        return std::string_view(chars, text.size());
    }

private:
    std::pmr::monotonic_buffer_resource _resource{16 * 1024};
    std::vector<IAstNode*> _nodes;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
