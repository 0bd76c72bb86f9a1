#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/DecodedFunction.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/Translation/FunctionMatch.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"

using namespace Zerivox::Graphics::Shader;
using Decoders::FunctionType;
using Decoders::InstName;
using Testing::CodeBuilder;
using Testing::DecoderGpuAccessor;
using Testing::Inst;
using Translation::FunctionMatch;

namespace {

// Encoders of the instruction shapes the interlock helpers use.
Inst S2r(int rd, int sreg) { return Inst("1111000011001x").Rd(rd).Bits(20, 8, static_cast<uint64_t>(sreg)); }
Inst Lop32iAnd(int rd, int ra, uint32_t imm) { return Inst("000001xxxxxxxx").Rd(rd).Ra(ra).Bits(20, 32, imm); }
Inst IscaddR(int rd, int ra, int rb, int shift) {
    return Inst("0101110000011x").Rd(rd).Ra(ra).Rb(rb).Bits(39, 5, static_cast<uint64_t>(shift));
}
Inst IscaddCcC(int rd, int ra, int shift, int slot, int offset) {
    return Inst("0100110000011x")
        .Rd(rd)
        .Ra(ra)
        .Bits(39, 5, static_cast<uint64_t>(shift))
        .Bit(47)
        .Bits(34, 5, static_cast<uint64_t>(slot))
        .Bits(20, 14, static_cast<uint64_t>(offset));
}
Inst ShrWI(int rd, int ra, uint32_t imm) { return Inst("0011100x00101x").Rd(rd).Ra(ra).Imm20(imm).Bit(39); }
Inst Iadd32i(int rd, int ra, uint32_t imm) { return Inst("0001110xxxxxxx").Rd(rd).Ra(ra).Bits(20, 32, imm); }
Inst IaddXC(int rd, int ra, int slot, int offset) {
    return Inst("0100110000010x")
        .Rd(rd)
        .Ra(ra)
        .Bit(43)
        .Bits(34, 5, static_cast<uint64_t>(slot))
        .Bits(20, 14, static_cast<uint64_t>(offset));
}
Inst LopPassBInvR(int rd, int ra, int rb) {
    return Inst("0101110001000x").Rd(rd).Ra(ra).Rb(rb).Bit(40).Bits(41, 2, 3).Bits(48, 3, 7);
}
Inst IsetpU32R(int pd, int ra, int rb, int comp) {
    return Inst("010110110110xx")
        .Bits(3, 3, static_cast<uint64_t>(pd))
        .Bits(0, 3, 7)
        .Ra(ra)
        .Rb(rb)
        .Bits(39, 3, 7)
        .Bits(49, 3, static_cast<uint64_t>(comp));
}
Inst Vote(int rd, int srcPred, int mode) {
    return Inst("0101000011011x")
        .Rd(rd)
        .Bits(39, 3, static_cast<uint64_t>(srcPred))
        .Bits(45, 3, 7)
        .Bits(48, 2, static_cast<uint64_t>(mode));
}
Inst FloR(int rd, int rb) { return Inst("0101110000110x").Rd(rd).Rb(rb); }
Inst PopcR(int rd, int rb) { return Inst("0101110000001x").Rd(rd).Rb(rb); }
Inst LdgE(int rd, int ra) { return Inst("1110111011010x").Rd(rd).Ra(ra).Bit(45).Bits(46, 2, 1).Bits(48, 3, 4); }
Inst RedEAdd(int ra, int rb2) { return Inst("1110101111111x").Rd(rb2).Ra(ra).Bit(48); }
Inst Membar(int level) { return Inst("1110111110011x").Bits(8, 2, static_cast<uint64_t>(level)); }
Inst XmadR(int rd, int ra, int rb, int rc, int cop, bool psl, bool mrg, bool hiloA, bool hiloB) {
    return Inst("0101101100xxxx")
        .Rd(rd)
        .Ra(ra)
        .Rb(rb)
        .Bits(39, 8, static_cast<uint64_t>(rc))
        .Bits(50, 3, static_cast<uint64_t>(cop))
        .Bit(36, psl)
        .Bit(37, mrg)
        .Bit(53, hiloA)
        .Bit(35, hiloB);
}
// Real calls carry bit 6, which the helper patterns check.
Inst Cal() { return Inst(Testing::Prefix::Cal).Bits(16, 4, 0).Bit(6); }
Inst Ret() { return Testing::Ret(); }

// Variations of the guest code that must defeat a match.
struct Variant {
    Inst AddressIadd32i = Iadd32i(6, 8, 0x200);
    Inst AddressHigh = IaddXC(5, 255, 0, 405);
};

// Main calls the address, begin and end helpers; begin and end both call
// the last-warp-thread test.
struct Interlock {
    CodeBuilder Code;
    uint64_t Address = 0, LastWarp = 0, Begin = 0, End = 0;

    explicit Interlock(const Variant& v = {}) {
        const uint64_t callAddress = Code.AddRelative(Cal(), 0);
        const uint64_t callBegin = Code.AddRelative(Cal(), 0);
        const uint64_t callEnd = Code.AddRelative(Cal(), 0);
        Code.Add(Testing::Exit());

        Code.PadTo(0x48);
        Address = Code.Add(S2r(0, 28));
        Code.Add(S2r(1, 15));
        Code.Add(Lop32iAnd(2, 0, 0xFF));
        Code.Add(Lop32iAnd(3, 1, 0xFF));
        Code.Add(IscaddR(2, 2, 3, 8));
        Code.Add(IscaddCcC(4, 2, 2, 0, 404)); // low address word: R4
        Code.Add(ShrWI(7, 1, 16));            // slot 3: R7
        Code.Add(Lop32iAnd(8, 1, 0xFE00));
        Code.Add(v.AddressIadd32i); // slot 2: R6
        Code.Add(v.AddressHigh);    // high address word: R5
        Code.Add(Ret());

        Code.PadTo(0x108);
        LastWarp = Code.Add(S2r(0, 19));
        Code.Add(LopPassBInvR(1, 255, 0));
        Code.Add(IsetpU32R(0, 1, 255, 5));
        Code.Add(Vote(2, 0, 1));
        Code.Add(FloR(3, 2));
        Code.Add(S2r(4, 0));
        Code.Add(IsetpU32R(1, 3, 4, 2)); // the result: P1
        Code.Add(Ret());

        Code.PadTo(0x188);
        Begin = Code.AddRelative(Cal(), LastWarp);
        Code.Add(Ret().Pred(1, true));
        Code.Add(LdgE(2, 4));
        Code.Add(ShrWI(3, 2, 16));
        Code.Add(IsetpU32R(2, 3, 7, 2));
        Code.Add(Ret().Pred(2));
        const uint64_t loop = Code.Add(LdgE(2, 4));
        Code.Add(ShrWI(3, 2, 16));
        Code.Add(IsetpU32R(2, 3, 7, 2));
        Code.AddRelative(Inst(Testing::Prefix::Bra).Ccc(0xF).Pred(2, true), loop);
        Code.Add(Ret());

        Code.PadTo(0x248);
        End = Code.AddRelative(Cal(), LastWarp);
        Code.Add(Ret().Pred(1, true));
        Code.Add(Membar(3));
        Code.Add(S2r(0, 19));
        Code.Add(IsetpU32R(0, 0, 255, 5));
        Code.Add(Ret().Pred(0));
        Code.Add(Vote(1, 7, 0));
        Code.Add(PopcR(2, 1));
        Code.Add(XmadR(3, 6, 2, 255, 0, false, true, false, true));
        Code.Add(XmadR(8, 6, 2, 255, 0, false, false, false, false));
        Code.Add(XmadR(9, 6, 3, 8, 4, true, false, true, true));
        Code.Add(FloR(10, 1));
        Code.Add(S2r(11, 0));
        Code.Add(IsetpU32R(3, 10, 11, 2));
        Code.Add(RedEAdd(4, 9).Pred(3));
        Code.Add(Ret());

        Code.SetTarget(callAddress, Address);
        Code.SetTarget(callBegin, Begin);
        Code.SetTarget(callEnd, End);
    }
};

constexpr Translation::TranslationOptions Compute(Translation::TargetLanguage::Spirv,
                                                  Translation::TargetGraphicsApi::Vulkan,
                                                  Translation::TranslationFlags::Compute);

struct Matched {
    FunctionType Main, Address, LastWarp, Begin, End;
    std::size_t LastWarpCallers;
};

Matched MatchProgram(const Interlock& code) {
    DecoderGpuAccessor accessor(code.Code.Words);
    Translation::TranslatorContext context = Translation::Translator::DecodeShader(0, accessor, Compute);
    Decoders::DecodedProgram& program = context.Program();
    FunctionMatch::RunPass(program);
    auto type = [&](uint64_t address) {
        Decoders::DecodedFunction* f = program.GetFunctionByAddress(address);
        EXPECT_NE(f, nullptr) << std::hex << address;
        return f == nullptr ? FunctionType::User : f->Type;
    };
    return Matched{
        program.MainFunction->Type, type(code.Address), type(code.LastWarp),
        type(code.Begin),           type(code.End),     program.GetFunctionByAddress(code.LastWarp)->Callers.size()};
}

} // namespace

TEST(FunctionMatchTests, RecognisesTheInterlockHelpers) {
    const Matched m = MatchProgram(Interlock());
    EXPECT_EQ(m.Main, FunctionType::User);
    EXPECT_EQ(m.Address, FunctionType::FsiGetAddress);
    EXPECT_EQ(m.Begin, FunctionType::FsiBegin);
    EXPECT_EQ(m.End, FunctionType::FsiEnd);
    // Begin and end no longer call the test, so it is not emitted either.
    EXPECT_EQ(m.LastWarpCallers, 0u);
    EXPECT_EQ(m.LastWarp, FunctionType::FsiGetAddress);
}

TEST(FunctionMatchTests, NearMissesKeepEveryFunction) {
    struct Case {
        const char* What;
        Variant V;
    } cases[] = {
        // A never-executed instruction must not pass for an always-executed one.
        {"@!PT guard", {.AddressIadd32i = Iadd32i(6, 8, 0x200).Pred(7, true)}},
        {"high word not the register after the low word", {.AddressHigh = IaddXC(9, 255, 0, 405)}},
        {"different constant", {.AddressIadd32i = Iadd32i(6, 8, 0x204)}},
        {"guarded by a real predicate", {.AddressIadd32i = Iadd32i(6, 8, 0x200).Pred(3)}},
    };
    for (const Case& c : cases) {
        const Matched m = MatchProgram(Interlock(c.V));
        EXPECT_EQ(m.Address, FunctionType::User) << c.What;
        EXPECT_EQ(m.Begin, FunctionType::User) << c.What << ": no begin matching without an address function";
        EXPECT_EQ(m.End, FunctionType::User) << c.What;
        EXPECT_EQ(m.LastWarp, FunctionType::User) << c.What;
    }
}

TEST(FunctionMatchTests, MainIsNeverMatchedAndEmissionSkipsHelpers) {
    // The address helper's body as the main function itself.
    Interlock full;
    CodeBuilder main;
    for (std::size_t i = full.Address / 8; i < full.Address / 8 + 14; i++) {
        if (i % 4 != 0)
            main.Add(full.Code.Words[i]);
    }
    DecoderGpuAccessor accessor(main.Words);
    Translation::TranslatorContext context = Translation::Translator::DecodeShader(0, accessor, Compute);
    FunctionMatch::RunPass(context.Program());
    EXPECT_EQ(context.Program().MainFunction->Type, FunctionType::User);

    // Through function emission: only main is emitted; the calls to begin and
    // end become the interlock operations.
    DecoderGpuAccessor accessor2(full.Code.Words);
    Translation::TranslatorContext context2 = Translation::Translator::DecodeShader(0, accessor2, Compute);
    auto manager = context2.CreateResourceManager(false);
    int32_t init = 0;
    auto codes = Translation::Translator::EmitShader(context2, *manager, context2.Program(), false, true, init);
    ASSERT_EQ(codes.size(), 1u);
    const std::string text = IntermediateRepresentation::IrPrinter::PrintOperations(codes[0]);
    EXPECT_NE(text.find("FSIBegin\n"), std::string::npos) << text;
    EXPECT_NE(text.find("FSIEnd\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Call"), std::string::npos) << text;
}

TEST(FunctionMatchTests, TreeShapeAndOrderDependence) {
    // S2R R0; @!PT IADD32I R1 = R0 + 4; RET: the S2R feeds the add and leaves
    // the root list; the never-executed guard stays inverted.
    CodeBuilder code;
    code.Add(S2r(0, 15));
    code.Add(Iadd32i(1, 0, 4).Pred(7, true));
    code.Add(LdgE(2, 1));
    code.Add(Ret());
    DecoderGpuAccessor accessor(code.Words);
    Translation::TranslatorContext context = Translation::Translator::DecodeShader(0, accessor, Compute);
    const FunctionMatch::Tree tree = FunctionMatch::BuildTree(context.Program().MainFunction->Blocks());
    ASSERT_EQ(tree.Roots.size(), 2u);
    const FunctionMatch::TreeNode& ldg = *tree.Roots[0];
    EXPECT_EQ(ldg.Op.Name, InstName::Ldg);
    ASSERT_EQ(ldg.Uses.size(), 2u);
    const FunctionMatch::TreeNode& add = *ldg.Uses[1].Node;
    EXPECT_EQ(add.Op.Name, InstName::Iadd32i);
    ASSERT_EQ(add.Uses.size(), 2u);
    EXPECT_EQ(add.Uses[0].Node, nullptr);
    EXPECT_EQ(add.Uses[0].Index, -1);
    EXPECT_TRUE(add.Uses[0].Inverted);
    ASSERT_NE(add.Uses[1].Node, nullptr);
    EXPECT_EQ(add.Uses[1].Node->Op.Name, InstName::S2r);
    EXPECT_EQ(tree.Roots[1]->Op.Name, InstName::Ret);

    for (InstName name : {InstName::Ldg, InstName::Stg, InstName::Red, InstName::Atoms, InstName::Membar, InstName::Bar,
                          InstName::Tex, InstName::Tld4s, InstName::Suld, InstName::Sust}) {
        EXPECT_TRUE(FunctionMatch::IsOrderDependant(name)) << static_cast<int>(name);
    }
    for (InstName name : {InstName::Iadd, InstName::S2r, InstName::Vote, InstName::Bra, InstName::Mov}) {
        EXPECT_FALSE(FunctionMatch::IsOrderDependant(name)) << static_cast<int>(name);
    }
}
