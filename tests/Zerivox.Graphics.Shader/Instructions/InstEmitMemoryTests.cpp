#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr std::string_view Ldc = "1110111110010x";
constexpr std::string_view Ldg = "1110111011010x";
constexpr std::string_view Stg = "1110111011011x";
constexpr std::string_view Ldl = "1110111101000x";
constexpr std::string_view Lds = "1110111101001x";
constexpr std::string_view Stl = "1110111101010x";
constexpr std::string_view Sts = "1110111101011x";
constexpr std::string_view Atom = "11101101xxxxxx";
constexpr std::string_view Atoms = "11101100xxxxxx";
constexpr std::string_view AtomCas = "111011101111xx";
constexpr std::string_view AtomsCas = "111011100xxxxx";
constexpr std::string_view Red = "1110101111111x";
} // namespace P

int Count(const std::string& text, std::string_view what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

Inst Mem(std::string_view prefix, int rd, int ra, int offset, int size) {
    return Inst(prefix).Rd(rd).Ra(ra).Offset24(offset).Bits(48, 3, static_cast<uint64_t>(size));
}

TEST(InstEmitMemory, GlobalAddressShape) {
    // Without E the high word is the constant 0; with E it takes the carry
    // of the low word into Ra + 1.
    EmitHarness plain;
    const std::string ldg = plain.Emit(Mem(P::Ldg, 1, 4, 0x10, 4));
    EXPECT_EQ(ldg, "%0 = Add R4, 16\n%1 = Copy R4\n%2 = Add %1, 16\n%3 = Load.GlobalMemory %2, 0\nR1 = Copy %3\n")
        << ldg;

    EmitHarness wide;
    const std::string ext = wide.Emit(Inst(Mem(P::Ldg, 1, 4, 0x10, 4)).Bit(45));
    EXPECT_NE(ext.find("CompareLessU32"), std::string::npos) << ext;
    EXPECT_NE(ext.find("Add R5, "), std::string::npos) << ext;

    // RZ as base addresses the offset itself, never an unwritten register.
    EmitHarness rz;
    const std::string abs = rz.Emit(Mem(P::Stg, 1, 255, 0x40, 4));
    EXPECT_EQ(abs.find("R255"), std::string::npos) << abs;
    EXPECT_NE(abs.find("Store.GlobalMemory"), std::string::npos) << abs;
}

TEST(InstEmitMemory, SizesAndRegisterLimits) {
    struct Case {
        std::string_view Prefix;
        int Rd;
        int Size;
        std::string_view Op;
        int Ops;
    };
    const Case cases[] = {
        {P::Ldg, 254, 5, "Load.GlobalMemory", 1},   // stops at RZ
        {P::Ldg, 2, 6, "Load.GlobalMemory", 4},     // B128
        {P::Ldg, 2, 7, "Load.GlobalMemory", 4},     // second 128-bit encoding
        {P::Ldg, 2, 1, "Load.GlobalMemoryS8", 1},
        {P::Stg, 2, 7, "Store", 0},                 // rejected
        {P::Ldl, 254, 5, "Load.LocalMemory", 1},
        {P::Stl, 253, 6, "Store.LocalMemory", 4},
        {P::Sts, 255, 5, "Store.SharedMemory", 2},
        {P::Sts, 2, 0, "Store.SharedMemory8", 1},
        {P::Sts, 2, 3, "Store.SharedMemory16", 1},
        {P::Lds, 2, 7, "Load", 0},                  // rejected
    };
    for (const Case& c : cases) {
        EmitHarness h;
        const std::string ir = h.Emit(Mem(c.Prefix, c.Rd, 1, 8, c.Size));
        EXPECT_EQ(Count(ir, std::string(c.Op) + " "), c.Ops) << c.Prefix << " size " << c.Size << "\n" << ir;
    }

    // STL B128 from R253 stores R253, R254, R253, R253.
    EmitHarness stl;
    const std::string ir = stl.Emit(Mem(P::Stl, 253, 1, 0, 6));
    EXPECT_EQ(Count(ir, ", R253\n"), 3) << ir;
    EXPECT_EQ(Count(ir, ", R254\n"), 1) << ir;
}

TEST(InstEmitMemory, SmallLocalAndSharedValues) {
    // LDS S16 at byte 6 reads word 1 and sign-extends its upper half.
    EmitHarness lds;
    const std::string ir = lds.Emit(Mem(P::Lds, 1, 255, 6, 3));
    EXPECT_NE(ir.find("BitfieldExtractS32"), std::string::npos) << ir;
    EXPECT_NE(ir.find("ShiftRightU32"), std::string::npos);

    // STL U8 is a read-modify-write of the containing word.
    EmitHarness stl;
    const std::string st = stl.Emit(Mem(P::Stl, 2, 1, 1, 0));
    const auto load = st.find("Load.LocalMemory");
    const auto insert = st.find("BitfieldInsert");
    const auto store = st.find("Store.LocalMemory");
    ASSERT_NE(load, std::string::npos) << st;
    EXPECT_LT(load, insert);
    EXPECT_LT(insert, store);
}

TEST(InstEmitMemory, SharedMemoryOnlyInCompute) {
    EmitHarness h(ShaderStage::Fragment);
    EXPECT_EQ(h.Emit(Mem(P::Lds, 1, 2, 0, 4)), "");
    EXPECT_EQ(h.Emit(Mem(P::Sts, 1, 2, 0, 4)), "");
    EXPECT_EQ(h.Emit(Inst(P::Atoms).Rd(1).Ra(2).Rb(3)), "");
    ASSERT_EQ(h.Log().size(), 3u);
    EXPECT_EQ(h.Log()[0], "Lds instruction is not valid on \"Fragment\" stage.");
    EXPECT_EQ(h.Log()[2], "Atoms instruction is not valid on \"Fragment\" stage.");
}

TEST(InstEmitMemory, Atomics) {
    struct Case {
        uint64_t Word;
        std::string_view Op;  // expected atomic, empty when rejected
        std::string_view Message;
    };
    auto atom = [](int op, int size) {
        return Inst(P::Atom).Rd(1).Ra(2).Rb(3).Bits(49, 3, static_cast<uint64_t>(size)).Bits(52, 4,
                                                                                           static_cast<uint64_t>(op));
    };
    const Case cases[] = {
        {atom(0, 0), "AtomicAdd.GlobalMemory", ""},
        {atom(1, 1), "AtomicMinS32.GlobalMemory", ""},
        {atom(2, 0), "AtomicMaxU32.GlobalMemory", ""},
        {atom(8, 1), "AtomicSwap.GlobalMemory", ""},
        {atom(0, 2), "", "Invalid reduction type: U64."},
        {atom(3, 0), "", "Invalid atomic operation: Inc."},
        {atom(9, 0), "", "Invalid atomic operation: 9."},
        {Inst(P::Atoms).Rd(1).Ra(2).Rb(3).Bits(28, 2, 3).Bits(52, 4, 0), "", "Invalid reduction type: S64."},
        {Inst(P::Atoms).Rd(1).Ra(2).Rb(3).Bits(52, 4, 7), "AtomicXor.SharedMemory", ""},
        {Inst(P::Red).Rd(1).Ra(2).Bits(20, 3, 0).Bits(23, 3, 6), "AtomicOr.GlobalMemory", ""},
    };
    for (const Case& c : cases) {
        EmitHarness h;
        const std::string ir = h.Emit(c.Word);
        if (c.Op.empty()) {
            EXPECT_EQ(ir.find("Atomic"), std::string::npos) << ir;
            ASSERT_EQ(h.Log().size(), 1u) << ir;
            EXPECT_EQ(h.Log()[0], c.Message);
        } else {
            EXPECT_NE(ir.find(c.Op), std::string::npos) << c.Op << "\n" << ir;
            EXPECT_TRUE(h.Log().empty());
        }
    }

    // RED's offset is zero-extended, ATOM's (same bits) sign-extended.
    EmitHarness red;
    EXPECT_NE(red.Emit(Inst(P::Red).Rd(1).Ra(2).Bits(28, 20, 0xFFFFF)).find("Add R2, 1048575\n"), std::string::npos);
    EmitHarness neg;
    EXPECT_NE(neg.Emit(Inst(P::Atom).Rd(1).Ra(2).Rb(3).Bits(28, 20, 0xFFFFF)).find("Add R2, -1\n"), std::string::npos);
}

TEST(InstEmitMemory, CompareAndSwapTakesComparePairAndReturnsOldWord) {
    struct Case {
        uint64_t Word;
        std::string_view Expected; // IR text ({id}: shared memory id), or the message of a rejected word
    };
    const Case cases[] = {
        // atoms cas b32 $r9 s[$r5+0x50] $r0 (compiled from atomicCompSwap)
        {0xee40000500070509, "%0 = ShiftRightU32 R5, 2\n%1 = Add %0, 20\n"
                             "%2 = AtomicCompareAndSwap.SharedMemory {id}, %1, R0, R1\nR9 = Copy %2\n"},
        // atom cas e b32 $r8 g[$r0] $r2
        {0xeef1000000270008, "AtomicCompareAndSwap.GlobalMemory %0, %3, R2, R3\nR8 = Copy %4\n"},
        // atom cas e b32 0x0 g[$r0+0x4c] $r2: the swap stays, only the copy vanishes
        {0xeef10004c02700ff, "AtomicCompareAndSwap.GlobalMemory %0, %3, R2, R3\n"},
        // An RZ compare value pairs with RZ, never with a register past it.
        {Inst(P::AtomCas).Rd(1).Ra(2).Rb(255), "AtomicCompareAndSwap.GlobalMemory %0, 0, 0, 0\nR1 = Copy %1\n"},
        {Inst(P::AtomsCas).Rd(1).Ra(2).Rb(254).Bits(53, 2, 2), "AtomicCompareAndSwap.SharedMemory {id}, %1, R254, 0\n"},
        // Negative word offset.
        {Inst(P::AtomsCas).Rd(1).Ra(2).Rb(4).Bits(30, 22, 0x3FFFFF).Bits(53, 2, 2), "%1 = Add %0, -1\n"},
        {Inst(P::AtomCas).Rd(1).Ra(2).Rb(4).Bit(49), "Invalid reduction type: B64."},
        {Inst(P::AtomsCas).Rd(1).Ra(2).Rb(4).Bit(52).Bits(53, 2, 2), "Invalid reduction type: B64."},
        {Inst(P::AtomsCas).Rd(1).Ra(2).Rb(4).Bits(53, 2, 0), "Invalid atomic operation: Cast."},
        {Inst(P::AtomsCas).Rd(1).Ra(2).Rb(4).Bits(53, 2, 1), "Invalid atomic operation: CastSpin."},
        {Inst(P::AtomsCas).Rd(1).Ra(2).Rb(4).Bits(53, 2, 3), "Invalid atomic operation: 3."},
    };
    for (const Case& c : cases) {
        EmitHarness h;
        const std::string ir = h.Emit(c.Word);
        if (c.Expected.starts_with("Invalid")) {
            EXPECT_EQ(ir.find("Atomic"), std::string::npos) << ir;
            EXPECT_NE(ir.find("R1 = Copy 0\n"), std::string::npos) << ir;
            ASSERT_EQ(h.Log().size(), 1u) << ir;
            EXPECT_EQ(h.Log()[0], c.Expected);
        } else {
            std::string expected(c.Expected);
            if (const auto at = expected.find("{id}"); at != std::string::npos)
                expected.replace(at, 4, std::to_string(h.Context->ResourceManager->SharedMemoryId));
            EXPECT_NE(ir.find(expected), std::string::npos) << std::hex << c.Word << "\n" << ir;
            EXPECT_TRUE(h.Log().empty()) << h.Log().front();
        }
    }

    // Shared memory exists only in compute shaders.
    EmitHarness fragment(ShaderStage::Fragment);
    EXPECT_EQ(fragment.Emit(0xee40000500070509), "");
    EXPECT_EQ(fragment.Log().at(0), "AtomsCas instruction is not valid on \"Fragment\" stage.");
}

TEST(InstEmitMemory, ConstantLoads) {
    // LDC U8 of slot 3 at R2 + 5: vector/component of the word, then the byte.
    EmitHarness h;
    const std::string ir = h.Emit(Inst(P::Ldc).Rd(1).Ra(2).Bits(20, 16, 5).Bits(36, 5, 3).Bits(48, 3, 0));
    EXPECT_NE(ir.find("Load.ConstantBuffer"), std::string::npos) << ir;
    EXPECT_NE(ir.find("BitwiseAnd"), std::string::npos) << ir;

    // Address mode 2 computes the slot: no buffer is named, Rd gets 0.
    EmitHarness computed;
    const std::string mode2 = computed.Emit(Inst(P::Ldc).Rd(1).Ra(2).Bits(44, 2, 2).Bits(48, 3, 4));
    EXPECT_EQ(mode2.find("Load"), std::string::npos) << mode2;
    EXPECT_NE(mode2.find("R1 = Copy 0\n"), std::string::npos) << mode2;

    EmitHarness bad;
    EXPECT_EQ(bad.Emit(Inst(P::Ldc).Rd(1).Ra(2).Bits(48, 3, 6)), "");
    EXPECT_EQ(bad.Log().at(0), "Invalid LDC size: B128.");
}

} // namespace
