#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/GlobalToStorage.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::OperandType;
using IR::StorageKind;

class StorageGpuAccessor : public Testing::FakeGpuAccessor {
  public:
    bool Unaligned = false;
    int32_t Alignment = 16;
    bool QueryHasUnalignedStorageBuffer() override { return Unaligned; }
    int32_t QueryHostStorageBufferOffsetAlignment() override { return Alignment; }
};

// Runs a generated straight-line function on argument values and a memory of
// words, as the host would.
uint32_t Evaluate(const IR::Function& function, std::vector<uint32_t> arguments, const std::vector<uint32_t>& memory) {
    std::map<const IR::Operand*, uint32_t> values;
    auto get = [&](const IR::Operand* operand) -> uint32_t {
        switch (operand->Type) {
        case OperandType::Constant:
            return static_cast<uint32_t>(operand->Value);
        case OperandType::Argument:
            return arguments.at(static_cast<size_t>(operand->Value));
        default:
            return values.at(operand);
        }
    };
    for (const IR::INode* node : function.Blocks.at(0)->Operations) {
        const IR::Operation* op = node->AsOperation();
        auto src = [&](int i) { return get(op->GetSource(i)); };
        uint32_t result = 0;
        switch (op->Inst) {
        case Instruction::ShiftRightU32:
            result = src(0) >> (src(1) & 31);
            break;
        case Instruction::ShiftRightS32:
            result = static_cast<uint32_t>(static_cast<int32_t>(src(0)) >> (src(1) & 31));
            break;
        case Instruction::ShiftLeft:
            result = src(0) << (src(1) & 31);
            break;
        case Instruction::BitwiseAnd:
            result = src(0) & src(1);
            break;
        case Instruction::BitfieldExtractS32: {
            uint32_t shift = 32 - src(2);
            result = static_cast<uint32_t>(static_cast<int32_t>((src(0) >> src(1)) << shift) >> shift);
            break;
        }
        case Instruction::Load:
            result = memory.at(src(2));
            break;
        case Instruction::Return:
            return src(0);
        default:
            ADD_FAILURE() << "unexpected " << IR::InstructionName(op->Inst);
            return 0;
        }
        values[op->Dest()] = result;
    }
    ADD_FAILURE() << "no return";
    return 0;
}

class GlobalToStorageTest : public ::testing::Test {
  protected:
    StorageGpuAccessor Gpu;
    ResourceReservations Reservations{false, false};
    ResourceManager Resources{ShaderStage::Compute, Gpu, Reservations};
    Testing::IrTestBuilder B;
    std::vector<IR::Function*> Functions{nullptr};
    HelperFunctionManager Hfm{B.Arena, Functions, ShaderStage::Compute};

    // The pass must report exactly whether it changed the IR: the optimiser
    // skips its second clean-up on that report.
    void Run(TargetLanguage language = TargetLanguage::Spirv) {
        const uint64_t fingerprint = IR::IrVerifier::Fingerprint(B.Blocks);
        const bool reported = GlobalToStorage::RunPass(Hfm, B.Blocks, Resources, Gpu, language);
        EXPECT_EQ(reported, IR::IrVerifier::Fingerprint(B.Blocks) != fingerprint);
        IR::IrVerifier::Verify(B.Blocks);
    }
    IR::Operation* Producer(const IR::Operand* value) { return value->Definition->AsOperation(); }
    // The text of the helper function the pass made with the given name.
    std::string FunctionText(std::string_view name) {
        for (const IR::Function* function : Functions) {
            if (function != nullptr && function->Name == name) return IR::IrPrinter::PrintFunction(*function);
        }
        return "no function " + std::string(name);
    }
    // The operation at the given place in block 0.
    IR::Operation* At(int index) {
        IR::INode* node = B.Blocks.at(0)->Operations.First();
        for (int i = 0; i < index; i++) node = node->ListNext();
        return node->AsOperation();
    }
    std::vector<int32_t> StorageBindings() {
        std::vector<int32_t> bindings;
        for (const auto& [binding, definition] : Resources.Properties().StorageBuffers())
            bindings.push_back(binding);
        return bindings;
    }
};

TEST_F(GlobalToStorageTest, UniqueDescriptorBecomesInlineStorageAccess) {
    B.ParseBlocks(R"(
        B0:
          %0 = Load.GlobalMemory cb1[4], %1
    )");
    IR::Operand* result = B.Var(0);
    IR::Operation* load = Producer(result);

    Run();

    // Word offset 0 >> 2 from the base, in the buffer bound for cb1[4].
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = ShiftRightU32 0, 2
          %1 = Load.StorageBuffer 1, 0, %0
    )");
    EXPECT_EQ(StorageBindings(), (std::vector<int32_t>{1}));
    EXPECT_EQ(Producer(result)->StorageKind, StorageKind::StorageBuffer);
    EXPECT_EQ(load->List(), nullptr);
    EXPECT_TRUE(Gpu.Messages.empty());
}

// The storage-buffer swap keeps the compare value before the new value: the
// code generator reads them in that order.
TEST_F(GlobalToStorageTest, CompareAndSwapBecomesInlineStorageAtomic) {
    B.ParseBlocks(R"(
        B0:
          %0 = AtomicCompareAndSwap.GlobalMemory cb1[4], %1, 5, 7
    )");

    Run();

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = ShiftRightU32 0, 2
          %1 = AtomicCompareAndSwap.StorageBuffer 1, 0, %0, 5, 7
    )");
    EXPECT_EQ(StorageBindings(), (std::vector<int32_t>{1}));
    EXPECT_EQ(Producer(B.Var(0))->StorageKind, StorageKind::StorageBuffer);
    EXPECT_TRUE(Gpu.Messages.empty());
}

TEST_F(GlobalToStorageTest, UnalignedHostCountsFromRoundedBase) {
    Gpu.Unaligned = true;
    Gpu.Alignment = 64;
    B.ParseBlocks(R"(
        B0:
          %0 = Load.GlobalMemory cb1[4], %1
    )");

    IR::Operand* address = Producer(B.Var(0))->GetSource(0);

    Run();

    // The offset counts from the base rounded down to the host's alignment.
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = BitwiseAnd cb1[4], -64
          %1 = Subtract cb1[4], %0
          %2 = ShiftRightU32 %1, 2
          %3 = Load.StorageBuffer 1, 0, %2
    )");
    // The load's own address operand is the base, and its result stays the
    // result read by the rest of the shader.
    EXPECT_EQ(At(1)->GetSource(0), address);
    EXPECT_EQ(Producer(B.Var(0)), At(3));
}

TEST_F(GlobalToStorageTest, ConstantOffsetIsAddedToTheOffset) {
    B.ParseBlocks(R"(
        B0:
          %0 = Add cb1[4], %1
          %2 = Add %0, 16
          %3 = Load.GlobalMemory %2, %4
    )");

    Run();

    // Base cb1[4], offset %1 + 16 from it.
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Add cb1[4], %1
          %2 = Add %0, 16
          %3 = Add %1, 16
          %4 = ShiftRightU32 %3, 2
          %5 = Load.StorageBuffer 1, 0, %4
    )");
    EXPECT_EQ(Producer(B.Var(3)), At(4));
}

// A descriptor at an odd word is no 64-bit address: no buffer is bound, and
// the access goes to a multi-target function with no target, which reads 0.
// (The load left as a copy of the call's result keeps its storage kind.)
TEST_F(GlobalToStorageTest, OddDescriptorGoesToEmptyMultiTargetFunction) {
    B.ParseBlocks(R"(
        B0:
          %0 = Load.GlobalMemory cb1[5], %1
    )");

    Run();

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, cb1[5], %1
          %2 = Copy.GlobalMemory %0
    )");
    ZV_EXPECT_IR(FunctionText("LoadMulti"), R"(
        LoadMulti in=2 out=0 returns
        B0:
          Return 0
    )");
    ASSERT_EQ(Gpu.Messages.size(), 1u);
    EXPECT_EQ(Gpu.Messages[0], "Failed to find storage buffer for global memory operation \"Load\".");
    EXPECT_TRUE(StorageBindings().empty());
}

TEST_F(GlobalToStorageTest, BaseKeptInLocalMemoryIsFound) {
    B.ParseBlocks(R"(
        B0:
          Store.LocalMemory 0, 3, cb1[4]
          %0 = Load.LocalMemory 0, 3
          %1 = Add %0, 8
          %2 = Load.GlobalMemory %1, %3
    )");

    Run();

    // The base found through local memory is cb1[4]: the offset from it is 8.
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          Store.LocalMemory 0, 3, cb1[4]
          %0 = Load.LocalMemory 0, 3
          %1 = Add %0, 8
          %2 = Add 0, 8
          %3 = ShiftRightU32 %2, 2
          %4 = Load.StorageBuffer 1, 0, %3
    )");
    // The load's result stays the one the rest of the shader reads.
    EXPECT_EQ(Producer(B.Var(2)), At(5));
}

// Two stores of the same buffer's address to one local word: the buffer is
// known, its offset not, so the access goes to a function that tests it.
TEST_F(GlobalToStorageTest, SameBufferStoredWithTwoOffsetsLeavesOffsetUnknown) {
    B.ParseBlocks(R"(
        B0:
          Store.LocalMemory 0, 3, cb1[4]
          Store.LocalMemory 0, 3, cb1[4]
          %0 = Load.LocalMemory 0, 3
          %1 = Load.GlobalMemory %0, %2
    )");

    Run();

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          Store.LocalMemory 0, 3, cb1[4]
          Store.LocalMemory 0, 3, cb1[4]
          %0 = Load.LocalMemory 0, 3
          %1 = Call 1, %0, %2
          %3 = Copy.GlobalMemory %1
    )");
    ZV_EXPECT_IR_LINES(FunctionText("LoadMulti_c1o4"), "LoadMulti_c1o4 in=2 out=0 returns");
}

// A value the pass cannot trace, stored over a recorded base, must not leave
// the old buffer bound to later loads of that location; a traceable store
// after that records again.
TEST_F(GlobalToStorageTest, UntraceableStoreForgetsRecordedBase) {
    B.ParseBlocks(R"(
        B0:
          Store.LocalMemory 0, 3, cb1[4]
          Store.LocalMemory 0, 3, %0
          %1 = Load.LocalMemory 0, 3
          %2 = Load.GlobalMemory %1, %3
          Store.LocalMemory 0, 3, cb1[6]
          %4 = Load.LocalMemory 0, 3
          %5 = Load.GlobalMemory %4, %6
    )");

    Run();

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          Store.LocalMemory 0, 3, cb1[4]
          Store.LocalMemory 0, 3, %0
          %1 = Load.LocalMemory 0, 3
          %2 = Call 1, %1, %3
          %4 = Copy.GlobalMemory %2
          Store.LocalMemory 0, 3, cb1[6]
          %5 = Load.LocalMemory 0, 3
          %6 = ShiftRightU32 0, 2
          %7 = Load.StorageBuffer 1, 0, %6
    )");
    ZV_EXPECT_IR_LINES(FunctionText("LoadMulti"), "LoadMulti in=2 out=0 returns");
    EXPECT_EQ(StorageBindings(), (std::vector<int32_t>{1}));
}

// Sixteen buffers bind; the accesses through a seventeenth read 0 or are
// dropped, each with a message, and a later access of a bound buffer still
// becomes a storage access.
TEST_F(GlobalToStorageTest, SeventeenthBufferFailsButTheRestGoesOn) {
    std::string before = "B0:\n";
    for (int i = 0; i < 16; i++) {
        before += "  %" + std::to_string(i) + " = Load.GlobalMemory cb0[" + std::to_string(2 * i) + "], %100\n";
    }
    B.ParseBlocks(before + R"(
          %16 = Load.GlobalMemory cb0[32], %100
          %17 = AtomicAdd.GlobalMemory cb0[34], %100, 1
          Store.GlobalMemory cb0[36], %100, 1
          %18 = Load.GlobalMemory cb0[0], %100
    )");

    Run();

    EXPECT_EQ(StorageBindings().size(), 16u);
    std::string after = "B0:\n";
    for (int i = 0; i < 16; i++) {
        after += "  %" + std::to_string(2 * i) + " = ShiftRightU32 0, 2\n";
        after += "  %" + std::to_string(2 * i + 1) + " = Load.StorageBuffer " + std::to_string(i + 1) + ", 0, %" +
                 std::to_string(2 * i) + "\n";
    }
    after += "  %32 = Copy.GlobalMemory 0\n"
             "  %33 = Copy.GlobalMemory 0\n"
             "  %34 = ShiftRightU32 0, 2\n"
             "  %35 = Load.StorageBuffer 1, 0, %34\n";
    EXPECT_EQ(B.Text(), after);
    std::vector<std::string> expected{"Failed to reserve storage buffer for global memory operation \"Load\".",
                                      "Failed to reserve storage buffer for global memory operation \"AtomicAdd\".",
                                      "Failed to reserve storage buffer for global memory operation \"Store\"."};
    EXPECT_EQ(Gpu.Messages, expected);
}

// Byte accesses go to functions made once per name and shader function (both
// stores call the same one); a 32-bit signed atomic minimum is a storage
// atomic in SPIR-V.
TEST_F(GlobalToStorageTest, SmallAndSignedAccessesUseFunctions) {
    B.ParseBlocks(R"(
        B0:
          %0 = Load.GlobalMemoryU8 cb1[4], %1
          Store.GlobalMemoryU8 cb1[4], %2, 1
          Store.GlobalMemoryU8 cb1[4], %3, 2
          %4 = AtomicMinS32.GlobalMemory cb1[4], %5, 1
    )");

    Run(TargetLanguage::Spirv);

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, 0
          %1 = Copy.GlobalMemoryU8 %0
          Call 2, 0, 1
          Call 2, 0, 2
          %2 = ShiftRightU32 0, 2
          %3 = AtomicMinS32.StorageBuffer 1, 0, %2, 1
    )");
    ZV_EXPECT_IR_LINES(FunctionText("LoadU8_c1o4"), "LoadU8_c1o4 in=1 out=0 returns");
    ZV_EXPECT_IR_LINES(FunctionText("StoreU8_c1o4"), "StoreU8_c1o4 in=2 out=0");

    // A second function of the same shader gets its own copy.
    size_t before = Functions.size();
    Testing::IrTestBuilder second;
    second.ParseBlocks(R"(
        B0:
          Store.GlobalMemoryU8 cb1[4], %0, 1
    )");
    GlobalToStorage::RunPass(Hfm, second.Blocks, Resources, Gpu, TargetLanguage::Spirv);
    EXPECT_EQ(Functions.size(), before + 1);
    EXPECT_EQ(Functions.back()->Name, "StoreU8_c1o4");
}

// For GLSL a signed atomic maximum on a storage buffer is a function that
// loads the word, takes the maximum and retries a compare-and-swap until it
// holds, returning the value it loaded.
TEST_F(GlobalToStorageTest, SignedMaximumOutsideSpirvIsACasLoop) {
    B.ParseBlocks(R"(
        B0:
          %0 = AtomicMaxS32.GlobalMemory cb1[4], %1, 1
    )");

    Run(TargetLanguage::Glsl);

    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = Call 1, 0, 1
          %1 = Copy.GlobalMemory %0
    )");
    ZV_EXPECT_IR(FunctionText("AtomicMaxS32_c1o4"), R"(
        AtomicMaxS32_c1o4 in=2 out=0 returns
        B0: next B1
          %0 = ShiftRightU32 a0, 2
        B1: preds B0 B1 next B2 branch B1
          %1 = Load.StorageBuffer 1, 0, %0
          %2 = Maximum %1, a1
          %3 = AtomicCompareAndSwap.StorageBuffer 1, 0, %0, %1, %2
          %4 = CompareNotEqual %3, %1
          BranchIfTrue L0, %4
        B2: preds B1
          Return %1
    )");
}

TEST_F(GlobalToStorageTest, SixteenBitSignedLoadExtractsItsHalf) {
    B.ParseBlocks(R"(
        B0:
          %0 = Load.GlobalMemoryS16 cb1[4], %1
    )");
    Run();
    const IR::Function* function = Functions.back();
    ASSERT_EQ(function->Name, "LoadS16_c1o4");

    std::vector<uint32_t> memory{0, 0x8001ABCDu, 0};
    EXPECT_EQ(Evaluate(*function, {6}, memory), 0xFFFF8001u);
    EXPECT_EQ(Evaluate(*function, {4}, memory), 0xFFFFABCDu);
}

// An address that is one of two bases goes to a function testing each
// buffer's range in turn, slot 2 first.
TEST_F(GlobalToStorageTest, MultiTargetFunctionTestsKeysInOrder) {
    B.ParseBlocks(R"(
        B0: next B2
        B1: next B2
        B2: preds B0 B1
          %0 = Phi [B0: cb0[16]], [B1: cb2[0]]
          %1 = AtomicCompareAndSwap.GlobalMemory %0, %2, %3, %4
    )");

    Run();

    ZV_EXPECT_IR_LINES(B.Text(), "%1 = Call 1, %0, %2, %3, %4", "%5 = Copy.GlobalMemory %1");
    // Each test: is the address within the buffer whose descriptor (address
    // low, high, size) is at the key; if so, the access on that buffer.
    ZV_EXPECT_IR_LINES(FunctionText("AtomicCompareAndSwapMulti_c2o0_c0o16"),
                       "AtomicCompareAndSwapMulti_c2o0_c0o16 in=4 out=0 returns", "B0: next B1 branch B2",
                       "%0 = Subtract a0, cb2[0]", "%9 = AtomicCompareAndSwap.StorageBuffer 1, 0, %8, a2, a3",
                       "%10 = Subtract a0, cb0[16]", "%19 = AtomicCompareAndSwap.StorageBuffer 2, 0, %18, a2, a3",
                       "Return 0");
}

// if (c) p = base; ...; if (c) use p: the use runs under the same condition as
// the assignment, so the phi's other road (any value) does not reach it.
TEST_F(GlobalToStorageTest, BaseThroughPhiUnderTheSameCondition) {
    struct Case {
        const char* SecondBranch;
        const char* Load[2];  // what the load of B3 becomes
    };
    const Case cases[] = {
        {"BranchIfFalse", {"%5 = ShiftRightU32 0, 2", "%6 = Load.StorageBuffer 1, 0, %5"}},
        {"BranchIfTrue", {"%5 = Call 1, %3, %6", "%7 = Copy.GlobalMemory %5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.SecondBranch);
        Testing::IrTestBuilder b;
        b.ParseBlocks(std::string(R"(
            B0: next B1 branch B2
              BranchIfFalse L0, %0
            B1: next B2
              %1 = Add %2, 1
            B2: preds B0 B1 next B3 branch B4
              %3 = Phi [B0: %4], [B1: cb1[4]]
              )") + c.SecondBranch + R"( L1, %0
            B3: next B4
              %5 = Load.GlobalMemory %3, %6
            B4:
        )");

        GlobalToStorage::RunPass(Hfm, b.Blocks, Resources, Gpu, TargetLanguage::Spirv);

        ZV_EXPECT_IR_LINES(b.Text(), "B3: preds B2 next B4", c.Load[0], c.Load[1]);
    }
    ZV_EXPECT_IR_LINES(FunctionText("LoadMulti_c1o4"), "LoadMulti_c1o4 in=2 out=0 returns");
}

TEST_F(GlobalToStorageTest, SmallAtomicIsNotImplemented) {
    B.ParseBlocks(R"(
        B0:
          %0 = AtomicAdd.GlobalMemoryU8 cb1[4], %1, 1
    )");
    EXPECT_THROW(Run(), Common::NotImplementedException);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
