#include <gtest/gtest.h>

#include <vector>

#include "DecoderTestSupport.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/Decoders/InstTable.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace {

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Decoders;
using namespace Zerivox::Graphics::Shader::Testing;
using Translation::FeatureFlags;
using Translation::ShaderDefinitions;

struct Decoded {
    explicit Decoded(std::vector<uint64_t> words, ShaderStage stage = ShaderStage::Compute, uint64_t start = 0)
        : Accessor(std::move(words)), Definitions(stage, 1, 1, 1),
          Program(Decoder::Decode(Definitions, Accessor, start)) {}

    DecoderGpuAccessor Accessor;
    ShaderDefinitions Definitions;
    DecodedProgram Program;

    const std::vector<Block*>& Blocks() const { return Program.MainFunction->Blocks(); }
    const Block* BlockAt(uint64_t address) const {
        for (const Block* b : Blocks()) {
            if (b->Address == address)
                return b;
        }
        return nullptr;
    }
};

std::vector<uint64_t> Addresses(const std::vector<Block*>& blocks) {
    std::vector<uint64_t> result;
    for (const Block* b : blocks)
        result.push_back(b->Address);
    return result;
}

TEST(Decoder, StraightLineCodeIsOneBlockAndNothingAfterTheExitIsRead) {
    CodeBuilder code;
    code.Add(Mov(0, 1));
    code.Add(Mov(2, 3));
    code.Add(Exit());
    ASSERT_EQ(code.Words.size(), 4u); // exactly 32 bytes: a read past them would throw

    Decoded d(code.Words);
    ASSERT_EQ(d.Program.Functions.size(), 1u);
    ASSERT_EQ(d.Blocks().size(), 1u);
    const Block* block = d.Blocks()[0];
    EXPECT_EQ(block->Address, 0u);
    EXPECT_EQ(block->EndAddress, 32u);
    ASSERT_EQ(block->Ops.size(), 3u);
    EXPECT_EQ(block->Ops[0].Address, 8u);
    EXPECT_EQ(block->Ops[2].Name, InstName::Exit);
    EXPECT_TRUE(block->Successors.empty());
    EXPECT_FALSE(block->HasNext());
    EXPECT_EQ(d.Program.UsedFeatures, FeatureFlags::None);
    EXPECT_EQ(d.Program.ClipDistancesWritten, 0);
    EXPECT_EQ(d.Program.Cb1Size, 0);
    EXPECT_EQ(d.Program.MainFunction, d.Program.GetFunctionByAddress(0));
    EXPECT_EQ(d.Program.GetFunctionByAddress(8), nullptr);
}

TEST(Decoder, UnconditionalBranchDependsOnGuardAndConditionCode) {
    struct Case {
        const char* What;
        uint64_t Word;
        bool Unconditional;
    } cases[] = {
        {"BRA PT, CC T", Inst(Prefix::Bra).Ccc(0xF), true},
        {"BRA P0", Inst(Prefix::Bra).Ccc(0xF).Pred(0), false},
        {"BRA !PT", Inst(Prefix::Bra).Ccc(0xF).Pred(7, true), false},
        {"BRA PT, CC other", Inst(Prefix::Bra).Ccc(0x2), false},
        {"EXIT PT, CC other", Inst(Prefix::Exit).Ccc(0x0), false},
        {"RET PT, any CC", Inst(Prefix::Ret).Ccc(0x2), true},
        {"BRK PT, any CC", Inst(Prefix::Brk).Ccc(0x0), true},
        {"SYNC P1", Inst(Prefix::Sync).Pred(1), false},
        {"CAL, bits 16-19 = 7", Inst(Prefix::Cal), true},
        {"CAL, bits 16-19 = 0", Inst(Prefix::Cal).Pred(0), false},
        {"MOV is no branch", Mov(0, 0), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decoder::IsUnconditionalBranch(InstTable::GetOp(8, c.Word)), c.Unconditional) << c.What;
    }
}

TEST(Decoder, ForwardBranchSuccessorsPutTheFallThroughFirst) {
    for (const bool guarded : {true, false}) {
        CodeBuilder code;
        Inst bra = Inst(Prefix::Bra).Ccc(0xF);
        if (guarded)
            bra.Pred(0);
        code.AddRelative(bra, 0x28); // at 0x08
        code.Add(Mov(0, 0));         // 0x10
        code.Add(Exit());            // 0x18
        code.Add(Exit());            // 0x28
        Decoded d(code.Words);

        const Block* entry = d.BlockAt(0);
        ASSERT_NE(entry, nullptr);
        const Block* target = d.BlockAt(0x28);
        ASSERT_NE(target, nullptr);
        if (guarded) {
            ASSERT_EQ(entry->Successors.size(), 2u);
            EXPECT_EQ(entry->Successors[0]->Address, 0x10u);
            EXPECT_EQ(entry->Successors[1], target);
            EXPECT_EQ(Addresses(d.Blocks()), (std::vector<uint64_t>{0, 0x10, 0x28}));
        } else {
            ASSERT_EQ(entry->Successors.size(), 1u);
            EXPECT_EQ(entry->Successors[0], target);
            // The skipped code is never decoded.
            EXPECT_EQ(Addresses(d.Blocks()), (std::vector<uint64_t>{0, 0x28}));
        }
        ASSERT_EQ(target->Predecessors.size(), 1u);
        EXPECT_EQ(target->Predecessors[0], entry);
    }
}

TEST(Decoder, BackwardBranchIntoAWalkedBlockSplitsIt) {
    CodeBuilder code;
    code.Add(Mov(0, 0));                                        // 0x08
    code.Add(Mov(1, 1));                                        // 0x10
    code.Add(Mov(2, 2));                                        // 0x18
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x10); // 0x28: loop back into the block
    code.Add(Exit());                                           // 0x30
    Decoded d(code.Words);

    ASSERT_EQ(Addresses(d.Blocks()), (std::vector<uint64_t>{0, 0x10, 0x30}));
    const Block* left = d.Blocks()[0];
    const Block* right = d.Blocks()[1];
    const Block* exit = d.Blocks()[2];
    EXPECT_EQ(left->EndAddress, 0x10u);
    ASSERT_EQ(left->Ops.size(), 1u);
    EXPECT_EQ(left->Ops[0].Address, 8u);
    EXPECT_EQ(left->Successors, std::vector<Block*>{d.Blocks()[1]});

    EXPECT_EQ(right->EndAddress, 0x30u);
    ASSERT_EQ(right->Ops.size(), 3u);
    EXPECT_EQ(right->GetLastOp().Name, InstName::Bra);
    // The right part keeps the old edges: fall-through first, branch target last.
    ASSERT_EQ(right->Successors.size(), 2u);
    EXPECT_EQ(right->Successors[0], exit);
    EXPECT_EQ(right->Successors[1], right);
    // Predecessor lists name the part that now holds the branch.
    EXPECT_EQ(exit->Predecessors, std::vector<Block*>{d.Blocks()[1]});
    EXPECT_EQ(right->Predecessors, (std::vector<Block*>{d.Blocks()[1], d.Blocks()[0]}));
}

TEST(Decoder, BlocksFoundFromTheEndOfTheCodeBackwardsEndInAddressOrder) {
    // A never-taken branch to the last of a chain of blocks that each branch
    // back to the one before: the walk finds them last block first, each
    // one ending where the block after it starts.
    const int chain = 200;
    CodeBuilder code;
    const uint64_t jump = code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(7, true), 0); // 0x08
    code.Add(Exit());                                                                    // 0x10
    std::vector<uint64_t> starts;
    std::vector<uint64_t> branches;
    for (int i = 0; i < chain; i++) {
        starts.push_back(code.Add(Mov(i % 8, 0)));
        if (i == 0) {
            branches.push_back(code.Add(Exit()));
        } else {
            branches.push_back(code.AddRelative(Inst(Prefix::Bra).Ccc(0xF), starts[static_cast<size_t>(i) - 1]));
        }
    }
    code.SetTarget(jump, starts.back());
    Decoded d(code.Words);

    std::vector<uint64_t> expected{0, 0x10};
    expected.insert(expected.end(), starts.begin(), starts.end());
    ASSERT_EQ(Addresses(d.Blocks()), expected);
    for (int i = 0; i < chain; i++) {
        const Block* block = d.Blocks()[static_cast<size_t>(i) + 2];
        ASSERT_EQ(block->Ops.size(), 2u) << i;
        EXPECT_EQ(block->Ops[1].Address, branches[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(block->EndAddress, branches[static_cast<size_t>(i)] + 8) << i;
        if (i > 0) {
            EXPECT_EQ(block->Successors, std::vector<Block*>{d.Blocks()[static_cast<size_t>(i) + 1]}) << i;
        }
    }
}

TEST(Decoder, BlocksStartingAtSchedulingWords) {
    CodeBuilder code;
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x48); // 0x08: queues 0x10, then 0x48
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x40);         // 0x10: queues 0x40 after 0x48
    code.PadTo(0x48);
    code.Add(Exit()); // 0x48
    Decoded d(code.Words);

    // 0x40 is reached after 0x48 was walked: its only word is the scheduling word.
    const Block* sched = d.BlockAt(0x40);
    ASSERT_NE(sched, nullptr);
    EXPECT_TRUE(sched->Ops.empty());
    EXPECT_EQ(sched->EndAddress, 0x48u);
    EXPECT_TRUE(sched->Successors.empty());
    EXPECT_EQ(sched->GetLastOp().Name, InstName::Invalid);
    EXPECT_FALSE(sched->HasNext());

    // A block reached at a scheduling word with code after it starts there.
    CodeBuilder code2;
    code2.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x20); // 0x08
    code2.PadTo(0x28);
    code2.Add(Exit()); // 0x28
    Decoded d2(code2.Words);
    const Block* block = d2.BlockAt(0x20);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(block->Ops.size(), 1u);
    EXPECT_EQ(block->Ops[0].Address, 0x28u);
}

TEST(Decoder, CallsMakeFunctionsAndFallThroughOnlyWhenGuarded) {
    for (const bool guarded : {false, true}) {
        CodeBuilder code;
        Inst cal(Prefix::Cal);
        if (guarded)
            cal.Pred(0);
        code.AddRelative(cal, 0x28); // 0x08
        code.Add(Exit());            // 0x10
        code.PadTo(0x28);
        code.Add(Ret()); // 0x28
        Decoded d(code.Words);

        ASSERT_EQ(d.Program.Functions.size(), 2u);
        DecodedFunction* callee = d.Program.GetFunctionByAddress(0x28);
        ASSERT_NE(callee, nullptr);
        EXPECT_EQ(callee->Callers.size(), 1u);
        EXPECT_TRUE(callee->Callers.Contains(d.Program.MainFunction));
        EXPECT_EQ(callee->Id, -1);
        EXPECT_EQ(callee->Type, FunctionType::User);
        std::vector<DecodedFunction*> order(d.Program.begin(), d.Program.end());
        EXPECT_EQ(order, (std::vector<DecodedFunction*>{d.Program.MainFunction, callee}));

        const Block* entry = d.BlockAt(0);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->Successors.size(), guarded ? 1u : 0u);
        EXPECT_EQ(d.Blocks().size(), guarded ? 2u : 1u);

        // Removing the last caller takes the function out of emission.
        callee->RemoveCaller(d.Program.MainFunction);
        EXPECT_EQ(callee->Type, FunctionType::FsiGetAddress);
        EXPECT_THROW(callee->SetBlocks({}), Zerivox::Common::InvalidOperationException);
    }
}

TEST(Decoder, RecordsAttributeUsesAndFeatures) {
    const auto ald = [](int offset, int count, int ra = 255) {
        return Inst(Prefix::Ald)
            .Rd(0)
            .Ra(ra)
            .Bits(20, 11, static_cast<uint64_t>(offset))
            .Bits(47, 2, static_cast<uint64_t>(count - 1));
    };
    const auto ast = [](int offset, bool perPatch = false) {
        return Inst(Prefix::Ast).Rd(0).Ra(255).Bits(20, 11, static_cast<uint64_t>(offset)).Bit(31, perPatch);
    };
    const auto ipa = [](int offset) {
        return Inst(Prefix::Ipa).Rd(0).Ra(255).Bits(28, 10, static_cast<uint64_t>(offset));
    };

    struct Case {
        const char* What;
        ShaderStage Stage;
        uint64_t Word;
        FeatureFlags Features;
        uint8_t ClipDistances;
    } cases[] = {
        {"AST clip distance 1, vertex", ShaderStage::Vertex, ast(0x2C4), FeatureFlags::None, 0x2},
        {"AST clip distance 1, fragment", ShaderStage::Fragment, ast(0x2C4), FeatureFlags::None, 0},
        {"AST clip distances 0-3, geometry", ShaderStage::Geometry, ast(0x2C0).Bits(47, 2, 3), FeatureFlags::None, 0xF},
        {"AST layer, vertex", ShaderStage::Vertex, ast(0x64), FeatureFlags::RtLayer, 0},
        {"AST layer, fragment", ShaderStage::Fragment, ast(0x64), FeatureFlags::None, 0},
        {"AST viewport index, compute", ShaderStage::Compute, ast(0x68), FeatureFlags::ViewportIndex, 0},
        {"AST viewport mask, per-patch", ShaderStage::TessellationControl, ast(0x3A0, true), FeatureFlags::ViewportMask,
         0},
        {"IPA frag coord y", ShaderStage::Fragment, ipa(0x74), FeatureFlags::FragCoordXY, 0},
        {"IPA frag coord, vertex", ShaderStage::Vertex, ipa(0x70), FeatureFlags::None, 0},
        {"ALD instance id", ShaderStage::Vertex, ald(0x2F8, 1), FeatureFlags::InstanceId, 0},
        {"ALD fog", ShaderStage::Fragment, ald(0x2E8, 1), FeatureFlags::FixedFuncAttr, 0},
        {"ALD texture coordinate", ShaderStage::Fragment, ald(0x39C, 1), FeatureFlags::FixedFuncAttr, 0},
        {"STS", ShaderStage::Compute, Inst(Prefix::Sts), FeatureFlags::SharedMemory, 0},
        {"SHFL", ShaderStage::Compute, Inst(Prefix::Shfl), FeatureFlags::Shuffle, 0},
        {"TEX.B", ShaderStage::Compute, Inst(Prefix::TexB), FeatureFlags::Bindless, 0},
        {"bound TEX", ShaderStage::Compute, Inst(Prefix::Tex), FeatureFlags::None, 0},
    };
    for (const Case& c : cases) {
        CodeBuilder code;
        code.Add(c.Word);
        code.Add(Exit());
        Decoded d(code.Words, c.Stage);
        EXPECT_EQ(d.Program.UsedFeatures, c.Features) << c.What;
        EXPECT_EQ(d.Program.ClipDistancesWritten, c.ClipDistances) << c.What;
        EXPECT_EQ(d.Program.GetIoUsage().ClipDistancesWritten, c.ClipDistances) << c.What;
    }

    // ALD of four attributes at 0x80 marks components 0-3 of input attribute 0.
    {
        CodeBuilder code;
        code.Add(ald(0x80, 4));
        code.Add(ast(0x94));       // output attribute 1
        code.Add(ast(0x28, true)); // per-patch output 1
        code.Add(Exit());
        Decoded d(code.Words, ShaderStage::TessellationControl);
        const auto& usage = d.Program.AttributeUsage;
        EXPECT_EQ(usage.UsedInputAttributes, 1u);
        EXPECT_EQ(usage.UsedInputComponents.to_ullong(), 0xFull);
        EXPECT_EQ(usage.UsedOutputAttributes, 2u);
        EXPECT_EQ(d.Program.GetIoUsage().UserDefinedMap, 2u);
        EXPECT_TRUE(usage.UsedOutputAttributesPerPatch.Contains(1));
        EXPECT_FALSE(d.Definitions.IndexedInputAttributes);
    }
    // Offset 0 through a register: every input, and the definitions learn it.
    {
        CodeBuilder code;
        code.Add(ald(0, 1, 4));
        code.Add(Exit());
        Decoded d(code.Words, ShaderStage::Vertex);
        EXPECT_EQ(d.Program.AttributeUsage.UsedInputAttributes, 0xFFFFu);
        EXPECT_TRUE(d.Definitions.IndexedInputAttributes);
        EXPECT_FALSE(d.Definitions.IndexedOutputAttributes);
    }
}

std::vector<uint64_t> WithHeader(const std::vector<uint64_t>& words) {
    std::vector<uint64_t> result(10, 0xFFFFFFFFFFFFFFFFull); // 80-byte header
    result.insert(result.end(), words.begin(), words.end());
    return result;
}

TEST(Decoder, TargetsOutsideTheCodeAndCodeWithoutEndFailWithTypedErrors) {
    using Zerivox::Common::ArgumentException;
    using Zerivox::Common::ArgumentOutOfRangeException;

    auto expectThrow = [](std::vector<uint64_t> words, uint64_t start, auto exceptionTag, const char* what) {
        using E = decltype(exceptionTag);
        DecoderGpuAccessor accessor(std::move(words));
        ShaderDefinitions definitions(ShaderStage::Vertex, 1, 1, 1);
        EXPECT_THROW(Decoder::Decode(definitions, accessor, start), E) << what;
    };

    {
        CodeBuilder code;
        code.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x1000);
        expectThrow(code.Words, 0, ArgumentOutOfRangeException(""), "branch beyond the code");
        // Into the program header in front of the instructions.
        expectThrow(WithHeader(code.Words), 0x50, ArgumentOutOfRangeException(""), "branch before the start");
    }
    {
        CodeBuilder code;
        code.Add(Inst(Prefix::Bra).Ccc(0xF).Offset24(-0x40));
        expectThrow(WithHeader(code.Words), 0x50, ArgumentOutOfRangeException(""), "branch into the header");
    }
    {
        CodeBuilder code;
        code.AddRelative(Inst(Prefix::Cal), 0x800);
        code.Add(Exit());
        expectThrow(code.Words, 0, ArgumentOutOfRangeException(""), "call beyond the code");
    }
    {
        CodeBuilder code;
        code.AddRelative(Inst(Prefix::Ssy), 0x400);
        code.Add(Exit());
        expectThrow(code.Words, 0, ArgumentOutOfRangeException(""), "push target beyond the code");
    }
    {
        CodeBuilder code;
        code.Add(Mov(0, 0));
        code.Add(Mov(0, 0));
        expectThrow(code.Words, 0, ArgumentOutOfRangeException(""), "code that runs off its end");
        expectThrow({}, 0, ArgumentOutOfRangeException(""), "no code at all");
    }
    {
        // A branch into the middle of the last instruction of a walked block.
        CodeBuilder code;
        code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x14); // 0x08
        code.Add(Exit());                                           // 0x10
        expectThrow(code.Words, 0, ArgumentException(""), "target inside an instruction word");
    }
}

TEST(Decoder, TargetInsideAWordReadsTheWordStartingAtThatByte) {
    const uint64_t exit = Exit();
    CodeBuilder code;
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x2C); // 0x08
    code.PadTo(0x28);
    code.Add((exit << 32) | 0x1234);                   // 0x28: low half of the EXIT in its upper bytes
    code.Add((uint64_t{0x5678} << 32) | (exit >> 32)); // 0x30
    Decoded d(code.Words);
    const Block* block = d.BlockAt(0x2C);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(block->Ops.size(), 1u);
    EXPECT_EQ(block->Ops[0].RawOpCode, exit);
    EXPECT_EQ(block->EndAddress, 0x34u);
}

TEST(Decoder, GraphicsCodeIsDecodedRelativeToItsStart) {
    CodeBuilder code;
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x28); // relative 0x08
    code.Add(Exit());
    code.Add(Exit());
    code.Add(Exit()); // 0x28
    Decoded d(WithHeader(code.Words), ShaderStage::Vertex, 0x50);
    EXPECT_EQ(Addresses(d.Blocks()), (std::vector<uint64_t>{0, 0x10, 0x28}));
    EXPECT_EQ(d.Blocks()[0]->Ops[0].RawOpCode, code.Words[1]);
}

TEST(Decoder, BranchToItselfTerminates) {
    CodeBuilder entry;
    entry.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x10); // 0x08
    entry.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x10); // 0x10: branch-to-self padding
    Decoded d(entry.Words);
    const Block* self = d.BlockAt(0x10);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->Successors, std::vector<Block*>(1, const_cast<Block*>(self)));
}

} // namespace
