#include <gtest/gtest.h>

#include "FakeGpuAccessor.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::IntermediateRepresentation::Instruction;
using Zerivox::Graphics::Shader::IntermediateRepresentation::IoVariable;
using Zerivox::Graphics::Shader::IntermediateRepresentation::StorageKind;
using Zerivox::Graphics::Shader::StructuredIr::IoDefinition;

TEST(ResourceReservationsTests, Bindings) {
    struct Case {
        bool tfe, vac;
        int32_t cbs, sbs, textures, vertexInfo, vertexOutput, geometryVb, geometryIb;
    };
    for (Case c : {Case{false, false, 1, 0, 0, 0, 0, 0, 0}, Case{false, true, 2, 3, 34, 1, 0, 1, 2},
                   Case{true, true, 2, 7, 34, 1, 4, 5, 6}, Case{true, false, 1, 4, 0, 0, 0, 0, 0}}) {
        ResourceReservations r(c.tfe, c.vac);
        EXPECT_EQ(r.ReservedConstantBuffers, c.cbs);
        EXPECT_EQ(r.ReservedStorageBuffers, c.sbs);
        EXPECT_EQ(r.ReservedTextures, c.textures);
        EXPECT_EQ(r.ReservedImages, 0);
        EXPECT_EQ(r.TfeBufferBaseBinding, 0);
        EXPECT_EQ(r.VertexInfoConstantBufferBinding, c.vertexInfo);
        EXPECT_EQ(r.VertexOutputStorageBufferBinding, c.vertexOutput);
        EXPECT_EQ(r.GeometryVertexOutputStorageBufferBinding, c.geometryVb);
        EXPECT_EQ(r.GeometryIndexOutputStorageBufferBinding, c.geometryIb);
        if (c.vac) {
            EXPECT_EQ(r.IndexBufferTextureBinding, 0);
            EXPECT_EQ(r.TopologyRemapBufferTextureBinding, 1);
            EXPECT_EQ(r.VertexBufferTextureBaseBinding, 2);
        }
    }
}

TEST(ResourceReservationsTests, IoOffsetMap) {
    Testing::FakeGpuAccessor accessor;
    ResourceReservations r(false, true);
    IoUsage usage(FeatureFlags::RtLayer | FeatureFlags::ViewportMask, 0x5, 0x9);
    EXPECT_EQ(r.FillIoOffsetMap(accessor, StorageKind::Output, usage), 16);

    auto at = [&](IoVariable variable, int32_t location, int32_t component) {
        return r.IoOffsetMap.At(IoDefinition(StorageKind::Output, variable, location, component));
    };
    EXPECT_EQ(at(IoVariable::Position, 0, 0), 0);
    EXPECT_EQ(at(IoVariable::Position, 0, 3), 3);
    EXPECT_EQ(at(IoVariable::PointSize, 0, 0), 4);
    EXPECT_EQ(at(IoVariable::ClipDistance, 0, 0), 5);
    EXPECT_EQ(at(IoVariable::ClipDistance, 0, 2), 6);
    EXPECT_EQ(at(IoVariable::Layer, 0, 0), 7);
    EXPECT_EQ(at(IoVariable::UserDefined, 0, 0), 8);
    EXPECT_EQ(at(IoVariable::UserDefined, 3, 3), 15);
    // The host has no viewport-mask output: no slot for it.
    EXPECT_FALSE(r.IoOffsetMap.Contains(IoDefinition(StorageKind::Output, IoVariable::ViewportMask, 0, 0)));

    EXPECT_EQ(r.FillIoOffsetMap(accessor, StorageKind::Input, IoUsage(FeatureFlags::ViewportIndex, 0, 0)), 6);
    EXPECT_THROW(r.FillIoOffsetMap(accessor, StorageKind::Input, IoUsage()), Zerivox::Common::ArgumentException);

    EXPECT_TRUE(ResourceReservations::IsVectorOrArrayVariable(IoVariable::Position));
    EXPECT_TRUE(ResourceReservations::IsVectorOrArrayVariable(IoVariable::ClipDistance));
    EXPECT_FALSE(ResourceReservations::IsVectorOrArrayVariable(IoVariable::UserDefined));
}

// Translations that run no stage as compute only take the sizes of the
// layouts; they must be the sizes the maps would have.
TEST(ResourceReservationsTests, CountedSizesMatchTheFilledMaps) {
    Testing::FakeGpuAccessor accessor;
    const IoUsage usages[] = {
        IoUsage(),
        IoUsage(FeatureFlags::RtLayer | FeatureFlags::ViewportIndex | FeatureFlags::ViewportMask, 0xFF, 0xFFFFFFFFu),
        IoUsage(FeatureFlags::None, 0x5, 0x80000001u, true),
    };
    for (const IoUsage& usage : usages) {
        ResourceReservations r(false, true);
        EXPECT_EQ(ResourceReservations::CountIoOffsets(accessor, usage),
                  r.FillIoOffsetMap(accessor, StorageKind::Output, usage));
        EXPECT_EQ(static_cast<int32_t>(r.IoOffsetMap.Count()), ResourceReservations::CountIoOffsets(accessor, usage));
    }
}

// The passes that run stages as compute find the word of an access through
// the map: user attributes by location and component, Position and
// ClipDistance by component, other variables as one word; an index held in
// a register has no fixed word.
TEST(ResourceReservationsTests, OffsetOfAnAccess) {
    namespace IR = Zerivox::Graphics::Shader::IntermediateRepresentation;
    Testing::FakeGpuAccessor accessor;
    ResourceReservations r(false, true);
    r.FillIoOffsetMap(accessor, StorageKind::Input, IoUsage(FeatureFlags::None, 0, 0x2));
    r.FillIoOffsetMap(accessor, StorageKind::Output, IoUsage(FeatureFlags::RtLayer, 0x1, 0x1, true));
    IR::IrArena arena;
    auto c = [&](int32_t value) { return IR::OperandHelper::MakeConstant(arena, value); };
    auto v = [](IoVariable variable) { return static_cast<int32_t>(variable); };
    IR::Operand* local = IR::OperandHelper::MakeLocal(arena);

    struct Row {
        const char* Name;
        IR::Operation* Access;
        StorageKind Kind;
        int32_t Offset; // -1: not found
    };
    const Row rows[] = {
        {"input user 1.2 of vertex 0",
         arena.NewOperation(Instruction::Load, StorageKind::Input, local,
                            {c(v(IoVariable::UserDefined)), c(1), c(0), c(2)}),
         StorageKind::Input, 7},
        {"input position.3 of vertex 2",
         arena.NewOperation(Instruction::Load, StorageKind::Input, local, {c(v(IoVariable::Position)), c(2), c(3)}),
         StorageKind::Input, 3},
        {"output store user 0.1",
         arena.NewOperation(Instruction::Store, StorageKind::Output, nullptr,
                            {c(v(IoVariable::UserDefined)), c(0), c(1), local}),
         StorageKind::Output, 9},
        {"output store clip 0",
         arena.NewOperation(Instruction::Store, StorageKind::Output, nullptr,
                            {c(v(IoVariable::ClipDistance)), c(0), local}),
         StorageKind::Output, 5},
        {"output layer",
         arena.NewOperation(Instruction::Store, StorageKind::Output, nullptr, {c(v(IoVariable::Layer)), local}),
         StorageKind::Output, 6},
        {"output primitive id",
         arena.NewOperation(Instruction::Store, StorageKind::Output, nullptr, {c(v(IoVariable::PrimitiveId)), local}),
         StorageKind::Output, 7},
        {"output user 1 not written",
         arena.NewOperation(Instruction::Store, StorageKind::Output, nullptr,
                            {c(v(IoVariable::UserDefined)), c(1), c(0), local}),
         StorageKind::Output, -1},
        {"user component in a register",
         arena.NewOperation(Instruction::Load, StorageKind::Output, local,
                            {c(v(IoVariable::UserDefined)), c(0), local}),
         StorageKind::Output, -1},
        {"input layer not written by the stage before",
         arena.NewOperation(Instruction::Load, StorageKind::Input, local, {c(v(IoVariable::Layer)), c(0)}),
         StorageKind::Input, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        int32_t offset = -1;
        const bool found = r.TryGetOffset(row.Kind, *row.Access, offset);
        EXPECT_EQ(found, row.Offset >= 0);
        if (found) {
            EXPECT_EQ(offset, row.Offset);
        }
    }
}
