#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr std::string_view BfeR = "0101110000000x";
constexpr std::string_view BfeI = "0011100x00000x";
constexpr std::string_view BfiR = "0101101111110x";
constexpr std::string_view BfiI = "0011011x11110x";
constexpr std::string_view BfiRc = "0101001111110x";
constexpr std::string_view FloR = "0101110000110x";
constexpr std::string_view FloI = "0011100x00110x";
constexpr std::string_view PopcC = "0100110000001x";
constexpr std::string_view Cset = "0101000010011x";
constexpr std::string_view Csetp = "0101000010100x";
constexpr std::string_view Bar = "1111000010101x";
constexpr std::string_view Membar = "1110111110011x";
constexpr std::string_view Depbar = "1111000011110x";
constexpr std::string_view PrmtR = "010110111100xx";
constexpr std::string_view Vadd = "001000xxxxxxxx";
constexpr std::string_view ImadspR = "010110101xxxxx";
constexpr std::string_view Votevtg = "0101000011100x";
} // namespace P

struct Case {
    const char* What;
    uint64_t Word;
    std::vector<std::string> Expected;
};

void Check(const Case& c) {
    EmittedInstruction e = EmitInstruction(c.Word);
    EXPECT_EQ(e.Lines, c.Expected) << c.What << "\n" << e.Text();
}

} // namespace

TEST(BitfieldEmit, ExtractInsertFindAndCount) {
    const Case cases[] = {
        {"BFE.U32 control in a register: position = bits 0-7, width = bits 8-15",
         Inst(P::BfeR).Rd(1).Ra(2).Rb(3),
         {"%0 = BitwiseAnd R3, 255", "%1 = BitfieldExtractU32 R3, 8, 8", "%2 = BitfieldExtractU32 R2, %0, %1",
          "R1 = Copy %2"}},
        {"BFE.S32 with an immediate control 0x0804",
         Inst(P::BfeI).Rd(1).Ra(2).Imm20(0x804).Bit(48),
         {"%0 = BitwiseAnd 2052, 255", "%1 = BitfieldExtractU32 2052, 8, 8", "%2 = BitfieldExtractS32 R2, %0, %1",
          "R1 = Copy %2"}},
        {"BFE.BREV reverses the value first",
         Inst(P::BfeR).Rd(1).Ra(2).Rb(3).Bit(40),
         {"%0 = BitfieldReverse R2", "%1 = BitwiseAnd R3, 255", "%2 = BitfieldExtractU32 R3, 8, 8",
          "%3 = BitfieldExtractU32 %0, %1, %2", "R1 = Copy %3"}},
        {"BFI: insert A into base C",
         Inst(P::BfiR).Rd(1).Ra(2).Rb(3).Bits(39, 8, 4),
         {"%0 = BitwiseAnd R3, 255", "%1 = BitfieldExtractU32 R3, 8, 8", "%2 = BitfieldInsert R4, R2, %0, %1",
          "R1 = Copy %2"}},
        {"BFI immediate control 0x0810",
         Inst(P::BfiI).Rd(1).Ra(2).Imm20(0x810).Bits(39, 8, 4),
         {"%0 = BitwiseAnd 2064, 255", "%1 = BitfieldExtractU32 2064, 8, 8", "%2 = BitfieldInsert R4, R2, %0, %1",
          "R1 = Copy %2"}},
        {"BFI Rc form: control from Rc, base from the constant buffer",
         Inst(P::BfiRc).Rd(1).Ra(2).Bits(39, 8, 4).Bits(34, 5, 3).Bits(20, 14, 9),
         {"%0 = BitwiseAnd R4, 255", "%1 = BitfieldExtractU32 R4, 8, 8", "%2 = BitfieldInsert cb3[9], R2, %0, %1",
          "R1 = Copy %2"}},
        {"FLO.U32", Inst(P::FloR).Rd(1).Rb(3), {"%0 = FindMSBU32 R3", "R1 = Copy %0"}},
        {"FLO.S32", Inst(P::FloR).Rd(1).Rb(3).Bit(48), {"%0 = FindMSBS32 R3", "R1 = Copy %0"}},
        {"FLO.SH counts from bit 31 and ignores signedness",
         Inst(P::FloR).Rd(1).Rb(3).Bit(41).Bit(48),
         {"%0 = BitfieldReverse R3", "%1 = FindLSB %0", "R1 = Copy %1"}},
        {"FLO with NegB of an immediate",
         Inst(P::FloI).Rd(1).Imm20(0xFFFFF).Bit(40),
         {"%0 = BitwiseNot -1", "%1 = FindMSBU32 %0", "R1 = Copy %1"}},
        {"POPC with NegB of a constant-buffer word",
         Inst(P::PopcC).Rd(1).Bits(34, 5, 2).Bits(20, 14, 5).Bit(40),
         {"%0 = BitwiseNot cb2[5]", "%1 = BitCount %0", "R1 = Copy %1"}},
        {"a write to RZ leaves only the computation", Inst(P::FloR).Rd(255).Rb(3), {"%0 = FindMSBU32 R3"}},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(BarrierEmit, BarriersAndUntranslatedForms) {
    const Case cases[] = {
        {"BAR.SYNC", Inst(P::Bar).Bits(32, 3, 0), {"Barrier"}},
        {"BAR.ARV is dropped", Inst(P::Bar).Bits(32, 3, 1), {}},
        {"MEMBAR.CTA", Inst(P::Membar).Bits(8, 2, 0), {"GroupMemoryBarrier"}},
        {"MEMBAR.GL", Inst(P::Membar).Bits(8, 2, 1), {"MemoryBarrier"}},
        {"MEMBAR.SYS", Inst(P::Membar).Bits(8, 2, 3), {"MemoryBarrier"}},
        {"DEPBAR", Inst(P::Depbar), {}},
        {"PRMT keeps its destination", Inst(P::PrmtR).Rd(1).Ra(2).Rb(3), {}},
        {"VADD keeps its destination", Inst(P::Vadd).Rd(1).Ra(2).Rb(3), {}},
        {"IMADSP keeps its destination", Inst(P::ImadspR).Rd(1).Ra(2).Rb(3), {}},
        {"VOTE.VTG", Inst(P::Votevtg), {}},
    };
    for (const Case& c : cases)
        Check(c);

    struct Report {
        uint64_t Word;
        const char* Message; // empty: nothing may be logged
    } reports[] = {
        {Inst(P::Bar).Bits(32, 3, 1), "Invalid barrier mode: Arv."},
        {Inst(P::Bar).Bits(32, 3, 6), "Invalid barrier mode: 6."},
        {Inst(P::PrmtR).Rd(1), "\"PrmtR\""},
        {Inst(P::Votevtg), ""},
        {Inst(P::Depbar), ""},
    };
    for (const Report& r : reports) {
        std::vector<std::string> messages = EmitInstruction(r.Word).Messages;
        if (*r.Message == '\0') {
            EXPECT_TRUE(messages.empty()) << std::hex << r.Word;
        } else {
            ASSERT_EQ(messages.size(), 1u) << r.Message;
            EXPECT_NE(messages[0].find(r.Message), std::string::npos) << messages[0];
        }
    }
}

TEST(ConditionCodeEmit, EveryConditionCodeTest) {
    // CSET R1 = cond AND PT shows each test's expression; the AND with -1 is
    // the source-predicate combination.
    const std::vector<std::vector<std::string>> expressions = {
        /* 0 */ {},
        /* 1 */ {"%0 = BitwiseNot CC.Z", "%1 = BitwiseAnd CC.N, %0", "%2 = BitwiseExclusiveOr %1, CC.V"},
        /* 2 */ {"%0 = BitwiseNot CC.N", "%1 = BitwiseAnd %0, CC.Z"},
        /* 3 */ {"%0 = BitwiseOr CC.Z, CC.V", "%1 = BitwiseExclusiveOr CC.N, %0"},
        /* 4 */ {"%0 = BitwiseExclusiveOr CC.N, CC.V", "%1 = BitwiseOr %0, CC.Z", "%2 = BitwiseNot %1"},
        /* 5 */ {"%0 = BitwiseNot CC.Z"},
        /* 6 */ {"%0 = BitwiseExclusiveOr CC.N, CC.V", "%1 = BitwiseNot %0"},
        /* 7 */ {"%0 = BitwiseAnd CC.N, CC.Z", "%1 = BitwiseNot %0"},
        /* 8 */ {"%0 = BitwiseAnd CC.N, CC.Z"},
        /* 9 */ {"%0 = BitwiseExclusiveOr CC.N, CC.V"},
        /* 10 */ {},
        /* 11 */ {"%0 = BitwiseExclusiveOr CC.N, CC.V", "%1 = BitwiseOr %0, CC.Z"},
        /* 12 */ {"%0 = BitwiseNot CC.N", "%1 = BitwiseOr CC.V, CC.Z", "%2 = BitwiseExclusiveOr %0, %1"},
        /* 13 */ {"%0 = BitwiseNot CC.Z", "%1 = BitwiseOr CC.N, %0"},
        /* 14 */ {"%0 = BitwiseNot CC.N", "%1 = BitwiseOr %0, CC.Z", "%2 = BitwiseExclusiveOr %1, CC.V"},
        /* 15 */ {},
        /* 16 */ {"%0 = BitwiseNot CC.V"},
        /* 17 */ {"%0 = BitwiseNot CC.C"},
        /* 18 */ {"%0 = BitwiseNot CC.N"},
        /* 19 */ {"%0 = BitwiseNot CC.C", "%1 = BitwiseOr CC.Z, %0"},
        /* 20 */ {"%0 = BitwiseNot CC.Z", "%1 = BitwiseAnd CC.C, %0"},
        /* 21-23 */ {},
        {},
        {},
        /* 24-29 */ {},
        {},
        {},
        {},
        {},
        {},
        /* 30 */ {"%0 = BitwiseOr CC.N, CC.Z"},
        /* 31 */ {"%0 = BitwiseOr CC.N, CC.Z", "%1 = BitwiseNot %0"},
    };
    // Tests that are a bare flag or constant feed the AND directly.
    const std::map<int, std::string> direct = {{0, "0"},     {10, "CC.Z"}, {15, "-1"}, {21, "CC.N"}, {22, "CC.C"},
                                               {23, "CC.V"}, {24, "-1"},   {27, "-1"}, {29, "-1"}};
    for (int ccc = 0; ccc < 32; ccc++) {
        std::vector<std::string> expected = expressions[static_cast<std::size_t>(ccc)];
        std::string value;
        if (auto it = direct.find(ccc); it != direct.end()) {
            value = it->second;
        } else if (!expected.empty()) {
            value = "%" + std::to_string(expected.size() - 1);
        } else {
            continue; // 25, 26, 28: same as 24
        }
        const std::string result = "%" + std::to_string(expected.size());
        expected.push_back(result + " = BitwiseAnd " + value + ", -1");
        expected.push_back("R1 = Copy " + result);
        Check({"ccc", Inst(P::Cset).Rd(1).Bits(8, 5, static_cast<uint64_t>(ccc)).Bits(39, 3, 7), expected});
    }
}

TEST(ConditionCodeEmit, SetAndSetPredicate) {
    const Case cases[] = {
        {"CSET.BF always AND PT gives 1.0",
         Inst(P::Cset).Rd(1).Bits(8, 5, 15).Bits(39, 3, 7).Bit(44),
         {"%0 = BitwiseAnd -1, -1", "%1 = ConditionalSelect %0, 1065353216, 0", "R1 = Copy %1"}},
        {"CSET never OR !P2",
         Inst(P::Cset).Rd(1).Bits(8, 5, 0).Bits(39, 3, 2).Bit(42).Bits(45, 2, 1),
         {"%0 = BitwiseNot P2", "%1 = BitwiseOr 0, %0", "R1 = Copy %1"}},
        {"CSETP Z: Pd = Z AND PT, Pdn = NOT Z AND PT",
         Inst(P::Csetp).Bits(3, 3, 1).Bits(0, 3, 2).Bits(8, 5, 10).Bits(39, 3, 7),
         {"%0 = BitwiseAnd CC.Z, -1", "%1 = BitwiseNot CC.Z", "%2 = BitwiseAnd %1, -1", "P1 = Copy %0",
          "P2 = Copy %2"}},
        // Both results read the source predicate before either is written.
        {"CSETP writing its own source predicate",
         Inst(P::Csetp).Bits(3, 3, 0).Bits(0, 3, 1).Bits(8, 5, 10).Bits(39, 3, 0),
         {"%0 = BitwiseAnd CC.Z, P0", "%1 = BitwiseNot CC.Z", "%2 = BitwiseAnd %1, P0", "P0 = Copy %0",
          "P1 = Copy %2"}},
    };
    for (const Case& c : cases)
        Check(c);
}
