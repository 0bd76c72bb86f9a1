#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrParser.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Optimizer.h"
#include "Zerivox.Graphics.Shader/Translation/RegisterUsage.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/Ssa.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TexturePass.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformPasses.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::IntermediateRepresentation;

namespace {

// Every node kind, operand kind and suffix the printer writes.
constexpr const char* EveryFormFunction = R"(fun3 in=2 out=1 returns
B0: next B1 branch B2
  // entry: 0x000008
  %0 = Copy a0
  %1 = Add.FP32 %0, 1.5
  %2 = Multiply.FP32 %1, -0.0
  %3 = Load.ConstantBuffer 0, cb1[16]
  %4 = Add R5, -7
  P2 = Copy -1
  CC.Z = CompareEqual %4, 0
  %5, _ = ShuffleXor %4, 1, 7169
  %6 = FusedMultiplyAdd.FP64 precise %5, %5, %5
  %7 = Add.0x40000 %6, undef
  Store.LocalMemory#2 0, %7, _
  %8 = TextureSample{Texture2DArrayShadow format=3 set=0 binding=3 flags=0x8 sampler=1,4}#1 %1, %2
  %9 = ImageLoad{Dimension9 set=2 binding=-1} %8
  %10 = Inst500 CC.C, CC.11, P0
  BranchIfTrue %4
B1: preds B0 branch B2
  %11 = Add.FP32 inf, -inf
  %12 = Add.FP32 nan:0x7fc00001, nan:0xffffffff
  %13 = Add.FP32 1e+10, 1e-45
  Branch
B2: preds B0 B1
  %14 = Phi [B0: %4], [B1: undef]
  Return %14
)";

constexpr const char* EveryFormOperations = R"(// 0x000010: Mov
MarkLabel L0
%0 = Copy R1
BranchIfFalse L1, P0
%1 = Add %0, 1
Branch L0
MarkLabel L1
Return
)";

std::string Reprint(const std::string& text) {
    IrArena arena;
    return IrPrinter::PrintFunction(*IrParser::ParseFunction(arena, text));
}

TEST(IrParserTests, HandWrittenTextOfEveryFormPrintsBackUnchanged) {
    EXPECT_EQ(Reprint(EveryFormFunction), EveryFormFunction);

    IrArena arena;
    std::vector<Operation*> operations = IrParser::ParseOperations(arena, EveryFormOperations);
    EXPECT_EQ(IrPrinter::PrintOperations(operations), EveryFormOperations);
    // The labels are single objects: MarkLabel L0 and Branch L0 share one.
    EXPECT_EQ(operations[1]->Dest(), operations[5]->Dest());
    EXPECT_EQ(operations[3]->Dest(), operations[6]->Dest());
}

TEST(IrParserTests, ParsedFunctionHasTheLinksOfBuiltIr) {
    IrArena arena;
    IrTextNames names;
    Function* function = IrParser::ParseFunction(arena, EveryFormFunction, &names);
    ASSERT_EQ(function->Blocks.size(), 3u);
    EXPECT_NO_THROW(IrVerifier::Verify(function->Blocks));
    EXPECT_EQ(function->Name, "fun3");
    EXPECT_EQ(function->InArgumentCount, 2);
    EXPECT_EQ(function->OutArgumentCount, 1);
    EXPECT_TRUE(function->ReturnsValue);

    BasicBlock* b0 = function->Blocks[0];
    EXPECT_EQ(b0->Next(), function->Blocks[1]);
    EXPECT_EQ(b0->Branch(), function->Blocks[2]);
    // %4 is read by ShuffleXor, CompareEqual, the branch and the phi.
    Operand* x = names.Locals.at(4);
    EXPECT_EQ(x->Definition->AsOperation()->Inst, Instruction::Add);
    EXPECT_EQ(x->Uses.Count(), 4);

    // A null source stays null; the precise flag, index and storage survive.
    const Operation* store = nullptr;
    const TextureOperation* sample = nullptr;
    for (INode* node : b0->Operations) {
        Operation* op = node->AsOperation();
        if (op->Inst == Instruction::Store) store = op;
        if (op->Inst == Instruction::TextureSample) sample = op->AsTextureOperation();
    }
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->GetSource(2), nullptr);
    EXPECT_EQ(store->Index, 2);
    EXPECT_EQ(store->StorageKind, StorageKind::LocalMemory);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->Type, SamplerType::Texture2D | SamplerType::Array | SamplerType::Shadow);
    EXPECT_EQ(sample->SamplerSet, 1);
    EXPECT_EQ(sample->SamplerBinding, 4);
    EXPECT_EQ(sample->Flags, TextureFlags::IntCoords);
}

// Float constants of FP32 operations print as numbers that read back to the
// same bits; integers of other operations stay decimal.
TEST(IrParserTests, FloatConstantsPrintAsNumbersThatReadBackToTheSameBits) {
    struct Case {
        uint32_t Bits;
        const char* Text;
    };
    const Case cases[] = {
        {0x3F800000u, "1.0"},          {0xBF800000u, "-1.0"},        {0x00000000u, "0.0"},
        {0x80000000u, "-0.0"},         {0x3DCCCCCDu, "0.1"},         {0x7F800000u, "inf"},
        {0xFF800000u, "-inf"},         {0x7FC00000u, "nan:0x7fc00000"}, {0xFFC00001u, "nan:0xffc00001"},
        {0x00000001u, "1e-45"},        {0x7F7FFFFFu, "3.4028235e+38"}, {0x501502F9u, "1e+10"},
        {0x4B800001u, "16777218.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        IrArena arena;
        Operand* constant = OperandHelper::MakeConstant(arena, static_cast<int32_t>(c.Bits));
        Operation* op = arena.NewOperation(Instruction::Add | Instruction::FP32, OperandHelper::MakeLocal(arena),
                                           {constant, constant});
        Operation* ops[] = {op};
        const std::string text = IrPrinter::PrintOperations(ops);
        EXPECT_EQ(text, "%0 = Add.FP32 " + std::string(c.Text) + ", " + c.Text + "\n");

        IrArena other;
        std::vector<Operation*> parsed = IrParser::ParseOperations(other, text);
        ASSERT_EQ(parsed.size(), 1u);
        EXPECT_EQ(static_cast<uint32_t>(parsed[0]->GetSource(0)->Value), c.Bits);
        EXPECT_EQ(IrPrinter::PrintOperations(parsed), text);
    }
    // The same bits in an integer operation print as the integer.
    IrArena arena;
    std::vector<Operation*> parsed = IrParser::ParseOperations(arena, "%0 = Add %1, 1065353216\n");
    EXPECT_EQ(parsed[0]->GetSource(1)->Value, 0x3F800000);
    EXPECT_EQ(IrPrinter::PrintOperations(parsed), "%0 = Add %1, 1065353216\n");
}

// Hand-written text may leave out "preds": the edges give them. Listed
// preds fix their order.
TEST(IrParserTests, PredecessorsComeFromTheEdgesInTheListedOrder) {
    IrArena arena;
    std::vector<BasicBlock*> blocks = IrParser::ParseBlocks(arena, R"(
        B0: next B1 branch B2
          BranchIfTrue P0
        B1: next B2
        B2:
          Return
    )");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[2]->Predecessors, (std::vector<BasicBlock*>{blocks[0], blocks[1]}));

    IrArena other;
    std::vector<BasicBlock*> listed = IrParser::ParseBlocks(other, R"(
        B0: next B1 branch B2
          BranchIfTrue P0
        B1: preds B0 next B2
        B2: preds B1 B0
          Return
    )");
    EXPECT_EQ(listed[2]->Predecessors, (std::vector<BasicBlock*>{listed[1], listed[0]}));
}

TEST(IrParserTests, MalformedTextThrowsAFormatErrorNamingTheLine) {
    struct Case {
        const char* Text;
        const char* Message;
    };
    const Case cases[] = {
        {"B0:\n  %0 = Frobnicate %1\n", "line 2: unknown instruction 'Frobnicate'"},
        {"B0:\n  %0 = Add %1,\n", "line 2: expected an operand"},
        {"B0:\n  %0 = Add %1 %2\n", "line 2: expected ','"},
        {"B0:\n  %0 = Add 4294967296, 1\n", "line 2: bad 32-bit integer '4294967296'"},
        {"B0:\n  %0 = Add.FP32 1e99, 1\n", "line 2: bad float '1e99'"},
        {"B0:\n  %0 = Add.FP32 nan:0x3f800000, 1\n", "line 2: nan: names bits that are not a NaN"},
        {"B0:\n  %0 = Load.Heap 0, 1\n", "line 2: unknown instruction suffix '.Heap'"},
        {"B0:\n  %0 = Load 0, cb32[1]\n", "line 2: constant buffer slot above 31"},
        {"B0:\n  %0 = Copy R16777216\n", "line 2: register index above 0xffffff"},
        {"B0: next B7\n", "line 1: no block B7"},
        {"B0:\nB0:\n", "line 2: block B0 appears twice"},
        {"  %0 = Copy 1\nB0:\n", "line 1: an operation before the first block header"},
        {"B0: next B1\n\nB1: preds B1\n", "line 3: the preds of B1 are not the blocks"},
        {"B0:\n  %0 = Phi [B0: %1], [B0: %2]\n", "line 2: a phi names block B0 twice"},
        {"B0:\n  %0, %1 = Phi [B0: %1]\n", "line 2: a phi has exactly one destination"},
        {"B0:\n  %0 = TextureSample{Texture2D set=0} %1\n", "line 2: a texture operation needs set= and binding="},
        {"B0:\n  %0 = TextureSample{Texture9D set=0 binding=0} %1\n", "line 2: expected a texture dimension"},
        {"B0:\n  %0 = Add.0x1 %1, %2\n", "line 2: instruction flags must lie above bit 15"},
        {"B0:\n  Return junk\n", "line 2: expected an operand"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        IrArena arena;
        try {
            IrParser::ParseBlocks(arena, c.Text);
            ADD_FAILURE() << "no error";
        } catch (const Zerivox::Common::FormatException& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("IR text ") + c.Message), std::string::npos)
                << e.what();
        }
    }
    IrArena arena;
    EXPECT_THROW(IrParser::ParseFunction(arena, "fun0\nB0:\n"), Zerivox::Common::FormatException);
    EXPECT_THROW(IrParser::ParseFunction(arena, ""), Zerivox::Common::FormatException);
    EXPECT_THROW(IrParser::ParseOperations(arena, "B0:\n"), Zerivox::Common::FormatException);
    EXPECT_THROW(IrParser::ParseOperations(arena, "%0 = Phi\n"), Zerivox::Common::FormatException);
}

// parse(print(x)) prints x again for every function of every real shader,
// as emitted, as a graph, in SSA form and after the optimiser and transforms;
// the parsed blocks keep every link the verifier checks.
TEST(IrParserTests, EveryCorpusFunctionReadsBackAtEveryPipelinePoint) {
    const std::filesystem::path corpus = Testing::SharedDir() / "corpus";
    if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".bin") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    auto readsBackOperations = [](const std::vector<Operation*>& code) {
        const std::string text = IrPrinter::PrintOperations(code);
        IrArena arena;
        return IrPrinter::PrintOperations(IrParser::ParseOperations(arena, text)) == text;
    };
    auto readsBackBlocks = [](const std::vector<BasicBlock*>& blocks) {
        const std::string text = IrPrinter::PrintBlocks(blocks);
        IrArena arena;
        std::vector<BasicBlock*> parsed = IrParser::ParseBlocks(arena, text);
        IrVerifier::Verify(parsed);
        return IrPrinter::PrintBlocks(parsed) == text;
    };

    int functions = 0;
    for (const std::filesystem::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::optional<std::vector<uint8_t>> bytes = Testing::ReadBytes(file);
        ASSERT_TRUE(bytes.has_value());
        Testing::DecoderGpuAccessor accessor(*bytes, 0);
        const bool compute = file.filename().string().rfind("compute_", 0) == 0;
        Translation::TranslationOptions options(
            Translation::TargetLanguage::Spirv, Translation::TargetGraphicsApi::Vulkan,
            Translation::TranslationFlags::DebugMode |
                (compute ? Translation::TranslationFlags::Compute : Translation::TranslationFlags::None));
        try {
            Translation::TranslatorContext context = Translation::Translator::DecodeShader(0, accessor, options);
            std::unique_ptr<Translation::ResourceManager> manager = context.CreateResourceManager(false);
            int32_t initializationOperations = 0;
            std::vector<Translation::Translator::FunctionCode> codes = Translation::Translator::EmitShader(
                context, *manager, context.Program(), false, true, initializationOperations);
            for (const auto& code : codes) EXPECT_TRUE(readsBackOperations(code));

            std::vector<Translation::ControlFlowGraph> cfgs;
            cfgs.reserve(codes.size());
            for (auto& code : codes) cfgs.push_back(Translation::ControlFlowGraph::Create(context.Arena(), code));
            std::vector<Translation::ControlFlowGraph*> graphs;
            for (auto& cfg : cfgs) graphs.push_back(&cfg);
            auto usages = Translation::RegisterUsage::RunPass(graphs);
            std::vector<Function*> built(codes.size(), nullptr);
            Translation::HelperFunctionManager hfm(context.Arena(), built, context.Definitions().Stage);
            Translation::FeatureFlags features = context.Program().UsedFeatures;
            for (std::size_t i = 0; i < cfgs.size(); i++) {
                Translation::ControlFlowGraph& cfg = cfgs[i];
                if (cfg.Blocks.empty()) continue;
                EXPECT_TRUE(readsBackBlocks(cfg.Blocks)) << "graph of function " << i;
                Translation::RegisterUsage::FixupCalls(cfg.Blocks, usages);
                Translation::Dominance::FindDominators(cfg);
                Translation::Ssa::Rename(cfg.Blocks);
                EXPECT_TRUE(readsBackBlocks(cfg.Blocks)) << "SSA of function " << i;

                Translation::Transforms::TransformContext transform{
                    hfm,      cfg.Blocks,           context.Definitions(),          *manager,
                    context.GpuAccessor(), features, options.GraphicsApi, options.TargetLanguage,
                    context.Definitions().Stage};
                Translation::Optimizations::Optimizer::RunPass(transform);
                Translation::Transforms::TransformPasses::RunPass<Translation::Transforms::TexturePass>(transform);
                Function* function = context.Arena().NewFunction(
                    cfg.Blocks, "fun" + std::to_string(i), false, static_cast<int>(usages[i].InArguments.size()),
                    static_cast<int>(usages[i].OutArguments.size()));
                const std::string text = IrPrinter::PrintFunction(*function);
                EXPECT_EQ(Reprint(text), text) << "optimised function " << i;
                functions++;
            }
        } catch (const Zerivox::Common::FormatException& e) {
            ADD_FAILURE() << e.what();
        } catch (const Zerivox::Common::Exception& e) {
            // A shader the translator refuses has nothing to print.
            std::cout << file.filename().string() << ": " << Zerivox::Common::ErrorText(e) << "\n";
        }
    }
    EXPECT_GT(functions, 0);
}

}  // namespace
