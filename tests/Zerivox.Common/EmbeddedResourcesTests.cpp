#include <gtest/gtest.h>

#include "Zerivox.Common/EmbeddedResources.h"

using namespace Zerivox::Common;

namespace {
constexpr EmbeddedResource ShaderEntries[] = {
    {"Zerivox.Graphics.Shader.CodeGen.Glsl.HelperFunctions.SwizzleAdd.glsl", "float f;"},
    {"Zerivox.Graphics.Shader.Bom.txt", "\xEF\xBB\xBFtext"},
};
constexpr EmbeddedResource OwnEntries[] = {
    {"Zerivox.Common.Other.Thing.txt", "own"},
    {"Zerivox.Common.Zerivox.Graphics.Shader.Missing.txt", "fallback"},
};
constexpr ResourceContainer Own{"Zerivox.Common", OwnEntries};
constexpr ResourceContainer Containers[] = {Own, {"Zerivox.Graphics.Shader", ShaderEntries}};
} // namespace

TEST(EmbeddedResources, ResolvesContainerAndRelativePath) {
    struct Case {
        const char* Path;
        std::optional<std::string> Expected;
    };
    const Case cases[] = {
        {"Zerivox.Graphics.Shader/CodeGen/Glsl/HelperFunctions/SwizzleAdd.glsl", "float f;"},
        // The byte-order mark selects the encoding and is not part of the text.
        {"Zerivox.Graphics.Shader/Bom.txt", "text"},
        // Unknown container name: the whole path is looked up in the own container.
        {"Other/Thing.txt", "own"},
        {"Zerivox.Common/Other/Thing.txt", "own"},
        // A known container without the resource does not fall back.
        {"Zerivox.Graphics.Shader/Missing.txt", std::nullopt},
        {"Zerivox.Graphics.Shader/CodeGen/Glsl/HelperFunctions/Nope.glsl", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EmbeddedResources::ReadAllText(c.Path, Containers, Own), c.Expected) << c.Path;
    }
}

TEST(EmbeddedResources, LinkedContainersIncludeTheTranslator) {
    bool found = false;
    for (const ResourceContainer& c : EmbeddedResources::Containers())
        found |= c.Name == "Zerivox.Graphics.Shader";
    EXPECT_TRUE(found);
    EXPECT_FALSE(EmbeddedResources::ReadAllText("Zerivox.Graphics.Shader/No/Such.glsl").has_value());
}
