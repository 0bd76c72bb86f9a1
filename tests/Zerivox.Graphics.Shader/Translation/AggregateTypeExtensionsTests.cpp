#include <gtest/gtest.h>

#include <utility>

#include "Zerivox.Graphics.Shader/Translation/AggregateTypeExtensions.h"

using Zerivox::Graphics::Shader::Translation::AggregateType;
using Zerivox::Graphics::Shader::Translation::AggregateTypeExtensions::GetSizeInBytes;

TEST(AggregateTypeExtensionsTest, SizeInBytes) {
    const std::pair<AggregateType, int> cases[] = {
        {AggregateType::FP32, 4},
        {AggregateType::S32 | AggregateType::Vector4, 16},
        {AggregateType::FP64 | AggregateType::Vector2, 16},
        {AggregateType::FP64 | AggregateType::Vector3, 24},
        {AggregateType::FP32 | AggregateType::Array, 4},
        {AggregateType::Bool, 4},
        {AggregateType::Void, 0},
        {AggregateType::Invalid, 0},
    };
    for (auto [type, size] : cases) EXPECT_EQ(GetSizeInBytes(type), size) << static_cast<int>(type);
}
