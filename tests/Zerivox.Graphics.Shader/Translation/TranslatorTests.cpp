#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TestTools/SpirvValidator.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::IntermediateRepresentation::IrPrinter;
using Zerivox::Graphics::Shader::Testing::CodeBuilder;
using Zerivox::Graphics::Shader::Testing::DecoderGpuAccessor;
using Zerivox::Graphics::Shader::Testing::Exit;
using Zerivox::Graphics::Shader::Testing::Mov;
using Zerivox::Graphics::Shader::Testing::Nop;

namespace {

constexpr TranslationOptions ComputeDebug(TargetLanguage::Spirv, TargetGraphicsApi::Vulkan,
                                          TranslationFlags::Compute | TranslationFlags::DebugMode);

// Program header words 0-19 followed by the code.
std::vector<uint64_t> WithHeader(const std::array<uint32_t, 20>& header, const std::vector<uint64_t>& code) {
    std::vector<uint64_t> words;
    for (std::size_t i = 0; i < header.size(); i += 2) {
        words.push_back(static_cast<uint64_t>(header[i]) | (static_cast<uint64_t>(header[i + 1]) << 32));
    }
    words.insert(words.end(), code.begin(), code.end());
    return words;
}

std::array<uint32_t, 20> Header(ShaderStage stage) {
    std::array<uint32_t, 20> header{};
    header[0] = static_cast<uint32_t>(stage) << 10;
    header[2] = 4u << 24; // threads per input primitive: a control shader's patch size
    return header;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::size_t Find(const std::vector<std::string>& lines, const std::string& text, std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); i++) {
        if (lines[i].find(text) != std::string::npos)
            return i;
    }
    return std::string::npos;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

struct Emitted {
    std::unique_ptr<ResourceManager> manager;
    std::vector<Translator::FunctionCode> codes;
    int32_t initializationOperations = 0;
    std::vector<std::string> Function(std::size_t id) const { return Lines(IrPrinter::PrintOperations(codes.at(id))); }
};

Emitted Emit(TranslatorContext& context, bool initializeOutputs = true) {
    Emitted result;
    result.manager = context.CreateResourceManager(false);
    result.codes = Translator::EmitShader(context, *result.manager, context.Program(), false, initializeOutputs,
                                          result.initializationOperations);
    return result;
}

} // namespace

TEST(TranslatorTests, ComputeReadsNoHeaderAndGraphicsCountsIt) {
    CodeBuilder code;
    code.Add(Mov(1, 2));
    code.Add(Exit());
    DecoderGpuAccessor compute(code.Words);
    TranslatorContext context = Translator::DecodeShader(0, compute, ComputeDebug);
    EXPECT_EQ(context.LocalMemorySize(), 4096);
    EXPECT_EQ(context.Size(), 0x18);

    std::array<uint32_t, 20> header = Header(ShaderStage::Fragment);
    header[1] = 0x100;
    header[18] = 0x13; // render target 0 x, y and target 1 x
    DecoderGpuAccessor graphics(WithHeader(header, code.Words));
    TranslatorContext fragment = Translator::DecodeShader(0, graphics, TranslationOptions());
    EXPECT_EQ(fragment.Definitions().Stage, ShaderStage::Fragment);
    EXPECT_EQ(fragment.LocalMemorySize(), 0x100);
    EXPECT_EQ(fragment.Size(), 0x18 + 0x50);
    EXPECT_EQ(fragment.GetDepthRegister(), 4);
    EXPECT_EQ(fragment.VertexOutputUsage, IoUsage(FeatureFlags::None, 0, 0xFFFFFFFFu));
}

TEST(TranslatorTests, DebugCommentsAndGuards) {
    CodeBuilder code;
    code.Add(Mov(1, 2).Pred(0));       // 0x08: guard in mid-block
    code.Add(Mov(3, 4).Pred(7, true)); // 0x10: @!PT never runs
    code.Add(Mov(5, 6).Pred(7));       // 0x18: @PT needs no guard
    code.Add(Mov(7, 8).Pred(2, true)); // 0x28: last op of a block that falls through
    uint64_t loop = code.Add(Nop());   // 0x30: branch target
    code.AddRelative(Testing::Inst(Testing::Prefix::Bra).Ccc(0xF).Pred(1), loop); // 0x38
    code.Add(0xFFFFFFFFFFFFFFFFull);                                              // 0x48: no such instruction
    code.Add(Exit());
    DecoderGpuAccessor accessor(code.Words);
    TranslatorContext context = Translator::DecodeShader(0, accessor, ComputeDebug);
    Emitted emitted = Emit(context);
    const std::vector<std::string> lines = emitted.Function(0);
    const std::string text = IrPrinter::PrintOperations(emitted.codes[0]);

    std::size_t first = Find(lines, "// 0x000008: ");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(lines[first], "// 0x000008: 0x5C98000000200001 Mov");
    EXPECT_EQ(lines[first + 1], "BranchIfFalse L1, P0");
    std::size_t never = Find(lines, "// 0x000010: ");
    EXPECT_LT(Find(lines, "MarkLabel L1", first), never);
    EXPECT_EQ(Count(lines, "MarkLabel L1"), 1u);

    // @!PT leaves only its comment; @PT gets no guard.
    ASSERT_NE(never, std::string::npos);
    EXPECT_EQ(lines[never + 1].rfind("// 0x000018: ", 0), 0u) << text;
    std::size_t afterPt = Find(lines, "// 0x000028: ");
    EXPECT_EQ(Count(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(never),
                                             lines.begin() + static_cast<std::ptrdiff_t>(afterPt)),
                    "Branch"),
              0u);

    // At the end of a block that falls through, the guard skips to the next
    // block's label and places none of its own.
    ASSERT_NE(afterPt, std::string::npos);
    EXPECT_EQ(lines[afterPt + 1], "BranchIfTrue L2, P2");
    std::size_t target = Find(lines, "// 0x000030: ");
    EXPECT_EQ(lines[target - 1], "MarkLabel L2");
    EXPECT_EQ(Count(lines, "MarkLabel L2"), 1u);

    // A guarded BRA keeps its guard for its own emitter.
    std::size_t bra = Find(lines, "// 0x000038: 0xE2400FFFFF01000F Bra");
    ASSERT_NE(bra, std::string::npos) << text;
    std::size_t afterBra = Find(lines, "// ", bra + 1);
    EXPECT_LE(Count(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(bra),
                                             lines.begin() + static_cast<std::ptrdiff_t>(afterBra)),
                    "BranchIf"),
              1u);

    // An unknown word is commented and logged, not an error.
    EXPECT_NE(Find(lines, "// 0x000048: 0xFFFFFFFFFFFFFFFF ???"), std::string::npos);
    EXPECT_NE(std::find(accessor.Messages.begin(), accessor.Messages.end(),
                        "Invalid instruction at 0x000048 (0xFFFFFFFFFFFFFFFF)."),
              accessor.Messages.end());
}

TEST(TranslatorTests, NoCommentsWithoutDebugMode) {
    CodeBuilder code;
    code.Add(0xFFFFFFFFFFFFFFFFull);
    code.Add(Exit());
    DecoderGpuAccessor accessor(code.Words);
    TranslatorContext context = Translator::DecodeShader(
        0, accessor, TranslationOptions(TargetLanguage::Spirv, TargetGraphicsApi::Vulkan, TranslationFlags::Compute));
    Emitted emitted = Emit(context);
    EXPECT_EQ(Count(emitted.Function(0), "//"), 0u);
    EXPECT_TRUE(std::none_of(accessor.Messages.begin(), accessor.Messages.end(),
                             [](const std::string& m) { return m.rfind("Invalid instruction", 0) == 0; }));
}

TEST(TranslatorTests, FunctionsAreNumberedByAddress) {
    // The higher-addressed function is called (and found) first.
    // Bits 16-19 of a CAL hold 0 in real code; 7 there would end the block.
    const Testing::Inst cal = Testing::Inst(Testing::Prefix::Cal).Bits(16, 4, 0);
    CodeBuilder code;
    uint64_t callHigh = code.AddRelative(cal, 0);
    uint64_t callLow = code.AddRelative(cal, 0);
    code.Add(Exit());
    code.PadTo(0x48);
    uint64_t low = code.Add(Testing::Ret());
    code.PadTo(0x88);
    uint64_t high = code.Add(Testing::Ret());
    code.SetTarget(callHigh, high);
    code.SetTarget(callLow, low);

    DecoderGpuAccessor accessor(code.Words);
    TranslatorContext context = Translator::DecodeShader(0, accessor, ComputeDebug);
    Emitted emitted = Emit(context);
    ASSERT_EQ(emitted.codes.size(), 3u);
    Decoders::DecodedProgram& program = context.Program();
    ASSERT_EQ(program.FunctionsById.size(), 3u);
    EXPECT_EQ(program.FunctionsById[0]->Address, 0u);
    EXPECT_EQ(program.FunctionsById[1]->Address, low);
    EXPECT_EQ(program.FunctionsById[2]->Address, high);
    EXPECT_EQ(program.GetFunctionByAddress(high)->Id, 2);

    // A recognised guest helper gets no id and no code.
    DecoderGpuAccessor accessor2(code.Words);
    TranslatorContext context2 = Translator::DecodeShader(0, accessor2, ComputeDebug);
    context2.Program().GetFunctionByAddress(low)->Type = Decoders::FunctionType::FsiBegin;
    Emitted emitted2 = Emit(context2);
    EXPECT_EQ(emitted2.codes.size(), 2u);
    EXPECT_EQ(context2.Program().GetFunctionByAddress(low)->Id, -1);
    EXPECT_EQ(context2.Program().GetFunctionByAddress(high)->Id, 1);
}

TEST(TranslatorTests, OutputInitialization) {
    CodeBuilder code;
    code.Add(Exit());

    struct Case {
        ShaderStage stage;
        uint32_t usedOutputs;
        bool dualSourceBlend;
        std::size_t positionStores, userStores, colorStores, invocationLoads;
    };
    const Case cases[] = {
        {ShaderStage::Vertex, 0x9, false, 4, 8, 0, 0},
        {ShaderStage::Geometry, 0x1, false, 0, 4, 0, 0},
        {ShaderStage::TessellationControl, 0x2, false, 0, 4, 0, 4},
        {ShaderStage::Fragment, 0x9, true, 0, 0, 4, 0},
        {ShaderStage::Fragment, 0x9, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        DecoderGpuAccessor accessor(WithHeader(Header(c.stage), code.Words));
        accessor.GraphicsState.DualSourceBlend = c.dualSourceBlend;
        TranslatorContext context = Translator::DecodeShader(0, accessor, TranslationOptions());
        context.Program().AttributeUsage.UsedOutputAttributes = c.usedOutputs;
        Emitted emitted = Emit(context);
        std::vector<std::string> init = emitted.Function(0);
        init.resize(static_cast<std::size_t>(emitted.initializationOperations));
        SCOPED_TRACE(ShaderStageName(c.stage));
        EXPECT_EQ(Count(init, "Store.Output 23, "), c.positionStores); // Position
        EXPECT_EQ(Count(init, "Store.Output 37, "), c.userStores);     // UserDefined
        EXPECT_EQ(Count(init, "Store.Output 10, 1, "), c.colorStores); // FragmentOutputColor location 1
        EXPECT_EQ(Count(init, "Load.Input 18"), c.invocationLoads);    // InvocationId
    }

    // Components x, y, z start at 0.0 and w at 1.0, attribute by attribute.
    DecoderGpuAccessor accessor(WithHeader(Header(ShaderStage::Vertex), code.Words));
    TranslatorContext context = Translator::DecodeShader(0, accessor, TranslationOptions());
    context.Program().AttributeUsage.UsedOutputAttributes = 0x8;
    Emitted emitted = Emit(context);
    std::vector<std::string> lines = emitted.Function(0);
    std::size_t user = Find(lines, "Store.Output 37, ");
    ASSERT_NE(user, std::string::npos);
    EXPECT_EQ(lines[user], "Store.Output 37, 3, 0, 0");
    EXPECT_EQ(lines[user + 3], "Store.Output 37, 3, 3, 1065353216");
    EXPECT_LT(Find(lines, "Store.Output 23, 3, 1065353216"), user);

    // Compute shaders initialise nothing.
    DecoderGpuAccessor compute(code.Words);
    TranslatorContext computeContext = Translator::DecodeShader(0, compute, ComputeDebug);
    EXPECT_EQ(Emit(computeContext).initializationOperations, Emit(computeContext, false).initializationOperations);
}

// A geometry shader's invocations and a control shader's output vertices
// per input primitive: 1 to 32, or a typed error before either back end.
TEST(TranslatorTests, ThreadsPerInputPrimitiveOutsideOneToThirtyTwoAreRefused) {
    struct Case {
        ShaderStage Stage;
        uint32_t Threads;
        const char* Error; // null: the header is accepted
    };
    const Case cases[] = {
        {ShaderStage::Geometry, 1, nullptr},
        {ShaderStage::Geometry, 32, nullptr},
        {ShaderStage::Geometry, 0,
         "The program header of the geometry shader gives 0 invocations per input primitive."},
        {ShaderStage::Geometry, 33,
         "The program header of the geometry shader gives 33 invocations per input primitive."},
        {ShaderStage::TessellationControl, 32, nullptr},
        {ShaderStage::TessellationControl, 0,
         "The program header of the tessellation control shader gives 0 output vertices per patch."},
        {ShaderStage::TessellationControl, 255,
         "The program header of the tessellation control shader gives 255 output vertices per patch."},
        // Stages that run no groups per primitive ignore the field.
        {ShaderStage::Vertex, 0, nullptr},
        {ShaderStage::TessellationEvaluation, 200, nullptr},
    };
    CodeBuilder code;
    code.Add(Exit());
    for (const Case& c : cases) {
        std::array<uint32_t, 20> header = Header(c.Stage);
        header[2] = c.Threads << 24;
        DecoderGpuAccessor accessor(WithHeader(header, code.Words));
        SCOPED_TRACE(std::to_string(static_cast<int>(c.Stage)) + " " + std::to_string(c.Threads));
        try {
            Translator::DecodeShader(0, accessor, TranslationOptions());
            EXPECT_EQ(c.Error, nullptr);
        } catch (const Zerivox::Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), c.Error == nullptr ? "no error" : c.Error);
        }
    }
}

TEST(TranslatorTests, TargetLanguageSelectsTheBackEnd) {
    CodeBuilder code;
    code.Add(Exit());

    auto translate = [&](TargetLanguage language) {
        DecoderGpuAccessor accessor(code.Words);
        TranslationOptions options(language, TargetGraphicsApi::Vulkan, TranslationFlags::Compute);
        TranslatorContext context = Translator::DecodeShader(0, accessor, options);
        return context.Translate();
    };
    try {
        translate(TargetLanguage::Arb);
        FAIL() << "Arb has no back end";
    } catch (const Zerivox::Common::NotImplementedException& e) {
        EXPECT_STREQ(e.what(), "Arb");
    }
    EXPECT_THROW(translate(static_cast<TargetLanguage>(7)), Zerivox::Common::NotImplementedException);
    ShaderProgram glsl = translate(TargetLanguage::Glsl);
    EXPECT_EQ(glsl.Language, TargetLanguage::Glsl);
    EXPECT_TRUE(glsl.BinaryCode.empty());
    EXPECT_TRUE(glsl.Code.starts_with("#version 460 core\r\n"));
    EXPECT_TRUE(glsl.Code.ends_with("void main()\r\n{\r\n    return;\r\n}\r\n")) << glsl.Code;

    ShaderProgram program = translate(TargetLanguage::Spirv);
    EXPECT_EQ(program.Language, TargetLanguage::Spirv);
    EXPECT_TRUE(program.Code.empty());
    ASSERT_GE(program.BinaryCode.size(), 20u);
    EXPECT_EQ(program.BinaryCode[0] | (program.BinaryCode[1] << 8) | (program.BinaryCode[2] << 16) |
                  (static_cast<uint32_t>(program.BinaryCode[3]) << 24),
              0x07230203u);
    EXPECT_EQ(Zerivox::TestTools::ValidateSpirv(program.BinaryCode), "");
    EXPECT_EQ(program.Info.Stage, ShaderStage::Compute);
}

TEST(TranslatorTests, AContextTranslatesOnce) {
    CodeBuilder code;
    code.Add(Exit());
    DecoderGpuAccessor accessor(code.Words);
    TranslatorContext context = Translator::DecodeShader(
        0, accessor, TranslationOptions(TargetLanguage::Arb, TargetGraphicsApi::Vulkan, TranslationFlags::Compute));
    EXPECT_THROW(context.Translate(), Zerivox::Common::NotImplementedException);
    EXPECT_THROW(context.Translate(), Zerivox::Common::InvalidOperationException);
}

TEST(TranslatorTests, ResourcesOfStagesRunAsCompute) {
    CodeBuilder code;
    code.Add(Exit());
    DecoderGpuAccessor accessor(WithHeader(Header(ShaderStage::Vertex), code.Words));
    TranslatorContext context = Translator::DecodeShader(0, accessor, TranslationOptions());
    context.Program().AttributeUsage.UsedInputAttributes = 0x5;

    std::unique_ptr<ResourceManager> plain = context.CreateResourceManager(false);
    EXPECT_EQ(plain->Properties().ConstantBuffers().Count(), 1u);
    EXPECT_TRUE(plain->Properties().Textures().empty());
    // Only a stage run as compute needs the word offsets; the sizes are the same.
    const ResourceReservations full = context.GetResourceReservations();
    EXPECT_TRUE(plain->Reservations().IoOffsetMap.empty());
    EXPECT_FALSE(full.IoOffsetMap.empty());
    EXPECT_EQ(plain->Reservations().InputSizePerInvocation, full.InputSizePerInvocation);
    EXPECT_EQ(plain->Reservations().OutputSizePerInvocation, full.OutputSizePerInvocation);

    std::unique_ptr<ResourceManager> manager = context.CreateResourceManager(true);
    const StructuredIr::ShaderProperties& properties = manager->Properties();
    EXPECT_EQ(properties.ConstantBuffers().At(1).Name, "vb_info");
    EXPECT_EQ(properties.StorageBuffers().At(0).Name, "vertex_output");
    EXPECT_EQ(properties.StorageBuffers().At(0).Set, 1);
    EXPECT_EQ(properties.Textures().At(SetBindingPair(2, 0)).Name, "ib_data");
    EXPECT_EQ(properties.Textures().At(SetBindingPair(2, 2)).Name, "vb_data0");
    EXPECT_EQ(properties.Textures().At(SetBindingPair(2, 4)).Name, "vb_data2");
    EXPECT_EQ(properties.Textures().Count(), 3u);
    EXPECT_EQ(properties.LocalMemories().At(manager->LocalVertexDataMemoryId).Name, "local_vertex_data");
    // Position, point size: the vertex output layout of a shader writing nothing else.
    EXPECT_EQ(properties.LocalMemories().At(manager->LocalVertexDataMemoryId).ArrayLength, 5);
    EXPECT_EQ(context.GetDefinitions(true).WorkgroupSizeX, 32);
    EXPECT_EQ(context.GetDefinitions(true).Stage, ShaderStage::Compute);
    EXPECT_EQ(context.GetDefinitions(false).Stage, ShaderStage::Vertex);
}

TEST(TranslatorTests, EveryCorpusShaderTranslatesOrFailsWithATypedError) {
    const std::filesystem::path corpus = Testing::SharedDir() / "corpus";
    if (!std::filesystem::exists(corpus)) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".bin")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    for (const std::filesystem::path& file : files) {
        std::optional<std::vector<uint8_t>> bytes = Testing::ReadBytes(file);
        ASSERT_TRUE(bytes.has_value());
        DecoderGpuAccessor accessor(*bytes, 0);
        const bool compute = file.filename().string().rfind("compute_", 0) == 0;
        TranslationOptions options(TargetLanguage::Spirv, TargetGraphicsApi::Vulkan,
                                   TranslationFlags::DebugMode |
                                       (compute ? TranslationFlags::Compute : TranslationFlags::None));
        try {
            TranslatorContext context = Translator::DecodeShader(0, accessor, options);
            ShaderProgram program = context.Translate();
            EXPECT_EQ(program.Language, TargetLanguage::Spirv);
            EXPECT_EQ(program.Info.Stage, context.Definitions().Stage);
            EXPECT_EQ(Zerivox::TestTools::ValidateSpirv(program.BinaryCode), "") << file.filename();
        } catch (const Zerivox::Common::Exception& e) {
            // A stage that is not finished may refuse a shader; it must say so.
            std::cout << file.filename().string() << ": " << Zerivox::Common::ErrorText(e) << "\n";
        }
    }
}

// Only vertex and geometry shaders run as compute; a shader of either stage
// that writes no output still gives a valid compute module of 32 x 32 x 1
// invocations, whose program info describes the stage itself.
TEST(TranslatorTests, AsComputeStagesAndShadersThatWriteNothing) {
    CodeBuilder code;
    code.Add(Exit());
    struct Row {
        ShaderStage Stage;
        TranslationFlags Flags;
        bool Runs;
    };
    const Row rows[] = {
        {ShaderStage::Vertex, TranslationFlags::None, true},
        {ShaderStage::Geometry, TranslationFlags::None, true},
        {ShaderStage::Vertex, TranslationFlags::VertexA, false},
        {ShaderStage::TessellationControl, TranslationFlags::None, false},
        {ShaderStage::TessellationEvaluation, TranslationFlags::None, false},
        {ShaderStage::Fragment, TranslationFlags::None, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(ShaderStageName(row.Stage));
        DecoderGpuAccessor accessor(WithHeader(Header(row.Stage), code.Words));
        TranslatorContext context = Translator::DecodeShader(
            0, accessor, TranslationOptions(TargetLanguage::Spirv, TargetGraphicsApi::Vulkan, row.Flags));
        if (!row.Runs) {
            EXPECT_THROW(context.Translate(true), Zerivox::Common::NotImplementedException);
            continue;
        }
        ShaderProgram program = context.Translate(true);
        EXPECT_EQ(Zerivox::TestTools::ValidateSpirv(program.BinaryCode), "");
        const std::string text = Zerivox::TestTools::DisassembleSpirv(program.BinaryCode);
        EXPECT_NE(text.find("OpEntryPoint GLCompute"), std::string::npos);
        EXPECT_NE(text.find("LocalSize 32 32 1"), std::string::npos);
        EXPECT_NE(text.find("vertex_output"), std::string::npos);
        EXPECT_EQ(program.Info.Stage, row.Stage);
    }
    // A compute shader is already one.
    CodeBuilder compute;
    compute.Add(Exit());
    DecoderGpuAccessor accessor(compute.Words);
    TranslatorContext context = Translator::DecodeShader(0, accessor, ComputeDebug);
    EXPECT_THROW(context.Translate(true), Zerivox::Common::NotImplementedException);
}
