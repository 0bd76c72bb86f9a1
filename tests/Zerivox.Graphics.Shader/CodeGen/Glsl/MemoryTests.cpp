// Resource access: images, texture sampling and queries, and loads and
// stores of inputs, outputs and buffers.
#include "GlslTestSupport.h"

#include "Zerivox.Common/Exceptions.h"

#include <functional>

using namespace Zerivox::Graphics::Shader::Testing;
using namespace Zerivox::Graphics::Shader;
using IR::TextureFlags;

namespace {

// Locals: temp_0 to temp_3 floats (u, v, w, r), temp_4 and temp_5 ints
// (x, y), then the result.
struct Locals {
    AstOperand* F[4];
    AstOperand* I[2];
};

struct MemoryCase {
    const char* Name;
    ShaderStage Stage;
    AggregateType Result;
    std::function<IAstNode*(GlslProgram&, const Locals&)> Build;
    const char* Expected;
};

std::string Statement(const std::string& text) {
    std::vector<std::string> statements = MainStatements(text);
    return statements.empty() ? "<none>" : statements.back();
}

void RunCases(const std::vector<MemoryCase>& cases) {
    for (const MemoryCase& c : cases) {
        GlslProgram p(c.Stage);
        auto texture = [&](int32_t binding, const char* name, SamplerType type) {
            p.Properties.AddOrUpdateTexture(SIR::TextureDefinition(0, binding, 1, false, name, type,
                                                                   TextureFormat::Unknown, TextureUsageFlags::None));
        };
        texture(1, "tex2d", SamplerType::Texture2D);
        texture(2, "tex2da", SamplerType::Texture2D | SamplerType::Array);
        texture(3, "shcuba", SamplerType::TextureCube | SamplerType::Array | SamplerType::Shadow);
        texture(4, "sh1d", SamplerType::Texture1D | SamplerType::Shadow);
        texture(5, "ms", SamplerType::Texture2D | SamplerType::Multisample);
        texture(6, "cube", SamplerType::TextureCube);
        texture(7, "sh2da", SamplerType::Texture2D | SamplerType::Array | SamplerType::Shadow);
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 10, 1, false, "imgu", SamplerType::Texture2D,
                                                             TextureFormat::R32Uint, TextureUsageFlags::None));
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 11, 1, false, "imgs", SamplerType::Texture2D,
                                                             TextureFormat::R32Sint, TextureUsageFlags::None));
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 12, 1, false, "imgfa",
                                                             SamplerType::Texture2D | SamplerType::Array,
                                                             TextureFormat::Unknown, TextureUsageFlags::None));
        StructureType fields({StructureField(AggregateType::Array | AggregateType::U32, "data", 0)});
        p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std430, 0, 20, "sb", fields));
        Locals l{};
        for (AstOperand*& f : l.F) {
            f = p.Local(AggregateType::FP32);
            p.Assign(p.Main, f, p.ConstF(0.25f));
        }
        for (AstOperand*& i : l.I) {
            i = p.Local(AggregateType::S32);
            p.Assign(p.Main, i, p.Const(1));
        }
        IAstNode* node = c.Build(p, l);
        if (c.Result == AggregateType::Void) {
            p.Add(p.Main, node);
        } else {
            AstOperand* result = p.Local(c.Result);
            p.Assign(p.Main, result, node);
        }
        std::string text = GenerateGlsl(p);
        EXPECT_EQ(Statement(text), c.Expected) << c.Name;
        EXPECT_EQ(CompileError(text, c.Stage), "") << c.Name << "\n" << text;
    }
}

// Atomics work on one-word integer texels: an image they use is declared
// through such a view whatever its own format (float formats as unsigned).
TEST(GlslMemory, ImagesThatAtomicsUse) {
    struct Case {
        TextureFormat Format;
        const char* Declaration;
        const char* Statement;
    };
    const Case cases[] = {
        {TextureFormat::R8G8B8A8Unorm, "layout (binding = 1, set = 0, r32ui) uniform uimage2D img;",
         "    temp_0 = int(imageAtomicAdd(img, ivec2(1, 2), 0x3F000000u));"},
        {TextureFormat::R32G32B32A32Uint, "layout (binding = 1, set = 0, r32ui) uniform uimage2D img;",
         "    temp_0 = int(imageAtomicAdd(img, ivec2(1, 2), 0x3F000000u));"},
        {TextureFormat::R16Sint, "layout (binding = 1, set = 0, r32i) uniform iimage2D img;",
         "    temp_0 = imageAtomicAdd(img, ivec2(1, 2), 0x3F000000);"},
    };
    for (const Case& c : cases) {
        GlslProgram p(ShaderStage::Compute);
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 1, 1, false, "img", SamplerType::Texture2D, c.Format,
                                                             TextureUsageFlags::None));
        AstOperand* r = p.Local(AggregateType::S32);
        p.Assign(p.Main, r,
                 p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D, TextureFlags::Add, 1, 1,
                           {p.Const(1), p.Const(2), p.ConstF(0.5f)}, c.Format));
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {c.Declaration})) << text;
        EXPECT_TRUE(HasLines(text, {c.Statement})) << text;
        EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");
    }
}

TEST(GlslMemory, ImageOperationsSpellTheirFormatAndType) {
    using P = GlslProgram;
    const auto C = ShaderStage::Compute;
    const auto S = AggregateType::S32;
    RunCases({
        {"increment of an unsigned image", C, S,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D, TextureFlags::Increment, 10, 1,
                              {l.I[0], l.I[1]}, TextureFormat::R32Uint);
         },
         "    temp_6 = int(imageAtomicAdd(imgu, ivec2(temp_4, temp_5), 1u));"},
        {"decrement of a signed image", C, S,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D, TextureFlags::Decrement, 11, 1,
                              {l.I[0], l.I[1]}, TextureFormat::R32Sint);
         },
         "    temp_6 = imageAtomicAdd(imgs, ivec2(temp_4, temp_5), -1);"},
        {"compare and swap: comparand first", C, S,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D, TextureFlags::CAS, 10, 1,
                              {l.I[0], l.I[1], p.Const(7), l.I[0]}, TextureFormat::R32Uint);
         },
         "    temp_6 = int(imageAtomicCompSwap(imgu, ivec2(temp_4, temp_5), 7u, uint(temp_4)));"},
        {"store fills missing components", C, AggregateType::Void,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::ImageStore, SamplerType::Texture2D | SamplerType::Array, TextureFlags::None,
                              12, 0, {l.I[0], l.I[1], p.Const(2), l.F[0], l.F[1]});
         },
         "    imageStore(imgfa, ivec3(temp_4, temp_5, 2), vec4(temp_0, temp_1, 0.0, 0.0));"},
        {"load of two components", C, AggregateType::FP32 | AggregateType::Vector2,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::ImageLoad, SamplerType::Texture2D | SamplerType::Array, TextureFlags::None,
                              12, 0b0101, {l.I[0], l.I[1], p.Const(0)});
         },
         "    temp_6 = imageLoad(imgfa, ivec3(temp_4, temp_5, 0)).xz;"},
        {"size of a storage image", C, S,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None, 10, 1, {});
         },
         "    temp_6 = imageSize(imgu).g;"},
        {"levels of a storage image", C, S,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None, 10, 3, {});
         },
         "    temp_6 = 1;"},
    });
}

// Sampling. Float coordinates go through Helper_ZeroNaN: NaN coordinates
// read texel 0 on the guest. Array shadow references compare at
// 16-bit precision.
TEST(GlslMemory, SamplingGuardsNaNCoordinatesAndQuantisesShadowReferences) {
    using P = GlslProgram;
    const auto Fr = ShaderStage::Fragment;
    const auto F = AggregateType::FP32;
    const auto V4 = AggregateType::FP32 | AggregateType::Vector4;
    RunCases({
        {"two-dimensional sample", Fr, V4,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None, 1, 0xF,
                              {l.F[0], l.F[1]});
         },
         "    temp_6 = texture(tex2d, Helper_ZeroNaN(vec2(temp_0, temp_1))).xyzw;"},
        {"array layer as float", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D | SamplerType::Array,
                              TextureFlags::None, 2, 0b10, {l.F[0], l.F[1], l.I[0]});
         },
         "    temp_6 = texture(tex2da, Helper_ZeroNaN(vec3(temp_0, temp_1, float(temp_4)))).y;"},
        {"fetch keeps integer coordinates", Fr, V4,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D | SamplerType::Array,
                              TextureFlags::IntCoords | TextureFlags::LodLevel, 2, 0xF, {l.I[0], l.I[1], p.Const(3),
                                                                                        p.Const(0)});
         },
         "    temp_6 = texelFetch(tex2da, ivec3(temp_4, temp_5, 3), 0).xyzw;"},
        {"multisample fetch takes the sample", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D | SamplerType::Multisample,
                              TextureFlags::IntCoords, 5, 1, {l.I[0], l.I[1], p.Const(2)});
         },
         "    temp_6 = texelFetch(ms, ivec2(temp_4, temp_5), 2).x;"},
        {"one-dimensional shadow", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture1D | SamplerType::Shadow,
                              TextureFlags::None, 4, 1, {l.F[0], l.F[3]});
         },
         "    temp_6 = texture(sh1d, vec3(Helper_ZeroNaN(temp_0), 0.0, temp_3));"},
        {"cube array shadow: reference apart", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample,
                              SamplerType::TextureCube | SamplerType::Array | SamplerType::Shadow, TextureFlags::None,
                              3, 1, {l.F[0], l.F[1], l.F[2], l.I[0], l.F[3]});
         },
         "    temp_6 = texture(shcuba, Helper_ZeroNaN(vec4(temp_0, temp_1, temp_2, float(temp_4))), "
         "(floor(clamp(temp_3, 0.0, 1.0) * 65535.0 + 0.5) * 1.52590219E-05));"},
        {"gather with a component and an offset", Fr, V4,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D,
                              TextureFlags::Gather | TextureFlags::Offset, 1, 0xF,
                              {l.F[0], l.F[1], p.Const(1), p.Const(-2), p.Const(3)});
         },
         "    temp_6 = textureGatherOffset(tex2d, Helper_ZeroNaN(vec2(temp_0, temp_1)), ivec2(1, -2), 3).xyzw;"},
        {"gradients", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::Derivatives, 1, 1,
                              {l.F[0], l.F[1], l.F[2], l.F[2], l.F[3], l.F[3]});
         },
         "    temp_6 = textureGrad(tex2d, Helper_ZeroNaN(vec2(temp_0, temp_1)), vec2(temp_2, temp_2), "
         "vec2(temp_3, temp_3)).x;"},
        // Only fragment shaders have implicit derivatives: elsewhere the
        // level is explicit, and a bias stands for it.
        {"implicit level outside fragment shaders", ShaderStage::Compute, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::LodBias, 1, 1,
                              {l.F[0], l.F[1], l.F[2]});
         },
         "    temp_6 = textureLod(tex2d, Helper_ZeroNaN(vec2(temp_0, temp_1)), temp_2).x;"},
        // The implicit forms read level 0 outside fragment shaders.
        {"implicit level of a compute shader", ShaderStage::Compute, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None, 1, 1,
                              {l.F[0], l.F[1]});
         },
         "    temp_6 = texture(tex2d, Helper_ZeroNaN(vec2(temp_0, temp_1))).x;"},
        // Level 0 of an array depth comparison without the shadow-level
        // extension: zero gradients in fragment shaders, the implicit form
        // elsewhere.
        {"level 0 of an array comparison", Fr, F,
         [](P& p, const Locals& l) {
             p.Host.HasTextureShadowLod = true;
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D | SamplerType::Array |
                                                              SamplerType::Shadow,
                              TextureFlags::LodLevel, 7, 1, {l.F[0], l.F[1], l.I[0], l.F[3], p.ConstF(0.0f)});
         },
         "    temp_6 = textureGrad(sh2da, vec4(Helper_ZeroNaN(vec3(temp_0, temp_1, float(temp_4))), (floor(clamp("
         "temp_3, 0.0, 1.0) * 65535.0 + 0.5) * 1.52590219E-05)), vec2(0.0), vec2(0.0));"},
        {"level 0 of an array comparison in a compute shader", ShaderStage::Compute, F,
         [](P& p, const Locals& l) {
             p.Host.HasTextureShadowLod = true;
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D | SamplerType::Array |
                                                              SamplerType::Shadow,
                              TextureFlags::LodLevel, 7, 1, {l.F[0], l.F[1], l.I[0], l.F[3], p.ConstF(0.0f)});
         },
         "    temp_6 = texture(sh2da, vec4(Helper_ZeroNaN(vec3(temp_0, temp_1, float(temp_4))), (floor(clamp("
         "temp_3, 0.0, 1.0) * 65535.0 + 0.5) * 1.52590219E-05)));"},
        {"level query", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::Lod, SamplerType::Texture2D, TextureFlags::None, 1, 1, {l.F[0], l.F[1]});
         },
         "    temp_6 = textureQueryLod(tex2d, vec2(temp_0, temp_1)).g;"},
        {"level query outside fragment shaders", ShaderStage::Compute, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::Lod, SamplerType::Texture2D, TextureFlags::None, 1, 1, {l.F[0], l.F[1]});
         },
         "    temp_6 = 0.0;"},
        {"height", Fr, AggregateType::S32,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None, 1, 1,
                              {p.Const(0)});
         },
         "    temp_6 = textureSize(tex2d, 0).g;"},
        {"levels", Fr, AggregateType::S32,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None, 1, 3, {});
         },
         "    temp_6 = textureQueryLevels(tex2d);"},
        {"depth of a cube", Fr, AggregateType::S32,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySize, SamplerType::TextureCube, TextureFlags::None, 6, 2,
                              {p.Const(0)});
         },
         "    temp_6 = 0;"},
        {"samples", Fr, AggregateType::S32,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySamples, SamplerType::Texture2D | SamplerType::Multisample,
                              TextureFlags::None, 5, 0, {});
         },
         "    temp_6 = textureSamples(ms);"},
        // Only a multisampled texture has samples to count.
        {"samples of a single-sampled texture", Fr, AggregateType::S32,
         [](P& p, const Locals&) {
             return p.Texture(Instruction::TextureQuerySamples, SamplerType::Texture2D, TextureFlags::None, 1, 0, {});
         },
         "    temp_6 = 1;"},
        // A mask without components reads x, as the SPIR-V module does.
        {"sample without components", Fr, F,
         [](P& p, const Locals& l) {
             return p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None, 1, 0,
                              {l.F[0], l.F[1]});
         },
         "    temp_6 = texture(tex2d, Helper_ZeroNaN(vec2(temp_0, temp_1))).x;"},
    });
}

// A lookup that addresses a texture as another kind than declared has no
// GLSL spelling; a depth comparison gives one value, so it cannot fill a
// vector.
TEST(GlslMemory, LookupsThatDoNotFitTheTexture) {
    {
        // Levels other than 0 of array depth comparisons need an extension
        // the checking glslang does not know.
        GlslProgram p(ShaderStage::Fragment);
        p.Host.HasTextureShadowLod = true;
        SamplerType type = SamplerType::Texture2D | SamplerType::Array | SamplerType::Shadow;
        p.Properties.AddOrUpdateTexture(SIR::TextureDefinition(0, 1, 1, false, "t", type, TextureFormat::Unknown,
                                                               TextureUsageFlags::None));
        AstOperand* level = p.Local(AggregateType::FP32);
        AstOperand* r = p.Local(AggregateType::FP32);
        p.Assign(p.Main, r,
                 p.Texture(Instruction::TextureSample, type, TextureFlags::LodLevel, 1, 1,
                           {p.ConstF(0.5f), p.ConstF(0.5f), p.Const(0), p.ConstF(0.5f), level}));
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::NotSupportedException& e) {
            EXPECT_STREQ(e.what(), "An explicit level of a \"Texture2D, Array, Shadow\" depth comparison needs "
                                   "GL_EXT_texture_shadow_lod.");
        }
    }
    {
        GlslProgram p(ShaderStage::Compute);
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 1, 1, false, "img", SamplerType::Texture2D,
                                                             TextureFormat::R32Uint, TextureUsageFlags::None));
        AstOperand* r = p.Local(AggregateType::S32);
        p.Assign(p.Main, r,
                 p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D | SamplerType::Array, TextureFlags::Add, 1,
                           1, {p.Const(1), p.Const(2), p.Const(0), p.Const(1)}, TextureFormat::R32Uint));
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), "An image declared as \"Texture2D\" is used as \"Texture2D, Array\".");
        }
    }
    {
        GlslProgram p(ShaderStage::Fragment);
        p.Properties.AddOrUpdateTexture(SIR::TextureDefinition(0, 1, 1, false, "t", SamplerType::TextureCube,
                                                               TextureFormat::Unknown, TextureUsageFlags::None));
        AstOperand* r = p.Local(AggregateType::FP32);
        p.Assign(p.Main, r,
                 p.Texture(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None, 1, 1,
                           {p.ConstF(0.5f), p.ConstF(0.5f)}));
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), "A texture declared as \"TextureCube\" is used as \"Texture2D\".");
        }
    }
    {
        GlslProgram p(ShaderStage::Fragment);
        p.Properties.AddOrUpdateTexture(SIR::TextureDefinition(0, 1, 1, false, "t", SamplerType::Texture3D,
                                                               TextureFormat::Unknown, TextureUsageFlags::None));
        AstOperand* r = p.Local(AggregateType::FP32);
        p.Assign(p.Main, r,
                 p.Texture(Instruction::TextureSample, SamplerType::Texture3D, TextureFlags::Gather, 1, 1,
                           {p.ConstF(0.5f), p.ConstF(0.5f), p.ConstF(0.5f), p.Const(0)}));
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), "A texture of type \"Texture3D\" cannot be gathered.");
        }
    }
    {
        GlslProgram p(ShaderStage::Fragment);
        SamplerType shadow = SamplerType::Texture2D | SamplerType::Shadow;
        p.Properties.AddOrUpdateTexture(SIR::TextureDefinition(0, 1, 1, false, "t", shadow, TextureFormat::Unknown,
                                                               TextureUsageFlags::None));
        AstOperand* r = p.Local(AggregateType::FP32 | AggregateType::Vector2);
        p.Assign(p.Main, r,
                 p.Texture(Instruction::TextureSample, shadow, TextureFlags::None, 1, 3,
                           {p.ConstF(0.5f), p.ConstF(0.5f), p.ConstF(0.5f)}));
        // A depth comparison written to two components gives both its value.
        const std::string text = GenerateGlsl(p);
        EXPECT_NE(text.find("= vec2(texture("), std::string::npos) << text;
        EXPECT_EQ(CompileError(text, ShaderStage::Fragment), "");
    }
}

// An index made of undefined values is computed when the shader runs, as
// in the SPIR-V module, not folded into a constant that GLSL would check
// against the array.
TEST(GlslMemory, UndefinedIndexesAreComputedAtRunTime) {
    GlslProgram p(ShaderStage::Compute);
    p.Properties.AddSharedMemory(SIR::MemoryDefinition("shared_memory", AggregateType::Array | AggregateType::U32, 4));
    AstOperand* u = p.Local(AggregateType::U32);
    p.Assign(p.Main, u,
             p.Op(Instruction::Load, StorageKind::SharedMemory,
                  {p.Const(0), p.Op(Instruction::Add, {p.Undefined(), p.Const(0x400)})}));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"    temp_0 = shared_memory[undef + 0x400];"})) << text;
    EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");
    // A constant index beyond the array reads 0; a store there is left out.
    GlslProgram q(ShaderStage::Compute);
    q.Properties.AddSharedMemory(SIR::MemoryDefinition("shared_memory", AggregateType::Array | AggregateType::U32, 4));
    AstOperand* v = q.Local(AggregateType::U32);
    q.Assign(q.Main, v, q.Op(Instruction::Load, StorageKind::SharedMemory, {q.Const(0), q.Const(4)}));
    q.Add(q.Main, q.Op(Instruction::Store, StorageKind::SharedMemory, {q.Const(0), q.Const(-1), v}));
    q.Assign(q.Main, v, q.Op(Instruction::AtomicAdd, StorageKind::SharedMemory, {q.Const(0), q.Const(9), v}));
    text = GenerateGlsl(q);
    EXPECT_EQ(Joined(MainStatements(text)), "    temp_0 = 0u;\n    temp_0 = 0u;\n");
    EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");
}

TEST(GlslMemory, LoadsAndStoresPerStorageKind) {
    using P = GlslProgram;
    const auto F = AggregateType::FP32;
    auto load = [](P& p, StorageKind kind, std::initializer_list<IAstNode*> sources) {
        return p.Op(Instruction::Load, kind, sources);
    };
    RunCases({
        {"float stored into an unsigned buffer word", ShaderStage::Compute, AggregateType::Void,
         [](P& p, const Locals& l) {
             return p.Op(Instruction::Store, StorageKind::StorageBuffer, {p.Const(20), p.Const(0), l.I[0], l.F[0]});
         },
         "    sb.data[temp_4] = floatBitsToUint(temp_0);"},
        {"position of a geometry shader's vertex", ShaderStage::Geometry, F,
         [&](P& p, const Locals& l) {
             return load(p, StorageKind::Input,
                         {p.Const(static_cast<int32_t>(IoVariable::Position)), l.I[1], p.Const(1)});
         },
         "    temp_6 = gl_in[temp_5].gl_Position.y;"},
        {"constant component beyond a vector", ShaderStage::Fragment, F,
         [&](P& p, const Locals&) {
             return load(p, StorageKind::Input, {p.Const(static_cast<int32_t>(IoVariable::FragmentCoord)), p.Const(5)});
         },
         "    temp_6 = gl_FragCoord.y;"},
        {"upper word of a two-word subgroup mask", ShaderStage::Compute, AggregateType::U32,
         [&](P& p, const Locals&) {
             p.Host.HasArbShaderBallot = true;
             return load(p, StorageKind::Input,
                         {p.Const(static_cast<int32_t>(IoVariable::SubgroupLtMask)), p.Const(2)});
         },
         "    temp_6 = 0u;"},
        {"lower word of a two-word subgroup mask", ShaderStage::Compute, AggregateType::U32,
         [&](P& p, const Locals&) {
             p.Host.HasArbShaderBallot = true;
             return load(p, StorageKind::Input,
                         {p.Const(static_cast<int32_t>(IoVariable::SubgroupLtMask)), p.Const(1)});
         },
         "    temp_6 = unpackUint2x32(gl_SubGroupLtMaskARB).y;"},
        {"tessellation control output of the own vertex", ShaderStage::TessellationControl, AggregateType::Void,
         [](P& p, const Locals& l) {
             p.Io(StorageKind::Output, IoVariable::UserDefined, 1);
             return p.Op(Instruction::Store, StorageKind::Output,
                         {p.Const(static_cast<int32_t>(IoVariable::UserDefined)), p.Const(1), l.I[0], p.Const(0),
                          l.F[0]});
         },
         "    out_attr1[gl_InvocationID].x = temp_0;"},
        {"tessellation control position of the own vertex", ShaderStage::TessellationControl, AggregateType::Void,
         [](P& p, const Locals& l) {
             return p.Op(Instruction::Store, StorageKind::Output,
                         {p.Const(static_cast<int32_t>(IoVariable::Position)), l.I[0], p.Const(3), l.F[0]});
         },
         "    gl_out[gl_InvocationID].gl_Position.w = temp_0;"},
    });

    // A built-in the stage does not have fails by name.
    {
        GlslProgram v(ShaderStage::Vertex);
        AstOperand* i = v.Local(AggregateType::S32);
        v.Assign(v.Main, i,
                 v.Op(Instruction::Load, StorageKind::Input, {v.Const(static_cast<int32_t>(IoVariable::InvocationId))}));
        try {
            GenerateGlsl(v);
            ADD_FAILURE();
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), "Input InvocationId does not exist in a Vertex shader.");
        }
    }
    // Per-vertex arrays of a tessellation control shader: the own vertex,
    // then the element; an access without component reads x.
    {
        GlslProgram t(ShaderStage::TessellationControl, {}, 4);
        t.Io(StorageKind::Output, IoVariable::ClipDistance);
        t.Io(StorageKind::Input, IoVariable::Position);
        AstOperand* f = t.Local(AggregateType::FP32);
        t.Assign(t.Main, f,
                 t.Op(Instruction::Load, StorageKind::Input,
                      {t.Const(static_cast<int32_t>(IoVariable::Position)), t.Const(0)}));
        t.Add(t.Main, t.Op(Instruction::Store, StorageKind::Output,
                           {t.Const(static_cast<int32_t>(IoVariable::ClipDistance)), t.Const(0), t.Const(3), f}));
        std::string text = GenerateGlsl(t);
        EXPECT_TRUE(HasLines(text, {"    temp_0 = gl_in[0].gl_Position.x;",
                                    "    gl_out[gl_InvocationID].gl_ClipDistance[3] = temp_0;"}))
            << text;
        EXPECT_EQ(CompileError(text, ShaderStage::TessellationControl), "");
    }
    // An indexed output named by its component alone is the first one's.
    {
        GlslProgram v(ShaderStage::Vertex);
        v.Definitions->IndexedOutputAttributes = true;
        v.Io(StorageKind::Output, IoVariable::UserDefined);
        v.Add(v.Main, v.Op(Instruction::Store, StorageKind::Output,
                           {v.Const(static_cast<int32_t>(IoVariable::UserDefined)), v.Const(0), v.ConstF(1.0f)}));
        std::string text = GenerateGlsl(v);
        EXPECT_TRUE(HasLines(text, {"    out_attr[0].x = 1.0;"})) << text;
        EXPECT_EQ(CompileError(text, ShaderStage::Vertex), "");
    }
    // Indexed inputs of a tessellation evaluation shader are arrays over the
    // patch as well.
    {
        GlslProgram e(ShaderStage::TessellationEvaluation);
        e.Definitions->IndexedInputAttributes = true;
        e.Io(StorageKind::Input, IoVariable::UserDefined);
        AstOperand* f = e.Local(AggregateType::FP32);
        AstOperand* i = e.Local(AggregateType::S32);
        e.Assign(e.Main, i, e.Const(2));
        e.Assign(e.Main, f,
                 e.Op(Instruction::Load, StorageKind::Input,
                      {e.Const(static_cast<int32_t>(IoVariable::UserDefined)), e.Const(1), i, e.Const(3)}));
        std::string text = GenerateGlsl(e);
        EXPECT_TRUE(HasLines(text, {"layout (location = 0) in vec4 in_attr[][16];"})) << text;
        EXPECT_TRUE(HasLines(text, {"    temp_0 = in_attr[1][temp_1].w;"})) << text;
        EXPECT_EQ(CompileError(text, ShaderStage::TessellationEvaluation), "");
    }

    // A constant vertex beyond a point primitive reads its one vertex.
    GpuGraphicsState points;
    points.Topology = InputTopology::Points;
    GlslProgram p(ShaderStage::Geometry, points);
    p.Io(StorageKind::Input, IoVariable::UserDefined, 0);
    AstOperand* f = p.Local(AggregateType::FP32);
    p.Assign(p.Main, f,
             p.Op(Instruction::Load, StorageKind::Input,
                  {p.Const(static_cast<int32_t>(IoVariable::UserDefined)), p.Const(0), p.Const(2), p.Const(1)}));
    p.Assign(p.Main, f,
             p.Op(Instruction::Load, StorageKind::Input,
                  {p.Const(static_cast<int32_t>(IoVariable::Position)), p.Const(2), p.Const(0)}));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"    temp_0 = in_attr0[0].y;", "    temp_0 = gl_in[0].gl_Position.x;"})) << text;
    EXPECT_EQ(CompileError(text, ShaderStage::Geometry), "");
}

} // namespace
