#include "SpirvTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

StructureType Fields(std::initializer_list<StructureField> fields) { return StructureType(std::vector(fields)); }

// Block members start at their base alignment: a vec4 after a float sits at
// 16 under std430 as under std140, and an array of vec3 strides 16.
TEST(SpirvResourceTests, BufferLayoutsAreValidBlockLayouts) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    auto fields = Fields(
        {{AggregateType::FP32, "a"}, {AggregateType::FP32 | AggregateType::Vector4, "b"}, {AggregateType::FP32, "c"}});
    p.Properties.AddOrUpdateConstantBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std140, 0, 1, "cb1", fields));
    p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(SIR::BufferLayout::Std430, 0, 2, "sb0", fields));
    p.Properties.AddOrUpdateStorageBuffer(
        SIR::BufferDefinition(SIR::BufferLayout::Std430, 0, 3, "sb1",
                              Fields({{AggregateType::FP32, "x"},
                                      {AggregateType::FP32 | AggregateType::Vector3 | AggregateType::Array, "y", 4},
                                      {AggregateType::U32 | AggregateType::Array, "z", 0}})));
    AstOperand* f = p.Local(AggregateType::FP32);
    p.Assign(p.Main, f, p.Op(Instruction::Load, StorageKind::ConstantBuffer, {p.Const(1), p.Const(1), p.Const(2)}));
    p.Add(p.Main,
          p.Op(Instruction::Store, StorageKind::StorageBuffer, {p.Const(3), p.Const(1), p.Const(2), p.Const(0), f}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    std::vector<std::string> offsets = Lines(text, "OpMemberDecorate");
    std::vector<std::string> expected{"Offset 0",  "Offset 16", "Offset 32", "Offset 0", "Offset 16",
                                      "Offset 32", "Offset 0",  "Offset 16", "Offset 80"};
    ASSERT_EQ(offsets.size(), expected.size()) << text;
    for (std::size_t i = 0; i < offsets.size(); i++)
        EXPECT_TRUE(Contains(offsets[i], expected[i])) << offsets[i];
    EXPECT_TRUE(Contains(text, "ArrayStride 16"));
    EXPECT_TRUE(Contains(text, "ArrayStride 4"));
    EXPECT_TRUE(Contains(text, "OpDecorate %_struct_") && Contains(text, "BufferBlock")) << text;
}

// Memory accesses: the field index of a buffer is the first index of the
// chain; atomics use device scope and CAS puts the new value first.
TEST(SpirvResourceTests, LoadsStoresAndAtomicsOnBuffersAndMemories) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    p.Properties.AddOrUpdateConstantBuffer(SIR::BufferDefinition(
        SIR::BufferLayout::Std140, 0, 1, "cb1",
        Fields({{AggregateType::FP32 | AggregateType::Vector4 | AggregateType::Array, "data", 4096}})));
    p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(
        SIR::BufferLayout::Std430, 0, 2, "sb0", Fields({{AggregateType::U32 | AggregateType::Array, "data", 0}})));
    int32_t local =
        p.Properties.AddLocalMemory(SIR::MemoryDefinition("lm", AggregateType::U32 | AggregateType::Array, 16));
    int32_t shared =
        p.Properties.AddSharedMemory(SIR::MemoryDefinition("sm", AggregateType::U32 | AggregateType::Array, 64));

    AstOperand* f = p.Local(AggregateType::FP32);
    AstOperand* u = p.Local(AggregateType::U32);
    p.Assign(p.Main, f,
             p.Op(Instruction::Load, StorageKind::ConstantBuffer, {p.Const(1), p.Const(0), p.Const(5), p.Const(2)}));
    p.Assign(
        p.Main, u,
        p.Op(Instruction::AtomicAdd, StorageKind::StorageBuffer, {p.Const(2), p.Const(0), p.Const(7), p.Const(1)}));
    p.Assign(p.Main, u,
             p.Op(Instruction::AtomicCompareAndSwap, StorageKind::SharedMemory,
                  {p.Const(shared), p.Const(3), p.Const(10), p.Const(20)}));
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::LocalMemory, {p.Const(local), p.Const(1), u}));
    p.Assign(p.Main, u, p.Op(Instruction::AtomicMaxS32, StorageKind::SharedMemory, {p.Const(shared), p.Const(4), u}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_TRUE(Contains(text, "OpAccessChain %_ptr_Uniform_float %cb1 %int_0 %int_5 %int_2")) << text;
    EXPECT_TRUE(Contains(text, "OpAtomicIAdd %uint"));
    EXPECT_TRUE(Contains(text, "%uint_1 %uint_0 %uint_0 %uint_20 %uint_10")) << text;
    EXPECT_TRUE(Contains(text, "OpAtomicSMax"));
}

// A constant index beyond a local or shared memory names no word: the host
// guards neither memory, so the access must not happen. A load reads 0, a
// store or atomic changes nothing (the atomic reads 0), as in the GLSL text.
TEST(SpirvResourceTests, AccessesBeyondAMemoryReadZeroAndWriteNothing) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    int32_t local =
        p.Properties.AddLocalMemory(SIR::MemoryDefinition("lm", AggregateType::U32 | AggregateType::Array, 16));
    int32_t shared =
        p.Properties.AddSharedMemory(SIR::MemoryDefinition("sm", AggregateType::U32 | AggregateType::Array, 64));
    AstOperand* u = p.Local(AggregateType::U32);
    p.Assign(p.Main, u, p.Op(Instruction::Load, StorageKind::LocalMemory, {p.Const(local), p.Const(16)}));
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::LocalMemory, {p.Const(local), p.Const(-1), u}));
    p.Assign(p.Main, u, p.Op(Instruction::AtomicAdd, StorageKind::SharedMemory, {p.Const(shared), p.Const(64), u}));
    p.Assign(p.Main, u,
             p.Op(Instruction::AtomicCompareAndSwap, StorageKind::SharedMemory,
                  {p.Const(shared), p.Const(-1966592), p.Const(1), p.Const(2)}));
    // The last word of each is still there.
    p.Add(p.Main, p.Op(Instruction::Store, StorageKind::SharedMemory, {p.Const(shared), p.Const(63), u}));
    p.Assign(p.Main, u, p.Op(Instruction::Load, StorageKind::LocalMemory, {p.Const(local), p.Const(15)}));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    EXPECT_FALSE(Contains(text, "OpAtomic")) << text;
    std::vector<std::string> chains = Lines(text, "OpAccessChain");
    ASSERT_EQ(chains.size(), 2u) << text;
    EXPECT_TRUE(Contains(chains[0], "OpAccessChain %_ptr_Workgroup_uint") && Contains(chains[0], "%int_63")) << text;
    EXPECT_TRUE(Contains(chains[1], "OpAccessChain %_ptr_Private_uint") && Contains(chains[1], "%int_15")) << text;
}

TEST(SpirvResourceTests, MalformedAccessesFailWithTheirMessages) {
    struct Case {
        StorageKind Kind;
        bool SecondSourceLocal;
        const char* Message;
    };
    const std::vector<Case> cases{
        {StorageKind::ConstantBuffer, false,
         "First input of Load with ConstantBuffer storage must be a constant operand."},
        {StorageKind::StorageBuffer, true,
         "Second input of Load with StorageBuffer storage must be a constant operand."},
        {StorageKind::GlobalMemory, false, "Invalid storage kind GlobalMemory."},
    };
    for (const Case& c : cases) {
        SpirvProgram p(ShaderStage::Compute);
        p.Properties.AddOrUpdateStorageBuffer(SIR::BufferDefinition(
            SIR::BufferLayout::Std430, 0, 1, "sb", Fields({{AggregateType::U32 | AggregateType::Array, "data", 0}})));
        AstOperand* u = p.Local(AggregateType::U32);
        IAstNode* first =
            c.SecondSourceLocal || c.Kind == StorageKind::GlobalMemory ? static_cast<IAstNode*>(p.Const(1)) : u;
        IAstNode* second = c.SecondSourceLocal ? static_cast<IAstNode*>(u) : p.Const(0);
        p.Assign(p.Main, u, p.Op(Instruction::Load, c.Kind, {first, second, p.Const(0)}));
        try {
            p.Generate();
            ADD_FAILURE() << "expected an error for " << c.Message;
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}

// Storage images: formatless reads and writes declare their capabilities, 1D
// and multisample images theirs, and atomics on an image whose format reads
// as float use an unsigned integer view.
TEST(SpirvResourceTests, StorageImagesDeclareWhatTheirAccessesNeed) {
    ZV_REQUIRE_SPIRV_TOOLS();
    SpirvProgram p(ShaderStage::Compute);
    p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 1, 1, false, "img2d", SamplerType::Texture2D,
                                                         TextureFormat::Unknown, TextureUsageFlags::ImageStore));
    p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 2, 1, false, "img1d", SamplerType::Texture1D,
                                                         TextureFormat::R32Uint, TextureUsageFlags::ImageCoherent));
    p.Properties.AddOrUpdateImage(SIR::TextureDefinition(0, 3, 1, false, "imgf", SamplerType::Texture2D,
                                                         TextureFormat::R32Float, TextureUsageFlags::None));
    p.Properties.AddOrUpdateImage(SIR::TextureDefinition(
        0, 4, 1, false, "imgms", SamplerType::Texture2D | SamplerType::Multisample | SamplerType::Array,
        TextureFormat::R32Sint, TextureUsageFlags::None));
    AstOperand* v = p.Local(AggregateType::FP32 | AggregateType::Vector2);
    AstOperand* u = p.Local(AggregateType::U32);
    AstOperand* s = p.Local(AggregateType::S32);
    p.Assign(p.Main, v,
             p.Texture(Instruction::ImageLoad, SamplerType::Texture2D, IR::TextureFlags::None, 1, 0b0101,
                       {p.Const(1), p.Const(2)}));
    p.Add(p.Main, p.Texture(Instruction::ImageStore, SamplerType::Texture2D, IR::TextureFlags::None, 1, 0,
                            {p.Const(1), p.Const(2), p.ConstF(0.5f), p.ConstF(0.25f)}));
    p.Assign(p.Main, u,
             p.Texture(Instruction::ImageAtomic, SamplerType::Texture1D, IR::TextureFlags::Maximum, 2, 1,
                       {p.Const(3), p.Const(9)}, TextureFormat::R32Uint));
    p.Assign(p.Main, u,
             p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D, IR::TextureFlags::CAS, 3, 1,
                       {p.Const(3), p.Const(4), p.Const(1), p.Const(2)}, TextureFormat::R32Float));
    p.Assign(p.Main, s,
             p.Texture(Instruction::ImageAtomic, SamplerType::Texture2D | SamplerType::Multisample | SamplerType::Array,
                       IR::TextureFlags::Minimum, 4, 1, {p.Const(3), p.Const(4), p.Const(0), p.Const(-5)},
                       TextureFormat::R32Sint));

    std::vector<uint8_t> bytes = p.Generate();
    ASSERT_EQ(Validate(bytes), "");
    std::string text = Disassemble(bytes);
    for (const char* capability : {"StorageImageWriteWithoutFormat", "StorageImageReadWithoutFormat", "Image1D",
                                   "StorageImageMultisample", "ImageMSArray"}) {
        EXPECT_EQ(Lines(text, "OpCapability " + std::string(capability)).size(), 1u) << capability;
    }
    EXPECT_TRUE(Contains(text, "OpVectorShuffle %v2float"));
    EXPECT_TRUE(Contains(text, "%float_0_25 %float_0 %float_0"));
    EXPECT_TRUE(Contains(text, "OpAtomicUMax %uint"));
    EXPECT_TRUE(Contains(text, "OpTypeImage %uint 2D 0 0 0 2 R32ui"));
    EXPECT_TRUE(Contains(text, "OpAtomicCompareExchange %uint"));
    EXPECT_TRUE(Contains(text, "OpAtomicSMin %int"));
    EXPECT_TRUE(Contains(text, "Coherent"));
}

} // namespace
