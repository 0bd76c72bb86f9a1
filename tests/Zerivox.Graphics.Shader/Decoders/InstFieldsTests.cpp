#include <gtest/gtest.h>

#include <unordered_set>

#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsAttribute.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFlow.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerComparison.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsMemory.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsShift.h"
#include "Zerivox.Graphics.Shader/Decoders/Register.h"

namespace {

using namespace Zerivox::Graphics::Shader::Decoders;

constexpr uint64_t Bit(int n) { return uint64_t{1} << n; }

// Composite layouts of other forms, declared with the same helpers the
// accessor headers use.
struct TwoPieceFields {
    ZV_INST_ACCESSOR(TwoPieceFields)
    ZV_INST_FIELD2(RoundMode, int, 39, 2, 42, 1) // F2F: bits 39-40, then 42
    ZV_INST_FIELD2(VComp, IComp, 43, 2, 47, 1)   // VSETP: bits 43-44, then 47
    ZV_INST_FIELD2(BimmH1, int, 30, 9, 56, 1)    // half-float immediate: 30-38, then 56
};

TEST(InstFields, CompositeFieldsJoinTheirPiecesLowToHigh) {
    EXPECT_EQ(TwoPieceFields(Bit(39) | Bit(40) | Bit(42)).RoundMode(), 7);
    EXPECT_EQ(TwoPieceFields(Bit(41)).RoundMode(), 0); // bit 41 never contributes
    EXPECT_EQ(TwoPieceFields(Bit(42)).RoundMode(), 4);
    EXPECT_EQ(TwoPieceFields(Bit(47)).VComp(), IComp::Gt);
    EXPECT_EQ(TwoPieceFields(Bit(56)).BimmH1(), 0x200);
}

TEST(InstFields, Imm20IsNotSignExtendedByTheGetter) {
    EXPECT_EQ(InstShlI(Bit(56)).Imm20(), 0x80000);
    EXPECT_EQ(InstImnmxI(Bit(56) | (uint64_t{0x7FFFF} << 20)).Imm20(), 0xFFFFF);
    EXPECT_EQ(InstShlI(uint64_t{2} << 20).Imm20(), 2);
    // Bits 39-55 between the two pieces are not part of it.
    EXPECT_EQ(InstShlI(Bit(39) | Bit(55)).Imm20(), 0);
}

TEST(InstFields, SignedFieldsAndFlagsReadTheirOwnBits) {
    EXPECT_EQ(InstBra(uint64_t{0xFFFFF8} << 20).Imm24(), -8);
    EXPECT_EQ(InstBra((uint64_t{0x7FFFFF} << 20) | Bit(44) | Bit(63)).Imm24(), 0x7FFFFF);
    EXPECT_EQ(InstBra(uint64_t{0xF} << 16).Pred(), 7);
    EXPECT_TRUE(InstBra(uint64_t{0xF} << 16).PredInv());
    EXPECT_EQ(InstBra(0x1F).Ccc(), 0x1F);

    const InstLdc ldc((uint64_t{0x8000} << 20) | (uint64_t{1} << 36) | (uint64_t{2} << 44) | (uint64_t{5} << 48));
    EXPECT_EQ(ldc.Imm16(), -0x8000);
    EXPECT_EQ(ldc.Slot(), 1);
    EXPECT_EQ(ldc.AddressMode(), 2);
    EXPECT_EQ(ldc.LsSize(), LsSize2::B64);

    const InstImnmxI imnmx((uint64_t{7} << 39) | Bit(42) | Bit(48));
    EXPECT_EQ(imnmx.SrcPred(), 7);
    EXPECT_TRUE(imnmx.SrcPredInv());
    EXPECT_TRUE(imnmx.Signed());
    EXPECT_FALSE(imnmx.WriteCC());

    const InstAld ald((uint64_t{0x7FF} << 20) | Bit(31) | Bit(32) | (uint64_t{3} << 47));
    EXPECT_EQ(ald.Imm11(), 0x7FF);
    EXPECT_TRUE(ald.P());
    EXPECT_TRUE(ald.O());
    EXPECT_EQ(ald.Size(), 3);
    const InstIpa ipa((uint64_t{0x3FF} << 28) | Bit(38));
    EXPECT_EQ(ipa.Imm10(), 0x3FF);
    EXPECT_TRUE(ipa.Idx());
}

TEST(InstFields, SignExtendHandlesEveryWidth) {
    EXPECT_EQ(InstFields::SignExtend(0x1, 1), -1);
    EXPECT_EQ(InstFields::SignExtend(0x80000000u, 32), INT32_MIN);
    EXPECT_EQ(InstFields::SignExtend(0xFFFFF, 20), -1);
    EXPECT_EQ(InstFields::SignExtend(0x7FFFF, 20), 0x7FFFF);
    EXPECT_EQ(InstFields::SignExtend(0xFFF7FFFFu, 20), 0x7FFFF); // bits above the width are ignored
}

TEST(Register, EqualityAndHashFollowIndexAndType) {
    const Register gpr(5, RegisterType::Gpr);
    const Register pred(5, RegisterType::Predicate);
    EXPECT_EQ(gpr, Register(5, RegisterType::Gpr));
    EXPECT_FALSE(gpr == pred);
    EXPECT_EQ(gpr.GetHashCode(), (1 << 16) | 5);
    EXPECT_EQ(pred.GetHashCode(), (2 << 16) | 5);
    std::unordered_set<Register> set{gpr, pred, Register(5, RegisterType::Gpr)};
    EXPECT_EQ(set.size(), 2u);
}

TEST(DecoderEnums, FormatNamesForMessages) {
    EXPECT_EQ(ToString(IDstFmt::S64), "S64");
    EXPECT_EQ(ToString(static_cast<IDstFmt>(0)), "");
    EXPECT_EQ(ToString(ISrcDstFmt::S8), "S8");
    EXPECT_EQ(ToString(HalfSwizzle::H1H1), "H1H1");
    EXPECT_EQ(ToString(static_cast<OFmt>(4)), "");
}

} // namespace
