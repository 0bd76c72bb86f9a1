#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Zerivox::Common {

// A named text carried inside the program. Name is the full resource name:
// container name, ".", relative path with '/' turned into '.'.
struct EmbeddedResource {
    std::string_view Name;
    std::string_view Data;
};

// A library's set of carried resources, known by the library's name.
struct ResourceContainer {
    std::string_view Name;
    std::span<const EmbeddedResource> Resources;
};

struct EmbeddedResources {
    // path = container name + "/" + relative path. When the first piece names
    // a known container, the rest is looked up there; otherwise the whole
    // path is looked up in this library's own container. Returns the text
    // (UTF-8, a leading byte-order mark removed), or nothing when the
    // resource does not exist.
    static std::optional<std::string> ReadAllText(std::string_view path);

    // Same lookup over explicit containers; `own` is the fallback container.
    static std::optional<std::string> ReadAllText(std::string_view path, std::span<const ResourceContainer> containers,
                                                  const ResourceContainer& own);

    // The containers linked into this program.
    static std::span<const ResourceContainer> Containers();
};

} // namespace Zerivox::Common
