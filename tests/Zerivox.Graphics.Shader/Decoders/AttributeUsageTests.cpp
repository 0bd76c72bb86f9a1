#include <gtest/gtest.h>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/Decoders/IoUsage.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;

TEST(AttributeUsageTests, FreeUserAttributeSearch) {
    Testing::FakeGpuAccessor accessor;
    AttributeUsage usage(accessor);
    struct Case {
        uint32_t mask;
        int n, expected;
    };
    for (Case c : {Case{0xB, 0, 2}, Case{0xB, 1, 4}, Case{0, 3, 3}, Case{0xFFFFFFFFu, 0, -1},
                   // Fewer free bits than asked for: the last free one found.
                   Case{0xFFFFFFFAu, 5, 2}, Case{0x7FFFFFFFu, 0, 31}}) {
        usage.OwnInputAttributes = c.mask;
        EXPECT_EQ(usage.GetFreeUserAttribute(false, c.n), c.expected) << std::hex << c.mask << " " << c.n;
    }
    EXPECT_EQ(usage.GetFreeUserAttribute(true, 1), 1); // outputs search the next stage's inputs
}

TEST(AttributeUsageTests, MarksAttributesAndComponents) {
    Testing::FakeGpuAccessor accessor;
    AttributeUsage usage(accessor);
    usage.SetInputUserAttribute(31, 3);
    usage.SetInputUserAttribute(2, 1);
    EXPECT_EQ(usage.UsedInputAttributes, 0x80000004u);
    EXPECT_EQ(usage.OwnInputAttributes, 0x80000004u);
    EXPECT_TRUE(usage.UsedInputComponents.test(127));
    EXPECT_TRUE(usage.UsedInputComponents.test(9));
    EXPECT_EQ(usage.UsedInputComponents.count(), 2u);
    EXPECT_THROW(usage.SetInputUserAttribute(32, 0), Zerivox::Common::IndexOutOfRangeException);
    EXPECT_THROW(usage.SetInputUserAttribute(0, 4), Zerivox::Common::IndexOutOfRangeException);

    usage.SetAllInputUserAttributes();
    usage.SetAllOutputUserAttributes();
    EXPECT_EQ(usage.UsedInputAttributes, 0x8000FFFFu);
    EXPECT_EQ(usage.UsedInputComponents.count(), 65u);
    EXPECT_EQ(usage.UsedOutputAttributes, 0xFFFFu);

    EXPECT_EQ(usage.GetPerPatchAttributeLocation(5), 5);
    usage.PerPatchAttributeLocations.emplace();
    usage.PerPatchAttributeLocations->Set(5, 1);
    EXPECT_EQ(usage.GetPerPatchAttributeLocation(5), 1);

    EXPECT_TRUE(usage.IsUsedOutputAttribute(0x90));
    usage.NextStageInputsKnown = true;
    usage.NextStageInputAttributes = 0x1;
    EXPECT_TRUE(usage.IsUsedOutputAttribute(0x8C));
    EXPECT_FALSE(usage.IsUsedOutputAttribute(0x90));
    EXPECT_TRUE(usage.IsUsedOutputAttribute(0x280));
}

TEST(AttributeUsageTests, IoUsageCombine) {
    IoUsage a(FeatureFlags::RtLayer, 0x1, 0x10);
    IoUsage b(FeatureFlags::ViewportMask, 0x80, 0x1);
    IoUsage c = a.Combine(b);
    EXPECT_EQ(c, IoUsage(FeatureFlags::RtLayer | FeatureFlags::ViewportMask, 0x81, 0x11));
    EXPECT_TRUE(c.get_UsesRtLayer());
    EXPECT_TRUE(c.get_UsesViewportMask());
    EXPECT_FALSE(c.get_UsesViewportIndex());
}
