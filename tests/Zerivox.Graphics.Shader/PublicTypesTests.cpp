#include <gtest/gtest.h>

#include <cctype>
#include <unordered_set>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/AttributeType.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/OutputTopology.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/SupportBuffer.h"
#include "Zerivox.Graphics.Shader/TessPatchType.h"
#include "Zerivox.Graphics.Shader/TessSpacing.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/VertexInfoBuffer.h"

using namespace Zerivox::Graphics::Shader;
using Zerivox::Graphics::Shader::Translation::AggregateType;

namespace {
constexpr SamplerType T1D = SamplerType::Texture1D, TB = SamplerType::TextureBuffer, T2D = SamplerType::Texture2D,
                      T3D = SamplerType::Texture3D, TC = SamplerType::TextureCube, A = SamplerType::Array,
                      MS = SamplerType::Multisample, SH = SamplerType::Shadow;

template <typename F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const Zerivox::Common::ArgumentException& e) {
        return e.what();
    }
    return "(no error)";
}
} // namespace

TEST(SamplerTypeExtensions, NamesEachShapeForSamplersAndTextures) {
    struct Case {
        SamplerType Type;
        const char* Short;
        const char* Sampler;
        const char* Texture;
    };
    const Case cases[] = {
        {T1D, "1d", "sampler1D", "texture1D"},
        {TB, "b", "samplerBuffer", "textureBuffer"},
        {TC | A, "cubea", "samplerCubeArray", "textureCubeArray"},
        {T2D | MS | A, "2dmsa", "sampler2DMSArray", "texture2DMSArray"},
        // The texture name has no shadow suffix.
        {T2D | A | SH, "2das", "sampler2DArrayShadow", "texture2DArray"},
        {T3D, "3d", "sampler3D", "texture3D"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SamplerTypeExtensions::get_ShortTypeName(c.Type), c.Short);
        EXPECT_EQ(SamplerTypeExtensions::get_GlslSamplerTypeName(c.Type), c.Sampler);
        EXPECT_EQ(SamplerTypeExtensions::get_GlslTextureTypeName(c.Type), c.Texture);
    }
    EXPECT_EQ(SamplerTypeExtensions::get_GlslSamplerTypeName(SamplerType::None), "sampler");
    EXPECT_EQ(SamplerTypeExtensions::GetGlslImageTypeName(TB, AggregateType::S32), "iimageBuffer");
    EXPECT_EQ(SamplerTypeExtensions::GetGlslImageTypeName(TB, AggregateType::FP32), "imageBuffer");
    EXPECT_EQ(SamplerTypeExtensions::GetGlslImageTypeName(T2D | A, AggregateType::U32), "uimage2DArray");
    EXPECT_EQ(SamplerTypeExtensions::get_Dimensions(TC | A), 3);
    EXPECT_EQ(SamplerTypeExtensions::get_Dimensions(TB), 1);
}

TEST(SamplerTypeExtensions, UnanswerableTypesRaiseArgumentException) {
    EXPECT_EQ(ErrorOf([] { SamplerTypeExtensions::get_Dimensions(SamplerType::None); }),
              "Invalid sampler type \"None\".");
    EXPECT_EQ(ErrorOf([] { SamplerTypeExtensions::get_ShortTypeName(SamplerType::None); }),
              "Invalid sampler type \"None\".");
    EXPECT_EQ(ErrorOf([] { SamplerTypeExtensions::GetGlslImageTypeName(SamplerType::None, AggregateType::FP32); }),
              "Invalid sampler type \"None\".");
    EXPECT_EQ(ErrorOf([] { SamplerTypeExtensions::get_GlslTextureTypeName(SamplerType::None); }),
              "Invalid texture type \"None\".");
    EXPECT_EQ(ErrorOf([] { SamplerTypeExtensions::get_GlslSamplerTypeName(static_cast<SamplerType>(9)); }),
              "Invalid sampler type \"9\".");
    EXPECT_EQ(SamplerTypeName(T2D | A), "Texture2D, Array");
}

TEST(AttributeTypeExtensions, AggregatesAndErrors) {
    EXPECT_EQ(AttributeTypeExtensions::get_Aggregate(AttributeType::Sint | AttributeType::Packed), AggregateType::S32);
    EXPECT_EQ(AttributeTypeExtensions::get_Aggregate(AttributeType::Uint), AggregateType::U32);
    EXPECT_EQ(AttributeTypeExtensions::AsAggregate(AttributeType::Sscaled, false), AggregateType::S32);
    EXPECT_EQ(AttributeTypeExtensions::AsAggregate(AttributeType::Uscaled, false), AggregateType::U32);
    EXPECT_EQ(AttributeTypeExtensions::AsAggregate(AttributeType::Uscaled, true), AggregateType::FP32);
    EXPECT_EQ(ErrorOf([] { AttributeTypeExtensions::get_Aggregate(AttributeType::Sscaled); }),
              "Invalid attribute type \"Sscaled\".");
    EXPECT_EQ(ErrorOf([] { AttributeTypeExtensions::AsAggregate(static_cast<AttributeType>(5), true); }),
              "Invalid attribute type \"5\".");
}

TEST(TextureFormat, TableNamesAndParsing) {
    EXPECT_STREQ(TextureFormatExtensions::ToGlslFormat(TextureFormat::Unknown), "");
    EXPECT_STREQ(TextureFormatExtensions::ToGlslFormat(TextureFormat::R11G11B10Float), "r11f_g11f_b10f");
    EXPECT_STREQ(TextureFormatExtensions::ToGlslFormat(TextureFormat::R16G16B16A16Snorm), "rgba16_snorm");
    EXPECT_STREQ(TextureFormatExtensions::ToGlslFormat(static_cast<TextureFormat>(40)), "");
    EXPECT_STREQ(TextureFormatExtensions::ToGlslFormat(static_cast<TextureFormat>(-1)), "");
    EXPECT_EQ(TextureFormatExtensions::GetComponentType(TextureFormat::R10G10B10A2Uint), AggregateType::U32);
    EXPECT_EQ(TextureFormatExtensions::GetComponentType(TextureFormat::R8G8B8A8Sint), AggregateType::S32);
    EXPECT_EQ(TextureFormatExtensions::GetComponentType(TextureFormat::R11G11B10Float), AggregateType::FP32);
    EXPECT_EQ(TextureFormatExtensions::GetComponentType(static_cast<TextureFormat>(99)), AggregateType::FP32);

    // Every member name survives a round trip through any letter case; the
    // table has no gaps or duplicate names.
    for (int32_t v = 0; v < TextureFormatCount; ++v) {
        std::string name = TextureFormatName(static_cast<TextureFormat>(v));
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(TryParseTextureFormat(lower), static_cast<TextureFormat>(v)) << name;
    }
    EXPECT_EQ(TextureFormatName(TextureFormat::R8G8B8A8Unorm), "R8G8B8A8Unorm");
    EXPECT_EQ(TextureFormatName(static_cast<TextureFormat>(99)), "99");
    EXPECT_EQ(TryParseTextureFormat("99"), static_cast<TextureFormat>(99));
    EXPECT_EQ(TryParseTextureFormat("r32UINT"), TextureFormat::R32Uint);
    for (const char* bad : {"", "R32", "1.5", "0x10", "99999999999"}) {
        EXPECT_FALSE(TryParseTextureFormat(bad).has_value()) << bad;
    }
}

TEST(TopologyAndTessellation, GlslNamesAndCounts) {
    EXPECT_STREQ(InputTopologyExtensions::get_GlslString(InputTopology::LinesAdjacency), "lines_adjacency");
    EXPECT_STREQ(InputTopologyExtensions::get_GlslString(static_cast<InputTopology>(9)), "points");
    EXPECT_EQ(InputTopologyExtensions::get_InputVertexCount(InputTopology::TrianglesAdjacency), 6);
    EXPECT_EQ(InputTopologyExtensions::get_InputVertexCountNoAdjacency(InputTopology::TrianglesAdjacency), 3);
    EXPECT_EQ(InputTopologyExtensions::get_InputVertexCount(InputTopology::LinesAdjacency), 4);
    EXPECT_EQ(InputTopologyExtensions::get_InputVertexCountNoAdjacency(InputTopology::LinesAdjacency), 2);
    EXPECT_EQ(InputTopologyExtensions::get_InputVertexCount(InputTopology::Points), 1);
    EXPECT_STREQ(OutputTopologyExtensions::get_GlslString(OutputTopology::TriangleStrip), "triangle_strip");
    EXPECT_STREQ(OutputTopologyExtensions::get_GlslString(OutputTopology::PointList), "points");
    EXPECT_STREQ(TessPatchTypeExtensions::get_Glsl(TessPatchType::Triangles), "triangles");
    EXPECT_STREQ(TessPatchTypeExtensions::get_Glsl(static_cast<TessPatchType>(7)), "triangles");
    EXPECT_STREQ(TessPatchTypeExtensions::get_Glsl(TessPatchType::Quads), "quads");
    EXPECT_STREQ(TessSpacingExtensions::get_Glsl(TessSpacing::FractionalOdd), "fractional_odd_spacing");
    EXPECT_STREQ(TessSpacingExtensions::get_Glsl(static_cast<TessSpacing>(-3)), "equal_spacing");
}

namespace {
// Placement of a block's fields as the back ends lay out the translator's
// uniform blocks: every member starts on a 16-byte boundary and takes at
// least 16 bytes, array elements take 16 each. The host writes the block by
// the published byte offsets while the IR reads it by field index, so the
// constants must agree with the field list.
std::vector<int32_t> BlockOffsets(const StructureType& type, int32_t& size) {
    std::vector<int32_t> offsets;
    int32_t offset = 0;
    for (const StructureField& f : type.Fields) {
        offsets.push_back(offset);
        bool array = (static_cast<uint32_t>(f.Type) & static_cast<uint32_t>(AggregateType::Array)) != 0;
        offset += 16 * (array ? f.ArrayLength : 1);
    }
    size = offset;
    return offsets;
}
} // namespace

TEST(UniformLayouts, PublishedOffsetsMatchTheFieldList) {
    int32_t size = 0;
    StructureType support = SupportBuffer::GetStructureType();
    std::vector<int32_t> expected = {SupportBuffer::AlphaTestOffset,
                                     SupportBuffer::FragmentIsBgraOffset,
                                     SupportBuffer::ViewportInverseOffset,
                                     SupportBuffer::ViewportSizeOffset,
                                     SupportBuffer::FragmentRenderScaleCountOffset,
                                     SupportBuffer::GraphicsRenderScaleOffset,
                                     SupportBuffer::TfeOffsetOffset,
                                     SupportBuffer::TfeVertexCountOffset,
                                     SupportBuffer::PointSizeOffset};
    EXPECT_EQ(BlockOffsets(support, size), expected);
    EXPECT_EQ(size, SupportBuffer::RequiredSize);
    EXPECT_EQ(SupportBuffer::RequiredSize, 1408);
    EXPECT_EQ(SupportBuffer::FragmentRenderScaleOffset,
              SupportBuffer::GraphicsRenderScaleOffset + SupportBuffer::FieldSize);
    EXPECT_EQ(support.Fields[SupportBuffer::FieldPointSize].Name, "point_size");
    EXPECT_EQ(support.Fields[SupportBuffer::FieldRenderScale].ArrayLength, 73);
    EXPECT_EQ(support.Fields[SupportBuffer::FieldViewportInverse].Type, AggregateType::Vector4 | AggregateType::FP32);

    StructureType info = VertexInfoBuffer::GetStructureType();
    expected = {VertexInfoBuffer::VertexCountsOffset, VertexInfoBuffer::GeometryCountsOffset,
                VertexInfoBuffer::VertexStridesOffset, VertexInfoBuffer::VertexOffsetsOffset};
    EXPECT_EQ(BlockOffsets(info, size), expected);
    EXPECT_EQ(size, VertexInfoBuffer::RequiredSize);
    EXPECT_EQ(info.Fields[VertexInfoBuffer::FieldVertexOffsets].Name, "vertex_offsets");

    // Each call builds a fresh object: a caller may change its copy.
    StructureType again = SupportBuffer::GetStructureType();
    again.Fields.clear();
    EXPECT_EQ(SupportBuffer::GetStructureType().Fields.size(), 9u);
}

TEST(SetBindingPair, ComparesAndHashesBySetAndBinding) {
    std::unordered_set<SetBindingPair> set{{0, 1}, {0, 1}, {1, 0}, {-1, -1}};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(SetBindingPair(0, 3), SetBindingPair(0, 3));
    EXPECT_NE(SetBindingPair(0, 3), SetBindingPair(3, 0));
    EXPECT_EQ(SetBindingPair(0, 3).ToString(), "SetBindingPair { SetIndex = 0, Binding = 3 }");
}
