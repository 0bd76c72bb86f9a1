#include <gtest/gtest.h>

#include <functional>

#include "Zerivox.Common/Exceptions.h"
#include "driver/FenkVanterAccessor.h"

using namespace Zerivox::FenkVanter;
using namespace Zerivox::Graphics::Shader;
namespace C = Zerivox::Common;

namespace {

// An accessor over a job written as JSON text; owns what the accessor views.
struct Fixture {
    std::vector<uint8_t> Code;
    Json Job;
    std::unique_ptr<FenkVanterAccessor> Accessor;

    explicit Fixture(const std::string& job, std::vector<uint8_t> code = {})
        : Code(std::move(code)), Job(ParseJson(job, false)), Accessor(std::make_unique<FenkVanterAccessor>(Code, Job)) {
    }
    FenkVanterAccessor* operator->() { return Accessor.get(); }
};

constexpr int32_t HandleOfSlot(int32_t slot) { return 90 + 2 * slot; }

} // namespace

TEST(FenkVanterAccessor, TextureSlotOfHandle) {
    struct Case {
        int32_t Handle, CbufSlot, Slot;
    };
    const Case cases[] = {
        {0x5A, 2, 0},  {0x5B, 2, -1}, {0x158, 2, 127},    {0x15A, 2, -1},
        {0x5A, 3, -1}, {0x5A, -1, 0}, {0x5A, 0x10002, 0}, {0x5A | 0x4000, 2, 0},
        {0x59, 2, -1}, {0, 2, -1},    {-1, 2, -1},        {INT32_MIN | 0x5C, -5, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FenkVanterAccessor::TexSlot(c.Handle, c.CbufSlot), c.Slot) << c.Handle << "," << c.CbufSlot;
    }
}

TEST(FenkVanterAccessor, MapsTextureEntriesToSamplerTypes) {
    struct Case {
        const char* Entry;
        SamplerType Expected;
    };
    const Case cases[] = {
        {R"("1d")", SamplerType::Texture1D},
        {R"("buffer")", SamplerType::TextureBuffer},
        {R"("3d")", SamplerType::Texture3D},
        {R"({"type":"cube_depth"})", SamplerType::TextureCube}, // "_depth" sets no shadow flag
        {R"("1darray")", SamplerType::Texture1D | SamplerType::Array},
        {R"("2darray_depth")", SamplerType::Texture2D | SamplerType::Array},
        {R"("cubearray")", SamplerType::TextureCube | SamplerType::Array},
        {R"("2dms")", SamplerType::Texture2D | SamplerType::Multisample},
        {R"("2dmsarray")", SamplerType::Texture2D | SamplerType::Multisample | SamplerType::Array},
        {R"("2D")", SamplerType::Texture2D}, // case-sensitive: silent fallback
        {R"("_depth_depth")", SamplerType::Texture2D},
    };
    for (const Case& c : cases) {
        Fixture f(std::string(R"({"tex":{"5":)") + c.Entry + "}}");
        EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(5), 2), c.Expected) << c.Entry;
        EXPECT_TRUE(f->Notes().empty()) << c.Entry;
        EXPECT_EQ(f->TexQueried(), std::set<int32_t>{5});
    }
}

TEST(FenkVanterAccessor, MissingTextureTypesMakeNotes) {
    Fixture f(R"({"tex":{"1":{"fmt":"x"}, "2":null}, "img":{"3":{"type":"3d"}}})");
    EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(0), 2), SamplerType::Texture2D);
    EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(1), -1), SamplerType::Texture2D); // object without "type"
    EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(2), 2), SamplerType::Texture2D);  // null entry
    EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(3), 2), SamplerType::Texture3D);  // found in "img"
    EXPECT_EQ(f->QuerySamplerType(0x5B, 2), SamplerType::Texture2D);             // no slot
    EXPECT_EQ(f->QuerySamplerType(-2, 7), SamplerType::Texture2D);
    EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(0), 2), SamplerType::Texture2D); // noted again
    std::vector<std::string> expected = {
        "贴图句柄 5A（常量段 2，槽 0）无 PC 类型，按 2D",        "贴图句柄 5C（常量段 -1，槽 1）无 PC 类型，按 2D",
        "贴图句柄 5E（常量段 2，槽 2）无 PC 类型，按 2D",        "贴图句柄 5B（常量段 2，槽 -1）无 PC 类型，按 2D",
        "贴图句柄 FFFFFFFE（常量段 7，槽 -1）无 PC 类型，按 2D", "贴图句柄 5A（常量段 2，槽 0）无 PC 类型，按 2D",
    };
    EXPECT_EQ(f->Notes(), expected);
    EXPECT_EQ(f->TexQueried(), (std::set<int32_t>{0, 1, 2, 3}));
}

TEST(FenkVanterAccessor, MapsImageEntriesToTypesAndFormats) {
    Fixture f(R"({"img":{"4":{"type":"2darray","fmt":"R32Uint"},"5":{"fmt":"99"},"6":{"fmt":"r16g16FLOAT"},
                  "7":{"fmt":"bogus"},"8":"2d","9":{"type":"2d"}}})");
    EXPECT_EQ(f->QuerySamplerType(HandleOfSlot(4), 2), SamplerType::Texture2D | SamplerType::Array);
    EXPECT_EQ(f->QueryTextureFormat(HandleOfSlot(4), 2), TextureFormat::R32Uint);
    EXPECT_EQ(f->QueryTextureFormat(HandleOfSlot(5), 2), static_cast<TextureFormat>(99));
    EXPECT_EQ(f->QueryTextureFormat(HandleOfSlot(6), 2), TextureFormat::R16G16Float);
    EXPECT_EQ(f->QueryTextureFormat(HandleOfSlot(7), 2), TextureFormat::R8G8B8A8Unorm); // silent
    EXPECT_TRUE(f->Notes().empty());
    EXPECT_EQ(f->QueryTextureFormat(HandleOfSlot(8), 2), TextureFormat::R8G8B8A8Unorm); // entry is no object
    EXPECT_EQ(f->QueryTextureFormat(HandleOfSlot(9), 2), TextureFormat::R8G8B8A8Unorm); // no "fmt"
    EXPECT_EQ(f->QueryTextureFormat(0x5B, 2), TextureFormat::R8G8B8A8Unorm);
    std::vector<std::string> expected = {"图像句柄 6A 槽 8 无 PC 格式，按 R8G8B8A8Unorm",
                                         "图像句柄 6C 槽 9 无 PC 格式，按 R8G8B8A8Unorm",
                                         "图像句柄 5B 槽 -1 无 PC 格式，按 R8G8B8A8Unorm"};
    EXPECT_EQ(f->Notes(), expected);
    EXPECT_EQ(f->TexQueried(), std::set<int32_t>{4});
    EXPECT_EQ(f->ImgQueried(), (std::set<int32_t>{4, 5, 6, 7, 8, 9}));
}

TEST(FenkVanterAccessor, ReadsConstantBuffer1LittleEndianWithinItsSize) {
    Fixture f(R"({"c1":"0A0b0C0dFFFFFFFF"})");
    EXPECT_EQ(f->ConstantBuffer1Read(0), 0x0D0C0B0A);
    EXPECT_EQ(f->ConstantBuffer1Read(4), -1);
    EXPECT_EQ(f->QueryConstantBuffer1Size(), 8); // bounds jump-table reads
    EXPECT_TRUE(f->Notes().empty());
    EXPECT_EQ(f->ConstantBuffer1Read(5), 0);
    EXPECT_EQ(f->ConstantBuffer1Read(-4), 0);
    EXPECT_EQ(f->ConstantBuffer1Read(INT32_MAX), 0); // no wrap-around into range
    std::vector<std::string> expected = {"c1 读越界 +5（c1 长 8）", "c1 读越界 +FFFFFFFC（c1 长 8）",
                                         "c1 读越界 +7FFFFFFF（c1 长 8）"};
    EXPECT_EQ(f->Notes(), expected);

    Fixture empty(R"({"c1":""})");
    EXPECT_EQ(empty->ConstantBuffer1Read(0), 0);
    EXPECT_EQ(empty->Notes(), std::vector<std::string>{"c1 读越界 +0（c1 长 0）"});

    Json odd = ParseJson(R"({"c1":"0A0"})", false), bad = ParseJson(R"({"c1":"0G"})", false),
         kind = ParseJson(R"({"c1":12})", false);
    EXPECT_THROW(FenkVanterAccessor({}, odd), C::FormatException);
    EXPECT_THROW(FenkVanterAccessor({}, bad), C::FormatException);
    EXPECT_THROW(FenkVanterAccessor({}, kind), C::JsonException);
}

TEST(FenkVanterAccessor, ReadsWholeCodeWordsAndRejectsOutOfRange) {
    std::vector<uint8_t> code = {1, 2, 3, 4, 5, 6, 7, 8, 0xF0, 0, 0, 0, 0, 0, 0, 0xE3, 0xAA};
    Fixture f("{}", code);
    auto all = f->GetCode(0, 0x50);
    ASSERT_EQ(all.size(), 2u); // the trailing byte fills no word
    EXPECT_EQ(all[0], 0x0807060504030201u);
    EXPECT_EQ(all[1], 0xE3000000000000F0u);
    EXPECT_EQ(f->GetCode(8, 0).size(), 1u);
    EXPECT_EQ(f->GetCode(17, 0).size(), 0u);
    EXPECT_THROW(f->GetCode(18, 0), C::ArgumentOutOfRangeException);
    EXPECT_THROW(f->GetCode(UINT64_MAX, 0), C::ArgumentOutOfRangeException);
}

TEST(FenkVanterAccessor, BuildsGraphicsStateFromJobMembers) {
    Fixture f(R"({"attr":{" 3 ":"sint","+4":"uint","5":null,"6":"SINT","3 ":"uint"},
                  "fout":{"7":"uint","0":"sint"},"early_fragment_tests":true,"topology":"lines_adjacency"})");
    GpuGraphicsState s = f->QueryGraphicsState();
    EXPECT_EQ(s.AttributeTypes[3], AttributeType::Uint); // later member of the same index wins
    EXPECT_EQ(s.AttributeTypes[4], AttributeType::Uint);
    EXPECT_EQ(s.AttributeTypes[5], AttributeType::Float);
    EXPECT_EQ(s.AttributeTypes[6], AttributeType::Float);
    EXPECT_EQ(s.AttributeTypes[0], AttributeType::Float);
    EXPECT_EQ(s.FragmentOutputTypes[7], AttributeType::Uint);
    EXPECT_EQ(s.FragmentOutputTypes[0], AttributeType::Sint);
    EXPECT_TRUE(s.EarlyFragmentTests);
    EXPECT_EQ(s.Topology, InputTopology::LinesAdjacency);
    // Fixed parts of the state.
    EXPECT_TRUE(s.OriginUpperLeft);
    EXPECT_EQ(s.PointSize, 1.0f);
    EXPECT_EQ(s.AlphaTestFunction, AlphaTestOp::Always);
    EXPECT_EQ(s.TessellationPatchType, TessPatchType::Triangles);
    EXPECT_EQ(s.TessellationSpacing, TessSpacing::EqualSpacing);
    EXPECT_FALSE(s.YNegate || s.DualSourceBlend || s.ProgramPointSize || s.ViewportTransformDisabled);

    struct Topo {
        const char* Job;
        InputTopology Expected;
    };
    for (const Topo& t : {Topo{R"({"topology":"points"})", InputTopology::Points},
                          Topo{R"({"topology":"lines"})", InputTopology::Lines},
                          Topo{R"({"topology":"triangles_adjacency"})", InputTopology::TrianglesAdjacency},
                          Topo{R"({"topology":"Points"})", InputTopology::Triangles},
                          Topo{R"({"early_fragment_tests":"yes"})", InputTopology::Triangles},
                          Topo{R"({})", InputTopology::Triangles}}) {
        Fixture g(t.Job);
        GpuGraphicsState gs = g->QueryGraphicsState();
        EXPECT_EQ(gs.Topology, t.Expected) << t.Job;
        EXPECT_FALSE(gs.EarlyFragmentTests) << t.Job;
    }
}

// Every way a job member can be malformed fails the job when the translator
// asks for it; the kind of error names what went wrong.
TEST(FenkVanterAccessor, MalformedMembersFailTheQuery) {
    using Query = std::function<void(FenkVanterAccessor&)>;
    Query state = [](FenkVanterAccessor& a) { a.QueryGraphicsState(); };
    struct Case {
        const char* Job;
        Query Ask;
        const char* Kind;
    };
    const Case cases[] = {
        {R"({"attr":{"32":"sint"}})", state, "ArgumentOutOfRangeException"},
        {R"({"attr":{"-1":"sint"}})", state, "ArgumentOutOfRangeException"},
        {R"({"fout":{"8":"sint"}})", state, "ArgumentOutOfRangeException"},
        {R"({"attr":{"x":"sint"}})", state, "FormatException"},
        {R"({"attr":{"":"sint"}})", state, "FormatException"},
        {R"({"attr":{"1 2":"sint"}})", state, "FormatException"},
        {R"({"attr":{"99999999999":"sint"}})", state, "OverflowException"},
        {R"({"attr":{"1":5}})", state, "JsonException"},
        {R"({"topology":3})", state, "JsonException"},
        {R"({"tex":{"0":5}})", [](FenkVanterAccessor& a) { a.QuerySamplerType(HandleOfSlot(0), 2); }, "JsonException"},
        {R"({"img":{"0":{"fmt":1}}})", [](FenkVanterAccessor& a) { a.QueryTextureFormat(HandleOfSlot(0), 2); },
         "JsonException"},
        {R"({"local":[1,null]})", [](FenkVanterAccessor& a) { a.QueryWorkgroupSizeY(); }, "JsonException"},
        {R"({"local":[1.5]})", [](FenkVanterAccessor& a) { a.QueryWorkgroupSizeX(); }, "JsonException"},
        {R"({"shared":"1"})", [](FenkVanterAccessor& a) { a.QueryComputeSharedMemorySize(); }, "JsonException"},
        {R"({"reduced":1})", [](FenkVanterAccessor& a) { a.QueryHostReducedPrecision(); }, "JsonException"},
        {R"({"subgroup":true})", [](FenkVanterAccessor& a) { a.QueryHostSubgroupSize(); }, "JsonException"},
        {R"({"tf":[{"stride":4}]})", [](FenkVanterAccessor& a) { a.QueryTransformFeedbackVaryingLocations(0); },
         "ArgumentException"},
        {R"({"tf":[{"stride":4,"words":null}]})",
         [](FenkVanterAccessor& a) { a.QueryTransformFeedbackVaryingLocations(0); }, "ArgumentException"},
        {R"({"tf":[{"stride":4,"words":[1,"2"]}]})",
         [](FenkVanterAccessor& a) { a.QueryTransformFeedbackVaryingLocations(0); }, "JsonException"},
        {R"({"tf":[{"words":[]}]})", [](FenkVanterAccessor& a) { a.QueryTransformFeedbackBufferStride(0); },
         "ArgumentException"},
        // Host facts that would make the output undefined or overflow.
        {R"({"sbuf_align":0})", [](FenkVanterAccessor& a) { a.QueryHostStorageBufferOffsetAlignment(); },
         "ArgumentException"},
        {R"({"sbuf_align":24})", [](FenkVanterAccessor& a) { a.QueryHostStorageBufferOffsetAlignment(); },
         "ArgumentException"},
        {R"({"sbuf_align":-16})", [](FenkVanterAccessor& a) { a.QueryHostStorageBufferOffsetAlignment(); },
         "ArgumentException"},
        {R"({"subgroup":0})", [](FenkVanterAccessor& a) { a.QueryHostSubgroupSize(); }, "ArgumentException"},
        {R"({"subgroup":48})", [](FenkVanterAccessor& a) { a.QueryHostSubgroupSize(); }, "ArgumentException"},
        {R"({"subgroup":256})", [](FenkVanterAccessor& a) { a.QueryHostSubgroupSize(); }, "ArgumentException"},
        {R"({"local":[64,0,1]})", [](FenkVanterAccessor& a) { a.QueryWorkgroupSizeY(); }, "ArgumentException"},
        {R"({"local":[-1]})", [](FenkVanterAccessor& a) { a.QueryWorkgroupSizeX(); }, "ArgumentException"},
        {R"({"shared":-1})", [](FenkVanterAccessor& a) { a.QueryComputeSharedMemorySize(); }, "ArgumentException"},
        {R"({"shared":2147483645})", [](FenkVanterAccessor& a) { a.QueryComputeSharedMemorySize(); },
         "ArgumentException"},
        {R"({"gather_bias":30})", [](FenkVanterAccessor& a) { a.QueryHostGatherBiasPrecision(); }, "ArgumentException"},
        {R"({"gather_bias":-1})", [](FenkVanterAccessor& a) { a.QueryHostGatherBiasPrecision(); }, "ArgumentException"},
    };
    for (const Case& c : cases) {
        Fixture f(c.Job);
        std::string kind = "(no error)";
        try {
            c.Ask(*f.Accessor);
        } catch (const C::Exception& e) {
            kind = e.kind();
        }
        EXPECT_EQ(kind, c.Kind) << c.Job;
    }
}

TEST(FenkVanterAccessor, HostFactsAndSilentFallbacks) {
    Fixture none("{}");
    EXPECT_EQ(none->QueryHostStorageBufferOffsetAlignment(), 16);
    EXPECT_FALSE(none->QueryHasUnalignedStorageBuffer());
    EXPECT_EQ(none->QueryHostSubgroupSize(), 32);
    EXPECT_EQ(none->QueryHostGatherBiasPrecision(), 0);
    EXPECT_EQ(none->QueryComputeSharedMemorySize(), 0);
    EXPECT_TRUE(none->QueryHostSupportsShaderFloat64());
    EXPECT_FALSE(none->QueryHostReducedPrecision());
    EXPECT_EQ(none->QueryWorkgroupSizeX(), 1);
    EXPECT_FALSE(none->QueryTransformFeedbackEnabled());

    Fixture set(R"({"sbuf_align":64,"subgroup":64,"gather_bias":29,"shared":2147483644,"softfloat64":true,
                    "reduced":true,"local":[8,4]})");
    EXPECT_EQ(set->QueryHostStorageBufferOffsetAlignment(), 64);
    EXPECT_TRUE(set->QueryHasUnalignedStorageBuffer());
    EXPECT_EQ(set->QueryHostSubgroupSize(), 64);
    EXPECT_EQ(set->QueryHostGatherBiasPrecision(), 29);
    EXPECT_EQ(set->QueryComputeSharedMemorySize(), 2147483644);
    EXPECT_FALSE(set->QueryHostSupportsShaderFloat64());
    EXPECT_TRUE(set->QueryHostReducedPrecision());
    EXPECT_EQ(set->QueryWorkgroupSizeX(), 8);
    EXPECT_EQ(set->QueryWorkgroupSizeY(), 4);
    EXPECT_EQ(set->QueryWorkgroupSizeZ(), 1); // short array: 1

    // Only the JSON value true turns 64-bit floats off; "local" of another kind is ignored.
    Fixture odd(R"({"softfloat64":"true","local":5,"sbuf_align":null})");
    EXPECT_TRUE(odd->QueryHostSupportsShaderFloat64());
    EXPECT_EQ(odd->QueryWorkgroupSizeX(), 1);
    EXPECT_FALSE(odd->QueryHasUnalignedStorageBuffer());
}

TEST(FenkVanterAccessor, ReadsTransformFeedbackLayout) {
    Fixture empty(R"({"tf":[]})");
    EXPECT_TRUE(empty->QueryTransformFeedbackEnabled());
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(empty->QueryTransformFeedbackVaryingLocations(i).empty());
        EXPECT_EQ(empty->QueryTransformFeedbackBufferStride(i), 0);
    }

    Fixture f(R"({"tf":[{"words":[32,33,255,289,-1],"stride":16}, 7, {"words":[40],"stride":4}]})");
    EXPECT_TRUE(f->QueryTransformFeedbackEnabled());
    auto b0 = f->QueryTransformFeedbackVaryingLocations(0);
    EXPECT_EQ(std::vector<uint8_t>(b0.begin(), b0.end()), (std::vector<uint8_t>{32, 33, 255, 33, 255}));
    EXPECT_EQ(f->QueryTransformFeedbackBufferStride(0), 16);
    EXPECT_TRUE(f->QueryTransformFeedbackVaryingLocations(1).empty()); // not an object
    EXPECT_EQ(f->QueryTransformFeedbackBufferStride(1), 0);
    EXPECT_EQ(f->QueryTransformFeedbackVaryingLocations(2).size(), 1u);
    EXPECT_EQ(f->QueryTransformFeedbackBufferStride(2), 4);
    EXPECT_TRUE(f->QueryTransformFeedbackVaryingLocations(3).empty());
    EXPECT_THROW(f->QueryTransformFeedbackVaryingLocations(4), C::ArgumentOutOfRangeException);

    Fixture off(R"({"tf":{"words":[]}})");
    EXPECT_FALSE(off->QueryTransformFeedbackEnabled());
}

TEST(FenkVanterAccessor, OneBindingCounterForAllKinds) {
    Fixture f("{}");
    EXPECT_EQ(f->AllocateConstantBufferBinding(0), 1); // binding 0 is the support buffer's
    EXPECT_EQ(f->AllocateTextureBinding(4), 2);
    EXPECT_EQ(f->AllocateStorageBufferBinding(0), 6);
    EXPECT_EQ(f->AllocateImageBinding(1), 7);
    EXPECT_EQ(f->AllocateConstantBufferBinding(3), 8);
    EXPECT_THROW(f->AllocateTextureBinding(0), C::ArgumentOutOfRangeException);
    EXPECT_THROW(f->AllocateImageBinding(INT32_MAX), C::OverflowException);
    EXPECT_EQ(f->NextBinding(), 9);
}
