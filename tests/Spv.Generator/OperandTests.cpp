#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Spv.Generator/BinaryWriter.h"
#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/GeneratorPool.h"
#include "Spv.Generator/Instruction.h"
#include "Spv.Generator/LiteralInteger.h"
#include "Spv.Generator/LiteralString.h"
#include "SpirvTestSupport.h"
#include "Zerivox.Common/Exceptions.h"

using namespace Spv::Generator;
using Op = Spv::SpirvEnums::Op;

namespace {

// Literal factories draw from the thread's current pool; give them one.
class OperandTest : public ::testing::Test {
protected:
    void SetUp() override { LiteralInteger::SetCurrentPool(&_literals); }
    void TearDown() override { LiteralInteger::SetCurrentPool(nullptr); }

    static std::vector<uint8_t> Encode(const IOperand& operand) {
        BinaryWriter writer(0);
        operand.WriteOperand(writer);
        return writer.TakeBytes();
    }

    GeneratorPool<LiteralInteger> _literals{1, 200};
};

TEST(DeterministicHashCodeTest, HashesAreStableAcrossRuns) {
    EXPECT_EQ(DeterministicHashCode::GetHashCode(""), 0x0AB656ACu);
    EXPECT_EQ(DeterministicHashCode::GetHashCode("abc"), 0x7C9E7C38u);
    EXPECT_EQ(DeterministicHashCode::Combine(1u, 2u), 0xF9A454C8u);
    std::array<uint32_t, 2> values = {1u, 2u};
    EXPECT_EQ(DeterministicHashCode::Combine(values), 0xF9A454C8u);
}

TEST_F(OperandTest, LiteralHashIgnoresKindButEqualityDoesNot) {
    EXPECT_EQ(LiteralInteger::FromInt32(5)->GetHashCode(), 0x0A525B7Fu);

    LiteralInteger* minusOne = LiteralInteger::FromInt32(-1);
    LiteralInteger* allOnes = LiteralInteger::FromUInt32(0xFFFFFFFFu);
    EXPECT_EQ(minusOne->Data(), ~uint64_t{0});
    EXPECT_EQ(allOnes->Data(), 0xFFFFFFFFull);
    EXPECT_TRUE(minusOne->Equals(*LiteralInteger::FromInt32(-1)));
    EXPECT_FALSE(minusOne->Equals(*allOnes));
    EXPECT_EQ(Encode(*minusOne), Encode(*allOnes)); // same word, different literal

    // Same data, different kind: unequal (a signed and an unsigned 2).
    EXPECT_FALSE(LiteralInteger::FromInt32(2)->Equals(*LiteralInteger::FromUInt32(2u)));
    EXPECT_TRUE(LiteralInteger::FromBool(true)->Equals(*LiteralInteger::FromInt32(1)));
    EXPECT_TRUE(LiteralInteger::FromEnum(Spv::SpirvEnums::Decoration::Location)
                    ->Equals(*LiteralInteger::FromInt32(30)));
}

TEST_F(OperandTest, LiteralEncodings) {
    struct Case {
        const char* name;
        LiteralInteger* literal;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"int32 -2", LiteralInteger::FromInt32(-2), {0xFE, 0xFF, 0xFF, 0xFF}},
        {"uint32", LiteralInteger::FromUInt32(0x01020304u), {0x04, 0x03, 0x02, 0x01}},
        {"float32 1.0", LiteralInteger::FromFloat32(1.0f), {0x00, 0x00, 0x80, 0x3F}},
        // 64-bit float: two words, low word first.
        {"float64 -2.5", LiteralInteger::FromFloat64(-2.5), {0, 0, 0, 0, 0x00, 0x00, 0x04, 0xC0}},
        {"float64 tiny", LiteralInteger::FromFloat64(0x1.0000000000001p-1022),
         {0x01, 0, 0, 0, 0, 0, 0x10, 0x00}},
        {"bool", LiteralInteger::FromBool(true), {1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Encode(*c.literal), c.bytes) << c.name;
        EXPECT_EQ(c.literal->GetWordCount() * 4, c.bytes.size()) << c.name;
    }
}

TEST_F(OperandTest, StringEncodingAlwaysEndsInZeroByte) {
    struct Case {
        std::string text;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"", {0, 0, 0, 0}},
        {"abc", {'a', 'b', 'c', 0}},
        {"main", {'m', 'a', 'i', 'n', 0, 0, 0, 0}},
        {"GLSL.std.450", {'G', 'L', 'S', 'L', '.', 's', 't', 'd', '.', '4', '5', '0', 0, 0, 0, 0}},
        {"\xC3\xA9", {'?', '?', 0, 0}}, // non-ASCII never leaks into the binary
    };
    for (const Case& c : cases) {
        LiteralString text(c.text);
        EXPECT_EQ(Encode(text), c.bytes) << c.text;
        EXPECT_EQ(text.GetWordCount() * 4, c.bytes.size()) << c.text;
    }
    EXPECT_TRUE(LiteralString("x").Equals(LiteralString("x")));
    EXPECT_FALSE(LiteralString("x").Equals(LiteralString("X")));
    EXPECT_FALSE(LiteralString("x").Equals(*LiteralInteger::FromInt32(int32_t{'x'})));
}

TEST_F(OperandTest, OperandListSpillsIntoGrowingArrayInOrder) {
    Instruction instruction;
    instruction.Set(Op::OpTypeStruct);
    std::vector<LiteralInteger*> added;
    for (int32_t i = 0; i < 23; ++i) {
        added.push_back(LiteralInteger::FromInt32(i));
        instruction.AddOperand(added.back());
        auto span = instruction.Operands.AsSpan();
        ASSERT_EQ(span.size(), added.size());
        for (std::size_t k = 0; k < span.size(); ++k) ASSERT_EQ(span[k], added[k]) << "after " << i + 1;
    }
    // Reuse through Set starts from an empty list again.
    instruction.Set(Op::OpReturn);
    EXPECT_EQ(instruction.Operands.Count(), 0u);
    instruction.AddOperand(added[3]);
    EXPECT_EQ(instruction.Operands.AllOperands().size(), 1u);
    EXPECT_EQ(instruction.Operands.AllOperands()[0], added[3]);
}

TEST_F(OperandTest, InstructionEncodingAndWordCount) {
    Instruction ret;
    ret.Set(Op::OpReturn);
    BinaryWriter writer(0);
    ret.Write(writer);
    EXPECT_EQ(SpvTest::Words(writer.Bytes()), (std::vector<uint32_t>{0x00010000u | uint32_t(Op::OpReturn)}));

    Instruction type;
    type.Set(Op::OpTypeFloat, 3);
    type.AddOperand(LiteralInteger::FromInt32(64));
    Instruction constant;
    constant.Set(Op::OpConstant, 9, &type);
    constant.AddOperand(LiteralInteger::FromFloat64(1.0));
    BinaryWriter writer2(0);
    constant.Write(writer2);
    EXPECT_EQ(SpvTest::Words(writer2.Bytes()),
              (std::vector<uint32_t>{0x00050000u | uint32_t(Op::OpConstant), 3, 9, 0, 0x3FF00000u}));
}

// A buffer sized to the module is not doubled by its last instructions: an
// instruction that fits exactly is written without asking for the room of
// its longest encoding.
TEST_F(OperandTest, WriteIntoExactRoomDoesNotGrowTheBuffer) {
    Instruction type;
    type.Set(Op::OpTypeInt, 2);
    Instruction add;
    add.Set(Op::OpIAdd, 5, &type);
    add.AddOperand(&type);
    add.AddOperand(&type);
    ASSERT_EQ(add.GetTotalWordCount(), 5u);
    // 64 bytes is the writer's least buffer: fill it up to one instruction.
    BinaryWriter writer(64);
    for (int i = 0; i < 11; i++) writer.WriteUInt32(0);
    ASSERT_EQ(writer.Room(), 20u);
    add.Write(writer);
    EXPECT_EQ(writer.Room(), 0u);
    const std::vector<uint32_t> words = SpvTest::Words(writer.Bytes());
    const std::vector<uint32_t> tail(words.end() - 5, words.end());
    EXPECT_EQ(tail, (std::vector<uint32_t>{(5u << 16) | uint32_t(Op::OpIAdd), 2, 5, 2, 2}));
}

// Write takes room for the most words an instruction can need and gives
// back the rest: what follows must start right after the last word, the
// count must be the words written, and an instruction too long for the
// count must leave the writer as it found it.
TEST_F(OperandTest, WriteGivesBackUnusedRoom) {
    Instruction type;
    type.Set(Op::OpTypeInt, 2);
    BinaryWriter writer(0);
    writer.WriteUInt32(0xAAAAAAAAu);

    // Ids and one-word literals: the bound is nearly twice what is used.
    Instruction shuffle;
    shuffle.Set(Op::OpVectorShuffle, 7, &type);
    shuffle.AddOperand(&type);
    shuffle.AddOperand(&type);
    for (int32_t i = 0; i < 6; i++) shuffle.AddOperand(LiteralInteger::FromInt32(i));
    shuffle.Write(writer);
    // A string takes the counted road in the same writer.
    LiteralString text("main");
    Instruction name;
    name.Set(Op::OpName);
    name.AddOperand(&type);
    name.AddOperand(&text);
    name.Write(writer);
    writer.WriteUInt32(0xBBBBBBBBu);

    const std::vector<uint32_t> expected = {
        0xAAAAAAAAu,
        (11u << 16) | uint32_t(Op::OpVectorShuffle), 2, 7, 2, 2, 0, 1, 2, 3, 4, 5,
        (4u << 16) | uint32_t(Op::OpName), 2, 0x6E69616Du /* "main" */, 0,
        0xBBBBBBBBu,
    };
    EXPECT_EQ(SpvTest::Words(writer.Bytes()), expected);
    EXPECT_EQ(shuffle.GetTotalWordCount(), 11u);

    Instruction huge;
    huge.Set(Op::OpCompositeConstruct, 9, &type);
    for (int i = 0; i < 0xFFFF; i++) huge.AddOperand(&type);
    const std::size_t before = writer.Size();
    EXPECT_THROW(huge.Write(writer), Zerivox::Common::OverflowException);
    EXPECT_EQ(writer.Size(), before);
    writer.WriteUInt32(0xCCCCCCCCu);
    EXPECT_EQ(SpvTest::Words(writer.Bytes()).back(), 0xCCCCCCCCu);
    EXPECT_EQ(SpvTest::Words(writer.Bytes()).size(), expected.size() + 1);
}

// WriteAll claims the writer's free room once and leaves to the exact path
// what the fast one cannot take (strings, the end of the room, unbound ids,
// too many words): wherever the room ends, the bytes are those of Write
// called instruction by instruction, and so are the failures.
TEST_F(OperandTest, WriteAllMatchesWriteOneByOne) {
    Instruction type;
    type.Set(Op::OpTypeInt, 2);
    Instruction f64;
    f64.Set(Op::OpTypeFloat, 3);
    f64.AddOperand(LiteralInteger::FromInt32(64));
    Instruction add;
    add.Set(Op::OpIAdd, 5, &type);
    add.AddOperand(&type);
    add.AddOperand(&type);
    Instruction big;
    big.Set(Op::OpConstant, 6, &f64);
    big.AddOperand(LiteralInteger::FromFloat64(-2.5));
    LiteralString text("a longer name");
    Instruction name;
    name.Set(Op::OpName);
    name.AddOperand(&add);
    name.AddOperand(&text);
    Instruction ret;
    ret.Set(Op::OpReturn);
    Instruction shuffle;
    shuffle.Set(Op::OpVectorShuffle, 7, &type);
    shuffle.AddOperand(&add);
    shuffle.AddOperand(&add);
    for (int32_t i = 0; i < 12; i++) shuffle.AddOperand(LiteralInteger::FromInt32(i));
    const std::vector<Instruction*> list = {&type, &add, &name, &big, &ret, &shuffle, &add, &name, &ret};

    BinaryWriter oneByOne(0);
    for (const Instruction* instruction : list) instruction->Write(oneByOne);
    const std::vector<uint8_t> expected = oneByOne.Bytes();
    // The least buffer filled ahead by every amount of words: the list meets
    // the end of the room at each of its instructions and grows the buffer.
    for (std::size_t prefix = 0; prefix <= 64; prefix += 4) {
        BinaryWriter writer(64);
        for (std::size_t i = 0; i < prefix; i += 4) writer.WriteUInt32(0xAAAAAAAAu);
        Instruction::WriteAll(list, writer);
        const std::vector<uint8_t> bytes = writer.Bytes();
        ASSERT_EQ(bytes.size(), prefix + expected.size()) << prefix;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + static_cast<std::ptrdiff_t>(prefix)))
            << prefix;
        EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(prefix), uint8_t{0xAA}),
                  static_cast<std::ptrdiff_t>(prefix))
            << prefix;
    }

    Instruction label;
    label.Set(Op::OpLabel);
    Instruction branch;
    branch.Set(Op::OpBranch);
    branch.AddOperand(&label);
    Instruction unplacedType;
    unplacedType.Set(Op::OpTypeInt);
    Instruction typed;
    typed.Set(Op::OpIAdd, 8, &unplacedType);
    Instruction huge;
    huge.Set(Op::OpCompositeConstruct, 9, &type);
    for (int i = 0; i < 0xFFFF; i++) huge.AddOperand(&type);
    struct Failure {
        std::vector<Instruction*> List;
        std::size_t Room;
        bool Overflow;
    };
    const Failure failures[] = {
        {{&ret, &branch}, 0, false},
        {{&ret, &branch}, 1 << 10, false},
        {{&add, &typed}, 1 << 10, false},
        {{&ret, &huge}, 0, true},
        {{&ret, &huge}, 1 << 20, true}, // room enough for the fast path to meet the count's limit
    };
    for (const Failure& failure : failures) {
        BinaryWriter writer(failure.Room);
        if (failure.Overflow) {
            EXPECT_THROW(Instruction::WriteAll(failure.List, writer), Zerivox::Common::OverflowException);
        } else {
            EXPECT_THROW(Instruction::WriteAll(failure.List, writer), Zerivox::Common::InvalidOperationException);
        }
    }
}

TEST_F(OperandTest, UnboundIdsFailWithTheCallToMake) {
    struct Case {
        Op opcode;
        const char* suffix;
    };
    const Case cases[] = {
        {Op::OpLabel, "AddLabel"},
        {Op::OpVariable, "AddLocalVariable or AddGlobalVariable"},
        {Op::OpTypeInt, "Internal error"},
    };
    for (const Case& c : cases) {
        Instruction unbound;
        unbound.Set(c.opcode);
        Instruction branch;
        branch.Set(Op::OpBranch);
        branch.AddOperand(&unbound);
        BinaryWriter writer(0);
        try {
            branch.Write(writer);
            ADD_FAILURE() << "no error for " << c.suffix;
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("Id wasn't bound to the module, please make sure to call ") + c.suffix);
        }
        // An unbound result type fails the same way.
        Instruction value;
        value.Set(Op::OpUndef, 5, &unbound);
        EXPECT_THROW(value.Write(writer), Zerivox::Common::InvalidOperationException);
    }
}

TEST_F(OperandTest, OversizedInstructionIsRejectedNotTruncated) {
    LiteralString huge(std::string(4 * 0xFFFF, 'x'));
    Instruction name;
    name.Set(Op::OpName);
    name.AddOperand(&huge);
    EXPECT_THROW(name.GetTotalWordCount(), Zerivox::Common::OverflowException);
}

TEST_F(OperandTest, InstructionEqualityIsByValue) {
    Instruction a, b;
    a.Set(Op::OpTypeInt, 4);
    a.AddOperand(LiteralInteger::FromInt32(32));
    a.AddOperand(LiteralInteger::FromInt32(1));
    b.Set(Op::OpTypeInt, 4);
    b.AddOperand(LiteralInteger::FromInt32(32));
    b.AddOperand(LiteralInteger::FromInt32(1));
    EXPECT_TRUE(a.Equals(b));
    EXPECT_EQ(a.GetHashCode(), b.GetHashCode());
    b.Id = 5; // content equal, identity not
    EXPECT_FALSE(a.Equals(b));
    EXPECT_TRUE(a.EqualsContent(b));

    Instruction c1, c2;
    c1.Set(Op::OpConstant, 7, &a);
    c1.AddOperand(LiteralInteger::FromInt32(5));
    c2.Set(Op::OpConstant, 8, &b);
    c2.AddOperand(LiteralInteger::FromInt32(5));
    EXPECT_TRUE(c1.EqualsResultType(c2)); // result type ids are not compared
    EXPECT_EQ(c1.GetHashCodeResultType(), c2.GetHashCodeResultType());
    EXPECT_FALSE(c1.Equals(*LiteralInteger::FromInt32(7)));

    Instruction unsignedType;
    unsignedType.Set(Op::OpTypeInt, 4);
    unsignedType.AddOperand(LiteralInteger::FromInt32(32));
    unsignedType.AddOperand(LiteralInteger::FromInt32(0));
    Instruction c3;
    c3.Set(Op::OpConstant, 7, &unsignedType);
    c3.AddOperand(LiteralInteger::FromInt32(5));
    EXPECT_TRUE(c1.EqualsContent(c3));
    EXPECT_FALSE(c1.EqualsResultType(c3));
    EXPECT_FALSE(c1.Equals(c3)); // same id and operands, different result type
}

TEST_F(OperandTest, InstructionsPrintOperandKindsAndValues) {
    Instruction type;
    type.Set(Op::OpTypeInt, 1);
    type.AddOperand(LiteralInteger::FromInt32(32));
    type.AddOperand(LiteralInteger::FromInt32(1));
    EXPECT_EQ(type.ToString(), "OpTypeInt(Width: Int32 32, Signed: Int32 1)");

    Instruction constant;
    constant.Set(Op::OpConstant, 2, &type);
    constant.AddOperand(LiteralInteger::FromInt32(5));
    EXPECT_EQ(constant.ToString(), "OpTypeInt(Width: Int32 32, Signed: Int32 1) OpConstant(Value: Int32 5)");

    EXPECT_EQ(LiteralInteger::FromInt32(-1)->ToString(), "Int32 18446744073709551615");

    Instruction name;
    name.Set(Op::OpName);
    name.AddOperand(&type);
    LiteralString text("x");
    name.AddOperand(&text);
    EXPECT_EQ(name.ToString(), "OpName(OpTypeInt(Width: Int32 32, Signed: Int32 1), x)");
}

TEST(GeneratorPoolTest, ChunksAndResetReuseTheSameObjects) {
    GeneratorPool<Instruction> pool(1000, 200);
    std::vector<Instruction*> first;
    for (int i = 0; i < 201; ++i) first.push_back(pool.Allocate());
    EXPECT_EQ(pool.ChunkCount(), 2u);
    EXPECT_NE(first[200], first[199] + 1); // the 201st comes from the second chunk
    first[0]->Set(Op::OpReturn, 42);

    pool.Reset();
    Instruction* again = pool.Allocate();
    EXPECT_EQ(again, first[0]);
    EXPECT_EQ(again->Id, 42u); // old contents until Set overwrites them
    for (int i = 1; i < 201; ++i) EXPECT_EQ(pool.Allocate(), first[i]);
    EXPECT_EQ(pool.ChunkCount(), 2u);

    EXPECT_THROW(GeneratorPool<Instruction>(1, 0), Zerivox::Common::ArgumentOutOfRangeException);
}

TEST(LiteralIntegerTest, NoCurrentPoolIsAnErrorNotACrash) {
    LiteralInteger::SetCurrentPool(nullptr);
    EXPECT_THROW(LiteralInteger::FromInt32(1), Zerivox::Common::InvalidOperationException);
}

} // namespace
