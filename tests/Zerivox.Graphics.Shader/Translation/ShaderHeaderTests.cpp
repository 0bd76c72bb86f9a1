#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "FakeGpuAccessor.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderHeader.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;

namespace {

// Packs twenty 32-bit header words into the 64-bit code words the host hands out.
std::vector<uint64_t> HeaderCode(const std::array<uint32_t, 20>& words) {
    std::vector<uint64_t> code;
    for (std::size_t i = 0; i < words.size(); i += 2) {
        code.push_back(static_cast<uint64_t>(words[i]) | (static_cast<uint64_t>(words[i + 1]) << 32));
    }
    return code;
}

} // namespace

TEST(ShaderHeaderTests, DecodesEveryField) {
    std::array<uint32_t, 20> words{};
    words[0] = (5u << 10) | (1u << 24);          // fragment, passthrough bit
    words[1] = 0x100 | 0xFF000000u;              // low size; bits 24-31 ignored
    words[2] = 0x40 | (3u << 24);                // high size, 3 threads per primitive
    words[3] = 0x400 | (7u << 24) | 0xF0000000u; // call stack, triangle strip
    words[4] = 0xFFF | 0xFFFFF000u;              // max vertices: only 12 bits
    words[6] = 0xE4u << 8;                       // imap byte of attribute 1
    words[13] = 0x55u << 24;                     // attribute 31 all constant
    words[18] = 0x8000000Fu;
    words[19] = 0x3;
    ShaderHeader header(HeaderCode(words));

    EXPECT_EQ(header.Stage, ShaderStage::Fragment);
    EXPECT_TRUE(header.GeometryPassthrough);
    EXPECT_EQ(header.LocalMemoryLowSize, 0x100);
    EXPECT_EQ(header.LocalMemoryHighSize, 0x40);
    EXPECT_EQ(header.ThreadsPerInputPrimitive, 3);
    EXPECT_EQ(header.CallStackSize, 0x400);
    EXPECT_EQ(header.OutputTopology, OutputTopology::TriangleStrip);
    EXPECT_EQ(header.MaxOutputVertexCount, 0xFFF);
    EXPECT_EQ(Translator::GetLocalMemorySize(header), 0x160);

    EXPECT_EQ(header.ImapTypes[0], ImapPixelType());
    EXPECT_EQ(header.ImapTypes[1],
              ImapPixelType(PixelImap::Unused, PixelImap::Constant, PixelImap::Perspective, PixelImap::ScreenLinear));
    EXPECT_EQ(header.ImapTypes[1].GetFirstUsedType(), PixelImap::Constant);
    EXPECT_EQ(header.ImapTypes[31].X, PixelImap::Constant);
    EXPECT_EQ(header.ImapTypes[31].W, PixelImap::Constant);
    EXPECT_EQ(header.FragmentOutputMap, static_cast<int32_t>(0x8000000Fu));
    EXPECT_TRUE(header.WritesSampleMask);
    EXPECT_TRUE(header.WritesDepth);
}

TEST(ShaderHeaderTests, ZeroStageReadsAsVertex) {
    std::array<uint32_t, 20> words{};
    EXPECT_EQ(ShaderHeader(HeaderCode(words)).Stage, ShaderStage::Vertex);
    EXPECT_EQ(ImapPixelType().GetFirstUsedType(), PixelImap::Unused);
}

TEST(ShaderHeaderTests, CodeShorterThanHeaderIsATypedError) {
    std::array<uint32_t, 20> words{};
    std::vector<uint64_t> code = HeaderCode(words);
    code.resize(9); // 72 bytes
    EXPECT_THROW(ShaderHeader{std::span<const uint64_t>(code)}, Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(ShaderHeader{std::span<const uint64_t>()}, Zerivox::Common::IndexOutOfRangeException);

    Testing::FakeGpuAccessor accessor;
    accessor.Code = code;
    EXPECT_THROW(Translator::DecodeShader(0, accessor, TranslationOptions()),
                 Zerivox::Common::IndexOutOfRangeException);
}

TEST(ShaderHeaderTests, StageBeyondFragmentIsRejected) {
    std::array<uint32_t, 20> words{};
    words[0] = 9u << 10;
    Testing::FakeGpuAccessor accessor;
    accessor.Code = HeaderCode(words);
    EXPECT_EQ(ShaderHeader(accessor, 0).Stage, static_cast<ShaderStage>(9));
    EXPECT_THROW(Translator::CreateGraphicsDefinitions(accessor, ShaderHeader(accessor, 0)),
                 Zerivox::Common::ArgumentException);
}
