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

    IR::Operation* GlobalLoad(IR::Operand* address, StorageKind kind = StorageKind::GlobalMemory) {
        return B.Op(Instruction::Load, kind, {address, B.Local()});
    }
    IR::Operation* GlobalStore(IR::Operand* address, IR::Operand* value, StorageKind kind = StorageKind::GlobalMemory) {
        return B.Void(Instruction::Store, kind, {address, B.Local(), value});
    }
    void Run(TargetLanguage language = TargetLanguage::Spirv) {
        GlobalToStorage::RunPass(Hfm, B.Blocks, Resources, Gpu, language);
        IR::IrVerifier::Verify(B.Blocks);
    }
    IR::Operation* Producer(const IR::Operand* value) { return value->Definition->AsOperation(); }
    const IR::Function* Callee(const IR::Operation* call) {
        return Functions.at(static_cast<size_t>(call->GetSource(0)->Value));
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

    Run();

    // The offset counts from the base rounded down to the host's alignment.
    ZV_EXPECT_IR(B.Text(), R"(
        B0:
          %0 = BitwiseAnd cb1[4], -64
          %1 = Subtract cb1[4], %0
          %2 = ShiftRightU32 %1, 2
          %3 = Load.StorageBuffer 1, 0, %2
    )");
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
}

TEST_F(GlobalToStorageTest, OddDescriptorGoesToEmptyMultiTargetFunction) {
    IR::Operation* load = GlobalLoad(B.Cbuf(1, 5));

    Run();

    ASSERT_EQ(load->Inst, Instruction::Copy);
    IR::Operation* call = Producer(load->GetSource(0));
    ASSERT_EQ(call->Inst, Instruction::Call);
    EXPECT_EQ(call->SourcesCount(), 3); // id, address low, address high
    EXPECT_EQ(Callee(call)->Name, "LoadMulti");
    EXPECT_EQ(Callee(call)->InArgumentCount, 2);
    EXPECT_TRUE(Callee(call)->ReturnsValue);
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
}

TEST_F(GlobalToStorageTest, SameBufferStoredWithTwoOffsetsLeavesOffsetUnknown) {
    B.Void(Instruction::Store, StorageKind::LocalMemory, {B.Const(0), B.Const(3), B.Cbuf(1, 4)});
    B.Void(Instruction::Store, StorageKind::LocalMemory, {B.Const(0), B.Const(3), B.Cbuf(1, 4)});
    IR::Operand* base = B.Op(Instruction::Load, StorageKind::LocalMemory, {B.Const(0), B.Const(3)})->Dest();
    IR::Operation* load = GlobalLoad(base);

    Run();

    ASSERT_EQ(load->Inst, Instruction::Copy);
    IR::Operation* call = Producer(load->GetSource(0));
    ASSERT_EQ(call->Inst, Instruction::Call);
    EXPECT_EQ(Callee(call)->Name, "LoadMulti_c1o4");
}

// A value the pass cannot trace, stored over a recorded base, must not leave
// the old buffer bound to later loads of that location.
TEST_F(GlobalToStorageTest, UntraceableStoreForgetsRecordedBase) {
    B.Void(Instruction::Store, StorageKind::LocalMemory, {B.Const(0), B.Const(3), B.Cbuf(1, 4)});
    B.Void(Instruction::Store, StorageKind::LocalMemory, {B.Const(0), B.Const(3), B.Local()});
    IR::Operand* base = B.Op(Instruction::Load, StorageKind::LocalMemory, {B.Const(0), B.Const(3)})->Dest();
    IR::Operation* load = GlobalLoad(base);

    Run();

    ASSERT_EQ(load->Inst, Instruction::Copy);
    IR::Operation* call = Producer(load->GetSource(0));
    ASSERT_EQ(call->Inst, Instruction::Call);
    EXPECT_EQ(Callee(call)->Name, "LoadMulti");
    EXPECT_TRUE(StorageBindings().empty());

    // A traceable store after that records again.
    Testing::IrTestBuilder& b = B;
    b.NewBlock();
    b.Void(Instruction::Store, StorageKind::LocalMemory, {b.Const(0), b.Const(3), b.Cbuf(1, 6)});
    IR::Operand* again = b.Op(Instruction::Load, StorageKind::LocalMemory, {b.Const(0), b.Const(3)})->Dest();
    IR::Operand* result = GlobalLoad(again)->Dest();
    Run();
    EXPECT_EQ(Producer(result)->StorageKind, StorageKind::StorageBuffer);
}

TEST_F(GlobalToStorageTest, SeventeenthBufferFailsButTheRestGoesOn) {
    std::vector<IR::Operation*> loads;
    for (int i = 0; i < 16; i++)
        loads.push_back(GlobalLoad(B.Cbuf(0, 2 * i)));
    IR::Operation* lostLoad = GlobalLoad(B.Cbuf(0, 32));
    IR::Operation* lostAtomic =
        B.Op(Instruction::AtomicAdd, StorageKind::GlobalMemory, {B.Cbuf(0, 34), B.Local(), B.Const(1)});
    IR::Operation* lostStore = GlobalStore(B.Cbuf(0, 36), B.Const(1));
    IR::Operand* later = GlobalLoad(B.Cbuf(0, 0))->Dest();

    Run();

    EXPECT_EQ(StorageBindings().size(), 16u);
    EXPECT_EQ(lostLoad->Inst, Instruction::Copy);
    EXPECT_EQ(lostLoad->GetSource(0)->Value, 0);
    EXPECT_EQ(lostAtomic->Inst, Instruction::Copy);
    EXPECT_EQ(lostStore->List(), nullptr);
    EXPECT_EQ(Producer(later)->StorageKind, StorageKind::StorageBuffer);
    std::vector<std::string> expected{"Failed to reserve storage buffer for global memory operation \"Load\".",
                                      "Failed to reserve storage buffer for global memory operation \"AtomicAdd\".",
                                      "Failed to reserve storage buffer for global memory operation \"Store\"."};
    EXPECT_EQ(Gpu.Messages, expected);
}

TEST_F(GlobalToStorageTest, SmallAndSignedAccessesUseFunctions) {
    IR::Operation* byteLoad = GlobalLoad(B.Cbuf(1, 4), StorageKind::GlobalMemoryU8);
    IR::Operation* byteStore1 = GlobalStore(B.Cbuf(1, 4), B.Const(1), StorageKind::GlobalMemoryU8);
    IR::Operation* byteStore2 = GlobalStore(B.Cbuf(1, 4), B.Const(2), StorageKind::GlobalMemoryU8);
    IR::Operand* minResult =
        B.Op(Instruction::AtomicMinS32, StorageKind::GlobalMemory, {B.Cbuf(1, 4), B.Local(), B.Const(1)})->Dest();
    (void)byteStore1;
    (void)byteStore2;

    Run(TargetLanguage::Spirv);

    ASSERT_EQ(byteLoad->Inst, Instruction::Copy);
    IR::Operation* loadCall = Producer(byteLoad->GetSource(0));
    ASSERT_EQ(loadCall->Inst, Instruction::Call);
    EXPECT_EQ(Callee(loadCall)->Name, "LoadU8_c1o4");
    EXPECT_EQ(Callee(loadCall)->InArgumentCount, 1);

    std::vector<int32_t> storeCallees;
    for (IR::INode* node : B.Current->Operations) {
        const IR::Operation* op = node->AsOperation();
        if (op->Inst == Instruction::Call && Callee(op)->Name == "StoreU8_c1o4") {
            storeCallees.push_back(op->GetSource(0)->Value);
            EXPECT_EQ(op->SourcesCount(), 3); // id, offset, value
        }
    }
    ASSERT_EQ(storeCallees.size(), 2u);
    EXPECT_EQ(storeCallees[0], storeCallees[1]);
    EXPECT_EQ(Producer(minResult)->Inst, Instruction::AtomicMinS32);
    EXPECT_EQ(Producer(minResult)->StorageKind, StorageKind::StorageBuffer);

    // A second function of the same shader gets its own copy.
    size_t before = Functions.size();
    Testing::IrTestBuilder second;
    second.Current->Operations.AddLast(second.Arena.NewOperation(Instruction::Store, StorageKind::GlobalMemoryU8,
                                                                 nullptr,
                                                                 {second.Cbuf(1, 4), second.Local(), second.Const(1)}));
    GlobalToStorage::RunPass(Hfm, second.Blocks, Resources, Gpu, TargetLanguage::Spirv);
    EXPECT_EQ(Functions.size(), before + 1);
    EXPECT_EQ(Functions.back()->Name, "StoreU8_c1o4");
}

TEST_F(GlobalToStorageTest, SignedMaximumOutsideSpirvIsACasLoop) {
    IR::Operation* atomic =
        B.Op(Instruction::AtomicMaxS32, StorageKind::GlobalMemory, {B.Cbuf(1, 4), B.Local(), B.Const(1)});

    Run(TargetLanguage::Glsl);

    ASSERT_EQ(atomic->Inst, Instruction::Copy);
    IR::Operation* call = Producer(atomic->GetSource(0));
    ASSERT_EQ(call->Inst, Instruction::Call);
    const IR::Function* function = Callee(call);
    EXPECT_EQ(function->Name, "AtomicMaxS32_c1o4");
    std::vector<Instruction> body;
    const IR::Operand* loaded = nullptr;
    const IR::Operand* returned = nullptr;
    for (const IR::BasicBlock* block : function->Blocks) {
        for (const IR::INode* node : block->Operations) {
            const IR::Operation* op = node->AsOperation();
            body.push_back(op->Inst);
            if (op->Inst == Instruction::Load)
                loaded = op->Dest();
            if (op->Inst == Instruction::Return)
                returned = op->GetSource(0);
        }
    }
    std::vector<Instruction> expected{Instruction::ShiftRightU32,   Instruction::Load,
                                      Instruction::Maximum,         Instruction::AtomicCompareAndSwap,
                                      Instruction::CompareNotEqual, Instruction::BranchIfTrue,
                                      Instruction::Return};
    EXPECT_EQ(body, expected);
    EXPECT_NE(loaded, nullptr);
    EXPECT_EQ(returned, loaded);
}

TEST_F(GlobalToStorageTest, SixteenBitSignedLoadExtractsItsHalf) {
    GlobalLoad(B.Cbuf(1, 4), StorageKind::GlobalMemoryS16);
    Run();
    const IR::Function* function = Functions.back();
    ASSERT_EQ(function->Name, "LoadS16_c1o4");

    std::vector<uint32_t> memory{0, 0x8001ABCDu, 0};
    EXPECT_EQ(Evaluate(*function, {6}, memory), 0xFFFF8001u);
    EXPECT_EQ(Evaluate(*function, {4}, memory), 0xFFFFABCDu);
}

TEST_F(GlobalToStorageTest, MultiTargetFunctionTestsKeysInOrder) {
    IR::BasicBlock* left = B.Current;
    IR::BasicBlock* right = B.NewBlock();
    IR::BasicBlock* merge = B.NewBlock();
    IR::Operand* address = B.Local();
    IR::PhiNode* phi = B.Arena.NewPhi(address);
    phi->AddSource(left, B.Cbuf(0, 16));
    phi->AddSource(right, B.Cbuf(2, 0));
    merge->Operations.AddLast(phi);
    IR::Operation* cas =
        B.Op(Instruction::AtomicCompareAndSwap, StorageKind::GlobalMemory, {address, B.Local(), B.Local(), B.Local()});

    Run();

    ASSERT_EQ(cas->Inst, Instruction::Copy);
    IR::Operation* call = Producer(cas->GetSource(0));
    ASSERT_EQ(call->Inst, Instruction::Call);
    EXPECT_EQ(call->SourcesCount(), 5);
    const IR::Function* function = Callee(call);
    EXPECT_EQ(function->Name, "AtomicCompareAndSwapMulti_c2o0_c0o16");
    EXPECT_EQ(function->InArgumentCount, 4);

    // The first range test reads the descriptor of slot 2.
    const IR::Operation* firstSub = function->Blocks.at(0)->Operations.First()->AsOperation();
    ASSERT_EQ(firstSub->Inst, Instruction::Subtract);
    EXPECT_EQ(firstSub->GetSource(1)->Value, 2 << 27);
}

// if (c) p = base; ...; if (c) use p: the use runs under the same condition as
// the assignment, so the phi's other road (any value) does not reach it.
TEST_F(GlobalToStorageTest, BaseThroughPhiUnderTheSameCondition) {
    for (bool sameCondition : {true, false}) {
        Testing::IrTestBuilder b;
        IR::Operand* cond = b.Local();
        IR::BasicBlock* head = b.Current;
        head->Operations.AddLast(b.Arena.NewOperation(Instruction::BranchIfFalse, b.Label(), {cond}));
        IR::BasicBlock* assign = b.NewBlock();
        b.Op(Instruction::Add, {b.Local(), b.Const(1)});
        IR::BasicBlock* merge = b.NewBlock();
        IR::Operand* p = b.Local();
        IR::PhiNode* phi = b.Arena.NewPhi(p);
        phi->AddSource(head, b.Local());
        phi->AddSource(assign, b.Cbuf(1, 4));
        merge->Operations.AddLast(phi);
        Instruction secondBranch = sameCondition ? Instruction::BranchIfFalse : Instruction::BranchIfTrue;
        merge->Operations.AddLast(b.Arena.NewOperation(secondBranch, b.Label(), {cond}));
        IR::BasicBlock* use = b.NewBlock();
        IR::Operation* load = b.Op(Instruction::Load, StorageKind::GlobalMemory, {p, b.Local()});
        IR::Operand* result = load->Dest();
        IR::BasicBlock* tail = b.NewBlock();
        head->set_Next(assign);
        head->set_Branch(merge);
        assign->set_Next(merge);
        merge->set_Next(use);
        merge->set_Branch(tail);
        use->set_Next(tail);

        GlobalToStorage::RunPass(Hfm, b.Blocks, Resources, Gpu, TargetLanguage::Spirv);

        if (sameCondition) {
            EXPECT_EQ(Producer(result)->StorageKind, StorageKind::StorageBuffer);
        } else {
            ASSERT_EQ(load->Inst, Instruction::Copy);
            EXPECT_EQ(Callee(Producer(load->GetSource(0)))->Name, "LoadMulti_c1o4");
        }
    }
}

TEST_F(GlobalToStorageTest, SmallAtomicIsNotImplemented) {
    B.Op(Instruction::AtomicAdd, StorageKind::GlobalMemoryU8, {B.Cbuf(1, 4), B.Local(), B.Const(1)});
    EXPECT_THROW(Run(), Common::NotImplementedException);
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
