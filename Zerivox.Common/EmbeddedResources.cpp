#include "Zerivox.Common/EmbeddedResources.h"

namespace Zerivox::Common {

namespace {

// The translator's texts live beside the code that reads them; the table is
// picked up when that code provides it, as raw-string entries of the form
// {"Zerivox.Graphics.Shader.Some.Path.glsl", R"(...)"}.
#if __has_include("Zerivox.Graphics.Shader/CodeGen/Glsl/HelperFunctions/HelperFunctions.inc")
constexpr EmbeddedResource ShaderResources[] = {
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/HelperFunctions/HelperFunctions.inc"
};
constexpr std::span<const EmbeddedResource> ShaderResourceSpan{ShaderResources};
#else
constexpr std::span<const EmbeddedResource> ShaderResourceSpan{};
#endif

constexpr ResourceContainer LinkedContainers[] = {
    {"Zerivox.Common", {}},
    {"Zerivox.Graphics.Shader", ShaderResourceSpan},
};

std::optional<std::string> Lookup(const ResourceContainer& container, std::string_view relativePath) {
    std::string fullName(container.Name);
    fullName += '.';
    for (char c : relativePath)
        fullName += c == '/' ? '.' : c;
    for (const EmbeddedResource& r : container.Resources) {
        if (r.Name != fullName)
            continue;
        std::string_view data = r.Data;
        if (data.starts_with("\xEF\xBB\xBF"))
            data.remove_prefix(3);
        return std::string(data);
    }
    return std::nullopt;
}

} // namespace

std::span<const ResourceContainer> EmbeddedResources::Containers() { return LinkedContainers; }

std::optional<std::string> EmbeddedResources::ReadAllText(std::string_view path) {
    return ReadAllText(path, LinkedContainers, LinkedContainers[0]);
}

std::optional<std::string> EmbeddedResources::ReadAllText(std::string_view path,
                                                          std::span<const ResourceContainer> containers,
                                                          const ResourceContainer& own) {
    // Split at the first '/', dropping empty pieces.
    std::string_view rest = path;
    while (rest.starts_with('/'))
        rest.remove_prefix(1);
    std::size_t slash = rest.find('/');
    if (slash != std::string_view::npos) {
        std::string_view first = rest.substr(0, slash);
        std::string_view second = rest.substr(slash + 1);
        while (second.starts_with('/'))
            second.remove_prefix(1);
        if (!second.empty()) {
            for (const ResourceContainer& c : containers) {
                if (c.Name == first)
                    return Lookup(c, second);
            }
        }
    }
    return Lookup(own, path);
}

} // namespace Zerivox::Common
