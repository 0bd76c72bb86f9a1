#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeGpuAccessor.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::IntermediateRepresentation::Instruction;
using Zerivox::Graphics::Shader::IntermediateRepresentation::TextureFlags;

namespace {

struct Fixture {
    Testing::FakeGpuAccessor accessor;
    ResourceManager manager;

    explicit Fixture(ShaderStage stage) : manager(stage, accessor, ResourceReservations(false, true)) {}

    std::string TextureName(SetBindingPair pair) const { return manager.Properties().Textures().At(pair).Name; }
    std::string ImageName(SetBindingPair pair) const { return manager.Properties().Images().At(pair).Name; }
};

} // namespace

TEST(ResourceManagerTests, ConstantBuffersBindInFirstUseButDescribeBySlot) {
    Fixture f(ShaderStage::Fragment);
    EXPECT_EQ(f.manager.GetConstantBufferBinding(3), 1);
    EXPECT_EQ(f.manager.GetConstantBufferBinding(1), 2);
    EXPECT_EQ(f.manager.GetConstantBufferBinding(3), 1);

    const auto& buffers = f.manager.Properties().ConstantBuffers();
    ASSERT_EQ(buffers.Count(), 3u);
    EXPECT_EQ(buffers.ItemAt(0).second.Name, "support_buffer");
    EXPECT_EQ(buffers.ItemAt(1).second.Name, "fp_c3");
    EXPECT_EQ(buffers.ItemAt(2).second.Name, "fp_c1");
    const StructureField& data = buffers.ItemAt(1).second.Type.Fields.at(0);
    EXPECT_EQ(data.Name, "data");
    EXPECT_EQ(data.Type, AggregateType::Array | AggregateType::Vector4 | AggregateType::FP32);
    EXPECT_EQ(data.ArrayLength, 4096);

    // Only what the final program still reads becomes a descriptor.
    EXPECT_TRUE(f.manager.GetConstantBufferDescriptors().empty());
    f.manager.SetUsedConstantBufferBinding(1);
    f.manager.SetUsedConstantBufferBinding(2);
    f.manager.SetUsedConstantBufferBinding(0);
    std::vector<BufferDescriptor> descriptors = f.manager.GetConstantBufferDescriptors();
    ASSERT_EQ(descriptors.size(), 2u);
    EXPECT_EQ(descriptors[0], BufferDescriptor(0, 2, 1));
    EXPECT_EQ(descriptors[1], BufferDescriptor(0, 1, 3));

    int32_t slot = -1;
    EXPECT_TRUE(f.manager.TryGetConstantBufferSlot(2, slot));
    EXPECT_EQ(slot, 1);
    EXPECT_FALSE(f.manager.TryGetConstantBufferSlot(0, slot));
    EXPECT_EQ(slot, 0);
}

// A constant buffer whose only load a pass made unused keeps its binding but
// must not stay declared: the host binds only what the descriptors list.
TEST(ResourceManagerTests, UnusedConstantBuffersAreNoLongerDeclared) {
    Fixture f(ShaderStage::Fragment);
    EXPECT_EQ(f.manager.GetConstantBufferBinding(3), 1);
    EXPECT_EQ(f.manager.GetConstantBufferBinding(1), 2);
    f.manager.SetUsedConstantBufferBinding(2);
    f.manager.RemoveUnusedConstantBufferDeclarations();
    const auto& buffers = f.manager.Properties().ConstantBuffers();
    ASSERT_EQ(buffers.Count(), 2u);
    EXPECT_EQ(buffers.ItemAt(0).second.Name, "support_buffer");
    EXPECT_EQ(buffers.ItemAt(1).second.Name, "fp_c1");
    ASSERT_EQ(f.manager.GetConstantBufferDescriptors().size(), 1u);
    EXPECT_EQ(f.manager.GetConstantBufferDescriptors()[0], BufferDescriptor(0, 2, 1));
}

TEST(ResourceManagerTests, ConstantBufferSlotOutsideTableIsATypedError) {
    Fixture f(ShaderStage::Compute);
    EXPECT_THROW(f.manager.GetConstantBufferBinding(18), Zerivox::Common::ArgumentOutOfRangeException);
    EXPECT_THROW(f.manager.GetConstantBufferBinding(-1), Zerivox::Common::ArgumentOutOfRangeException);
    EXPECT_EQ(f.manager.GetConstantBufferBinding(17), 1);
}

TEST(ResourceManagerTests, StorageBuffers) {
    Fixture f(ShaderStage::Compute);
    int32_t binding = -1;
    EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(0, 0x110, false, binding));
    EXPECT_EQ(binding, 1);
    EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(0, 0x110, true, binding));
    EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(0, 0x110, false, binding));
    EXPECT_EQ(binding, 1);
    EXPECT_EQ(f.manager.Properties().StorageBuffers().At(1).Name, "cp_s0");
    const StructureField& data = f.manager.Properties().StorageBuffers().At(1).Type.Fields.at(0);
    EXPECT_EQ(data.Type, AggregateType::Array | AggregateType::U32);
    EXPECT_EQ(data.ArrayLength, 0);

    // The key keeps only the low 8 bits of the slot and 16 of the offset.
    EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(0x103, 0x12340, false, binding));
    EXPECT_EQ(binding, 2);
    std::vector<BufferDescriptor> descriptors = f.manager.GetStorageBufferDescriptors();
    ASSERT_EQ(descriptors.size(), 2u);
    EXPECT_EQ(descriptors[0], BufferDescriptor(0, 1, 0, 0, 0x110, BufferUsageFlags::Write));
    EXPECT_EQ(descriptors[1], BufferDescriptor(0, 2, 1, 3, 0x2340, BufferUsageFlags::None));

    for (int32_t i = 2; i < 16; i++) {
        EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(1, i * 8, false, binding));
    }
    EXPECT_FALSE(f.manager.TryGetStorageBufferBinding(1, 0x800, true, binding));
    EXPECT_EQ(binding, 0);
    EXPECT_EQ(f.manager.GetStorageBufferDescriptors().size(), 16u);
    EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(0, 0x110, false, binding));
    EXPECT_EQ(binding, 1);
}

TEST(ResourceManagerTests, TextureAndImageNames) {
    struct Case {
        ShaderStage stage;
        bool image;
        int32_t cbufSlot, handle, arrayLength;
        SamplerType type;
        TextureFormat format;
        const char* name;
    };
    const Case cases[] = {
        {ShaderStage::Vertex, false, -1, 0x1F, 1, SamplerType::Texture2D, TextureFormat::Unknown, "vp_t_tcb_1F"},
        {ShaderStage::Vertex, false, -1, 0x1F, 1, SamplerType::None, TextureFormat::Unknown, "vp_s_tcb_1F"},
        {ShaderStage::Fragment, false, 2, 0x10, 1, SamplerType::Texture3D, TextureFormat::Unknown, "fp_t_cb2_10"},
        {ShaderStage::Fragment, false, 4, 0xAB, 1, SamplerType::None, TextureFormat::Unknown, "fp_s_cb4_AB"},
        {ShaderStage::Fragment, false, 2, 0x10, 4, SamplerType::Texture2D | SamplerType::Array, TextureFormat::Unknown,
         "fp_t2da_cb2_10"},
        {ShaderStage::Compute, true, 2, 0x5, 1, SamplerType::Texture2D, TextureFormat::Unknown, "cp_i_cb2_5_"},
        {ShaderStage::Compute, true, -1, 0x5, 1, SamplerType::Texture2D, TextureFormat::R32Uint, "cp_i_tcb_5_r32ui"},
        {ShaderStage::Geometry, true, 1, 0x7, 2, SamplerType::TextureBuffer, TextureFormat::Unknown, "gp_ib_cb1_7_"},
    };
    for (const Case& c : cases) {
        Fixture f(c.stage);
        SetBindingPair pair = f.manager.GetTextureOrImageBinding(c.cbufSlot, c.handle, c.arrayLength, c.type, c.format,
                                                                 c.image, false, false, true, false, false);
        EXPECT_EQ(c.image ? f.ImageName(pair) : f.TextureName(pair), c.name);
    }
    EXPECT_STREQ(ResourceManager::GetShaderStagePrefix(static_cast<ShaderStage>(6)), "invalid");
}

TEST(ResourceManagerTests, TextureBindingsMergesAndDescriptorOrder) {
    Fixture f(ShaderStage::Fragment);
    // A size query guesses the type; a later sample states it.
    SetBindingPair query = f.manager.GetTextureOrImageBinding(Instruction::TextureQuerySize, SamplerType::Texture1D,
                                                              TextureFormat::R8Unorm, TextureFlags::None, 2, 0x20);
    SetBindingPair array =
        f.manager.GetTextureOrImageBinding(Instruction::TextureSample, SamplerType::Texture2D | SamplerType::Array,
                                           TextureFormat::Unknown, TextureFlags::None, 2, 0x10, 4);
    SetBindingPair sample = f.manager.GetTextureOrImageBinding(Instruction::TextureSample, SamplerType::Texture2D,
                                                               TextureFormat::Unknown, TextureFlags::None, 2, 0x20);
    SetBindingPair image = f.manager.GetTextureOrImageBinding(Instruction::ImageStore, SamplerType::Texture2D,
                                                              TextureFormat::R32Float, TextureFlags::Coherent, 2, 0x20);
    SetBindingPair later = f.manager.GetTextureOrImageBinding(Instruction::TextureSample, SamplerType::Texture3D,
                                                              TextureFormat::Unknown, TextureFlags::None, 3, 0x1);
    EXPECT_EQ(query, SetBindingPair(0, 1));
    EXPECT_EQ(array, SetBindingPair(0, 2)); // takes bindings 2-5
    EXPECT_EQ(sample, query);
    EXPECT_EQ(image, SetBindingPair(0, 6)); // a separate table from the textures
    EXPECT_EQ(later, SetBindingPair(0, 7));

    std::vector<TextureDescriptor> textures = f.manager.GetTextureDescriptors();
    ASSERT_EQ(textures.size(), 3u);
    // The guessed 1D type made the query's flags say "no render scale"; flags
    // only accumulate.
    const TextureUsageFlags queried = TextureUsageFlags::NeedsScaleValue | TextureUsageFlags::ResScaleUnsupported;
    EXPECT_EQ(textures[0],
              TextureDescriptor(0, 1, SamplerType::Texture2D, TextureFormat::Unknown, 2, 0x20, 1, false, queried));
    EXPECT_EQ(textures[1].Binding, 7);
    EXPECT_EQ(textures[2], TextureDescriptor(0, 2, SamplerType::Texture2D | SamplerType::Array, TextureFormat::Unknown,
                                             2, 0x10, 4, false, TextureUsageFlags::None));
    EXPECT_EQ(f.manager.GetTextureDescriptors(false).size(), 2u);

    std::vector<TextureDescriptor> images = f.manager.GetImageDescriptors();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].Format, TextureFormat::R32Float);
    EXPECT_EQ(images[0].Flags, TextureUsageFlags::NeedsScaleValue | TextureUsageFlags::ResScaleUnsupported |
                                   TextureUsageFlags::ImageStore | TextureUsageFlags::ImageCoherent);

    // Once accurate, a later guess does not change the type.
    f.manager.GetTextureOrImageBinding(Instruction::Lod, SamplerType::TextureCube, TextureFormat::Unknown,
                                       TextureFlags::None, 2, 0x20);
    EXPECT_EQ(f.manager.GetTextureDescriptors()[0].Type, SamplerType::Texture2D);

    // Declarations agree with descriptors, whatever the order of accesses.
    for (const TextureDescriptor& d : f.manager.GetTextureDescriptors()) {
        const StructuredIr::TextureDefinition& declared =
            f.manager.Properties().Textures().At(SetBindingPair(d.Set, d.Binding));
        EXPECT_EQ(declared.Type, d.Type);
        EXPECT_EQ(declared.Flags, d.Flags);
        EXPECT_EQ(declared.ArrayLength, d.ArrayLength);
    }
    EXPECT_EQ(f.manager.Properties().Textures().At(SetBindingPair(0, 1)).Flags, queried);
    EXPECT_EQ(f.manager.Properties().Textures().At(SetBindingPair(0, 1)).Name, "fp_t_cb2_20");

    int32_t slot = 0, handle = 0;
    EXPECT_TRUE(f.manager.TryGetCbufSlotAndHandleForTexture(7, slot, handle));
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(handle, 1);
    EXPECT_FALSE(f.manager.TryGetCbufSlotAndHandleForTexture(6, slot, handle));
    EXPECT_TRUE(f.manager.IsArrayOfTexturesOrImages(2, false));
    EXPECT_FALSE(f.manager.IsArrayOfTexturesOrImages(1, false));
    EXPECT_FALSE(f.manager.IsArrayOfTexturesOrImages(2, true));
    EXPECT_EQ(ResourceManager::FindDescriptorIndex(textures, 99), -1);
}

TEST(ResourceManagerTests, GuessedTypeFirstThenAccurateTypeIsDeclaredAccurately) {
    Fixture f(ShaderStage::Fragment);
    f.manager.GetTextureOrImageBinding(Instruction::TextureSample, SamplerType::Texture2D, TextureFormat::Unknown,
                                       TextureFlags::None, 1, 0x8);
    // A later size query guesses a one-dimensional texture: the declaration
    // must stay the sampled 2D texture the descriptor reports.
    f.manager.GetTextureOrImageBinding(Instruction::TextureQuerySize, SamplerType::Texture1D, TextureFormat::Unknown,
                                       TextureFlags::None, 1, 0x8);
    const StructuredIr::TextureDefinition& declared = f.manager.Properties().Textures().At(SetBindingPair(0, 1));
    TextureDescriptor descriptor = f.manager.GetTextureDescriptors().at(0);
    EXPECT_EQ(descriptor.Type, SamplerType::Texture2D);
    EXPECT_EQ(declared.Type, descriptor.Type);
    EXPECT_EQ(declared.Flags, descriptor.Flags);
    EXPECT_EQ(descriptor.Flags, TextureUsageFlags::NeedsScaleValue | TextureUsageFlags::ResScaleUnsupported);
}

TEST(ResourceManagerTests, RenderScaleRule) {
    struct Case {
        ShaderStage stage;
        SamplerType type;
        int32_t arrayLength;
        bool unsupported;
    };
    const Case cases[] = {
        {ShaderStage::Fragment, SamplerType::Texture2D, 1, false},
        {ShaderStage::Compute, SamplerType::Texture2D, 1, false},
        {ShaderStage::Geometry, SamplerType::Texture2D, 1, true},
        {ShaderStage::Fragment, SamplerType::Texture3D, 1, true},
        {ShaderStage::Fragment, SamplerType::Texture2D | SamplerType::Array, 2, true},
    };
    for (const Case& c : cases) {
        Fixture f(c.stage);
        f.manager.GetTextureOrImageBinding(Instruction::TextureSample, c.type, TextureFormat::Unknown,
                                           TextureFlags::IntCoords, 0, 1, c.arrayLength);
        TextureUsageFlags flags = f.manager.GetTextureDescriptors().at(0).Flags;
        EXPECT_TRUE(HasFlag(flags, TextureUsageFlags::NeedsScaleValue));
        EXPECT_EQ(HasFlag(flags, TextureUsageFlags::ResScaleUnsupported), c.unsupported);
    }

    Fixture f(ShaderStage::Fragment);
    f.manager.GetTextureOrImageBinding(Instruction::TextureSample, SamplerType::Texture2D, TextureFormat::Unknown,
                                       TextureFlags::None, 0, 1);
    EXPECT_EQ(f.manager.GetTextureDescriptors().at(0).Flags, TextureUsageFlags::None);
    EXPECT_TRUE(f.manager.SetUsageFlagsForTextureQuery(1, SamplerType::Texture2D));
    EXPECT_EQ(f.manager.GetTextureDescriptors().at(0).Flags, TextureUsageFlags::NeedsScaleValue);
    EXPECT_EQ(f.manager.Properties().Textures().At(SetBindingPair(0, 1)).Flags, TextureUsageFlags::NeedsScaleValue);
    EXPECT_FALSE(f.manager.SetUsageFlagsForTextureQuery(9, SamplerType::Texture2D));
}

TEST(ResourceManagerTests, Memories) {
    Fixture f(ShaderStage::Compute);
    f.manager.SetCurrentLocalMemory(100, false);
    EXPECT_EQ(f.manager.LocalMemoryId, -1);
    EXPECT_TRUE(f.manager.Properties().LocalMemories().empty());

    f.manager.SetCurrentLocalMemory(0, true);
    f.manager.SetCurrentSharedMemory(4097, true);
    EXPECT_EQ(f.manager.LocalMemoryId, 0);
    EXPECT_EQ(f.manager.SharedMemoryId, 0);
    EXPECT_EQ(f.manager.Properties().LocalMemories().At(0).ArrayLength, 32);
    EXPECT_EQ(f.manager.Properties().LocalMemories().At(0).Name, "local_memory");
    EXPECT_EQ(f.manager.Properties().SharedMemories().At(0).ArrayLength, 1025);
    EXPECT_EQ(f.manager.Properties().SharedMemories().At(0).Type, AggregateType::Array | AggregateType::U32);
    EXPECT_EQ(f.manager.AddMemoryDefinition("extra", AggregateType::U32), 1);

    // Host-given sizes near the int32 limit must not overflow.
    Fixture g(ShaderStage::Compute);
    g.manager.SetCurrentSharedMemory(0x7FFFFFFF, true);
    EXPECT_EQ(g.manager.Properties().SharedMemories().At(0).ArrayLength, 0x20000000);
    g.manager.SetCurrentSharedMemory(-5, true);
    EXPECT_EQ(g.manager.Properties().SharedMemories().At(1).ArrayLength, 1024);

    Fixture v(ShaderStage::Geometry);
    v.manager.SetVertexAsComputeLocalMemories(ShaderStage::Geometry, InputTopology::TrianglesAdjacency);
    EXPECT_EQ(v.manager.Properties().LocalMemories().At(v.manager.LocalTopologyRemapMemoryId).ArrayLength, 6);
    EXPECT_EQ(v.manager.LocalGeometryOutputIndexCountMemoryId, 3);
}

TEST(ResourceManagerTests, GetTextureFormatAtomic) {
    Testing::FakeGpuAccessor accessor;
    accessor.TextureFormatAnswer = TextureFormat::R32Uint;
    EXPECT_EQ(StructuredIr::ShaderProperties::GetTextureFormatAtomic(accessor, 3), TextureFormat::R32Uint);
    EXPECT_TRUE(accessor.Messages.empty());
    accessor.TextureFormatAnswer = TextureFormat::R8Unorm;
    EXPECT_EQ(StructuredIr::ShaderProperties::GetTextureFormatAtomic(accessor, 3), TextureFormat::R32Sint);
    ASSERT_EQ(accessor.Messages.size(), 1u);
    EXPECT_EQ(accessor.Messages[0], "Unsupported format for texture 3: R8Unorm.");
    EXPECT_EQ(StructuredIr::ShaderProperties::GetTextureFormat(accessor, 3), TextureFormat::Unknown);
}

// Buffers are known by binding alone: a number the host hands out that a
// declared buffer already has - the support buffer's, or one set aside for
// a stage run as compute, in any set - is refused instead of merging two
// buffers into one.
TEST(ResourceManagerTests, BufferBindingAlreadyInUseIsRefused) {
    Fixture f(ShaderStage::Geometry);
    f.manager.Properties().AddOrUpdateStorageBuffer(StructuredIr::BufferDefinition(
        StructuredIr::BufferLayout::Std430, 1, 2, "geometry_ib_output",
        StructureType({StructureField(AggregateType::Array | AggregateType::U32, "data", 0)})));

    f.accessor.NextBinding = 0;
    EXPECT_THROW(f.manager.GetConstantBufferBinding(3), Zerivox::Common::InvalidOperationException);
    f.accessor.NextBinding = 2;
    int32_t binding = -1;
    EXPECT_THROW(f.manager.TryGetStorageBufferBinding(0, 0x110, false, binding),
                 Zerivox::Common::InvalidOperationException);
    // Free numbers work as before.
    EXPECT_EQ(f.manager.GetConstantBufferBinding(3), 3);
    EXPECT_TRUE(f.manager.TryGetStorageBufferBinding(0, 0x120, false, binding));
    EXPECT_EQ(binding, 4);
}
