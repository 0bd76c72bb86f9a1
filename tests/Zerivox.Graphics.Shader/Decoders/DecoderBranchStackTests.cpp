#include <gtest/gtest.h>

#include <vector>

#include "DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/Decoders/InstTable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace {

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Decoders;
using namespace Zerivox::Graphics::Shader::Testing;
using IntermediateRepresentation::OperandType;
using Translation::ShaderDefinitions;

struct Decoded {
    explicit Decoded(std::vector<uint64_t> words, std::vector<uint32_t> c1 = {}, bool reportC1Size = true)
        : Accessor(std::move(words)), Definitions(ShaderStage::Compute, 1, 1, 1), Program(Decode(c1, reportC1Size)) {}

    DecodedProgram Decode(const std::vector<uint32_t>& c1, bool reportC1Size) {
        Accessor.SetC1Words(c1);
        Accessor.ReportC1Size = reportC1Size;
        return Decoder::Decode(Definitions, Accessor, 0);
    }

    Block* BlockAt(uint64_t address) const {
        for (Block* b : Program.MainFunction->Blocks()) {
            if (b->Address == address)
                return b;
        }
        ADD_FAILURE() << "no block at " << address;
        return nullptr;
    }

    DecoderGpuAccessor Accessor;
    ShaderDefinitions Definitions;
    DecodedProgram Program;
};

bool Contains(const std::vector<Block*>& list, const Block* block) {
    return std::find(list.begin(), list.end(), block) != list.end();
}

TEST(BranchStack, SyncBlocksOnEveryPathConsumeTheSsy) {
    CodeBuilder code;
    code.AddRelative(Inst(Prefix::Ssy), 0x30);                  // 0x08
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x28); // 0x10
    code.Add(Inst(Prefix::Sync));                               // 0x18
    code.PadTo(0x28);
    code.Add(Inst(Prefix::Sync)); // 0x28
    code.Add(Exit());             // 0x30
    Decoded d(code.Words);

    Block* entry = d.BlockAt(0);
    Block* syncA = d.BlockAt(0x18);
    Block* syncB = d.BlockAt(0x28);
    Block* target = d.BlockAt(0x30);
    ASSERT_EQ(entry->PushOps.size(), 1u);
    PushOpInfo* ssy = entry->PushOps[0];
    EXPECT_EQ(ssy->Op.Address, 8u);

    for (Block* sync : {syncA, syncB}) {
        ASSERT_EQ(sync->SyncTargets.size(), 1u);
        const SyncTarget& t = sync->SyncTargets.At(8);
        EXPECT_EQ(t.PushOpInfo, ssy);
        EXPECT_EQ(t.PushOpId, 0);
        EXPECT_EQ(sync->Successors.back(), target);
        EXPECT_TRUE(Contains(target->Predecessors, sync));
    }
    // Successors are walked lowest address first: the branch target before the
    // fall-through.
    ASSERT_EQ(ssy->Consumers.size(), 2u);
    EXPECT_EQ(ssy->Consumers.ItemAt(0).first, syncB);
    EXPECT_EQ(ssy->Consumers.ItemAt(1).first, syncA);
    const auto* localA = ssy->Consumers.At(syncA);
    const auto* localB = ssy->Consumers.At(syncB);
    EXPECT_NE(localA, localB);
    EXPECT_EQ(localA->Type, OperandType::LocalVariable);

    // Pairing again adds nothing twice.
    Decoder::BlockMap known;
    for (Block* b : d.Program.MainFunction->Blocks())
        known[b->Address] = b;
    Decoder::PropagatePushOp(d.Program, known, entry, 0);
    EXPECT_EQ(ssy->Consumers.size(), 2u);
    EXPECT_EQ(syncA->SyncTargets.size(), 1u);
    EXPECT_EQ(std::count(syncA->Successors.begin(), syncA->Successors.end(), target), 1);
}

TEST(BranchStack, OneSyncBlockCanConsumeSeveralPushes) {
    CodeBuilder code;
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x28); // 0x08
    code.AddRelative(Inst(Prefix::Ssy), 0x38);                  // 0x10
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0x30);         // 0x18
    code.PadTo(0x28);
    code.AddRelative(Inst(Prefix::Ssy), 0x38); // 0x28
    code.Add(Inst(Prefix::Sync));              // 0x30
    code.Add(Exit());                          // 0x38
    Decoded d(code.Words);

    Block* sync = d.BlockAt(0x30);
    ASSERT_EQ(sync->SyncTargets.size(), 2u);
    EXPECT_EQ(sync->SyncTargets.ItemAt(0).first, 0x10u);
    EXPECT_EQ(sync->SyncTargets.ItemAt(0).second.PushOpId, 0);
    EXPECT_EQ(sync->SyncTargets.ItemAt(1).first, 0x28u);
    EXPECT_EQ(sync->SyncTargets.ItemAt(1).second.PushOpId, 1);
    EXPECT_TRUE(d.BlockAt(0x10)->PushOps[0]->Consumers.Contains(sync));
    EXPECT_TRUE(d.BlockAt(0x28)->PushOps[0]->Consumers.Contains(sync));
}

TEST(BranchStack, PopsMatchTheInnermostPushOfTheirKind) {
    // PBK, then SSY, then BRK: the SSY entry is stepped over and the BRK block
    // consumes the PBK; pairing the SSY finds no SYNC and records nothing.
    {
        CodeBuilder code;
        code.AddRelative(Inst(Prefix::Pbk), 0x38); // 0x08
        code.AddRelative(Inst(Prefix::Ssy), 0x30); // 0x10
        code.Add(Inst(Prefix::Brk));               // 0x18
        code.PadTo(0x30);
        code.Add(Exit()); // 0x30
        code.Add(Exit()); // 0x38
        Decoded d(code.Words);
        Block* entry = d.BlockAt(0);
        ASSERT_EQ(entry->SyncTargets.size(), 1u);
        EXPECT_EQ(entry->SyncTargets.ItemAt(0).first, 8u);
        EXPECT_EQ(entry->PushOps[0]->Consumers.size(), 1u);
        EXPECT_TRUE(entry->PushOps[1]->Consumers.empty());
        EXPECT_EQ(entry->Successors, std::vector<Block*>{d.BlockAt(0x38)});
    }
    // Two PBKs: the BRK consumes the inner one and the walk continues at its
    // target, whose BRK consumes the outer one.
    {
        CodeBuilder code;
        code.AddRelative(Inst(Prefix::Pbk), 0x38); // 0x08
        code.AddRelative(Inst(Prefix::Pbk), 0x30); // 0x10
        code.Add(Inst(Prefix::Brk));               // 0x18
        code.PadTo(0x30);
        code.Add(Inst(Prefix::Brk)); // 0x30
        code.Add(Exit());            // 0x38
        Decoded d(code.Words);
        Block* entry = d.BlockAt(0);
        Block* inner = d.BlockAt(0x30);
        ASSERT_EQ(entry->SyncTargets.size(), 1u);
        EXPECT_EQ(entry->SyncTargets.ItemAt(0).first, 0x10u);
        ASSERT_EQ(inner->SyncTargets.size(), 1u);
        EXPECT_EQ(inner->SyncTargets.ItemAt(0).first, 0x08u);
        EXPECT_EQ(inner->Successors, std::vector<Block*>{d.BlockAt(0x38)});
    }
}

TEST(BranchStack, GuardedRetReturnsToThePretTarget) {
    // The compiler's early return: PRET at the top, a guarded RET inside an
    // SSY region. The RET steps over the pending SSY entry, pairs with the
    // PRET and keeps its fall-through; the SYNC still pairs with the SSY.
    constexpr std::string_view Pret = "111000100111xx";
    CodeBuilder code;
    code.AddRelative(Inst(Pret), 0x38);        // 0x08
    code.AddRelative(Inst(Prefix::Ssy), 0x30); // 0x10
    code.Add(Ret().Pred(0));                   // 0x18
    code.PadTo(0x28);
    code.Add(Inst(Prefix::Sync).Ccc(0xF)); // 0x28
    code.Add(Mov(1, 2));                   // 0x30
    code.Add(Exit());                      // 0x38
    Decoded d(code.Words);

    Block* ret = d.BlockAt(0);
    Block* sync = d.BlockAt(0x20);
    Block* pretTarget = d.BlockAt(0x38);
    ASSERT_EQ(ret->PushOps.size(), 2u);
    PushOpInfo* pret = ret->PushOps[0];
    ASSERT_EQ(ret->SyncTargets.size(), 1u);
    EXPECT_EQ(ret->SyncTargets.At(0x08).PushOpInfo, pret);
    EXPECT_TRUE(pret->Consumers.Contains(ret));
    EXPECT_EQ(ret->Successors, (std::vector<Block*>{sync, pretTarget}));
    EXPECT_TRUE(Contains(pretTarget->Predecessors, ret));

    ASSERT_EQ(sync->SyncTargets.size(), 1u);
    EXPECT_EQ(sync->SyncTargets.ItemAt(0).first, 0x10u);
    EXPECT_EQ(sync->Successors, std::vector<Block*>{d.BlockAt(0x30)});
}

TEST(BranchStack, SplitMovesPopPairingToTheRightPartKeepingOrder) {
    DecoderGpuAccessor accessor(std::vector<uint64_t>{});
    DecodedProgram program(accessor);
    Block* left = program.CreateBlock(0);
    Block* after = program.CreateBlock(0x40);
    Block* other = program.CreateBlock(0x80);
    left->EndAddress = 0x40;
    left->Ops = {InstTable::GetOp(0x08, Inst(Prefix::Ssy)), InstTable::GetOp(0x10, Mov(0, 0)),
                 InstTable::GetOp(0x18, Inst(Prefix::Ssy)), InstTable::GetOp(0x28, Inst(Prefix::Sync))};
    PushOpInfo* first = program.CreatePushOpInfo(left->Ops[0]);
    PushOpInfo* second = program.CreatePushOpInfo(left->Ops[2]);
    left->PushOps = {first, second};
    left->Successors = {after};
    after->Predecessors = {left};
    // left consumes `first` after another consumer; its place must survive the split.
    auto* otherLocal = program.CreateLocal();
    auto* leftLocal = program.CreateLocal();
    first->Consumers.Set(other, otherLocal);
    first->Consumers.Set(left, leftLocal);
    first->Consumers.Set(after, program.CreateLocal());
    left->SyncTargets.Set(0x08, SyncTarget{first, 0});

    Block* right = program.CreateBlock(0x18);
    left->Split(right);

    EXPECT_EQ(left->EndAddress, 0x18u);
    EXPECT_EQ(right->EndAddress, 0x40u);
    EXPECT_EQ(left->Ops.size(), 2u);
    EXPECT_EQ(right->Ops.size(), 2u);
    EXPECT_EQ(left->Successors, std::vector<Block*>{right});
    EXPECT_EQ(right->Successors, std::vector<Block*>{after});
    EXPECT_EQ(right->Predecessors, std::vector<Block*>{left});
    EXPECT_EQ(after->Predecessors, std::vector<Block*>{right});
    EXPECT_EQ(left->PushOps, std::vector<PushOpInfo*>{first});
    EXPECT_EQ(right->PushOps, std::vector<PushOpInfo*>{second});
    EXPECT_TRUE(left->SyncTargets.empty());
    ASSERT_EQ(right->SyncTargets.size(), 1u);
    EXPECT_EQ(right->SyncTargets.At(0x08).PushOpInfo, first);
    ASSERT_EQ(first->Consumers.size(), 3u);
    EXPECT_EQ(first->Consumers.ItemAt(0).first, other);
    EXPECT_EQ(first->Consumers.ItemAt(1).first, right);
    EXPECT_EQ(first->Consumers.ItemAt(1).second, leftLocal);
    EXPECT_FALSE(first->Consumers.Contains(left));

    // A split point after the start of the last instruction is refused.
    Block* tooLate = program.CreateBlock(0x2C);
    EXPECT_THROW(right->Split(tooLate), Zerivox::Common::ArgumentException);
}

// --- Indirect branches through a constant buffer 1 jump table.

struct BrxPattern {
    bool SignedMin = false;
    int MinPredicate = 7;
    int ShiftBy = 2;
    int Slot = 1;
    int AddressMode = 0;
    uint32_t MaxIndex = 5;
};

// IMNMX.U32 R0 = min(R0, n); SHL R1 = R0 << 2; LDC R2 = c1[R1 + 0x10]; BRX R2.
// The BRX at 0x28 has offset 0, so table entries are relative to 0x30.
CodeBuilder BrxCode(const BrxPattern& p) {
    CodeBuilder code;
    code.Add(Inst(Prefix::ImnmxI)
                 .Rd(0)
                 .Ra(0)
                 .Imm20(p.MaxIndex)
                 .Bits(39, 3, static_cast<uint64_t>(p.MinPredicate))
                 .Bit(48, p.SignedMin));
    code.Add(Inst(Prefix::ShlI).Rd(1).Ra(0).Imm20(static_cast<uint32_t>(p.ShiftBy)));
    code.Add(Inst(Prefix::Ldc)
                 .Rd(2)
                 .Ra(1)
                 .Bits(20, 16, 0x10)
                 .Bits(36, 5, static_cast<uint64_t>(p.Slot))
                 .Bits(44, 2, static_cast<uint64_t>(p.AddressMode)));
    code.Add(Inst(Prefix::Brx).Ra(2).Ccc(0xF)); // 0x28
    code.Add(Exit());                           // 0x30
    code.Add(Exit());                           // 0x38
    code.Add(Exit());                           // 0x48
    code.Add(Exit());                           // 0x50
    return code;
}

std::vector<uint64_t> SuccessorAddresses(const Block* block) {
    std::vector<uint64_t> result;
    for (const Block* b : block->Successors)
        result.push_back(b->Address);
    return result;
}

TEST(BrxTargets, JumpTableInConstantBuffer1BecomesSuccessors) {
    // Entries 0x10-0x27, with repeats: each distinct target once, in first order.
    const std::vector<uint32_t> c1 = {0, 0, 0, 0, 0x8, 0x0, 0x8, 0x18, 0x20, 0x0};
    Decoded d(BrxCode({}).Words, c1);

    Block* brx = d.BlockAt(0);
    EXPECT_EQ(brx->GetLastOp().Name, InstName::Brx);
    EXPECT_EQ(SuccessorAddresses(brx), (std::vector<uint64_t>{0x38, 0x30, 0x48, 0x50}));
    for (Block* target : brx->Successors) {
        EXPECT_EQ(target->Predecessors, std::vector<Block*>{brx});
    }
    EXPECT_EQ(d.Program.Cb1Size, 0x28);
    EXPECT_EQ(d.Accessor.C1Reads, 6);
    EXPECT_EQ(Decoder::FindBrxTargetRange(brx, 2), (std::pair<int32_t, int32_t>{0x10, 6}));

    // A resolved BRX is skipped: its table is read once.
    Decoder::Context context(d.Program, d.Accessor);
    EXPECT_FALSE(
        Decoder::FindBrxTargets(context, d.Program.MainFunction->Blocks(), [](uint64_t) -> Block* { return nullptr; }));
    EXPECT_EQ(d.Accessor.C1Reads, 6);
}

TEST(BrxTargets, OnlyTheExactLoadPatternIsRecognised) {
    struct Case {
        const char* What;
        BrxPattern Pattern;
    } cases[] = {
        {"signed minimum", {.SignedMin = true}},
        {"minimum under a predicate", {.MinPredicate = 0}},
        {"shift by 3", {.ShiftBy = 3}},
        {"constant buffer 2", {.Slot = 2}},
        {"indexed address mode", {.AddressMode = 1}},
    };
    for (const Case& c : cases) {
        Decoded d(BrxCode(c.Pattern).Words, {0, 0, 0, 0, 8, 8, 8, 8, 8, 8});
        EXPECT_TRUE(d.BlockAt(0)->Successors.empty()) << c.What;
        EXPECT_EQ(d.Accessor.C1Reads, 0) << c.What;
        EXPECT_EQ(d.Program.Cb1Size, 0) << c.What;
    }
}

TEST(BrxTargets, TableRunningPastConstantBuffer1StopsReading) {
    // Up to 2^20 entries from the code, but only 0x18 bytes of data: entries at
    // 0x10 and 0x14 are real, the read at 0x18 is the first beyond and the last.
    BrxPattern pattern;
    pattern.MaxIndex = 0xFFFFF;
    Decoded d(BrxCode(pattern).Words, {0, 0, 0, 0, 0x8, 0x18});
    EXPECT_EQ(d.Accessor.C1Reads, 3);
    EXPECT_EQ(d.Program.Cb1Size, 0x1C);
    // The entry beyond reads 0: the table base itself.
    EXPECT_EQ(SuccessorAddresses(d.BlockAt(0)), (std::vector<uint64_t>{0x38, 0x48, 0x30}));

    // A host that does not know its buffer size gets every entry read.
    Decoded unknown(BrxCode({}).Words, {0, 0, 0, 0, 0x8, 0x18}, false);
    EXPECT_EQ(unknown.Accessor.C1Reads, 6);
    EXPECT_EQ(unknown.Program.Cb1Size, 0x28);
    EXPECT_EQ(SuccessorAddresses(unknown.BlockAt(0)), (std::vector<uint64_t>{0x38, 0x48, 0x30}));
}

TEST(BrxTargets, TableTargetsBetweenWalkedBlocksKeepTheBlocksInAddressOrder) {
    // The first walk places 0x00, 0x10 and the branch target 0x50; the table
    // then adds 0x38, which goes between them.
    CodeBuilder code;
    code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x50); // 0x08
    code.Add(Inst(Prefix::ImnmxI).Rd(0).Ra(0).Imm20(0).Bits(39, 3, 7));
    code.Add(Inst(Prefix::ShlI).Rd(1).Ra(0).Imm20(2));
    code.Add(Inst(Prefix::Ldc).Rd(2).Ra(1).Bits(20, 16, 0x10).Bits(36, 5, 1));
    ASSERT_EQ(code.Add(Inst(Prefix::Brx).Ra(2).Ccc(0xF)), 0x30u);
    code.Add(Exit()); // 0x38
    code.Add(Exit()); // 0x48
    code.Add(Exit()); // 0x50
    Decoded d(code.Words, {0, 0, 0, 0, 0});

    std::vector<uint64_t> addresses;
    for (const Block* b : d.Program.MainFunction->Blocks())
        addresses.push_back(b->Address);
    EXPECT_EQ(addresses, (std::vector<uint64_t>{0, 0x10, 0x38, 0x50}));
    EXPECT_EQ(SuccessorAddresses(d.BlockAt(0x10)), (std::vector<uint64_t>{0x38}));
    EXPECT_EQ(d.BlockAt(0x38)->EndAddress, 0x40u);
}

TEST(BrxTargets, ChainedTablesAreEachReadOnceTheirBlockIsWalked) {
    // Each table leads to the next BRX, which only a walk after reading the
    // table finds; the last leads to an exit.
    const int chain = 3;
    CodeBuilder code;
    std::vector<uint64_t> starts;
    std::vector<uint64_t> brx;
    for (int g = 0; g < chain; g++) {
        starts.push_back(code.Add(Inst(Prefix::ImnmxI).Rd(0).Ra(0).Imm20(0).Bits(39, 3, 7)));
        code.Add(Inst(Prefix::ShlI).Rd(1).Ra(0).Imm20(2));
        code.Add(Inst(Prefix::Ldc).Rd(2).Ra(1).Bits(20, 16, static_cast<uint64_t>(4 * g)).Bits(36, 5, 1));
        brx.push_back(code.Add(Inst(Prefix::Brx).Ra(2).Ccc(0xF)));
    }
    const uint64_t exit = code.Add(Exit());
    std::vector<uint32_t> c1;
    for (int g = 0; g < chain; g++) {
        const uint64_t target = g + 1 < chain ? starts[static_cast<size_t>(g) + 1] : exit;
        c1.push_back(static_cast<uint32_t>(target - (brx[static_cast<size_t>(g)] + 8)));
    }
    Decoded d(code.Words, c1);

    std::vector<uint64_t> addresses;
    for (const Block* b : d.Program.MainFunction->Blocks())
        addresses.push_back(b->Address);
    std::vector<uint64_t> expected{0};
    expected.insert(expected.end(), starts.begin() + 1, starts.end());
    expected.push_back(exit);
    EXPECT_EQ(addresses, expected);
    for (int g = 0; g < chain; g++) {
        const Block* block = d.Program.MainFunction->Blocks()[static_cast<size_t>(g)];
        EXPECT_EQ(block->GetLastOp().Address, brx[static_cast<size_t>(g)]) << g;
        EXPECT_EQ(SuccessorAddresses(block), (std::vector<uint64_t>{addresses[static_cast<size_t>(g) + 1]})) << g;
    }
    EXPECT_EQ(d.Accessor.C1Reads, chain);
}

TEST(BrxTargets, TableTargetsOutsideTheCodeFailTheTranslation) {
    DecoderGpuAccessor accessor(BrxCode({}).Words);
    accessor.SetC1Words({0, 0, 0, 0, 0x10000});
    ShaderDefinitions definitions(ShaderStage::Compute, 1, 1, 1);
    EXPECT_THROW(Decoder::Decode(definitions, accessor, 0), Zerivox::Common::ArgumentOutOfRangeException);
}

TEST(BrxTargets, LoadPatternIsFoundThroughPredecessorBlocks) {
    // The IMNMX sits in the block before a branch target, so the backward search
    // has to cross into a predecessor.
    CodeBuilder code = BrxCode({});
    const std::vector<uint32_t> c1 = {0, 0, 0, 0, 0x8, 0x8, 0x8, 0x8, 0x8, 0x8};
    Decoded plain(code.Words, c1);
    EXPECT_EQ(SuccessorAddresses(plain.BlockAt(0)), (std::vector<uint64_t>{0x38}));

    CodeBuilder split;
    split.Add(code.Words[1]);                                    // 0x08 IMNMX
    split.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0x18); // 0x10: makes 0x18 a block
    split.Add(code.Words[2]);                                    // 0x18 SHL
    split.Add(code.Words[3]);                                    // 0x28 LDC
    split.Add(Inst(Prefix::Brx).Ra(2).Ccc(0xF).Offset24(-8));    // 0x30: base 0x30
    split.Add(Exit());                                           // 0x38
    Decoded d(split.Words, c1);
    Block* brx = d.BlockAt(0x18);
    EXPECT_EQ(brx->GetLastOp().Name, InstName::Brx);
    EXPECT_EQ(SuccessorAddresses(brx), (std::vector<uint64_t>{0x38}));
}

} // namespace
