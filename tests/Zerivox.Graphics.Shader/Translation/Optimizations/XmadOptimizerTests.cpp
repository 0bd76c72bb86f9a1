#include <gtest/gtest.h>

#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/XmadOptimizer.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::OperandType;

// Builds what the XMAD emitter leaves after SSA: one guest XMAD per call,
// its result copied into the destination register's new local.
struct XmadEmitter {
    Testing::IrTestBuilder& B;

    IR::Operand* Half(IR::Operand* value, bool high, bool isSigned) {
        if (isSigned) {
            return high ? B.Val(Instruction::ShiftRightS32, {value, B.Const(16)})
                        : B.Val(Instruction::BitfieldExtractS32, {value, B.Const(0), B.Const(16)});
        }
        return high ? B.Val(Instruction::ShiftRightU32, {value, B.Const(16)})
                    : B.Val(Instruction::BitwiseAnd, {value, B.Const(0xFFFF)});
    }

    // c == nullptr: the zero register. cbcc adds B << 16 to C.
    IR::Operand* Xmad(IR::Operand* a, bool highA, IR::Operand* b, bool highB, IR::Operand* c, bool psl, bool mrg,
                      bool cbcc, bool isSigned = false) {
        IR::Operand* ha = Half(a, highA, isSigned);
        IR::Operand* hb = Half(b, highB, isSigned);
        IR::Operand* product = B.Val(Instruction::Multiply, {ha, hb});
        if (psl)
            product = B.Val(Instruction::ShiftLeft, {product, B.Const(16)});
        IR::Operand* addend = c != nullptr ? c : B.Const(0);
        if (cbcc) {
            IR::Operand* bShifted = B.Val(Instruction::ShiftLeft, {b, B.Const(16)});
            addend = B.Val(Instruction::Add, {addend, bShifted});
        }
        IR::Operand* sum = B.Val(Instruction::Add, {product, addend});
        if (mrg) {
            IR::Operand* low = B.Val(Instruction::BitwiseAnd, {sum, B.Const(0xFFFF)});
            IR::Operand* bShifted = B.Val(Instruction::ShiftLeft, {b, B.Const(16)});
            sum = B.Val(Instruction::BitwiseOr, {low, bShifted});
        }
        return B.Val(Instruction::Copy, {sum});
    }

    // XMAD t0 = a.lo*b.lo + c; XMAD.MRG t1 = a.lo*b.hi; XMAD.PSL.CBCC r = a.hi*t1.hi + t0.
    IR::Operation* Mul32x32(IR::Operand* a, IR::Operand* b, IR::Operand* c, bool isSigned = false) {
        IR::Operand* t0 = Xmad(a, false, b, false, c, false, false, false, isSigned);
        IR::Operand* t1 = Xmad(a, false, b, true, nullptr, false, true, false, isSigned);
        IR::Operand* r = Xmad(a, true, t1, true, t0, true, false, true, isSigned);
        // The matched operation is the last Add, the one the final copy reads.
        return r->Definition->AsOperation()->GetSource(0)->Definition->AsOperation();
    }

    // XMAD t0 = a.lo*k + c; XMAD.PSL r = a.hi*k + t0.
    IR::Operation* Mul32x16(IR::Operand* a, int32_t k, IR::Operand* c) {
        IR::Operand* t0 = Xmad(a, false, B.Const(k), false, c, false, false, false);
        IR::Operand* r = Xmad(a, true, B.Const(k), false, t0, true, false, false);
        return r->Definition->AsOperation()->GetSource(0)->Definition->AsOperation();
    }
};

IR::Operation* Producer(const IR::Operand* value) { return value->Definition->AsOperation(); }

// What the emitter leaves for a 32x32 product of %1 and %3 plus %23 (locals
// numbered as the printer numbers them):
// XMAD t0 = a.lo*b.lo + c; XMAD.MRG t1 = a.lo*b.hi; XMAD.PSL.CBCC
// r = a.hi*t1.hi + t0, each result copied into its register's local.
constexpr const char* Mul32x32PlusC = R"(
    B0:
      %0 = BitwiseAnd %1, 65535
      %2 = BitwiseAnd %3, 65535
      %4 = Multiply %0, %2
      %5 = Add %4, %23
      %6 = Copy %5
      %7 = BitwiseAnd %1, 65535
      %8 = ShiftRightU32 %3, 16
      %9 = Multiply %7, %8
      %10 = Add %9, 0
      %11 = BitwiseAnd %10, 65535
      %12 = ShiftLeft %3, 16
      %13 = BitwiseOr %11, %12
      %14 = Copy %13
      %15 = ShiftRightU32 %1, 16
      %16 = ShiftRightU32 %14, 16
      %17 = Multiply %15, %16
      %18 = ShiftLeft %17, 16
      %19 = ShiftLeft %14, 16
      %20 = Add %6, %19
      %21 = Add %18, %20
      %22 = Copy %21
)";

TEST(XmadOptimizerTest, ThreeXmadProductBecomesOneMultiply) {
    Testing::IrTestBuilder b;
    std::string code = Mul32x32PlusC;
    code.replace(code.find("%23"), 3, "0");
    b.ParseBlocks(code);
    IR::Operation* last = Producer(b.Var(21));

    XmadOptimizer::RunPass(b.Current);

    IR::Operation* mul = Producer(b.Var(21));
    EXPECT_EQ(mul->Inst, Instruction::Multiply);
    EXPECT_EQ(mul->GetSource(0), b.Var(1));
    EXPECT_EQ(mul->GetSource(1), b.Var(3));
    EXPECT_EQ(last->List(), nullptr);
    // The last Add becomes the product; the rest is left for the dead-code pass.
    ZV_EXPECT_IR_LINES(b.Text(), "%20 = Add %6, %19", "%21 = Multiply %1, %3", "%22 = Copy %21");
}

TEST(XmadOptimizerTest, AddendBecomesAddAfterMultiply) {
    Testing::IrTestBuilder b;
    b.ParseBlocks(Mul32x32PlusC);

    XmadOptimizer::RunPass(b.Current);

    IR::Operation* add = Producer(b.Var(21));
    ASSERT_EQ(add->Inst, Instruction::Add);
    EXPECT_EQ(add->GetSource(1), b.Var(23));
    IR::Operation* mul = Producer(add->GetSource(0));
    EXPECT_EQ(mul->Inst, Instruction::Multiply);
    EXPECT_EQ(mul->GetSource(0), b.Var(1));
    EXPECT_EQ(mul->GetSource(1), b.Var(3));
    EXPECT_EQ(mul->ListNext(), add);
}

TEST(XmadOptimizerTest, ConstantFactorProduct) {
    struct Case {
        int32_t K;
        bool Matches;
    };
    for (const Case& c : {Case{1000, true}, Case{0xFFFF, true}, Case{0x10000, false}, Case{-1, false}}) {
        Testing::IrTestBuilder b;
        XmadEmitter e{b};
        IR::Operand* x = b.Local();
        IR::Operation* last = e.Mul32x16(x, c.K, nullptr);
        IR::Operand* result = last->Dest();

        XmadOptimizer::RunPass(b.Current);

        IR::Operation* producer = Producer(result);
        if (c.Matches) {
            ASSERT_EQ(producer->Inst, Instruction::Multiply) << c.K;
            EXPECT_EQ(producer->GetSource(0), x);
            EXPECT_EQ(producer->GetSource(1)->Value, c.K);
        } else {
            EXPECT_EQ(producer, last) << c.K;
            EXPECT_EQ(last->Inst, Instruction::Add);
        }
    }
}

TEST(XmadOptimizerTest, OtherShapesAreLeftAlone) {
    // Signed halves.
    {
        Testing::IrTestBuilder b;
        XmadEmitter e{b};
        IR::Operation* last = e.Mul32x32(b.Local(), b.Local(), nullptr, true);
        XmadOptimizer::RunPass(b.Current);
        EXPECT_EQ(last->Inst, Instruction::Add);
        EXPECT_NE(last->List(), nullptr);
    }
    // A register factor in the 32x16 form.
    {
        Testing::IrTestBuilder b;
        XmadEmitter e{b};
        IR::Operand* x = b.Local();
        IR::Operand* y = b.Local();
        IR::Operand* t0 = e.Xmad(x, false, y, false, nullptr, false, false, false);
        IR::Operand* r = e.Xmad(x, true, y, false, t0, true, false, false);
        IR::Operation* last = Producer(Producer(r)->GetSource(0));
        XmadOptimizer::RunPass(b.Current);
        EXPECT_EQ(last->Inst, Instruction::Add);
        EXPECT_NE(last->List(), nullptr);
    }
    // Add(v, low*low + something not shifted by 16).
    {
        Testing::IrTestBuilder b;
        XmadEmitter e{b};
        IR::Operand* t0 = e.Xmad(b.Local(), false, b.Local(), false, nullptr, false, false, false);
        IR::Operand* mid = b.Val(Instruction::Add, {t0, b.Local()});
        IR::Operation* last = b.Op(Instruction::Add, {b.Local(), mid});
        XmadOptimizer::RunPass(b.Current);
        EXPECT_EQ(last->Inst, Instruction::Add);
        EXPECT_NE(last->List(), nullptr);
    }
}

TEST(XmadOptimizerTest, IntermediatesReadElsewhereKeepTheirReaders) {
    Testing::IrTestBuilder b;
    XmadEmitter e{b};
    IR::Operand* x = b.Local();
    IR::Operand* y = b.Local();
    IR::Operand* t0 = e.Xmad(x, false, y, false, nullptr, false, false, false);
    IR::Operand* t1 = e.Xmad(x, false, y, true, nullptr, false, true, false);
    IR::Operand* r = e.Xmad(x, true, t1, true, t0, true, false, true);
    IR::Operation* t1Reader = b.Op(Instruction::Add, {t1, b.Const(5)});
    IR::Operand* result = Producer(r)->GetSource(0);

    XmadOptimizer::RunPass(b.Current);

    EXPECT_EQ(Producer(result)->Inst, Instruction::Multiply);
    EXPECT_EQ(t1Reader->GetSource(0), t1);
    EXPECT_TRUE(t1->Uses.Contains(t1Reader));
    EXPECT_NE(Producer(t1)->List(), nullptr);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
