#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;
namespace Insts = Zerivox::Graphics::Shader::Translation::EmitterContextInsts;

namespace {

std::string Print(const EmitterContext& context) { return IrPrinter::PrintOperations(context.Operations); }

// A decoded one-instruction shader of the given stage, for building full
// emitter contexts whose definitions a test then adjusts.
struct Shader {
    std::unique_ptr<Testing::DecoderGpuAccessor> Accessor;
    std::unique_ptr<TranslatorContext> Context;
    std::unique_ptr<ResourceManager> Manager;

    explicit Shader(ShaderStage stage, TranslationFlags flags = TranslationFlags::None, bool asCompute = false)
        : AsCompute(asCompute) {
        Testing::CodeBuilder code;
        code.Add(Testing::Exit());
        std::vector<uint64_t> words;
        if (stage == ShaderStage::Compute) {
            flags |= TranslationFlags::Compute;
        } else {
            words.assign(10, 0);
            words[0] = static_cast<uint64_t>(stage) << 10;
            words[1] = uint64_t{4} << 24; // threads per input primitive: a control shader's patch size
        }
        words.insert(words.end(), code.Words.begin(), code.Words.end());
        Accessor = std::make_unique<Testing::DecoderGpuAccessor>(words);
        TranslationOptions options(TargetLanguage::Spirv, TargetGraphicsApi::Vulkan, flags);
        Context = std::make_unique<TranslatorContext>(Translator::DecodeShader(0, *Accessor, options));
        Manager = Context->CreateResourceManager(asCompute);
    }
    bool AsCompute;

    ShaderDefinitions& Definitions() { return Context->Definitions(); }
    std::unique_ptr<EmitterContext> Emitter(bool isNonMain = false) {
        return std::make_unique<EmitterContext>(*Context, *Manager, Context->Program(), AsCompute, isNonMain);
    }
};

TEST(EmitterContextTest, LabelsAndIndirectBranchChains) {
    IrArena arena;
    EmitterContext context(arena);
    EmitterContext::BlockLabel& first = context.EnsureBlockLabel(0x100);
    EXPECT_EQ(&context.EnsureBlockLabel(0x100), &first);
    EXPECT_EQ(context.EnsureBlockLabel(0x100).Label, first.Label);
    EXPECT_EQ(first.Label->Type, OperandType::Label);

    // What the BRX emitter leaves for candidates 0x100, 0x180, 0x200.
    Operand* selector = OperandHelper::MakeLocal(arena);
    const uint64_t targets[] = {0x100, 0x180, 0x200};
    for (int i = 0; i < 2; i++) {
        EmitterContext::BlockLabel& record = context.EnsureBlockLabel(targets[i]);
        record.Selector = selector;
        record.NextTarget = targets[i + 1];
        record.SelectorValue = static_cast<int32_t>(targets[i]);
    }
    for (uint64_t target : targets) context.EnterBlock(target);
    context.EnterBlock(0x300);
    EXPECT_EQ(Print(context),
              "MarkLabel L0\n"
              "%0 = CompareEqual %1, 256\n"
              "BranchIfFalse L1, %0\n"
              "MarkLabel L1\n"
              "%2 = CompareEqual %1, 384\n"
              "BranchIfFalse L2, %2\n"
              "MarkLabel L2\n"
              "MarkLabel L3\n");
}

TEST(EmitterContextTest, BuilderShapes) {
    struct Case {
        const char* expected;
        std::function<void(EmitterContext&, Operand*, Operand*, Operand*)> build;
    };
    const Case cases[] = {
        {"%0 = Add %1, %2\n", [](auto& c, auto a, auto b, auto) { Insts::IAdd(c, a, b); }},
        {"%0 = Add.FP32 %1, %2\n", [](auto& c, auto a, auto b, auto) { Insts::FPAdd(c, a, b, Instruction::FP32); }},
        {"%0 = Multiply.FP64 %1, %2\n",
         [](auto& c, auto a, auto b, auto) { Insts::FPMultiply(c, a, b, Instruction::FP64); }},
        {"%0 = Cosine.FP32 %1\n", [](auto& c, auto a, auto, auto) { Insts::FPCosine(c, a); }},
        {"%0 = CompareGreaterOrEqualU32 %1, %2\n",
         [](auto& c, auto a, auto b, auto) { Insts::ICompareGreaterOrEqualUnsigned(c, a, b); }},
        {"%0 = Clamp %1, %2, %3\n", [](auto& c, auto a, auto b, auto d) { Insts::IClampS32(c, a, b, d); }},
        {"%0 = Minimum %1, %2\n", [](auto& c, auto a, auto b, auto) { Insts::IMinimumS32(c, a, b); }},
        {"%0 = ConvertFP64ToU32 %1\n", [](auto& c, auto a, auto, auto) { Insts::FP64ConvertToU32(c, a); }},
        {"%0 = Clamp.FP32 %1, 0.0, 1.0\n",
         [](auto& c, auto a, auto, auto) { Insts::FPSaturate(c, a, Instruction::FP32); }},
        {"%0 = PackDouble2x32 0, 0\n%1 = PackDouble2x32 0, 1072693248\n%2 = Clamp.FP64 %3, %0, %1\n",
         [](auto& c, auto a, auto, auto) { Insts::FPSaturate(c, a, Instruction::FP64); }},
        {"%0 = SwizzleAdd %1, %2, 153\n", [](auto& c, auto a, auto b, auto) { Insts::FPSwizzleAdd(c, a, b, 0x99); }},
        {"%0 = Ballot#2 %1\n", [](auto& c, auto a, auto, auto) { Insts::Ballot(c, a, 2); }},
        {"%0 = UnpackHalf2x16#1 %1\n", [](auto& c, auto a, auto, auto) { Insts::UnpackHalf2x16(c, a, 1); }},
        {"%0 = Load.ConstantBuffer 0, 8\n",
         [](auto& c, auto, auto, auto) {
             Insts::Load(c, StorageKind::ConstantBuffer, 0, OperandHelper::MakeConstant(c.Arena(), 8));
         }},
        {"%0 = Load.GlobalMemory %1, %2\n",
         [](auto& c, auto a, auto b, auto) { Insts::Load(c, StorageKind::GlobalMemory, a, b); }},
        {"%0 = AtomicAdd.SharedMemory 3, %1, %2, %3\n",
         [](auto& c, auto a, auto b, auto d) { Insts::AtomicAdd(c, StorageKind::SharedMemory, 3, a, b, d); }},
        {"%0 = AtomicCompareAndSwap.StorageBuffer 1, %1, %2, %3\n",
         [](auto& c, auto a, auto b, auto d) {
             Insts::AtomicCompareAndSwap(c, StorageKind::StorageBuffer, 1, a, b, d);
         }},
        {"Store.Output 11, %0\n",
         [](auto& c, auto a, auto, auto) {
             Insts::Store(c, StorageKind::Output, IoVariable::FragmentOutputDepth, nullptr, a);
         }},
        {"Store.Output 23, %0, %1\n",
         [](auto& c, auto a, auto b, auto) { Insts::Store(c, StorageKind::Output, IoVariable::Position, nullptr, a, b); }},
        {"Store.LocalMemory 2, %0, %1\n",
         [](auto& c, auto a, auto b, auto) { Insts::Store(c, StorageKind::LocalMemory, 2, a, b); }},
        {"%0, %1 = ShuffleXor %2, %3, %4\n",
         [](auto& c, auto a, auto b, auto d) {
             auto [value, valid] = Insts::ShuffleXor(c, a, b, d);
             EXPECT_NE(value, valid);
             EXPECT_EQ(value->Definition, valid->Definition);
         }},
        {"%0 = Shuffle %1, %2\n", [](auto& c, auto a, auto b, auto) { Insts::Shuffle(c, a, b); }},
        {"Return %0\n", [](auto& c, auto a, auto, auto) { Insts::Return(c, a); }},
    };
    for (const Case& test : cases) {
        IrArena arena;
        EmitterContext context(arena);
        Operand* a = OperandHelper::MakeLocal(arena);
        Operand* b = OperandHelper::MakeLocal(arena);
        Operand* c = OperandHelper::MakeLocal(arena);
        test.build(context, a, b, c);
        EXPECT_EQ(Print(context), test.expected);
    }
}

TEST(EmitterContextTest, CopiesBranchesAndTextureBuilders) {
    IrArena arena;
    EmitterContext context(arena);
    Operand* value = OperandHelper::MakeLocal(arena);

    // Writes to the zero register or the true predicate vanish.
    Insts::Copy(context, OperandHelper::Register(arena, 255, Decoders::RegisterType::Gpr), value);
    Insts::Copy(context, OperandHelper::Register(arena, 7, Decoders::RegisterType::Predicate), value);
    EXPECT_TRUE(context.Operations.empty());
    Operand* r1 = OperandHelper::Register(arena, 1, Decoders::RegisterType::Gpr);
    Insts::Copy(context, r1, value);
    EXPECT_EQ(r1->Definition, context.Operations.back());

    Operand* label = OperandHelper::MakeLabel(arena);
    EXPECT_EQ(Insts::BranchIfTrue(context, label, value), label);
    EXPECT_EQ(label->Definition, context.Operations.back());

    Operand* dests[] = {OperandHelper::MakeLocal(arena), OperandHelper::MakeLocal(arena)};
    Operand* sources[] = {value};
    Insts::TextureSample(context, SamplerType::Texture2D, TextureFlags::None, SetBindingPair(0, 4), 0x5, dests,
                         sources);
    dests[0] = nullptr;  // the operation keeps its own copy
    Insts::ImageLoad(context, SamplerType::Texture2D, TextureFormat::R32Uint, TextureFlags::None, SetBindingPair(0, 5),
                     0x1, std::span<Operand* const>(dests).subspan(1), sources);
    Operand* size = Insts::TextureQuerySize(context, SamplerType::Texture2D, TextureFlags::None, SetBindingPair(0, 4),
                                            1, sources);
    EXPECT_EQ(size->Definition, context.Operations.back());
    EXPECT_EQ(IrPrinter::PrintOperations(std::span(context.Operations).subspan(1)),
              "BranchIfTrue L0, %0\n"
              "%1, %2 = TextureSample{Texture2D set=0 binding=4}#5 %0\n"
              "%2 = ImageLoad{Texture2D format=" +
                  std::to_string(static_cast<int>(TextureFormat::R32Uint)) +
                  " set=0 binding=5}#1 %0\n"
                  "%3 = TextureQuerySize{Texture2D set=0 binding=4}#1 %0\n");
    for (Operation* op : context.Operations) {
        if (TextureOperation* tex = op->AsTextureOperation()) {
            EXPECT_EQ(tex->SamplerSet, -1);
            EXPECT_EQ(tex->SamplerBinding, -1);
        }
    }
}

TEST(EmitterContextTest, StartCodeByStage) {
    EXPECT_EQ(Print(*Shader(ShaderStage::Vertex).Emitter()),
              "%0 = Load.ConstantBuffer 0, 8\n"
              "Store.Output 22, %0\n");
    EXPECT_EQ(Print(*Shader(ShaderStage::Vertex, TranslationFlags::VertexA).Emitter()), "");
    EXPECT_EQ(Print(*Shader(ShaderStage::Fragment).Emitter()), "");
    EXPECT_EQ(Print(*Shader(ShaderStage::Compute).Emitter()), "");
}

TEST(EmitterContextTest, FragmentColourOutputsTakeFourRegistersPerTarget) {
    struct Case {
        int outputMap;
        const char* expected;
    };
    const Case cases[] = {
        {0x0F,
         "Store.Output 10, 0, 0, R0\nStore.Output 10, 0, 1, R1\nStore.Output 10, 0, 2, R2\n"
         "Store.Output 10, 0, 3, R3\n"},
        {0x31, "Store.Output 10, 0, 0, R0\nStore.Output 10, 1, 0, R4\nStore.Output 10, 1, 1, R5\n"},
        {0x10, "Store.Output 10, 1, 0, R0\n"},
    };
    for (const Case& c : cases) {
        Shader shader(ShaderStage::Fragment);
        shader.Definitions().FragmentOutputMap = c.outputMap;
        shader.Definitions().GraphicsState.AlphaTestFunction = AlphaTestOp::Always;
        auto emitter = shader.Emitter();
        EXPECT_TRUE(emitter->PrepareForReturn());
        EXPECT_EQ(Print(*emitter), c.expected) << c.outputMap;
    }
}

TEST(EmitterContextTest, FragmentAlphaTestAndDepth) {
    {
        Shader shader(ShaderStage::Fragment);
        shader.Definitions().FragmentOutputMap = 0x8;
        shader.Definitions().GraphicsState.AlphaTestFunction = AlphaTestOp::Never;
        auto emitter = shader.Emitter();
        EXPECT_FALSE(emitter->PrepareForReturn());
        EXPECT_EQ(Print(*emitter), "Discard\n");
    }
    {
        Shader shader(ShaderStage::Fragment);
        shader.Definitions().FragmentOutputMap = 0x8;
        shader.Definitions().WritesDepth = true;
        shader.Definitions().GraphicsState.AlphaTestFunction = AlphaTestOp::Greater;
        shader.Definitions().GraphicsState.AlphaTestReference = 0.5f;
        auto emitter = shader.Emitter();
        EXPECT_TRUE(emitter->PrepareForReturn());
        EXPECT_EQ(Print(*emitter),
                  "Store.Output 11, R" + std::to_string(shader.Context->GetDepthRegister()) +
                      "\n"
                      "%0 = CompareGreater.FP32 R3, 0.5\n"
                      "BranchIfTrue L0, %0\n"
                      "Discard\n"
                      "MarkLabel L0\n"
                      "Store.Output 10, 0, 3, R3\n");
    }
    {
        // Render target 0 does not write alpha: nothing to test.
        Shader shader(ShaderStage::Fragment);
        shader.Definitions().FragmentOutputMap = 0x1;
        shader.Definitions().GraphicsState.AlphaTestFunction = AlphaTestOp::Greater;
        auto emitter = shader.Emitter();
        EXPECT_TRUE(emitter->PrepareForReturn());
        EXPECT_EQ(Print(*emitter), "Store.Output 10, 0, 0, R0\n");
    }
    {
        Shader shader(ShaderStage::Fragment);
        shader.Definitions().FragmentOutputMap = 0xF;
        auto emitter = shader.Emitter(true);
        EXPECT_TRUE(emitter->PrepareForReturn());
        EXPECT_EQ(Print(*emitter), "");
    }
}

TEST(EmitterContextTest, AlphaToCoverageDither) {
    Shader shader(ShaderStage::Fragment);
    shader.Definitions().FragmentOutputMap = 0x8;
    shader.Definitions().GraphicsState.AlphaTestFunction = AlphaTestOp::Always;
    shader.Definitions().GraphicsState.AlphaToCoverageDither = true;
    auto without = shader.Emitter();
    without->GenerateAlphaToCoverageDitherDiscard();
    EXPECT_EQ(Print(*without), "");  // dithering needs alpha to coverage as well

    shader.Definitions().GraphicsState.AlphaToCoverage = true;
    auto with = shader.Emitter();
    with->GenerateAlphaToCoverageDitherDiscard();
    EXPECT_EQ(Print(*with),
              "%0 = Load.Input 9, 0\n"
              "%1 = Load.Input 9, 1\n"
              "%2 = ConvertFP32ToU32 %0\n"
              "%3 = BitwiseAnd %2, 1\n"
              "%4 = ConvertFP32ToU32 %1\n"
              "%5 = BitwiseAnd %4, 1\n"
              "%6 = ShiftLeft %5, 1\n"
              "%7 = BitwiseOr %3, %6\n"
              "%8 = Clamp.FP32 R3, 0.0, 1.0\n"
              "%9 = Multiply.FP32 %8, 8.0\n"
              "%10 = ConvertFP32ToU32 %9\n"
              "%11 = MinimumU32 %10, 7\n"
              "%12 = ShiftLeft %11, 2\n"
              "%13 = BitwiseOr %12, %7\n"
              "%14 = ShiftRightU32 -71724784, %13\n"
              "%15 = BitwiseAnd %14, 1\n"
              "BranchIfTrue L0, %15\n"
              "Discard\n"
              "MarkLabel L0\n");
}

TEST(EmitterContextTest, GeometryPassthroughVertices) {
    struct Case {
        InputTopology topology;
        std::vector<int> vertices;
    };
    const Case cases[] = {
        {InputTopology::Triangles, {0, 1, 2}},
        {InputTopology::TrianglesAdjacency, {0, 2, 4}},
        {InputTopology::LinesAdjacency, {1, 2}},
        {InputTopology::Points, {0}},
    };
    for (const Case& c : cases) {
        Shader shader(ShaderStage::Geometry);
        shader.Definitions().GeometryPassthrough = true;
        shader.Definitions().GraphicsState.Topology = c.topology;
        shader.Context->Program().AttributeUsage.PassthroughAttributes = 0x5;
        auto emitter = shader.Emitter();
        size_t start = emitter->Operations.size();
        EXPECT_TRUE(emitter->PrepareForReturn());

        // Per vertex: 4 position loads and stores, 4 + 4 for each of the two
        // attributes, then EmitVertex; one EndPrimitive at the end.
        std::vector<int> seen;
        std::vector<int> locations;
        int emits = 0;
        for (size_t i = start; i < emitter->Operations.size(); i++) {
            Operation* op = emitter->Operations[i];
            if (op->Inst == Instruction::EmitVertex) emits++;
            if (op->Inst != Instruction::Load) continue;
            if (op->GetSource(0)->Value == static_cast<int>(IoVariable::Position) && op->GetSource(2)->Value == 0) {
                seen.push_back(op->GetSource(1)->Value);
            }
            if (op->GetSource(0)->Value == static_cast<int>(IoVariable::UserDefined) &&
                op->GetSource(3)->Value == 0 && seen.size() == 1) {
                locations.push_back(op->GetSource(1)->Value);
            }
        }
        EXPECT_EQ(seen, c.vertices);
        EXPECT_EQ(locations, (std::vector<int>{0, 2}));
        EXPECT_EQ(emits, static_cast<int>(c.vertices.size()));
        EXPECT_EQ(emitter->Operations.back()->Inst, Instruction::EndPrimitive);
        EXPECT_EQ(emitter->Operations.size() - start, c.vertices.size() * (8 + 2 * 8 + 1) + 1);
    }
}

TEST(EmitterContextTest, ViewportFixUp) {
    Shader shader(ShaderStage::Vertex);
    shader.Definitions().IsLastVertexStage = true;
    auto plain = shader.Emitter();
    size_t start = plain->Operations.size();
    Operand *x, *y, *z;
    plain->PrepareForVertexReturn(x, y, z);
    EXPECT_EQ(plain->Operations.size(), start);
    EXPECT_EQ(x, nullptr);
    EXPECT_EQ(z, nullptr);

    shader.Definitions().GraphicsState.ViewportTransformDisabled = true;
    auto fixed = shader.Emitter();
    start = fixed->Operations.size();
    fixed->PrepareForVertexReturn(x, y, z);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(z, nullptr);
    EXPECT_EQ(IrPrinter::PrintOperations(std::span(fixed->Operations).subspan(start)),
              "%0 = Load.Output 23, 0\n"
              "%1 = Copy %0\n"
              "%2 = Load.Output 23, 1\n"
              "%3 = Copy %2\n"
              "%4 = Load.Output 23, 0\n"
              "%5 = Load.Output 23, 1\n"
              "%6 = Load.ConstantBuffer 0, 2, 0\n"
              "%7 = Load.ConstantBuffer 0, 2, 1\n"
              "%8 = FusedMultiplyAdd.FP32 %4, %6, -1.0\n"
              "Store.Output 23, 0, %8\n"
              "%9 = FusedMultiplyAdd.FP32 %5, %7, -1.0\n"
              "Store.Output 23, 1, %9\n");
}

// A vertex shader run as compute skips invocations outside the draw, reads
// its vertex index from the index buffer, and copies its outputs out.
TEST(EmitterContextTest, VertexAsComputeFramesTheShader) {
    Shader shader(ShaderStage::Vertex, TranslationFlags::None, true);
    shader.Definitions().IsLastVertexStage = true;
    const ResourceReservations& r = shader.Manager->Reservations();
    std::string info = std::to_string(r.VertexInfoConstantBufferBinding);
    auto emitter = shader.Emitter();
    EXPECT_EQ(Print(*emitter),
              "%0 = Load.ConstantBuffer 0, 8\n"
              "Store.Output 22, %0\n"
              "%1 = Load.Input 15, 0\n"
              "%2 = Load.ConstantBuffer " + info + ", 0, 0\n"
              "%3 = CompareGreaterOrEqualU32 %1, %2\n"
              "BranchIfFalse L0, %3\n"
              "Return\n"
              "MarkLabel L0\n"
              "%4 = Load.Input 15, 1\n"
              "%5 = Load.ConstantBuffer " + info + ", 0, 1\n"
              "%6 = Load.ConstantBuffer " + info + ", 0, 2\n"
              "%7 = Load.ConstantBuffer " + info + ", 0, 3\n"
              "%8 = Load.ConstantBuffer " + info + ", 1, 3\n"
              "%9 = CompareGreaterOrEqualU32 %4, %5\n"
              "BranchIfFalse L1, %9\n"
              "Return\n"
              "MarkLabel L1\n"
              "%10 = Add %8, %1\n"
              "%11 = TextureSample{TextureBuffer set=2 binding=" + std::to_string(r.IndexBufferTextureBinding) +
                  " flags=0x8}#1 %10\n"
              "%12 = Add %6, %11\n"
              "Store.LocalMemory " + std::to_string(shader.Manager->LocalVertexIndexVertexRateMemoryId) + ", %12\n"
              "%13 = Add %7, %4\n"
              "Store.LocalMemory " + std::to_string(shader.Manager->LocalVertexIndexInstanceRateMemoryId) +
                  ", %13\n");

    size_t begin = emitter->Operations.size();
    EXPECT_TRUE(emitter->PrepareForReturn());
    std::string end = IrPrinter::PrintOperations(std::span(emitter->Operations).subspan(begin));
    std::string out = std::to_string(r.VertexOutputStorageBufferBinding);
    std::string data = std::to_string(shader.Manager->LocalVertexDataMemoryId);
    ASSERT_GE(r.OutputSizePerInvocation, 1);
    EXPECT_EQ(end.substr(0, end.find("%8 = ")),
              "%0 = Load.ConstantBuffer " + info + ", 0, 0\n"
              "%1 = Load.Input 15, 0\n"
              "%2 = Load.Input 15, 1\n"
              "%3 = Multiply %2, %0\n"
              "%4 = Add %3, %1\n"
              "%5 = Multiply %4, " + std::to_string(r.OutputSizePerInvocation) + "\n"
              "%6 = Add %5, 0\n"
              "%7 = Load.LocalMemory " + data + ", 0\n"
              "Store.StorageBuffer " + out + ", 0, %6, %7\n");
    EXPECT_EQ(std::count(end.begin(), end.end(), '\n'), 6 + 3 * r.OutputSizePerInvocation);
}

TEST(EmitterContextTest, BareContextRefusesStageCode) {
    IrArena arena;
    EmitterContext context(arena);
    EXPECT_THROW(context.PrepareForReturn(), Zerivox::Common::InvalidOperationException);
    EXPECT_THROW(context.EmitStart(), Zerivox::Common::InvalidOperationException);
    EXPECT_THROW(context.GpuAccessor(), Zerivox::Common::InvalidOperationException);
}

}  // namespace
