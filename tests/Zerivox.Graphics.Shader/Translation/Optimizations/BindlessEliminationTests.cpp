// Bindless elimination: handles traced to constant-buffer words, the
// 32-entry array fallback and removal of untraceable accesses.
#include <gtest/gtest.h>

#include <algorithm>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessElimination.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessToArray.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

using IR::Instruction;
using IR::TextureFlags;
using Translation::ResourceManager;
using Translation::ResourceReservations;
using Translation::Optimizations::BindlessElimination;

struct BindlessFixture {
    FakeGpuAccessor Accessor;
    ResourceManager Manager{ShaderStage::Fragment, Accessor, ResourceReservations(false, true)};
    IrTestBuilder B;

    // The text after eliminating the bindless handles of the text before.
    // Each pass must report exactly whether it changed the block: the
    // optimiser skips its second clean-up on that report.
    std::string Run(std::string_view before) {
        B.ParseBlocks(before);
        const uint64_t fingerprint = IR::IrVerifier::Fingerprint(*B.Current);
        const bool reported = BindlessElimination::RunPass(*B.Current, Manager, Accessor);
        EXPECT_EQ(reported, IR::IrVerifier::Fingerprint(*B.Current) != fingerprint);
        return B.Text();
    }
    std::string RunToArray(std::string_view before) {
        B.ParseBlocks(before);
        const uint64_t fingerprint = IR::IrVerifier::Fingerprint(*B.Current);
        const bool reported = Translation::Optimizations::BindlessToArray::RunPass(*B.Current, Manager, Accessor);
        EXPECT_EQ(reported, IR::IrVerifier::Fingerprint(*B.Current) != fingerprint);
        return B.Text();
    }
};

// A handle read from one constant-buffer word binds a texture: the handle
// source and the bindless flag go, and a second access of the same word
// gets the same binding.
TEST(BindlessElimination, OneConstantBufferWordBindsTextureAndSharedWordsShareBinding) {
    BindlessFixture f;
    ZV_EXPECT_IR(f.Run(R"(
        B0:
          %0 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 cb3[8], %1, %2
          %3 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 cb3[8], %1, %2
    )"), R"(
        B0:
          %0 = TextureSample{Texture2D set=0 binding=1}#1 %1, %2
          %3 = TextureSample{Texture2D set=0 binding=1}#1 %1, %2
    )");
    ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
    EXPECT_EQ(f.Manager.UsedTextures().begin()->first.CbufSlot, 3);
    EXPECT_EQ(f.Manager.UsedTextures().begin()->first.Handle, 8);
}

// Handles combined from two words, or a word and a constant, are keyed by
// both: the key packs the texture word's offset (bits 0-13), the sampler's
// (bits 14 and up) and the kind (bits 28 and up); the slot field the texture
// word's slot and, from bit 16, the sampler word's slot plus one.
TEST(BindlessElimination, CombinedWordsGivePackedHandleKinds) {
    struct Case {
        const char* Handle;  // the code computing %9
        const char* Sample;  // the sample after, as the printer numbers it
        int32_t Key;
        int32_t Slots;
    };
    const Case cases[] = {
        // kind 1: (A & 0xFFFFF) | (B & 0xFFF00000), the AND operations in either order.
        {R"(
            %0 = BitwiseAnd cb2[5], -1048576
            %1 = BitwiseAnd cb1[4], 1048575
            %9 = BitwiseOr %0, %1
         )", "%3 = TextureSample{Texture2D set=0 binding=1}#1 %4, %5", 4 | (5 << 14) | (1 << 28), 1 | (3 << 16)},
        // kind 2: A | (B << 20).
        {R"(
            %0 = ShiftLeft cb0[9], 20
            %9 = BitwiseOr cb0[7], %0
         )", "%2 = TextureSample{Texture2D set=0 binding=1}#1 %3, %4", 7 | (9 << 14) | (2 << 28), 0 | (1 << 16)},
        // kind 3: A | constant with zero low 20 bits; the sampler value lands in bits 14-25.
        {R"(
            %9 = BitwiseOr cb0[7], 5242880
         )", "%1 = TextureSample{Texture2D set=0 binding=1}#1 %2, %3", 7 | (5 << 14) | (3 << 28), 0x10000},
    };
    for (const Case& c : cases) {
        BindlessFixture f;
        const std::string after =
            f.Run(std::string("B0:\n") + IrText(c.Handle) +
                  "%10 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 %9, %11, %12\n");
        ZV_EXPECT_IR_LINES(after, c.Sample);
        ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.Handle, c.Key);
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.CbufSlot, c.Slots);
    }
}

// A handle from an input cannot be traced to a word: the access indexes the
// fallback texture and sampler arrays by the handle's fields (texture in
// bits 0-19, sampler above), each clamped to 31.
TEST(BindlessElimination, InputHandleIndexesFallbackArraysWithSeparateSampler) {
    BindlessFixture f;
    ZV_EXPECT_IR(f.Run(R"(
        B0:
          %0 = Load.Input 0, 0
          %1 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 %0, %2, %3
    )"), R"(
        B0:
          %0 = Load.Input 0, 0
          %1 = BitwiseAnd %0, 1048575
          %2 = ShiftRightU32 %0, 20
          %3 = MinimumU32 %1, 31
          %4 = MinimumU32 %2, 31
          %5 = TextureSample{Texture2D set=0 binding=1 sampler=0,33}#1 %3, %4, %6, %7
    )");
}

// A handle that is neither a word nor an input is dropped with the access:
// each destination reads 0 (a null destination slot gets no Copy, which
// would reach the back ends without a destination), with one message each,
// even for a sampler type (None) that has no name in the message's terms.
TEST(BindlessElimination, UntraceableHandleIsRemovedAndResultsReadZero) {
    BindlessFixture f;
    ZV_EXPECT_IR(f.Run(R"(
        B0:
          %0 = Add %1, 1
          %2 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 %0, %3, %4
          _, %5 = TextureSample{Texture1D set=0 binding=0 flags=0x1}#3 %0, %3
          TextureSample{None set=0 binding=0 flags=0x1} %0
    )"), R"(
        B0:
          %0 = Add %1, 1
          %2 = Copy 0
          %3 = Copy 0
    )");
    EXPECT_EQ(f.Accessor.Messages.size(), 3u);
}

// Sampling a buffer that the host bound as a 1D texture: a 2D fetch of row
// 0, level 0.
TEST(BindlessElimination, BufferSampleOfA1dTextureBecomes2dFetchOfRowZero) {
    BindlessFixture f;
    f.Accessor.SamplerTypeAnswer = SamplerType::Texture1D;
    ZV_EXPECT_IR(f.Run(R"(
        B0:
          %0 = TextureSample{TextureBuffer set=0 binding=0 flags=0x9}#1 cb0[3], 7
    )"), R"(
        B0:
          %0 = TextureSample{Texture2D set=0 binding=1 flags=0x28}#1 7, 0, 0
    )");
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing

namespace Zerivox::Graphics::Shader::Testing {
namespace {

// A handle loaded from a constant buffer at a vector index known only at
// run time indexes an array of 32 textures; at a constant index it is left
// for the word-tracing pass.
TEST(BindlessToArray, DynamicConstantBufferIndexBecomesArrayIndexConstantIndexDoesNot) {
    for (bool dynamic : {true, false}) {
        BindlessFixture f;
        const std::string binding = std::to_string(f.Manager.GetConstantBufferBinding(3));
        const std::string before = "B0:\n  %0 = Load.ConstantBuffer " + binding + ", 0, " + (dynamic ? "%1" : "1") +
                                   ", %2\n  %3 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 %0, %4, %5\n";
        IrTestBuilder unchanged;
        unchanged.ParseBlocks(before);
        const std::string printed = unchanged.Text();
        const std::string after = f.RunToArray(before);
        if (dynamic) {
            // Element (vector * 2 + component / 2), clamped to 31.
            ZV_EXPECT_IR_LINES(after, "%3 = ShiftLeft %1, 1", "%4 = ShiftRightU32 %2, 1", "%5 = Add %3, %4",
                               "%6 = MinimumU32 %5, 31", "%7 = TextureSample{Texture2D set=0 binding=2}#1 %6, %8, %9");
            ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
            EXPECT_EQ(f.Manager.UsedTextures().begin()->first.ArrayLength, 32);
        } else {
            EXPECT_EQ(after, printed);
        }
    }
}

// The value of an index the pass built, for given values of the load's
// vector and component indices.
uint32_t EvaluateIndex(const IR::Operand* value, const IR::Operand* vector, uint32_t vectorValue,
                       const IR::Operand* component, uint32_t componentValue) {
    if (value == vector)
        return vectorValue;
    if (value == component)
        return componentValue;
    if (value->IsConstant())
        return static_cast<uint32_t>(value->Value);
    const IR::Operation* op = value->Definition->AsOperation();
    const uint32_t a = EvaluateIndex(op->GetSource(0), vector, vectorValue, component, componentValue);
    const uint32_t b = EvaluateIndex(op->GetSource(1), vector, vectorValue, component, componentValue);
    switch (op->Inst) {
    case Instruction::ShiftLeft:
        return a << (b & 31);
    case Instruction::ShiftRightU32:
        return a >> (b & 31);
    case Instruction::Add:
        return a + b;
    case Instruction::MinimumU32:
        return std::min(a, b);
    default:
        ADD_FAILURE() << "unexpected index operation";
        return 0;
    }
}

// The host fills the array from 64-bit handles from word 0 of the constant
// buffer: the element of the word (vector, component) is the word index
// halved, clamped to 31; the array is keyed by the slot alone (handle 0), or
// with a separate sampler word by both words as a kind 1 handle.
TEST(BindlessToArray, ElementIsTheWordIndexHalvedClampedTo31) {
    for (bool samplerWord : {false, true}) {
        SCOPED_TRACE(samplerWord ? "with a sampler word" : "handle word alone");
        BindlessFixture f;
        const std::string binding = std::to_string(f.Manager.GetConstantBufferBinding(3));
        // %1 and %2 are the vector and component indices of the load.
        std::string before = "B0:\n  %0 = Load.ConstantBuffer " + binding + ", 0, %1, %2\n";
        if (samplerWord) {
            before += "  %3 = BitwiseOr cb1[9], %0\n";
            before += "  %4 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 %3, %5, %6\n";
        } else {
            before += "  %4 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#1 %0, %5, %6\n";
        }
        f.RunToArray(before);
        IR::Operand* vector = f.B.Var(1);
        IR::Operand* component = f.B.Var(2);
        IR::TextureOperation* op = f.B.Var(4)->Definition->AsOperation()->AsTextureOperation();

        EXPECT_FALSE(HasFlag(op->Flags, TextureFlags::Bindless));
        ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
        const ResourceManager::TextureInfo& key = f.Manager.UsedTextures().begin()->first;
        EXPECT_EQ(key.ArrayLength, 32);
        EXPECT_EQ(key.CbufSlot, samplerWord ? (3 | (2 << 16)) : 3);
        EXPECT_EQ(key.Handle, samplerWord ? ((9 << 14) | 0x10000000) : 0);

        struct Row {
            uint32_t Vector, Component, Element;
        };
        for (const Row& row : {Row{0, 0, 0}, Row{0, 1, 0}, Row{0, 2, 1}, Row{0, 3, 1}, Row{1, 0, 2}, Row{5, 3, 11},
                               Row{15, 3, 31}, Row{16, 0, 31}, Row{0x6a0 / 16, 0, 31}, Row{0x7FFFFFFF, 3, 31}}) {
            EXPECT_EQ(EvaluateIndex(op->GetSource(0), vector, row.Vector, component, row.Component), row.Element)
                << "vector " << row.Vector << ", component " << row.Component;
        }
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
