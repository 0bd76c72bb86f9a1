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

    IR::TextureOperation* Add(Instruction inst, SamplerType type, TextureFlags flags, int32_t index,
                              std::vector<IR::Operand*> dests, std::vector<IR::Operand*> sources) {
        const SetBindingPair binding =
            Resources.GetTextureOrImageBinding(inst, type, TextureFormat::Unknown, flags, -1, 10, 1, false);
        IR::TextureOperation* op = B.Arena.NewTextureOperation(inst, type, TextureFormat::Unknown, flags,
                                                               binding.SetIndex, binding.Binding, index, dests, sources);
        B.Current->Operations.AddLast(op);
        return op;
    }
    std::string Run() {
        TransformContext context{Hfm, B.Blocks, Definitions, Resources, Gpu, Features, TargetGraphicsApi::Vulkan,
                                 TargetLanguage::Spirv, Stage};
        TransformPasses::RunPass<TexturePass>(context);
        return IR::IrPrinter::PrintBlocks(B.Blocks);
    }
};

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

TEST(TexturePass, TexelFetchScaleByStage) {
    struct Row {
        ShaderStage Stage;
        SamplerType Type;
        int Calls;
        int CallSources;
    };
    const Row rows[] = {
        {ShaderStage::Fragment, SamplerType::Texture2D, 2, 4},
        {ShaderStage::Compute, SamplerType::Texture2D, 2, 3},
        {ShaderStage::Geometry, SamplerType::Texture2D, 0, 0},
        {ShaderStage::Compute, SamplerType::Texture3D, 0, 0},
    };
    for (const Row& row : rows) {
        TexturePassFixture f(row.Stage);
        IR::TextureOperation* op =
            f.Add(Instruction::TextureSample, row.Type, TextureFlags::IntCoords | TextureFlags::LodLevel, 1,
                  {f.B.Local()}, {f.B.Local(), f.B.Local(), f.B.Const(0)});
        const std::string text = f.Run();
        EXPECT_EQ(Count(text, "= Call "), row.Calls) << text;
        if (row.Calls > 0) {
            const IR::Operation* call = op->GetSource(0)->Definition->AsOperation();
            ASSERT_NE(call, nullptr);
            EXPECT_EQ(call->SourcesCount(), row.CallSources);
        }
    }
}

TEST(TexturePass, SizeQueryUnscaledForWidthNotDepth) {
    for (int index : {0, 2}) {
        TexturePassFixture f(ShaderStage::Compute);
        IR::Operand* size = f.B.Local();
        f.Add(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None, index, {size}, {f.B.Const(0)});
        IR::Operation* user = f.B.Op(Instruction::Add, {size, f.B.Const(1)});
        const std::string text = f.Run();
        EXPECT_EQ(Count(text, "= Call "), index == 0 ? 1 : 0) << text;
        EXPECT_EQ(user->GetSource(0) == size, index != 0);
    }
}

TEST(TexturePass, GatherBiasAddsHalfSubTexelStep) {
    for (int bias : {0, 8}) {
        TexturePassFixture f(ShaderStage::Fragment);
        f.Gpu.GatherBias = bias;
        IR::Operand* x = f.B.Local();
        IR::TextureOperation* op = f.Add(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::Gather, 1,
                                         {f.B.Local()}, {x, f.B.Local(), f.B.Const(0)});
        const std::string text = f.Run();
        if (bias == 0) {
            EXPECT_EQ(op->GetSource(0), x);
            continue;
        }
        // x + 1 / (size * 512)
        EXPECT_NE(op->GetSource(0), x);
        EXPECT_EQ(Count(text, "TextureQuerySize"), 2) << text;
        EXPECT_NE(text.find("Multiply.FP32 %1, 512.0\n"), std::string::npos) << text;
    }
}

TEST(TexturePass, GatherBiasSkipsBothIndexSourcesOfASeparateSamplerArray) {
    TexturePassFixture f(ShaderStage::Fragment);
    f.Gpu.GatherBias = 4;
    const SetBindingPair binding = f.Resources.GetTextureOrImageBinding(
        Instruction::TextureSample, SamplerType::Texture2D, TextureFormat::Unknown, TextureFlags::Gather, 0,
        0x40000000, 32, true);
    IR::Operand* texIndex = f.B.Local();
    IR::Operand* smpIndex = f.B.Local();
    IR::Operand* x = f.B.Local();
    IR::Operand* dests[1] = {f.B.Local()};
    IR::Operand* sources[5] = {texIndex, smpIndex, x, f.B.Local(), f.B.Const(0)};
    IR::TextureOperation* op = f.B.Arena.NewTextureOperation(Instruction::TextureSample, SamplerType::Texture2D,
                                                             TextureFormat::Unknown, TextureFlags::Gather,
                                                             binding.SetIndex, binding.Binding, 1, dests, sources);
    op->SamplerSet = 0;
    op->SamplerBinding = 40;
    f.B.Current->Operations.AddLast(op);
    f.Run();
    EXPECT_EQ(op->GetSource(0), texIndex);
    EXPECT_EQ(op->GetSource(1), smpIndex);
    EXPECT_NE(op->GetSource(2), x);
}

TEST(TexturePass, ConstantOffsetKeptRegisterOffsetEmulated) {
    for (bool constantOffset : {true, false}) {
        TexturePassFixture f(ShaderStage::Compute);
        IR::Operand* offset = constantOffset ? f.B.Const(1) : f.B.Local();
        IR::TextureOperation* op =
            f.Add(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::Offset, 1, {f.B.Local()},
                  {f.B.Local(), f.B.Local(), offset, f.B.Const(2)});
        const std::string text = f.Run();
        if (constantOffset) {
            EXPECT_NE(op->List(), nullptr);
            continue;
        }
        EXPECT_EQ(op->List(), nullptr) << text; // replaced
        EXPECT_EQ(Count(text, "TextureSample{Texture2D set=0 binding=1 flags=0x40}"), 0) << text;
        EXPECT_EQ(Count(text, "TextureSample{"), 1) << text;
        EXPECT_EQ(Count(text, "Divide.FP32"), 2) << text;
    }
}

TEST(TexturePass, FourOffsetGatherSplitsOnceAndIsBiasedOnce) {
    TexturePassFixture f(ShaderStage::Fragment);
    f.Gpu.GatherBias = 2;
    std::vector<IR::Operand*> sources = {f.B.Local(), f.B.Local()};
    for (int i = 0; i < 8; i++) sources.push_back(f.B.Local());
    sources.push_back(f.B.Const(0));
    f.Add(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::Gather | TextureFlags::Offsets, 5,
          {f.B.Local(), f.B.Local()}, sources);
    const std::string text = f.Run();
    // Two gathers (x and z), each of component w; one bias per coordinate
    // (2 size queries) plus 2 base sizes for the offsets.
    EXPECT_EQ(Count(text, "TextureSample{"), 2) << text;
    EXPECT_EQ(Count(text, "#8 "), 2) << text;
    EXPECT_EQ(Count(text, "TextureQuerySize"), 4) << text;
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
        IR::TextureOperation* query = f.Add(Instruction::TextureQuerySize, SamplerType::Texture2D, TextureFlags::None,
                                            0, {f.B.Local()}, {f.B.Const(0)});
        const int32_t textureBinding = query->Binding;
        if (row.Sampled) {
            f.Add(Instruction::TextureSample, SamplerType::Texture2D, TextureFlags::None, 1, {f.B.Local()},
                  {f.B.FConst(0.5f), f.B.FConst(0.5f)});
        }
        int32_t imageBinding = -1;
        if (row.Image) {
            imageBinding = f.Add(Instruction::ImageLoad, SamplerType::Texture2D | SamplerType::Array,
                                 TextureFlags::None, 1, {f.B.Local()}, {f.B.Const(1), f.B.Const(2), f.B.Const(0)})
                               ->Binding;
        }
        f.Run();
        EXPECT_EQ(query->Binding, row.Moves ? imageBinding : textureBinding);
        EXPECT_EQ(query->Type, row.Moves ? SamplerType::Texture2D | SamplerType::Array : SamplerType::Texture2D);
        EXPECT_EQ(f.Resources.Properties().Textures().Count(), row.Moves ? 0u : 1u);
        EXPECT_EQ(f.Resources.GetTextureDescriptors().size(), row.Moves ? 0u : 1u);
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Transforms
