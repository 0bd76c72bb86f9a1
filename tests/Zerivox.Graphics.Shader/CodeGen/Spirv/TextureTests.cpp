#include "SpirvTestSupport.h"
#include "Zerivox.Common/Exceptions.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;
using IR::TextureFlags;

namespace {

void AddTexture(SpirvProgram& p, int32_t binding, SamplerType type, int32_t arrayLength = 1) {
    p.Properties.AddOrUpdateTexture(SIR::TextureDefinition(0, binding, arrayLength, false,
                                                           "tex" + std::to_string(binding), type,
                                                           TextureFormat::Unknown, TextureUsageFlags::None));
}

// The same 2D array sample in a vertex and a fragment shader: coordinates
// with the layer converted from an integer and NaN guarded; implicit level of
// detail only where derivatives exist.
TEST(SpirvTextureTests, SampleTakesAnExplicitLevelOutsideFragmentShaders) {
    ZV_REQUIRE_SPIRV_TOOLS();
    for (ShaderStage stage : {ShaderStage::Vertex, ShaderStage::Fragment}) {
        SCOPED_TRACE(ShaderStageName(stage));
        SpirvProgram p(stage);
        SamplerType type = SamplerType::Texture2D | SamplerType::Array;
        AddTexture(p, 1, type);
        AstOperand* color = p.Local(AggregateType::FP32 | AggregateType::Vector4);
        AstOperand* f = p.Local(AggregateType::FP32);
        p.Assign(p.Main, color,
                 p.Texture(Instruction::TextureSample, type, TextureFlags::None, 1, 0b1111,
                           {p.ConstF(0.5f), p.ConstF(0.5f), p.Const(2)}));
        p.Assign(p.Main, f, p.Op(Instruction::Ddx, {p.ConstF(1.0f)}));
        p.Assign(p.Main, f,
                 p.Texture(Instruction::Lod, type, TextureFlags::None, 1, 1, {p.ConstF(0.5f), p.ConstF(0.5f)}));
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        std::string text = Disassemble(bytes);
        EXPECT_EQ(Lines(text, "OpConvertSToF").size(), 1u);
        EXPECT_EQ(Lines(text, "OpIsNan").size(), 1u);
        bool fragment = stage == ShaderStage::Fragment;
        EXPECT_EQ(Lines(text, "OpImageSampleImplicitLod").size(), fragment ? 1u : 0u);
        EXPECT_EQ(Lines(text, "OpImageSampleExplicitLod").size(), fragment ? 0u : 1u);
        EXPECT_EQ(Contains(text, "Lod %float_0"), !fragment) << text;
        EXPECT_EQ(Lines(text, "OpDPdx").size(), fragment ? 1u : 0u);
        EXPECT_EQ(Lines(text, "OpImageQueryLod").size(), fragment ? 1u : 0u);
    }
}

// A table of sample forms and the instruction and operands each produces.
TEST(SpirvTextureTests, SampleFormsChooseTheirInstructionAndOperands) {
    ZV_REQUIRE_SPIRV_TOOLS();
    struct Case {
        const char* Name;
        SamplerType Type;
        TextureFlags Flags;
        int32_t Mask;
        std::vector<int32_t> IntSources;
        std::vector<std::string> Expected;
    };
    const SamplerType shadowArray = SamplerType::Texture2D | SamplerType::Array | SamplerType::Shadow;
    const std::vector<Case> cases{
        {"shadow array",
         shadowArray,
         TextureFlags::None,
         1,
         {},
         {"OpImageSampleDrefImplicitLod %float", "FClamp", "Floor"}},
        {"fetch with level",
         SamplerType::Texture2D,
         TextureFlags::IntCoords | TextureFlags::LodLevel,
         0b1111,
         {1, 2, 0},
         {"OpImageFetch %v4float", "Lod %int_0", "OpImage "}},
        {"multisample fetch",
         SamplerType::Texture2D | SamplerType::Multisample,
         TextureFlags::IntCoords | TextureFlags::LodLevel,
         0b1111,
         {1, 2, 3},
         {"Sample %int_3"}},
        {"gather with four offsets",
         SamplerType::Texture2D,
         TextureFlags::Gather | TextureFlags::Offsets,
         0b0101,
         {},
         {"OpImageGather", "ConstOffsets", "OpVectorShuffle %v2float"}},
        {"swizzle of one component",
         SamplerType::Texture2D,
         TextureFlags::None,
         0b0100,
         {},
         {"OpCompositeExtract %float %", " 2\n"}},
        {"texel offset",
         SamplerType::Texture2D,
         TextureFlags::Offset | TextureFlags::LodLevel,
         0b0011,
         {},
         {"Lod|ConstOffset"}},
        {"derivatives",
         SamplerType::Texture3D,
         TextureFlags::Derivatives,
         0b1000,
         {},
         {"OpImageSampleExplicitLod", "Grad"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SpirvProgram p(ShaderStage::Fragment);
        AddTexture(p, 1, c.Type);
        std::vector<IAstNode*> sources;
        int32_t dims = SamplerTypeExtensions::get_Dimensions(c.Type);
        bool intCoords = HasFlag(c.Flags, TextureFlags::IntCoords);
        if (intCoords) {
            for (int32_t value : c.IntSources)
                sources.push_back(p.Const(value));
        } else {
            for (int32_t i = 0; i < dims; i++)
                sources.push_back(p.ConstF(0.25f));
            if (HasFlag(c.Type, SamplerType::Array))
                sources.push_back(p.Const(1));
            if (HasFlag(c.Type, SamplerType::Shadow))
                sources.push_back(p.ConstF(0.75f));
            if (HasFlag(c.Flags, TextureFlags::Derivatives)) {
                for (int32_t i = 0; i < 2 * dims; i++)
                    sources.push_back(p.ConstF(0.125f));
            }
            if (HasFlag(c.Flags, TextureFlags::LodLevel))
                sources.push_back(p.ConstF(1.0f));
            if (HasFlag(c.Flags, TextureFlags::Offset)) {
                sources.push_back(p.Const(1));
                sources.push_back(p.Const(-1));
            }
            if (HasFlag(c.Flags, TextureFlags::Offsets)) {
                for (int32_t i = 0; i < 8; i++)
                    sources.push_back(p.Const(i % 3 - 1));
            }
            if (HasFlag(c.Flags, TextureFlags::Gather))
                sources.push_back(p.Const(1));
        }
        auto* sample = p.Info.Arena.New<SIR::AstTextureOperation>(Instruction::TextureSample, c.Type,
                                                                  TextureFormat::Unknown, c.Flags, 0, 1, -1, -1, c.Mask,
                                                                  std::span<IAstNode* const>(sources));
        AstOperand* result = p.Local(sample->GetVectorType(AggregateType::FP32));
        if (HasFlag(c.Type, SamplerType::Shadow) && !HasFlag(c.Flags, TextureFlags::Gather)) {
            result->VarType = AggregateType::FP32;
        }
        p.Assign(p.Main, result, sample);
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        std::string text = Disassemble(bytes);
        for (const std::string& piece : c.Expected)
            EXPECT_TRUE(Contains(text, piece)) << piece << "\n" << text;
    }
}

TEST(SpirvTextureTests, SizeQueriesFollowTheDeclaredType) {
    ZV_REQUIRE_SPIRV_TOOLS();
    struct Case {
        SamplerType Type;
        int32_t Index;
        const char* Expected;
        bool HasLevel;
    };
    const std::vector<Case> cases{
        {SamplerType::Texture2D, 3, "OpImageQueryLevels %int", false},
        {SamplerType::TextureCube, 1, "OpImageQuerySizeLod %v2int", true},
        {SamplerType::TextureBuffer, 0, "OpImageQuerySize %int", false},
        {SamplerType::Texture2D | SamplerType::Multisample, 0, "OpImageQuerySize %v2int", false},
        {SamplerType::Texture1D | SamplerType::Array, 1, "OpImageQuerySizeLod %v2int", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Expected);
        SpirvProgram p(ShaderStage::Compute);
        AddTexture(p, 1, c.Type);
        AstOperand* size = p.Local(AggregateType::S32);
        std::vector<IAstNode*> sources;
        if (c.HasLevel)
            sources.push_back(p.Const(0));
        p.Assign(p.Main, size,
                 p.Info.Arena.New<SIR::AstTextureOperation>(Instruction::TextureQuerySize, c.Type,
                                                            TextureFormat::Unknown, TextureFlags::None, 0, 1, -1, -1,
                                                            c.Index, std::span<IAstNode* const>(sources)));
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        EXPECT_TRUE(Contains(Disassemble(bytes), c.Expected));
    }
}

// A size query bound to a storage image asks the image: no level operand,
// and the image's one level for the level count.
TEST(SpirvTextureTests, SizeQueriesOfStorageImagesHaveNoLevel) {
    ZV_REQUIRE_SPIRV_TOOLS();
    struct Case {
        SamplerType Type;
        int32_t Index;
        const char* Expected;
    };
    const std::vector<Case> cases{
        {SamplerType::Texture2D, 1, "OpImageQuerySize %v2int"},
        {SamplerType::Texture2D | SamplerType::Array, 2, "OpImageQuerySize %v3int"},
        {SamplerType::Texture2D, 3, "%int_1 = OpConstant %int 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Expected);
        SpirvProgram p(ShaderStage::Compute);
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 1, 1, false, "img", c.Type, TextureFormat::R32Uint,
                                                             TextureUsageFlags::None));
        AstOperand* size = p.Local(AggregateType::S32);
        p.Assign(p.Main, size, p.Texture(Instruction::TextureQuerySize, c.Type, TextureFlags::None, 1, c.Index, {}));
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        const std::string text = Disassemble(bytes);
        EXPECT_EQ(Lines(text, "OpImageQuerySizeLod").size(), 0u) << text;
        EXPECT_EQ(Lines(text, "OpImageQuerySize").size(), c.Index == 3 ? 0u : 1u) << text;
        EXPECT_TRUE(Contains(text, c.Expected)) << text;
    }
}

// Arrays of textures: the index selects the element; a host with
// non-uniform indexing marks the access and declares the extension once.
TEST(SpirvTextureTests, IndexedTexturesAreMarkedNonUniformOnHostsThatSupportIt) {
    ZV_REQUIRE_SPIRV_TOOLS();
    for (bool nonUniform : {false, true}) {
        SCOPED_TRACE(nonUniform ? "non-uniform host" : "plain host");
        SpirvProgram p(ShaderStage::Fragment);
        p.Host.HasNonUniformIndexing = nonUniform;
        AddTexture(p, 1, SamplerType::Texture2D, 8);
        AstOperand* index = p.Local(AggregateType::S32);
        AstOperand* color = p.Local(AggregateType::FP32);
        p.Assign(p.Main, index, p.Const(3));
        for (int i = 0; i < 2; i++) {
            p.Assign(p.Main, color,
                     p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None, 1, 1,
                               {index, p.ConstF(0.5f), p.ConstF(0.5f)}));
        }
        std::vector<uint8_t> bytes = p.Generate();
        ASSERT_EQ(Validate(bytes), "");
        std::string text = Disassemble(bytes);
        EXPECT_TRUE(Contains(text, "OpTypeArray %_ptr_UniformConstant") || Contains(text, "OpTypeArray %")) << text;
        EXPECT_EQ(Lines(text, "OpExtension \"SPV_EXT_descriptor_indexing\"").size(), nonUniform ? 1u : 0u);
        EXPECT_EQ(Lines(text, "OpCapability ShaderNonUniform").size(), nonUniform ? 1u : 0u);
        EXPECT_EQ(Lines(text, "OpDecorate").size() > 2u, nonUniform);
    }
}

// A texture is declared with one shape; a sample that addresses it as
// another (a 2D texture sampled as 3D) has coordinates the image cannot take
// and fails with a typed error, while a depth comparison on a texture declared
// without it keeps the declared shape.
TEST(SpirvTextureTests, SampleOfAnotherShapeThanDeclaredFails) {
    struct Case {
        SamplerType Declared, Used;
        const char* Error; // null: a valid module
    };
    const Case cases[] = {
        {SamplerType::Texture2D, SamplerType::Texture2D | SamplerType::Shadow, nullptr},
        {SamplerType::Texture2D, SamplerType::Texture3D,
         "The texture at binding 1 is declared as Texture2D but used as Texture3D."},
        {SamplerType::Texture2D, SamplerType::Texture2D | SamplerType::Array,
         "The texture at binding 1 is declared as Texture2D but used as Texture2D, Array."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(SamplerTypeName(c.Used));
        SpirvProgram p(ShaderStage::Fragment);
        AddTexture(p, 1, c.Declared);
        AstOperand* f = p.Local(AggregateType::FP32);
        // Three sources in every case: x, y and the reference, layer or z.
        p.Assign(p.Main, f,
                 p.Texture(Instruction::TextureSample, c.Used, TextureFlags::None, 1, 1,
                           {p.ConstF(0.5f), p.ConstF(0.5f), p.ConstF(0.5f)}));
        if (c.Error == nullptr) {
            std::vector<uint8_t> bytes = p.Generate();
            EXPECT_EQ(Validate(bytes), "");
            continue;
        }
        try {
            p.Generate();
            ADD_FAILURE() << "expected an error";
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), c.Error);
        }
    }
}

} // namespace
