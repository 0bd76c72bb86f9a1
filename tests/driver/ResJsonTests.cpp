#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "driver/ResJson.h"

using namespace Zerivox::FenkVanter;
using namespace Zerivox::Graphics::Shader;

TEST(ResJson, StringEscaping) {
    struct Case {
        const char* Input;
        const char* Expected;
    };
    const Case cases[] = {
        {"plain key_1.x-y/z", R"("plain key_1.x-y/z")"},
        {"\"&'+<>`", R"("\u0022\u0026\u0027\u002B\u003C\u003E\u0060")"},
        {"\\ \n\r\t\b\f", R"("\\ \n\r\t\b\f")"},
        {"\x01\x1F\x7F", R"("\u0001\u001F\u007F")"},
        {"é", R"("\u00E9")"},
        {"（", R"("\uFF08")"},
        {"贴图句柄", R"("\u8D34\u56FE\u53E5\u67C4")"},
        // Beyond U+FFFF: one escape per UTF-16 surrogate.
        {"\xF0\x9F\x98\x80", R"("\uD83D\uDE00")"},
        {"\xF4\x8F\xBF\xBF", R"("\uDBFF\uDFFF")"},
        // Bytes that are no UTF-8 cannot leak into the ASCII-only file.
        {"a\xFF"
         "b\xC0\x80",
         R"("a\uFFFDb\uFFFD\uFFFD")"},
        {"\xE2\x82", R"("\uFFFD\uFFFD")"},
        {"", R"("")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuoteJsonString(c.Input), c.Expected) << c.Input;
    EXPECT_EQ(QuoteJsonString(std::string_view("a\0b", 3)), R"("a\u0000b")");
}

TEST(ResJson, WritesResourcesInTheFixedLayout) {
    ShaderProgramInfo info(
        {BufferDescriptor(0, 1, 0), BufferDescriptor(0, 2, 17)},
        {BufferDescriptor(0, 3, 0, 0, 0x1A0, BufferUsageFlags::Write)},
        {TextureDescriptor(0, 4, SamplerType::Texture2D, TextureFormat::Unknown, 2, 0x5A, 1, false,
                           TextureUsageFlags::None),
         TextureDescriptor(0, 5, SamplerType::TextureCube | SamplerType::Array, TextureFormat::Unknown, -1, 0x60, 4,
                           true, TextureUsageFlags::NeedsScaleValue | TextureUsageFlags::ResScaleUnsupported)},
        {TextureDescriptor(0, 9, SamplerType::Texture2D, static_cast<TextureFormat>(99), 2, 0x7A, 1, false,
                           TextureUsageFlags::ImageStore)},
        ShaderStage::Fragment, 1, 0, 0, true, false, false, false, 0, 0x0F);
    ResJsonContent content;
    content.Key = "k<1>";
    content.Stage = std::nullopt;
    content.Notes = {"贴图句柄 5B（常量段 2，槽 -1）无 PC 类型，按 2D", "c1 读越界 +4（c1 长 0）"};
    content.Info = &info;
    content.TexQueried = {4, 0};

    std::ifstream golden(ZV_SOURCE_DIR "/tests/driver/data/golden.res.json", std::ios::binary);
    ASSERT_TRUE(golden) << "missing golden file";
    std::string expected((std::istreambuf_iterator<char>(golden)), std::istreambuf_iterator<char>());
    std::string actual = WriteResJson(content);
    EXPECT_EQ(actual, expected);
    EXPECT_FALSE(actual.ends_with("\n"));
    for (unsigned char c : actual)
        ASSERT_LT(c, 0x80u) << "the file must be ASCII";
}

TEST(ResJson, EmptyProgramKeepsEveryMember) {
    ResJsonContent content;
    EXPECT_EQ(WriteResJson(content), "{\r\n"
                                     "  \"key\": null,\r\n"
                                     "  \"stage\": null,\r\n"
                                     "  \"notes\": [],\r\n"
                                     "  \"cbufs\": [],\r\n"
                                     "  \"sbufs\": [],\r\n"
                                     "  \"textures\": [],\r\n"
                                     "  \"images\": [],\r\n"
                                     "  \"uses_frag_coord\": false,\r\n"
                                     "  \"frag_out_map\": 0,\r\n"
                                     "  \"tex_queried\": [],\r\n"
                                     "  \"img_queried\": []\r\n"
                                     "}");
}
