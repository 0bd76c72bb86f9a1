// Everything ahead of the functions: header lines, stage layouts, helper
// functions, type names, resources, inputs and outputs.
#include "GlslTestSupport.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"

using namespace Zerivox::Graphics::Shader::Testing;
using namespace Zerivox::Graphics::Shader;
namespace Glsl = Zerivox::Graphics::Shader::CodeGen::Glsl;
using Translation::TargetGraphicsApi;

namespace {

// The extension lines of the header, in order.
std::vector<std::string> Extensions(const std::string& text) {
    std::vector<std::string> result;
    for (const std::string& line : TextLines(text)) {
        if (line.rfind("#extension ", 0) == 0)
            result.push_back(line.substr(11, line.size() - 11 - 9));
    }
    return result;
}

TEST(GlslDeclarations, HeaderLinesByStageAndHost) {
    using V = std::vector<std::string>;
    const V common{"GL_ARB_shader_group_vote", "GL_EXT_shader_image_load_formatted", "GL_EXT_texture_shadow_lod"};
    const V khr{"GL_KHR_shader_subgroup_basic", "GL_KHR_shader_subgroup_ballot", "GL_KHR_shader_subgroup_shuffle"};
    const V arb{"GL_ARB_shader_ballot", "GL_KHR_shader_subgroup_shuffle"};
    auto expect = [&](const V& subgroup, const V& stage) {
        V all{"GL_ARB_gpu_shader_int64"};
        all.insert(all.end(), subgroup.begin(), subgroup.end());
        all.insert(all.end(), common.begin(), common.end());
        all.insert(all.end(), stage.begin(), stage.end());
        return all;
    };
    struct Case {
        ShaderStage Stage;
        bool Arb;
        bool Interlock;
        bool Intel;
        V Stage_;
    };
    const Case cases[] = {
        {ShaderStage::Compute, false, true, false, {"GL_ARB_compute_shader"}},
        {ShaderStage::Vertex, true, true, false,
         {"GL_ARB_shader_draw_parameters", "GL_ARB_shader_viewport_layer_array"}},
        {ShaderStage::Geometry, false, true, false, {"GL_ARB_shader_viewport_layer_array"}},
        {ShaderStage::TessellationControl, false, true, false, {"GL_ARB_shader_viewport_layer_array"}},
        {ShaderStage::Fragment, false, true, true, {"GL_ARB_fragment_shader_interlock"}},
        {ShaderStage::Fragment, false, false, true, {"GL_INTEL_fragment_shader_ordering"}},
        {ShaderStage::Fragment, false, false, false, {}},
    };
    for (const Case& c : cases) {
        GlslProgram p(c.Stage);
        p.Host.HasArbShaderBallot = c.Arb;
        p.Host.HasFragmentShaderInterlock = c.Interlock;
        p.Host.HasIntelFragmentShaderOrdering = c.Intel;
        std::string text = GenerateGlsl(p);
        EXPECT_EQ(Extensions(text), expect(c.Arb ? arb : khr, c.Stage_)) << static_cast<int>(c.Stage);
        EXPECT_EQ(CompileError(text, c.Stage), "") << static_cast<int>(c.Stage);
    }

    GlslProgram openGl(ShaderStage::Fragment);
    openGl.Api = TargetGraphicsApi::OpenGL;
    EXPECT_TRUE(GenerateGlsl(openGl).starts_with("#version 450 core\r\n"));
    GlslProgram vulkan(ShaderStage::Fragment);
    std::string text = GenerateGlsl(vulkan);
    EXPECT_TRUE(text.starts_with("#version 460 core\r\n"));
    EXPECT_TRUE(HasLines(text, {"#pragma optionNV(fastmath off)", "", "int undef = 0;", ""}));
}

TEST(GlslDeclarations, StageLayouts) {
    {
        GlslProgram p(ShaderStage::Compute);
        p.Definitions->WorkgroupSizeX = 257;
        p.Definitions->WorkgroupSizeY = 256;
        EXPECT_TRUE(HasLines(GenerateGlsl(p),
                             {"layout (local_size_x = 0x101, local_size_y = 256, local_size_z = 1) in;", ""}));
    }
    {
        GpuGraphicsState state;
        state.Topology = InputTopology::TrianglesAdjacency;
        GlslProgram p(ShaderStage::Geometry, state, 2, OutputTopology::LineStrip, 200);
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {"layout (invocations = 2, triangles_adjacency) in;",
                                    "layout (line_strip, max_vertices = 200) out;", ""}));
        EXPECT_EQ(CompileError(text, ShaderStage::Geometry), "");
        p.Definitions->GeometryPassthrough = true;
        p.Host.HasGeometryShaderPassthrough = true;
        EXPECT_TRUE(HasLines(GenerateGlsl(p), {"layout (invocations = 2, triangles_adjacency) in;",
                                               "layout (passthrough) in gl_PerVertex", "{", "    vec4 gl_Position;",
                                               "    float gl_PointSize;", "    float gl_ClipDistance[];", "};",
                                               ""}));
    }
    {
        GlslProgram p(ShaderStage::TessellationControl, {}, 4);
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {"layout (vertices = 4) out;", ""}));
        EXPECT_EQ(CompileError(text, ShaderStage::TessellationControl), "");
    }
    struct Tess {
        TessPatchType Patch;
        TessSpacing Spacing;
        bool Clockwise;
        TargetGraphicsApi Api;
        const char* Line;
    };
    const Tess tess[] = {
        {TessPatchType::Quads, TessSpacing::FractionalEven, true, TargetGraphicsApi::Vulkan,
         "layout (quads, fractional_even_spacing, ccw) in;"},
        {TessPatchType::Quads, TessSpacing::FractionalEven, true, TargetGraphicsApi::OpenGL,
         "layout (quads, fractional_even_spacing, cw) in;"},
        {TessPatchType::Isolines, TessSpacing::FractionalOdd, false, TargetGraphicsApi::Vulkan,
         "layout (isolines, fractional_odd_spacing, cw) in;"},
        {TessPatchType::Triangles, TessSpacing::EqualSpacing, false, TargetGraphicsApi::OpenGL,
         "layout (triangles, equal_spacing, ccw) in;"},
    };
    for (const Tess& t : tess) {
        GpuGraphicsState state;
        state.TessellationPatchType = t.Patch;
        state.TessellationSpacing = t.Spacing;
        state.TessellationClockwise = t.Clockwise;
        GlslProgram p(ShaderStage::TessellationEvaluation, state);
        p.Api = t.Api;
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {t.Line, ""})) << t.Line;
        if (t.Api == TargetGraphicsApi::Vulkan) {
            EXPECT_EQ(CompileError(text, ShaderStage::TessellationEvaluation), "");
        }
    }
    {
        GpuGraphicsState state;
        state.EarlyFragmentTests = true;
        state.OriginUpperLeft = true;
        GlslProgram p(ShaderStage::Fragment, state);
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {"layout (early_fragment_tests) in;", "",
                                    "layout (origin_upper_left) in vec4 gl_FragCoord;", "", "", "void main()"}));
        EXPECT_EQ(CompileError(text, ShaderStage::Fragment), "");
    }
}

// The helpers a program uses, in a fixed order, each followed by one empty
// line, with the subgroup invocation named as the host spells it.
TEST(GlslDeclarations, HelperFunctions) {
    for (bool arb : {false, true}) {
        GlslProgram p(ShaderStage::Compute);
        p.Host.HasArbShaderBallot = arb;
        AstOperand* s = p.Local(AggregateType::S32);
        AstOperand* u = p.Local(AggregateType::U32);
        AstOperand* f = p.Local(AggregateType::FP32);
        p.Assign(p.Main, f, p.Op(Instruction::SwizzleAdd, {f, f, s}));
        p.Assign(p.Main, u, p.Op(Instruction::MultiplyHighU32, {u, u}));
        p.Assign(p.Main, s, p.Op(Instruction::MultiplyHighS32, {s, s}));
        p.Info.HelperFlags = 0x4 | 0x8 | 0x400 | 0x800;
        std::string text = GenerateGlsl(p);
        std::string lane = arb ? "gl_SubGroupInvocationARB" : "gl_SubgroupInvocationID";
        EXPECT_TRUE(Contains(text, "\r\n\r\nint Helper_MultiplyHighS32(int x, int y)\n{\n    int msb;\n    int lsb;\n"
                                   "    imulExtended(x, y, msb, lsb);\n    return msb;\n}\r\n\r\n"
                                   "uint Helper_MultiplyHighU32(uint x, uint y)\n{\n    uint msb;\n    uint lsb;\n"
                                   "    umulExtended(x, y, msb, lsb);\n    return msb;\n}\r\n\r\n"
                                   "float Helper_SwizzleAdd(float x, float y, int mask)\n{\n"
                                   "    vec4 xLut = vec4(1.0, -1.0, 1.0, 0.0);\n"
                                   "    vec4 yLut = vec4(1.0, 1.0, -1.0, 1.0);\n"
                                   "    int lutIdx = (mask >> (int(3u - (" +
                                       lane +
                                       " & 3u)) * 2)) & 3;\n"
                                       "    return x * xLut[lutIdx] + y * yLut[lutIdx];\n}\r\n\r\n\r\nvoid main()"))
            << text;
        EXPECT_FALSE(Contains(text, "$"));
        EXPECT_TRUE(HasLines(text, {"    temp_2 = Helper_SwizzleAdd(temp_2, temp_2, temp_0);",
                                    "    temp_1 = Helper_MultiplyHighU32(temp_1, temp_1);",
                                    "    temp_0 = Helper_MultiplyHighS32(temp_0, temp_0);"}));
        EXPECT_EQ(CompileError(text, ShaderStage::Compute), "");
    }
}

TEST(GlslDeclarations, TypeNames) {
    GlslProgram p(ShaderStage::Compute);
    CodeGen::CodeGenParameters parameters(p.Usage, *p.Definitions, p.Properties, p.Host, p.Accessor, p.Api);
    Glsl::CodeGenContext full(p.Info, parameters);
    struct Case {
        AggregateType Type;
        const char* Plain;
        const char* Precise;
    };
    const Case cases[] = {
        {AggregateType::Void, "void", "void"},
        {AggregateType::Bool | AggregateType::Vector3, "bvec3", "bvec3"},
        {AggregateType::FP32, "float", "precise float"},
        {AggregateType::FP32 | AggregateType::Vector3, "vec3", "precise vec3"},
        {AggregateType::FP64 | AggregateType::Vector2, "dvec2", "dvec2"},
        {AggregateType::S32, "int", "int"},
        {AggregateType::U32 | AggregateType::Vector4, "uvec4", "uvec4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Glsl::Declarations::GetVarTypeName(full, c.Type, false), c.Plain);
        EXPECT_EQ(Glsl::Declarations::GetVarTypeName(full, c.Type, true), c.Precise);
    }
    Translation::HostCapabilities reduced = p.Host;
    reduced.HasReducedPrecision = true;
    CodeGen::CodeGenParameters reducedParameters(p.Usage, *p.Definitions, p.Properties, reduced, p.Accessor, p.Api);
    Glsl::CodeGenContext lowered(p.Info, reducedParameters);
    EXPECT_EQ(Glsl::Declarations::GetVarTypeName(lowered, AggregateType::FP32 | AggregateType::Vector3, true), "vec3");
    for (AggregateType bad : {AggregateType::Invalid, AggregateType::Void | AggregateType::Vector2,
                              AggregateType::FP32 | AggregateType::Array}) {
        EXPECT_THROW(Glsl::Declarations::GetVarTypeName(full, bad, false), Zerivox::Common::ArgumentException);
    }
    try {
        Glsl::Declarations::GetVarTypeName(full, AggregateType::FP32 | AggregateType::Array, false);
    } catch (const Zerivox::Common::ArgumentException& e) {
        EXPECT_STREQ(e.what(), "Invalid variable type \"FP32, Array\".");
    }
}

TEST(GlslDeclarations, ResourcesDeclaredPerGraphicsApi) {
    for (TargetGraphicsApi api : {TargetGraphicsApi::Vulkan, TargetGraphicsApi::OpenGL}) {
        GlslProgram p(ShaderStage::Compute);
        p.Api = api;
        bool vk = api == TargetGraphicsApi::Vulkan;
        StructureType cbFields({StructureField(AggregateType::Array | AggregateType::Vector4 | AggregateType::FP32,
                                               "data", 4096)});
        StructureType sbFields({StructureField(AggregateType::Array | AggregateType::U32, "data", 0),
                                StructureField(AggregateType::FP32, "scale")});
        p.Properties.AddOrUpdateConstantBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std140, 0, 1, "cb", cbFields));
        p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std430, 0, 2, "sb", sbFields));
        p.Properties.AddLocalMemory(SIR::MemoryDefinition("local_memory", AggregateType::Array | AggregateType::U32, 16));
        p.Properties.AddSharedMemory(
            SIR::MemoryDefinition("shared_memory", AggregateType::Array | AggregateType::U32, 1024));
        auto texture = [](int32_t binding, int32_t length, bool separate, const char* name, SamplerType type) {
            return SIR::TextureDefinition(0, binding, length, separate, name, type, TextureFormat::Unknown,
                                          TextureUsageFlags::None);
        };
        p.Properties.AddOrUpdateTexture(
            texture(3, 1, false, "tex_a", SamplerType::Texture2D | SamplerType::Array | SamplerType::Shadow));
        p.Properties.AddOrUpdateTexture(texture(4, 4, false, "tex_b", SamplerType::TextureCube));
        p.Properties.AddOrUpdateTexture(texture(8, 300, true, "tex_c", SamplerType::Texture2D | SamplerType::Array));
        p.Properties.AddOrUpdateTexture(texture(9, 0, false, "tex_d", SamplerType::Texture3D));
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 10, 1, false, "img_a",
                                                             SamplerType::Texture2D | SamplerType::Array,
                                                             TextureFormat::R32Uint, TextureUsageFlags::ImageCoherent));
        p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 11, 1, false, "img_b", SamplerType::Texture2D,
                                                             TextureFormat::Unknown, TextureUsageFlags::None));
        std::string set = vk ? "set = 0, " : "";
        std::string setAfter = vk ? ", set = 0" : "";
        std::vector<std::string> expected{
            "layout (" + set + "binding = 1, std140) uniform _cb",
            "{",
            "    precise vec4 data[4096];",
            "} cb;",
            "",
            "layout (" + set + "binding = 2, std430) buffer _sb",
            "{",
            "    uint data[];",
            "    precise float scale;",
            "} sb;",
            "",
            "uint local_memory[16];",
            "shared uint shared_memory[1024];",
            "layout (binding = 3" + setAfter + ") uniform sampler2DArrayShadow tex_a;",
            "layout (binding = 4" + setAfter + ") uniform samplerCube tex_b[4];",
            "layout (binding = 8" + setAfter + ") uniform texture2DArray tex_c[0x12C];",
            "layout (binding = 9" + setAfter + ") uniform sampler3D tex_d[];",
            "layout (binding = 10" + setAfter + ", r32ui) uniform coherent uimage2DArray img_a;",
            "layout (binding = 11" + setAfter + ") uniform image2D img_b;",
            "layout (local_size_x = 8, local_size_y = 1, local_size_z = 1) in;",
        };
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, expected)) << text;
        if (vk) {
            // Sized arrays only: an unsized sampler array needs indexing to
            // size it, which this program has none of.
            EXPECT_EQ(CompileError(text.substr(0, text.find("layout (binding = 9")) +
                                       text.substr(text.find("layout (binding = 10")),
                                   ShaderStage::Compute),
                      "");
        }
    }
}

// Texture types GLSL has no name for fail the translation by name (their
// SPIR-V is no valid Vulkan module either); every other declares and
// compiles.
TEST(GlslDeclarations, TextureTypesWithoutGlslNames) {
    using S = SamplerType;
    struct Case {
        SamplerType Type;
        bool IsImage;
        const char* Error;
    };
    const Case cases[] = {
        {S::Texture3D | S::Shadow, false, "Invalid sampler type \"Texture3D, Shadow\"."},
        {S::Texture3D | S::Array, true, "Invalid sampler type \"Texture3D, Array\"."},
        {S::TextureBuffer | S::Array, false, "Invalid sampler type \"TextureBuffer, Array\"."},
        {S::TextureCube | S::Multisample, false, "Invalid sampler type \"TextureCube, Multisample\"."},
        {S::Texture2D | S::Multisample | S::Shadow, false,
         "Invalid sampler type \"Texture2D, Multisample, Shadow\"."},
        {S::Texture2D | S::Multisample | S::Shadow, true, ""},
        {S::TextureCube | S::Array | S::Shadow, false, ""},
        {S::Texture1D | S::Array | S::Shadow, false, ""},
        {S::Texture2D | S::Multisample | S::Array, false, ""},
        {S::TextureBuffer, true, ""},
    };
    for (const Case& c : cases) {
        GlslProgram p(ShaderStage::Fragment);
        SIR::TextureDefinition definition(0, 1, 1, false, "t", c.Type,
                                          c.IsImage ? TextureFormat::R32Uint : TextureFormat::Unknown,
                                          TextureUsageFlags::None);
        if (c.IsImage)
            p.Properties.AddOrUpdateImage(definition);
        else
            p.Properties.AddOrUpdateTexture(definition);
        std::string error;
        std::string text;
        try {
            text = GenerateGlsl(p);
        } catch (const Zerivox::Common::ArgumentException& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.Error) << SamplerTypeName(c.Type);
        if (error.empty()) {
            EXPECT_EQ(CompileError(text, ShaderStage::Fragment), "") << SamplerTypeName(c.Type);
        }
    }
}

// Inputs sorted by location with their interpolation, per-stage array
// suffixes, indexed attributes, outputs, dual-source blending and
// per-patch attributes.
TEST(GlslDeclarations, InputsAndOutputs) {
    {
        GlslProgram p(ShaderStage::Fragment);
        (*p.Definitions->ImapTypes)[2] = Translation::ImapPixelType(
            Translation::PixelImap::Unused, Translation::PixelImap::Constant, Translation::PixelImap::Perspective,
            Translation::PixelImap::Perspective);
        (*p.Definitions->ImapTypes)[3] = Translation::ImapPixelType(
            Translation::PixelImap::ScreenLinear, Translation::PixelImap::Unused, Translation::PixelImap::Unused,
            Translation::PixelImap::Unused);
        p.Io(StorageKind::Input, IoVariable::UserDefined, 3);
        p.Io(StorageKind::Input, IoVariable::UserDefined, 1);
        p.Io(StorageKind::Input, IoVariable::UserDefined, 2);
        p.Io(StorageKind::Input, IoVariable::FragmentCoord);
        p.Io(StorageKind::Output, IoVariable::FragmentOutputColor, 1);
        p.Io(StorageKind::Output, IoVariable::FragmentOutputColor, 0);
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {"layout (location = 1) in vec4 in_attr1;",
                                    "layout (location = 2) flat in vec4 in_attr2;",
                                    "layout (location = 3) noperspective in vec4 in_attr3;", "",
                                    "layout (location = 0) out vec4 out_attr0;",
                                    "layout (location = 1) out vec4 out_attr1;", ""}))
            << text;
        EXPECT_EQ(CompileError(text, ShaderStage::Fragment), "");

        p.Definitions->GraphicsState.DualSourceBlend = true;
        p.Io(StorageKind::Output, IoVariable::FragmentOutputColor, 2);
        EXPECT_TRUE(HasLines(GenerateGlsl(p), {"layout (location = 0, index = 0) out vec4 out_attr0;",
                                               "layout (location = 0, index = 1) out vec4 out_attr1;",
                                               "layout (location = 2) out vec4 out_attr2;", ""}));
    }
    {
        GlslProgram p(ShaderStage::Geometry);
        p.Io(StorageKind::Input, IoVariable::UserDefined, 0);
        p.Io(StorageKind::Output, IoVariable::UserDefined, 0);
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {"layout (location = 0) in vec4 in_attr0[];", "",
                                    "layout (location = 0) out vec4 out_attr0;", ""}));
        EXPECT_EQ(CompileError(text, ShaderStage::Geometry), "");
        p.Usage.PassthroughAttributes = 1;
        p.Host.HasGeometryShaderPassthrough = true;
        EXPECT_TRUE(HasLines(GenerateGlsl(p), {"layout (passthrough, location = 0) in vec4 in_attr0[];"}));
        p.Definitions->IndexedInputAttributes = true;
        EXPECT_TRUE(HasLines(GenerateGlsl(p), {"layout (location = 0) in vec4 in_attr[][16];", ""}));
    }
    {
        GlslProgram p(ShaderStage::TessellationControl, {}, 4);
        p.Io(StorageKind::Output, IoVariable::UserDefined, 1);
        p.Io(StorageKind::OutputPerPatch, IoVariable::UserDefined, 5);
        p.Io(StorageKind::OutputPerPatch, IoVariable::UserDefined, 2);
        std::string text = GenerateGlsl(p);
        GlslProgram indexed(ShaderStage::TessellationControl, {}, 4);
        indexed.Definitions->IndexedOutputAttributes = true;
        indexed.Io(StorageKind::Output, IoVariable::UserDefined);
        std::string indexedText = GenerateGlsl(indexed);
        EXPECT_TRUE(HasLines(indexedText, {"layout (location = 0) out vec4 out_attr[][16];", ""}));
        EXPECT_EQ(CompileError(indexedText, ShaderStage::TessellationControl), "");
        EXPECT_TRUE(HasLines(text, {"layout (location = 1) out vec4 out_attr1[];", "",
                                    "layout (location = 5) patch out vec4 patch_attr_5;",
                                    "layout (location = 2) patch out vec4 patch_attr_2;", ""}));
        EXPECT_EQ(CompileError(text, ShaderStage::TessellationControl), "");
    }
    {
        // A per-patch attribute on a per-vertex attribute's location has no
        // declaration GLSL accepts.
        GlslProgram p(ShaderStage::TessellationEvaluation);
        p.Io(StorageKind::Input, IoVariable::UserDefined, 2);
        p.Io(StorageKind::InputPerPatch, IoVariable::UserDefined, 2);
        try {
            GenerateGlsl(p);
            ADD_FAILURE();
        } catch (const Zerivox::Common::NotImplementedException& e) {
            EXPECT_STREQ(e.what(), "Per-patch attribute 2 and a per-vertex input attribute both take location 2, "
                                   "which the host's single location space cannot hold.");
        }
    }
    {
        GlslProgram p(ShaderStage::TessellationEvaluation);
        p.Io(StorageKind::InputPerPatch, IoVariable::UserDefined, 5);
        p.Io(StorageKind::InputPerPatch, IoVariable::UserDefined, 2);
        p.Io(StorageKind::InputPerPatch, IoVariable::UserDefined, 2, 1);
        EXPECT_TRUE(HasLines(GenerateGlsl(p), {"layout (location = 2) patch in vec4 patch_attr_2;",
                                               "layout (location = 5) patch in vec4 patch_attr_5;", ""}));
    }
    {
        GlslProgram p(ShaderStage::Vertex);
        p.Host.HasReducedPrecision = true;
        p.Definitions->GraphicsState.AttributeTypes[0] = AttributeType::Sint;
        p.Io(StorageKind::Input, IoVariable::UserDefined, 0);
        p.Io(StorageKind::Output, IoVariable::UserDefined, 0);
        p.Io(StorageKind::Output, IoVariable::UserDefined, 1);
        std::string text = GenerateGlsl(p);
        EXPECT_TRUE(HasLines(text, {"layout (location = 0) in ivec4 in_attr0;", "",
                                    "layout (location = 0) invariant out vec4 out_attr0;",
                                    "layout (location = 1) out vec4 out_attr1;", ""}))
            << text;
        EXPECT_EQ(CompileError(text, ShaderStage::Vertex), "");
    }
}

// Transform feedback: a captured run of components is one vector with the
// capture qualifiers of its first word, a lone component a float of its
// own, and the position's capture a redeclared gl_PerVertex.
TEST(GlslDeclarations, TransformFeedbackOutputs) {
    Translation::TransformFeedbackOutputArray xfb{};
    for (int i = 0; i < 4; i++)
        xfb[32 + i] = Translation::TransformFeedbackOutput(1, 16 + 4 * i, 32);
    xfb[32 + 4 * 3 + 1] = Translation::TransformFeedbackOutput(0, 16, 20);
    for (int i = 0; i < 4; i++)
        xfb[28 + i] = Translation::TransformFeedbackOutput(0, 4 * i, 20);
    GlslProgram p(ShaderStage::Vertex, {}, 1, OutputTopology::TriangleStrip, 3, xfb);
    p.Definitions->TransformFeedbackEnabled = true;
    p.Io(StorageKind::Output, IoVariable::UserDefined, 0);
    p.Io(StorageKind::Output, IoVariable::UserDefined, 3, 1);
    p.Io(StorageKind::Output, IoVariable::Position);
    p.StoreOutput(p.Main, IoVariable::Position, {p.Const(1)}, p.ConstF(1.0f));
    p.StoreOutput(p.Main, IoVariable::UserDefined, {p.Const(3), p.Const(1)}, p.ConstF(2.0f));
    p.StoreOutput(p.Main, IoVariable::UserDefined, {p.Const(0), p.Const(2)}, p.ConstF(3.0f));
    std::string text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"layout (location = 0, xfb_buffer = 1, xfb_offset = 16, xfb_stride = 32) out vec4 "
                                "out_attr0;",
                                "layout (location = 3, component = 1, xfb_buffer = 0, xfb_offset = 16, xfb_stride = 20) "
                                "out float out_attr3_y;",
                                "",
                                "layout (xfb_buffer = 0, xfb_offset = 0, xfb_stride = 20) out gl_PerVertex",
                                "{",
                                "    vec4 gl_Position;",
                                "};"}))
        << text;
    EXPECT_TRUE(HasLines(text, {"    gl_Position.y = 1.0;", "    out_attr3_y = 2.0;", "    out_attr0.z = 3.0;"}));
    EXPECT_EQ(CompileError(text, ShaderStage::Vertex), "");

    // A shader that also writes the point size names it in the block; the
    // capture then sits on the position alone.
    p.Io(StorageKind::Output, IoVariable::PointSize);
    p.StoreOutput(p.Main, IoVariable::PointSize, {}, p.ConstF(4.0f));
    text = GenerateGlsl(p);
    EXPECT_TRUE(HasLines(text, {"layout (xfb_buffer = 0, xfb_stride = 20) out gl_PerVertex", "{",
                                "    layout (xfb_offset = 0) vec4 gl_Position;", "    float gl_PointSize;", "};"}))
        << text;
    std::string disassembly = CompiledDisassembly(text, ShaderStage::Vertex);
    ASSERT_NE(disassembly, "") << CompileError(text, ShaderStage::Vertex);
    EXPECT_TRUE(Contains(disassembly, "OpMemberDecorate %gl_PerVertex 0 Offset 0"));
    EXPECT_FALSE(Contains(disassembly, "OpMemberDecorate %gl_PerVertex 1 Offset"));
}

} // namespace
