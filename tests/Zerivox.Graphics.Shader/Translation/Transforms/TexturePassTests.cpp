// Texture transforms: render-scale calls, gather bias and offset emulation,
// each on an operation where it applies and one where it does not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TexturePass.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformPasses.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::TextureFlags;

class TextureGpu : public Testing::FakeGpuAccessor {
  public:
    int32_t GatherBias = 0;
    int32_t QueryHostGatherBiasPrecision() override { return GatherBias; }
};

struct TexturePassFixture {
    explicit TexturePassFixture(ShaderStage stage)
        : Stage(stage), Resources(stage, Gpu, ResourceReservations(false, true)), Definitions(stage, 1, 1, 1),
          Hfm(B.Arena, Functions, stage) {}

    ShaderStage Stage;
    TextureGpu Gpu;
    ResourceManager Resources;
    ShaderDefinitions Definitions;
    Testing::IrTestBuilder B;
    std::vector<IR::Function*> Functions{nullptr};
    HelperFunctionManager Hfm;
    FeatureFlags Features = FeatureFlags::None;

    // "set=S binding=B" of a texture the shader uses, reserved as the
    // emitters reserve it (handle 10 of the bound constant buffer).
    std::string Binding(Instruction inst, SamplerType type, TextureFlags flags) {
        const SetBindingPair binding =
            Resources.GetTextureOrImageBinding(inst, type, TextureFormat::Unknown, flags, -1, 10, 1, false);
        return "set=" + std::to_string(binding.SetIndex) + " binding=" + std::to_string(binding.Binding);
    }
    // The text after the pass of the text before.
    std::string Run(std::string_view before) {
        B.ParseBlocks(before);
        TransformContext context{Hfm, B.Blocks, Definitions, Resources, Gpu, Features, TargetGraphicsApi::Vulkan,
                                 TargetLanguage::Spirv, Stage};
        TransformPasses::RunPass<TexturePass>(context);
        return B.Text();
    }
};

// The text with every '@' replaced by the texture's "set=S binding=B".
std::string WithTexture(std::string_view text, const std::string& texture) {
    std::string out = Testing::IrText(text);
    for (std::size_t at = out.find('@'); at != std::string::npos; at = out.find('@', at))
        out.replace(at, 1, texture);
    return out;
}

// An integer-coordinate fetch of a 2D texture reads the render-scaled
// texel: each coordinate goes through the scaling function (with the
// texture's scale index, and in fragment shaders the coordinate's
// component), in the stages that scale (geometry does not), never for 3D
// textures.
TEST(TexturePass, TexelFetchScaleByStage) {
    struct Row {
        ShaderStage Stage;
        SamplerType Type;
        const char* After;  // null: unchanged
    };
    const Row rows[] = {
        {ShaderStage::Fragment, SamplerType::Texture2D, R"(
            B0:
              %0 = Call 1, %1, 0, 0
              %2 = Call 1, %3, 0, 1
              %4 = TextureSample{Texture2D @ flags=0x28}#1 %0, %2, 0
        )"},
        {ShaderStage::Compute, SamplerType::Texture2D, R"(
            B0:
              %0 = Call 1, %1, 0
              %2 = Call 1, %3, 0
              %4 = TextureSample{Texture2D @ flags=0x28}#1 %0, %2, 0
        )"},
        {ShaderStage::Geometry, SamplerType::Texture2D, nullptr},
        {ShaderStage::Compute, SamplerType::Texture3D, nullptr},
    };
    for (const Row& row : rows) {
        TexturePassFixture f(row.Stage);
        const std::string texture =
            f.Binding(Instruction::TextureSample, row.Type, TextureFlags::IntCoords | TextureFlags::LodLevel);
        const std::string before = WithTexture(row.Type == SamplerType::Texture2D
                                                   ? "B0:\n  %0 = TextureSample{Texture2D @ flags=0x28}#1 %1, %2, 0"
                                                   : "B0:\n  %0 = TextureSample{Texture3D @ flags=0x28}#1 %1, %2, 0",
                                               texture);
        const std::string after = f.Run(before);
        EXPECT_EQ(after, row.After == nullptr ? before : WithTexture(row.After, texture))
            << static_cast<int>(row.Stage);
    }
}

// The size query's width (index 0) is scaled back, its depth (index 2) is
// not.
TEST(TexturePass, SizeQueryUnscaledForWidthNotDepth) {
    TexturePassFixture width(ShaderStage::Compute);
    std::string texture =
        width.Binding(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None);
    EXPECT_EQ(width.Run(WithTexture(R"(
        B0:
          %0 = TextureQuerySize{Texture2D @} 0
          %1 = Add %0, 1
    )", texture)), WithTexture(R"(
        B0:
          %0 = TextureQuerySize{Texture2D @} 0
          %1 = Call 1, %0, 0
          %2 = Add %1, 1
    )", texture));

    TexturePassFixture depth(ShaderStage::Compute);
    texture = depth.Binding(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None);
    const std::string before = WithTexture(R"(
        B0:
          %0 = TextureQuerySize{Texture2D @}#2 0
          %1 = Add %0, 1
    )", texture);
    EXPECT_EQ(depth.Run(before), before);
}

// With a host whose gather rounds texel positions coarsely (bias 8), the
// gather coordinates move by half a sub-texel step, x + 1 / (size * 512);
// with an exact host (bias 0) they stay.
TEST(TexturePass, GatherBiasAddsHalfSubTexelStep) {
    for (int bias : {0, 8}) {
        TexturePassFixture f(ShaderStage::Fragment);
        f.Gpu.GatherBias = bias;
        const std::string texture =
            f.Binding(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::Gather);
        const std::string before =
            WithTexture("B0:\n  %0 = TextureSample{Texture2D @ flags=0x2}#1 %1, %2, 0", texture);
        const std::string after = f.Run(before);
        if (bias == 0) {
            EXPECT_EQ(after, before);
            continue;
        }
        EXPECT_EQ(after, WithTexture(R"(
            B0:
              %0 = TextureQuerySize{Texture2D @ flags=0x2} 0
              %1 = ConvertS32ToFP32 %0
              %2 = Multiply.FP32 %1, 512.0
              %3 = Divide.FP32 1.0, %2
              %4 = Add.FP32 %5, %3
              %6 = TextureQuerySize{Texture2D @ flags=0x2}#1 0
              %7 = ConvertS32ToFP32 %6
              %8 = Multiply.FP32 %7, 512.0
              %9 = Divide.FP32 1.0, %8
              %10 = Add.FP32 %11, %9
              %12 = TextureSample{Texture2D @ flags=0x2}#1 %4, %10, 0
        )", texture));
    }
}

// A gather of a separate-sampler array: the texture and sampler indices
// come first and are no coordinates; the size queries name the texture
// index.
TEST(TexturePass, GatherBiasSkipsBothIndexSourcesOfASeparateSamplerArray) {
    TexturePassFixture f(ShaderStage::Fragment);
    f.Gpu.GatherBias = 4;
    const SetBindingPair binding = f.Resources.GetTextureOrImageBinding(
        Instruction::TextureSample, SamplerType::Texture2D, TextureFormat::Unknown, TextureFlags::Gather, 0,
        0x40000000, 32, true);
    const std::string texture =
        "set=" + std::to_string(binding.SetIndex) + " binding=" + std::to_string(binding.Binding);
    // %1 texture index, %2 sampler index, %3 and %4 the coordinates.
    EXPECT_EQ(f.Run(WithTexture("B0:\n  %0 = TextureSample{Texture2D @ flags=0x2 sampler=0,40}#1 %1, %2, %3, %4, 0",
                                texture)),
              WithTexture(R"(
                  B0:
                    %0 = TextureQuerySize{Texture2D @ flags=0x2} %1, 0
                    %2 = ConvertS32ToFP32 %0
                    %3 = Multiply.FP32 %2, 32.0
                    %4 = Divide.FP32 1.0, %3
                    %5 = Add.FP32 %6, %4
                    %7 = TextureQuerySize{Texture2D @ flags=0x2}#1 %1, 0
                    %8 = ConvertS32ToFP32 %7
                    %9 = Multiply.FP32 %8, 32.0
                    %10 = Divide.FP32 1.0, %9
                    %11 = Add.FP32 %12, %10
                    %13 = TextureSample{Texture2D @ flags=0x2 sampler=0,40}#1 %1, %14, %5, %11, 0
              )", texture));
}

// A constant offset is the host's own; an offset in a register is added to
// the coordinates, divided by the texture's size at the sampled level.
TEST(TexturePass, ConstantOffsetKeptRegisterOffsetEmulated) {
    for (const char* offset : {"1", "%3"}) {
        TexturePassFixture f(ShaderStage::Compute);
        const std::string texture =
            f.Binding(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::Offset);
        const std::string before = WithTexture(
            std::string("B0:\n  %0 = TextureSample{Texture2D @ flags=0x40}#1 %1, %2, ") + offset + ", 2", texture);
        const std::string after = f.Run(before);
        if (*offset == '1') {
            EXPECT_EQ(after, before);
            continue;
        }
        // The register holds the x offset (%5 here); 2 is the y offset.
        EXPECT_EQ(after, WithTexture(R"(
            B0:
              %0 = ConvertFP32ToS32 0
              %1 = TextureQuerySize{Texture2D @ flags=0x40} %0
              %2 = ConvertFP32ToS32 0
              %3 = TextureQuerySize{Texture2D @ flags=0x40}#1 %2
              %4 = ConvertS32ToFP32 %5
              %6 = ConvertS32ToFP32 %1
              %7 = Divide.FP32 %4, %6
              %8 = Add.FP32 %9, %7
              %10 = ConvertS32ToFP32 2
              %11 = ConvertS32ToFP32 %3
              %12 = Divide.FP32 %10, %11
              %13 = Add.FP32 %14, %12
              %15 = TextureSample{Texture2D @}#1 %8, %13
        )", texture));
    }
}

// A gather with four offsets is split into one gather of component w (#8)
// per destination, each at its own offset; with the bias emulated, the
// coordinates are biased once, before the offsets are added.
TEST(TexturePass, FourOffsetGatherSplitsOnceAndIsBiasedOnce) {
    TexturePassFixture f(ShaderStage::Fragment);
    f.Gpu.GatherBias = 2;
    const std::string texture = f.Binding(Instruction::TextureSample, SamplerType::Texture2D,
                                          TextureFlags::Gather | TextureFlags::Offsets);
    EXPECT_EQ(f.Run(WithTexture(
                  "B0:\n  %0, %1 = TextureSample{Texture2D @ flags=0x82}#5 %2, %3, %4, %5, %6, %7, %8, %9, %10, %11, 0",
                  texture)),
              WithTexture(R"(
                  B0:
                    %0 = TextureQuerySize{Texture2D @ flags=0x82} 0
                    %1 = ConvertS32ToFP32 %0
                    %2 = Multiply.FP32 %1, 8.0
                    %3 = Divide.FP32 1.0, %2
                    %4 = Add.FP32 %5, %3
                    %6 = TextureQuerySize{Texture2D @ flags=0x82}#1 0
                    %7 = ConvertS32ToFP32 %6
                    %8 = Multiply.FP32 %7, 8.0
                    %9 = Divide.FP32 1.0, %8
                    %10 = Add.FP32 %11, %9
                    %12 = TextureQuerySize{Texture2D @ flags=0x82} 0
                    %13 = TextureQuerySize{Texture2D @ flags=0x82}#1 0
                    %14 = ConvertS32ToFP32 %15
                    %16 = ConvertS32ToFP32 %12
                    %17 = Divide.FP32 %14, %16
                    %18 = Add.FP32 %4, %17
                    %19 = ConvertS32ToFP32 %20
                    %21 = ConvertS32ToFP32 %13
                    %22 = Divide.FP32 %19, %21
                    %23 = Add.FP32 %10, %22
                    %24 = ConvertS32ToFP32 %25
                    %26 = ConvertS32ToFP32 %12
                    %27 = Divide.FP32 %24, %26
                    %28 = Add.FP32 %4, %27
                    %29 = ConvertS32ToFP32 %30
                    %31 = ConvertS32ToFP32 %13
                    %32 = Divide.FP32 %29, %31
                    %33 = Add.FP32 %10, %32
                    %34 = TextureSample{Texture2D @ flags=0x2}#8 %28, %33, 0
                    %35 = TextureSample{Texture2D @ flags=0x2}#8 %18, %23, 0
              )", texture));
}

// The guest asks an image's size with the texture query: a query on a handle
// that only queries used as a texture, and that image instructions use, is
// bound to the image with its type and the texture is no longer declared. A
// handle that is sampled too, or that no image uses, stays a texture.
TEST(TexturePass, SizeQueryOnAnImageHandleQueriesTheImage) {
    struct Row {
        const char* Name;
        bool Image;
        bool Sampled;
        bool Moves;
    };
    const Row rows[] = {
        {"image handle", true, false, true},
        {"no image", false, false, false},
        {"also sampled", true, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        TexturePassFixture f(ShaderStage::Compute);
        const std::string texture =
            f.Binding(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None);
        std::string before = "B0:\n  %0 = TextureQuerySize{Texture2D " + texture + "} 0\n";
        if (row.Sampled) {
            before += "  %1 = TextureSample{Texture2D " +
                      f.Binding(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None) +
                      "}#1 %3, %4\n";
        }
        std::string image;
        if (row.Image) {
            image = f.Binding(Instruction::ImageLoad, SamplerType::Texture2D | SamplerType::Array, TextureFlags::None);
            before += "  %2 = ImageLoad{Texture2DArray " + image + "}#1 1, 2, 0\n";
        }
        const std::string query = row.Moves ? "%0 = TextureQuerySize{Texture2DArray " + image + "} 0"
                                            : "%0 = TextureQuerySize{Texture2D " + texture + "} 0";
        ZV_EXPECT_IR_LINES(f.Run(before), query);
        EXPECT_EQ(f.Resources.Properties().Textures().Count(), row.Moves ? 0u : 1u);
        EXPECT_EQ(f.Resources.GetTextureDescriptors().size(), row.Moves ? 0u : 1u);
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Transforms
