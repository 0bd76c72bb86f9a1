#include <gtest/gtest.h>

#include "FakeGpuAccessor.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
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
