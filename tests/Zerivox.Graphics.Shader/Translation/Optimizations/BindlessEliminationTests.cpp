// Bindless elimination: handles traced to constant-buffer words, the
// 32-entry array fallback and removal of untraceable accesses.
#include <gtest/gtest.h>

#include <algorithm>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
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

    IR::TextureOperation* Sample(IR::Operand* handle, IR::Operand* dest, SamplerType type = SamplerType::Texture2D,
                                 Instruction inst = Instruction::TextureSample) {
        IR::Operand* dests[1] = {dest};
        IR::Operand* sources[3] = {handle, B.FConst(0.5f), B.FConst(0.5f)};
        IR::TextureOperation* op = B.Arena.NewTextureOperation(
            inst, type, TextureFormat::Unknown, TextureFlags::Bindless, 0, 0, 1,
            dest != nullptr ? std::span<IR::Operand* const>(dests) : std::span<IR::Operand* const>(), sources);
        B.Current->Operations.AddLast(op);
        return op;
    }
    std::string Run() {
        BindlessElimination::RunPass(*B.Current, Manager, Accessor);
        return IR::IrPrinter::PrintBlocks(B.Blocks);
    }
};

TEST(BindlessElimination, OneConstantBufferWordBindsTextureAndSharedWordsShareBinding) {
    BindlessFixture f;
    IR::TextureOperation* a = f.Sample(f.B.Cbuf(3, 8), f.B.Local());
    IR::TextureOperation* b = f.Sample(f.B.Cbuf(3, 8), f.B.Local());
    f.Run();
    EXPECT_FALSE(HasFlag(a->Flags, TextureFlags::Bindless));
    EXPECT_EQ(a->SourcesCount(), 2); // handle removed
    EXPECT_EQ(a->Binding, b->Binding);
    ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
    EXPECT_EQ(f.Manager.UsedTextures().begin()->first.CbufSlot, 3);
    EXPECT_EQ(f.Manager.UsedTextures().begin()->first.Handle, 8);
}

TEST(BindlessElimination, CombinedWordsGivePackedHandleKinds) {
    // kind 1: (A & 0xFFFFF) | (B & 0xFFF00000), the AND operations in either order.
    {
        BindlessFixture f;
        IR::Operand* hi = f.B.Val(Instruction::BitwiseAnd, {f.B.Cbuf(2, 5), f.B.Const(static_cast<int32_t>(0xFFF00000u))});
        IR::Operand* lo = f.B.Val(Instruction::BitwiseAnd, {f.B.Cbuf(1, 4), f.B.Const(0xFFFFF)});
        IR::Operand* h = f.B.Val(Instruction::BitwiseOr, {hi, lo});
        f.Sample(h, f.B.Local());
        f.Run();
        ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.Handle, 4 | (5 << 14) | (1 << 28));
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.CbufSlot, 1 | (3 << 16));
    }
    // kind 2: A | (B << 20).
    {
        BindlessFixture f;
        IR::Operand* shifted = f.B.Val(Instruction::ShiftLeft, {f.B.Cbuf(0, 9), f.B.Const(20)});
        IR::Operand* h = f.B.Val(Instruction::BitwiseOr, {f.B.Cbuf(0, 7), shifted});
        f.Sample(h, f.B.Local());
        f.Run();
        ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.Handle, 7 | (9 << 14) | (2 << 28));
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.CbufSlot, 0 | (1 << 16));
    }
    // kind 3: A | constant with zero low 20 bits; the sampler value lands in bits 14-25.
    {
        BindlessFixture f;
        IR::Operand* h = f.B.Val(Instruction::BitwiseOr, {f.B.Cbuf(0, 7), f.B.Const(5 << 20)});
        f.Sample(h, f.B.Local());
        f.Run();
        ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.Handle, 7 | (5 << 14) | (3 << 28));
        EXPECT_EQ(f.Manager.UsedTextures().begin()->first.CbufSlot, 0x10000);
    }
}

TEST(BindlessElimination, InputHandleIndexesFallbackArraysWithSeparateSampler) {
    BindlessFixture f;
    IR::Operand* h = f.B.Op(Instruction::Load, IR::StorageKind::Input, {f.B.Const(0), f.B.Const(0)})->Dest();
    IR::TextureOperation* op = f.Sample(h, f.B.Local());
    const std::string text = f.Run();
    EXPECT_FALSE(HasFlag(op->Flags, TextureFlags::Bindless));
    EXPECT_EQ(op->SourcesCount(), 4); // texture index, sampler index, x, y
    EXPECT_GE(op->SamplerBinding, 0);
    EXPECT_NE(text.find("MinimumU32"), std::string::npos) << text;
}

TEST(BindlessElimination, UntraceableHandleIsRemovedAndResultsReadZero) {
    BindlessFixture f;
    IR::Operand* h = f.B.Val(Instruction::Add, {f.B.Local(), f.B.Const(1)});
    IR::Operand* dest = f.B.Local();
    f.Sample(h, dest);
    // A null destination slot gets no Copy: a Copy without destination would reach the back ends.
    IR::Operand* dests[2] = {nullptr, f.B.Local()};
    IR::Operand* sources[2] = {h, f.B.FConst(0.5f)};
    f.B.Current->Operations.AddLast(f.B.Arena.NewTextureOperation(Instruction::TextureSample, SamplerType::Texture1D,
                                                                  TextureFormat::Unknown, TextureFlags::Bindless, 0,
                                                                  0, 3, dests, sources));
    // Sampler type None has no GLSL name: the message must still be built.
    IR::Operand* noneSources[1] = {h};
    f.B.Current->Operations.AddLast(f.B.Arena.NewTextureOperation(Instruction::TextureSample, SamplerType::None,
                                                                  TextureFormat::Unknown, TextureFlags::Bindless, 0,
                                                                  0, 0, {}, noneSources));
    const std::string text = f.Run();
    EXPECT_EQ(text.find("TextureSample"), std::string::npos) << text;
    EXPECT_EQ(text.find("_ = Copy"), std::string::npos) << text;
    EXPECT_EQ(f.Accessor.Messages.size(), 3u);
    for (IR::INode* node : f.B.Current->Operations) {
        const IR::Operation* op = node->AsOperation();
        if (op->Inst == Instruction::Copy) {
            EXPECT_NE(op->Dest(), nullptr);
        }
    }
}

TEST(BindlessElimination, BufferSampleOfA1dTextureBecomes2dFetchOfRowZero) {
    BindlessFixture f;
    f.Accessor.SamplerTypeAnswer = SamplerType::Texture1D;
    IR::Operand* dests[1] = {f.B.Local()};
    IR::Operand* sources[2] = {f.B.Cbuf(0, 3), f.B.Const(7)};
    IR::TextureOperation* op = f.B.Arena.NewTextureOperation(Instruction::TextureSample, SamplerType::TextureBuffer,
                                                             TextureFormat::Unknown,
                                                             TextureFlags::Bindless | TextureFlags::IntCoords, 0, 0, 1,
                                                             dests, sources);
    f.B.Current->Operations.AddLast(op);
    f.Run();
    EXPECT_EQ(op->Type, SamplerType::Texture2D);
    EXPECT_TRUE(HasFlag(op->Flags, TextureFlags::LodLevel));
    ASSERT_EQ(op->SourcesCount(), 3); // x, y = 0, level 0
    EXPECT_TRUE(op->GetSource(1)->IsConstant());
    EXPECT_TRUE(op->GetSource(2)->IsConstant());
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing

namespace Zerivox::Graphics::Shader::Testing {
namespace {

TEST(BindlessToArray, DynamicConstantBufferIndexBecomesArrayIndexConstantIndexDoesNot) {
    for (bool dynamic : {true, false}) {
        BindlessFixture f;
        const int32_t binding = f.Manager.GetConstantBufferBinding(3);
        IR::Operand* vector = dynamic ? f.B.Local() : f.B.Const(1);
        IR::Operand* h = f.B.Op(Instruction::Load, IR::StorageKind::ConstantBuffer,
                                {f.B.Const(binding), f.B.Const(0), vector, f.B.Local()})
                             ->Dest();
        IR::TextureOperation* op = f.Sample(h, f.B.Local());
        Translation::Optimizations::BindlessToArray::RunPass(*f.B.Current, f.Manager, f.Accessor);
        EXPECT_EQ(HasFlag(op->Flags, TextureFlags::Bindless), !dynamic);
        if (dynamic) {
            ASSERT_EQ(f.Manager.UsedTextures().size(), 1u);
            EXPECT_EQ(f.Manager.UsedTextures().begin()->first.ArrayLength, 32);
            EXPECT_EQ(op->GetSource(0)->Definition->AsOperation()->Inst, Instruction::MinimumU32);
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
        const int32_t binding = f.Manager.GetConstantBufferBinding(3);
        IR::Operand* vector = f.B.Local();
        IR::Operand* component = f.B.Local();
        IR::Operand* h = f.B.Op(Instruction::Load, IR::StorageKind::ConstantBuffer,
                                {f.B.Const(binding), f.B.Const(0), vector, component})
                             ->Dest();
        if (samplerWord)
            h = f.B.Val(Instruction::BitwiseOr, {f.B.Cbuf(1, 9), h});
        IR::TextureOperation* op = f.Sample(h, f.B.Local());
        Translation::Optimizations::BindlessToArray::RunPass(*f.B.Current, f.Manager, f.Accessor);

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
