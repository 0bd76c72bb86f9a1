#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/DecodedFunction.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;
using Lines = std::vector<std::string>;

namespace {

constexpr std::string_view KilPrefix = "111000110011xx";

// CAL carries no guard: bits 16-19 hold 0 in real code.
Inst Call() { return Inst(Prefix::Cal).Bits(16, 4, 0); }

std::string Dump(const EmitFixture& f, std::size_t function = 0) { return f.Text(function); }

bool Mentions(const std::string& line, const std::string& label) {
    std::size_t at = 0;
    while ((at = line.find(label, at)) != std::string::npos) {
        const std::size_t end = at + label.size();
        if (at > 0 && line[at - 1] == ' ' && (end == line.size() || line[end] == ','))
            return true;
        at = end;
    }
    return false;
}

// The instruction's own IR: its lines without the labels of the blocks that
// start right after it (trailing MarkLabels that nothing in it branches to).
Lines Own(const EmitFixture& f, uint64_t address, std::size_t function = 0) {
    Lines ops = f.OpsAt(address, function);
    while (!ops.empty() && ops.back().rfind("MarkLabel ", 0) == 0) {
        const std::string label = ops.back().substr(10);
        if (std::any_of(ops.begin(), ops.end() - 1, [&](const std::string& l) { return Mentions(l, label); }))
            break;
        ops.pop_back();
    }
    return ops;
}

} // namespace

TEST(FlowEmit, BranchGuardsAndConditionCodes) {
    struct Case {
        const char* What;
        Inst Bra;
        bool ToNext;
        Lines Expected;
    } cases[] = {
        {"unconditional (its target block follows)", Inst(Prefix::Bra).Ccc(0xF), false, {"Branch L1", "MarkLabel L1"}},
        {"@P0", Inst(Prefix::Bra).Ccc(0xF).Pred(0), false, {"BranchIfTrue L1, P0"}},
        {"@!P0", Inst(Prefix::Bra).Ccc(0xF).Pred(0, true), false, {"BranchIfFalse L1, P0"}},
        {"flag test under PT", Inst(Prefix::Bra).Ccc(10), false, {"BranchIfTrue L1, CC.Z"}},
        {"flag test under @!P1",
         Inst(Prefix::Bra).Ccc(10).Pred(1, true),
         false,
         {"%0 = BitwiseNot P1", "%1 = BitwiseAnd %0, CC.Z", "BranchIfTrue L1, %1"}},
        {"a test without meaning is always true", Inst(Prefix::Bra).Ccc(24), false, {"BranchIfTrue L1, -1"}},
        {"to the next instruction: nothing", Inst(Prefix::Bra).Ccc(0xF).Pred(0), true, {}},
    };
    for (const Case& c : cases) {
        CodeBuilder code;
        const uint64_t bra = code.AddRelative(c.Bra, 0);
        const uint64_t next = code.Add(Exit());
        const uint64_t far = code.Add(Exit());
        code.SetTarget(bra, c.ToNext ? next : far);
        EmitFixture f(code.Words);
        EXPECT_EQ(Own(f, bra), c.Expected) << c.What << "\n" << Dump(f);
    }
}

TEST(FlowEmit, ExitAndDiscardHonourTheirConditionCode) {
    struct Case {
        const char* What;
        Inst Word;
        Lines Expected;
    } cases[] = {
        {"EXIT", Inst(Prefix::Exit).Ccc(0xF), {"Return"}},
        {"EXIT if not Z",
         Inst(Prefix::Exit).Ccc(5),
         {"%0 = BitwiseNot CC.Z", "BranchIfFalse L1, %0", "Return", "MarkLabel L1"}},
        {"EXIT never", Inst(Prefix::Exit).Ccc(0), {}},
        {"EXIT on a test without meaning is never taken", Inst(Prefix::Exit).Ccc(26), {}},
        {"KIL", Inst(KilPrefix).Ccc(0xF), {"Discard"}},
        {"KIL if Z discards only when Z is set",
         Inst(KilPrefix).Ccc(10),
         {"BranchIfFalse L1, CC.Z", "Discard", "MarkLabel L1"}},
        {"KIL never discards nothing", Inst(KilPrefix).Ccc(0), {}},
        {"KIL on a test without meaning discards nothing", Inst(KilPrefix).Ccc(27), {}},
    };
    for (const Case& c : cases) {
        CodeBuilder code;
        const uint64_t at = code.Add(c.Word);
        code.Add(Exit());
        // KIL discards a fragment: its cases run as a fragment shader, whose
        // code follows the 0x50-byte program header (addresses count from
        // the code).
        const bool fragment = (c.Word.Word >> 50) == (Inst(KilPrefix).Word >> 50);
        std::vector<uint64_t> words;
        EmitSetup setup;
        if (fragment) {
            words.assign(10, 0);
            words[0] = static_cast<uint64_t>(ShaderStage::Fragment) << 10;
            setup.Options = Translation::TranslationOptions(Translation::TargetLanguage::Spirv,
                                                            Translation::TargetGraphicsApi::Vulkan,
                                                            Translation::TranslationFlags::DebugMode);
        }
        words.insert(words.end(), code.Words.begin(), code.Words.end());
        EmitFixture f(words, setup);
        EXPECT_EQ(Own(f, at), c.Expected) << c.What << "\n" << Dump(f);
    }
}

TEST(FlowEmit, CallsReturnsAndMisplacedExits) {
    // main: CAL user; CAL begin; CAL end; CAL address; RET (misplaced)
    // user: EXIT (misplaced) then RET under P0.
    CodeBuilder code;
    const uint64_t calUser = code.AddRelative(Call(), 0);
    const uint64_t calBegin = code.AddRelative(Call(), 0);
    const uint64_t calEnd = code.AddRelative(Call(), 0);
    const uint64_t calAddress = code.AddRelative(Call(), 0);
    const uint64_t mainRet = code.Add(Ret());
    code.PadTo(0x88);
    const uint64_t user = code.Add(Ret().Pred(0));
    const uint64_t userExit = code.Add(Exit());
    code.PadTo(0xC8);
    const uint64_t begin = code.Add(Ret());
    code.PadTo(0x108);
    const uint64_t end = code.Add(Ret());
    code.PadTo(0x148);
    const uint64_t address = code.Add(Ret());
    code.SetTarget(calUser, user);
    code.SetTarget(calBegin, begin);
    code.SetTarget(calEnd, end);
    code.SetTarget(calAddress, address);

    EmitSetup setup;
    setup.BeforeEmit = [&](Translation::TranslatorContext& context) {
        Decoders::DecodedProgram& program = context.Program();
        program.GetFunctionByAddress(begin)->Type = Decoders::FunctionType::FsiBegin;
        program.GetFunctionByAddress(end)->Type = Decoders::FunctionType::FsiEnd;
        program.GetFunctionByAddress(address)->Type = Decoders::FunctionType::FsiGetAddress;
    };
    EmitFixture f(code.Words, setup);
    ASSERT_EQ(f.Codes.size(), 2u) << "only the user function is emitted";
    EXPECT_EQ(Own(f, calUser), Lines({"Call 1"})) << Dump(f);
    EXPECT_EQ(Own(f, calBegin), Lines({"FSIBegin"}));
    EXPECT_EQ(Own(f, calEnd), Lines({"FSIEnd"}));
    EXPECT_EQ(Own(f, calAddress), Lines({}));
    EXPECT_EQ(Own(f, mainRet), Lines({}));
    EXPECT_TRUE(f.Logged("return on main function")) << "RET in main is reported";

    // The guarded RET gets the emission loop's guard around its Return.
    const Lines userRet = Own(f, user, 1);
    ASSERT_EQ(userRet.size(), 3u) << Dump(f, 1);
    EXPECT_EQ(userRet[1], "Return");
    EXPECT_EQ(Own(f, userExit, 1), Lines({}));
    EXPECT_TRUE(f.Logged("exit on non-main function")) << "EXIT outside main is reported";
}

TEST(FlowEmit, RetAfterPretReturnsToThePushedAddress) {
    // The compiler's early return from main: PRET to the final EXIT, then a
    // guarded RET. When P0 holds, control must reach the EXIT and skip the
    // MOV; when it fails, the MOV runs.
    CodeBuilder code;
    const uint64_t pret = code.AddRelative(Inst("111000100111xx"), 0); // 0x08
    code.Add(Ret().Pred(0));                                           // 0x10
    code.Add(Mov(1, 2));                                               // 0x18
    code.PadTo(0x28);
    const uint64_t exit = code.Add(Exit()); // 0x28
    code.SetTarget(pret, exit);
    EmitFixture f(code.Words);
    EXPECT_EQ(f.LinesFrom(pret), Lines({
                                     "%0 = Copy 0",          // PRET: its id at the RET
                                     "BranchIfFalse L0, P0", // the loop's guard
                                     "BranchIfTrue L1, P0",  // RET to the EXIT
                                     "MarkLabel L0",
                                     "R1 = Copy R2",
                                     "MarkLabel L1",
                                     "Return",
                                 }))
        << Dump(f);
    EXPECT_FALSE(f.Logged("return on main function")) << Dump(f);
}

TEST(FlowEmit, PushesStoreIdsAndPopsCompareThem) {
    // Two SSYs (one per path) reach the same SYNC: it tests both locals in
    // the order the decoder recorded them and falls through when neither
    // matches.
    CodeBuilder code;
    const uint64_t bra = code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0); // 0x08
    const uint64_t ssyA = code.AddRelative(Inst(Prefix::Ssy), 0);                 // 0x10
    const uint64_t braSync = code.AddRelative(Inst(Prefix::Bra).Ccc(0xF), 0);     // 0x18
    code.PadTo(0x38);
    const uint64_t ssyB = code.AddRelative(Inst(Prefix::Ssy), 0); // 0x38
    const uint64_t sync = code.Add(Inst(Prefix::Sync).Ccc(0xF));  // 0x48
    const uint64_t targetA = code.Add(Exit());                    // 0x50
    const uint64_t targetB = code.Add(Exit());                    // 0x58
    code.SetTarget(bra, ssyB);
    code.SetTarget(ssyA, targetA);
    code.SetTarget(braSync, sync);
    code.SetTarget(ssyB, targetB);
    EmitFixture f(code.Words);
    EXPECT_EQ(f.LinesFrom(ssyA), Lines({
                                     "%0 = Copy 0",  // SSY A: its id at the SYNC
                                     "Branch L0",    //
                                     "MarkLabel L1", // 0x38
                                     "%1 = Copy 1",  // SSY B
                                     "MarkLabel L0", // 0x48 SYNC
                                     "%2 = CompareEqual %0, 0",
                                     "BranchIfTrue L2, %2", // to A's target
                                     "%3 = CompareEqual %1, 1",
                                     "BranchIfTrue L3, %3", // to B's target
                                     "MarkLabel L2",
                                     "Return",
                                     "MarkLabel L3",
                                     "Return",
                                 }))
        << Dump(f);
}

TEST(FlowEmit, PushPoppedByTwoBlocksAndSingleTargetPops) {
    // One SSY popped by two SYNC blocks writes one local per block; a pop
    // with a single target is an ordinary guarded branch.
    CodeBuilder code;
    const uint64_t ssy = code.AddRelative(Inst(Prefix::Ssy), 0);                  // 0x08
    const uint64_t bra = code.AddRelative(Inst(Prefix::Bra).Ccc(0xF).Pred(0), 0); // 0x10
    const uint64_t syncA = code.Add(Inst(Prefix::Sync).Ccc(0xF).Pred(1, true));   // 0x18
    const uint64_t syncB = code.Add(Inst(Prefix::Sync).Ccc(0xF));                 // 0x28
    code.PadTo(0x38);
    const uint64_t target = code.Add(Exit()); // 0x38
    code.SetTarget(ssy, target);
    code.SetTarget(bra, syncB);
    EmitFixture f(code.Words);
    EXPECT_EQ(Own(f, ssy), Lines({"%0 = Copy 0", "%1 = Copy 0"})) << Dump(f);
    EXPECT_EQ(Own(f, syncA), Lines({"BranchIfFalse L3, P1"})) << Dump(f);
    EXPECT_EQ(Own(f, syncB), Lines({"Branch L3", "MarkLabel L3"})) << Dump(f);

    // Break and continue stacks pop the same way; a pop to the next
    // instruction emits nothing.
    struct Case {
        std::string_view Push, Pop;
    } kinds[] = {{Prefix::Pbk, Prefix::Brk}, {Prefix::Pcnt, Prefix::Cont}, {Prefix::Ssy, Prefix::Sync}};
    for (const Case& k : kinds) {
        CodeBuilder c;
        const uint64_t push = c.AddRelative(Inst(k.Push), 0);     // 0x08
        const uint64_t pop = c.Add(Inst(k.Pop).Ccc(0xF).Pred(3)); // 0x10
        const uint64_t exit = c.Add(Exit());                      // 0x18
        c.SetTarget(push, exit);
        EmitFixture g(c.Words);
        EXPECT_EQ(Own(g, push), Lines({"%0 = Copy 0"})) << Dump(g);
        EXPECT_EQ(Own(g, pop), Lines({})) << Dump(g);
    }
}

namespace {

// IMNMX.U32 R0 = min(R0, 5); SHL R1 = R0 << 2; LDC R2 = c1[R1 + 0x10];
// BRX R2 at 0x28: table entries are relative to 0x30. `guarded` makes the
// EXIT at 0x30 conditional, so 0x38 gets a second predecessor.
std::vector<uint64_t> BrxCode(bool guarded) {
    CodeBuilder code;
    code.Add(Inst("0011100x00100x").Rd(0).Ra(0).Imm20(5).Bits(39, 3, 7));
    code.Add(Inst("0011100x01001x").Rd(1).Ra(0).Imm20(2));
    code.Add(Inst("1110111110010x").Rd(2).Ra(1).Bits(20, 16, 0x10).Bits(36, 5, 1));
    code.Add(Inst(Prefix::Brx).Ra(2).Ccc(0xF));  // 0x28
    code.Add(guarded ? Exit().Pred(0) : Exit()); // 0x30
    code.Add(Exit());                            // 0x38
    code.Add(Exit());                            // 0x48
    code.Add(Exit());                            // 0x50
    return code.Words;
}

EmitSetup JumpTable(std::vector<uint32_t> entries) {
    EmitSetup setup;
    setup.Prepare = [entries](DecoderGpuAccessor& accessor) {
        std::vector<uint32_t> words = {0, 0, 0, 0};
        words.insert(words.end(), entries.begin(), entries.end());
        accessor.SetC1Words(words);
    };
    return setup;
}

} // namespace

TEST(FlowEmit, IndirectBranchSelectorChainsAndCompares) {
    // Targets 0x30, 0x38, 0x48 (0x30 twice in the table), each entered only
    // from the BRX: a chain of tests at the entries; the highest is untested.
    EmitFixture chained(BrxCode(false), JumpTable({0x8, 0x0, 0x18, 0x0, 0x8, 0x0}));
    EXPECT_EQ(chained.LinesFrom(0x28), Lines({
                                           "%0 = Add R2, 48",
                                           "Branch L0",
                                           "MarkLabel L0", // 0x30
                                           "%1 = CompareEqual %0, 48",
                                           "BranchIfFalse L1, %1",
                                           "Return",
                                           "MarkLabel L1", // 0x38
                                           "%2 = CompareEqual %0, 56",
                                           "BranchIfFalse L2, %2",
                                           "Return",
                                           "MarkLabel L2", // 0x48
                                           "Return",
                                       }))
        << Dump(chained);

    // 0x38 is also reached by falling through from 0x30: compares from the
    // highest target down, the lowest takes the rest.
    EmitFixture compared(BrxCode(true), JumpTable({0x0, 0x8, 0x18, 0x0, 0x0, 0x0}));
    Lines brxOps = compared.LinesFrom(0x28);
    brxOps.resize(std::min<std::size_t>(brxOps.size(), 6));
    EXPECT_EQ(brxOps, Lines({
                          "%0 = Add R2, 48", "%1 = CompareEqual %0, 72",
                          "BranchIfTrue L0, %1", // 0x48
                          "%2 = CompareEqual %0, 56",
                          "BranchIfTrue L1, %2", // 0x38
                          "Branch L2",           // 0x30
                      }))
        << Dump(compared);

    // No table found: reported, nothing emitted.
    CodeBuilder lone;
    const uint64_t brx = lone.Add(Inst(Prefix::Brx).Ra(2).Ccc(0xF));
    EmitFixture none(lone.Words);
    EXPECT_EQ(Own(none, brx), Lines({})) << Dump(none);
    EXPECT_TRUE(none.Logged("Failed to find targets for BRX instruction at 0x8."));
}
