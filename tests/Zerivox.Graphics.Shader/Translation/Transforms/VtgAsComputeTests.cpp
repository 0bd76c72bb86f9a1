// Vertex and geometry shaders run as compute: small programs in IR, printed
// before and after VertexToCompute and GeometryToCompute.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/IrEvaluator.h"
#include "Zerivox.Graphics.Shader/TestSupport/IrTestBuilder.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/GeometryToCompute.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformPasses.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/VertexToCompute.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {
namespace {

namespace IR = IntermediateRepresentation;
using IR::Instruction;
using IR::StorageKind;

// One vertex or geometry shader as the pipeline hands it to the two passes:
// its definitions, reservations laid out from its outputs (and, for a
// geometry shader, from the outputs of the vertex shader before it), the
// resource manager with the compute scratch memories, and one block of IR.
struct StageFixture {
    StageFixture(ShaderStage stage, IoUsage outputs, IoUsage inputs = {}, GpuGraphicsState state = {},
                 int32_t invocations = 1, OutputTopology topology = OutputTopology::PointList, int32_t maxVertices = 0)
        : Definitions(stage, state, false, invocations, topology, maxVertices, {}, 0, false, false, true, 0,
                      std::nullopt),
          Resources(stage, Gpu, Reserve(outputs, inputs)), Hfm(B.Arena, Functions, stage) {
        Resources.SetVertexAsComputeLocalMemories(stage, state.Topology);
    }

    ResourceReservations Reserve(IoUsage outputs, IoUsage inputs) {
        ResourceReservations reservations(false, true);
        reservations.InputSizePerInvocation = reservations.FillIoOffsetMap(Gpu, StorageKind::Input, inputs);
        reservations.OutputSizePerInvocation = reservations.FillIoOffsetMap(Gpu, StorageKind::Output, outputs);
        return reservations;
    }

    std::string Print() const { return IR::IrPrinter::PrintBlocks(B.Blocks); }

    // Both passes, in pipeline order; returns the printed IR.
    std::string Run(FeatureFlags features = FeatureFlags::VtgAsCompute) {
        Features = features;
        TransformContext context{Hfm,
                                 B.Blocks,
                                 Definitions,
                                 Resources,
                                 Gpu,
                                 Features,
                                 TargetGraphicsApi::Vulkan,
                                 TargetLanguage::Spirv,
                                 Definitions.Stage};
        TransformPasses::RunPass<VertexToCompute>(context);
        TransformPasses::RunPass<GeometryToCompute>(context);
        IR::IrVerifier::Verify(B.Blocks);
        return Print();
    }

    Testing::FakeGpuAccessor Gpu;
    ShaderDefinitions Definitions;
    ResourceManager Resources;
    Testing::IrTestBuilder B;
    std::vector<IR::Function*> Functions{nullptr};
    HelperFunctionManager Hfm;
    FeatureFlags Features = FeatureFlags::None;
};

// vb_info is constant buffer 1 (field 0 vertex_counts, 2 vertex_strides, 3
// vertex_offsets); local memory 0 is "local_vertex_data", 1 and 2 the
// vertex-rate and instance-rate indices the prologue stored; buffer texture
// "vb_data" + L is set 2, binding 2 + L. Output words: Position 0-3,
// PointSize 4, then the user attributes.
TEST(VertexToCompute, BuiltInInputs) {
    StageFixture f(ShaderStage::Vertex, IoUsage(FeatureFlags::None, 0, 0x3));
    f.B.ParseBlocks(R"(B0:
  %0 = Load.Input 4
  Store.Output 37, 0, 0, %0
  %1 = Load.Input 3
  Store.Output 37, 0, 1, %1
  %2 = Load.Input 39
  Store.Output 37, 0, 2, %2
  %3 = Load.Input 38
  Store.Output 37, 0, 3, %3
  %4 = Load.Input 17
  Store.Output 37, 1, 0, %4
  %5 = Load.Input 16
  Store.Output 37, 1, 1, %5
  %6 = Load.Input 15, 0
  Store.Output 37, 1, 2, %6
)");
    // Base vertex and instance from vb_info; the vertex index is the
    // vertex-rate index itself (it already holds the base vertex); the
    // instance index is base instance + GlobalId.y, the instance id
    // GlobalId.y alone; GlobalId stays.
    EXPECT_EQ(f.Run(), R"(B0:
  %0 = Load.ConstantBuffer 1, 0, 2
  Store.LocalMemory 0, 5, %0
  %1 = Load.ConstantBuffer 1, 0, 3
  Store.LocalMemory 0, 6, %1
  %2 = Load.LocalMemory 1
  Store.LocalMemory 0, 7, %2
  %3 = Load.LocalMemory 1
  Store.LocalMemory 0, 8, %3
  %4 = Load.ConstantBuffer 1, 0, 3
  %5 = Load.Input 15, 1
  %6 = Add %4, %5
  Store.LocalMemory 0, 9, %6
  %7 = Load.Input 15, 1
  Store.LocalMemory 0, 10, %7
  %8 = Load.Input 15, 0
  Store.LocalMemory 0, 11, %8
)");
}

TEST(VertexToCompute, AttributeFetches) {
    GpuGraphicsState state;
    state.AttributeTypes[0] = AttributeType::Float;
    state.AttributeTypes[1] = AttributeType::Sscaled;
    state.AttributeTypes[2] = AttributeType::Sint | AttributeType::Packed | AttributeType::PackedRgb10A2Signed;
    state.AttributeTypes[3] = AttributeType::Float | AttributeType::Packed | AttributeType::PackedRgb10A2Signed;
    StageFixture f(ShaderStage::Vertex, IoUsage(FeatureFlags::None, 0, 0x1), {}, state);
    // Attribute 1 is scaled: the attribute emitter converts the integer it reads.
    f.B.ParseBlocks(R"(B0:
  %0 = Load.Input 37, 0, 0
  %1 = Load.Input 37, 0, 3
  %2 = Load.Input 37, 1, 3
  %3 = ConvertS32ToFP32 %2
  %4 = Load.Input 37, 2, 0
  %5 = Load.Input 37, 3, 3
  Store.Output 37, 0, 0, %0
  Store.Output 37, 0, 1, %1
  Store.Output 37, 0, 2, %3
  Store.Output 37, 0, 3, %4
  Store.Output 23, 0, %5
)");
    // Texel = first + (per instance ? instance index : vertex index) x stride
    // (+ component for unpacked attributes); y, z, w only where vb_info says
    // the attribute has them, else 0, 0 and 1 (float 1.0 = 1065353216, the
    // integer 1 for the scaled attribute, converted after the fetch). Packed
    // signed RGB10A2 fields are sign extended, and normalised unless the
    // attribute is an integer (w: 2 bits, times 0.5 = 1056964608).
    EXPECT_EQ(f.Run(), R"(B0:
  %0 = Load.LocalMemory 1
  %1 = Load.LocalMemory 2
  %2 = Load.ConstantBuffer 1, 3, 0, 0
  %3 = Load.ConstantBuffer 1, 3, 0, 1
  %4 = ConditionalSelect %3, %1, %0
  %5 = Load.ConstantBuffer 1, 2, 0, 0
  %6 = Multiply %4, %5
  %7 = Add %2, %6
  %8 = TextureSample{TextureBuffer set=2 binding=2 flags=0x8}#1 %7
  %9 = Load.LocalMemory 1
  %10 = Load.LocalMemory 2
  %11 = Load.ConstantBuffer 1, 3, 0, 0
  %12 = Load.ConstantBuffer 1, 3, 0, 1
  %13 = ConditionalSelect %12, %10, %9
  %14 = Load.ConstantBuffer 1, 2, 0, 0
  %15 = Multiply %13, %14
  %16 = Add %11, %15
  %17 = Add %16, 3
  %18 = TextureSample{TextureBuffer set=2 binding=2 flags=0x8}#1 %17
  %19 = Load.ConstantBuffer 1, 2, 0, 3
  %20 = ConditionalSelect %19, %18, 1065353216
  %21 = Load.LocalMemory 1
  %22 = Load.LocalMemory 2
  %23 = Load.ConstantBuffer 1, 3, 1, 0
  %24 = Load.ConstantBuffer 1, 3, 1, 1
  %25 = ConditionalSelect %24, %22, %21
  %26 = Load.ConstantBuffer 1, 2, 1, 0
  %27 = Multiply %25, %26
  %28 = Add %23, %27
  %29 = Add %28, 3
  %30 = TextureSample{TextureBuffer set=2 binding=3 flags=0x8}#1 %29
  %31 = Load.ConstantBuffer 1, 2, 1, 3
  %32 = ConditionalSelect %31, %30, 1
  %33 = ConvertS32ToFP32 %32
  %34 = Load.LocalMemory 1
  %35 = Load.LocalMemory 2
  %36 = Load.ConstantBuffer 1, 3, 2, 0
  %37 = Load.ConstantBuffer 1, 3, 2, 1
  %38 = ConditionalSelect %37, %35, %34
  %39 = Load.ConstantBuffer 1, 2, 2, 0
  %40 = Multiply %38, %39
  %41 = Add %36, %40
  %42 = TextureSample{TextureBuffer set=2 binding=4 flags=0x8}#1 %41
  %43 = ShiftLeft %42, 22
  %44 = ShiftRightS32 %43, 22
  %45 = Load.LocalMemory 1
  %46 = Load.LocalMemory 2
  %47 = Load.ConstantBuffer 1, 3, 3, 0
  %48 = Load.ConstantBuffer 1, 3, 3, 1
  %49 = ConditionalSelect %48, %46, %45
  %50 = Load.ConstantBuffer 1, 2, 3, 0
  %51 = Multiply %49, %50
  %52 = Add %47, %51
  %53 = TextureSample{TextureBuffer set=2 binding=5 flags=0x8}#8 %52
  %54 = ShiftLeft %53, 30
  %55 = ShiftRightS32 %54, 30
  %56 = ConvertS32ToFP32 %55
  %57 = Multiply.FP32 %56, 0.5
  Store.LocalMemory 0, 5, %8
  Store.LocalMemory 0, 6, %20
  Store.LocalMemory 0, 7, %33
  Store.LocalMemory 0, 8, %44
  Store.LocalMemory 0, 0, %57
)");
}

TEST(VertexToCompute, OutputsGoToLocalVertexData) {
    // Clip distance 1, the layer and the viewport index written; user
    // attribute 2 read back after it is written.
    StageFixture f(ShaderStage::Vertex, IoUsage(FeatureFlags::RtLayer | FeatureFlags::ViewportIndex, 0x2, 0x4));
    // Clip distance 0 is never written: its store is dropped.
    f.B.ParseBlocks(R"(B0:
  Store.Output 23, 1, %0
  Store.Output 22, %0
  Store.Output 5, 0, %0
  Store.Output 5, 1, %0
  Store.Output 19, %0
  Store.Output 40, %0
  Store.Output 37, 2, 3, %0
  %1 = Load.Output 37, 2, 3
  Store.Output 23, 2, %1
)");
    // Words: Position 0-3, PointSize 4, ClipDistance 1 -> 5, Layer 6,
    // ViewportIndex 7, UserDefined 2 -> 8-11.
    EXPECT_EQ(f.Run(), R"(B0:
  Store.LocalMemory 0, 1, %0
  Store.LocalMemory 0, 4, %0
  Store.LocalMemory 0, 5, %0
  Store.LocalMemory 0, 6, %0
  Store.LocalMemory 0, 7, %0
  Store.LocalMemory 0, 11, %0
  %1 = Load.LocalMemory 0, 11
  Store.LocalMemory 0, 2, %1
)");
}

TEST(VertexToCompute, AShaderThatWritesNoOutputIsLeftAlone) {
    StageFixture f(ShaderStage::Vertex, IoUsage());
    f.B.ParseBlocks("B0:\n  %0 = Add 1, 2\n");
    const std::string before = f.Print();
    EXPECT_EQ(f.Run(), before);
    EXPECT_EQ(f.Resources.Reservations().OutputSizePerInvocation, 5); // Position and PointSize
}

// What the compute form cannot carry fails the translation with a typed
// error, after the message the host's log receives; it never leaves a
// graphics-only access in a compute module.
TEST(VertexToCompute, AccessesWithoutComputeFormFail) {
    struct Row {
        const char* Name;
        const char* Access;
        const char* Logged;
    };
    const Row rows[] = {
        {"front facing", "%0 = Load.Input 14", "Invalid input \"FrontFacing\"."},
        {"draw index", "%0 = Load.Input 7", "Invalid input \"DrawIndex\"."},
        {"attribute by register", "%0 = Load.Input 37, 0, %1", "Invalid input \"UserDefined\"."},
        {"viewport mask", "Store.Output 41, 0, %0", "Invalid output \"ViewportMask\"."},
        {"unwritten user attribute", "Store.Output 37, 5, 0, %0", "Invalid output \"UserDefined\"."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        StageFixture f(ShaderStage::Vertex, IoUsage(FeatureFlags::ViewportMask, 0, 0x1));
        f.B.ParseBlocks(std::string("B0:\n  ") + row.Access + "\n");
        EXPECT_THROW(f.Run(), Common::NotImplementedException);
        EXPECT_EQ(f.Gpu.Messages, std::vector<std::string>{row.Logged});
    }
}

TEST(VertexToCompute, OnlyVertexShadersAndOnlyAsCompute) {
    for (bool asCompute : {false, true}) {
        for (ShaderStage stage : {ShaderStage::Vertex, ShaderStage::Geometry}) {
            StageFixture f(stage, IoUsage());
            f.B.ParseBlocks("B0:\n  %0 = Load.Input 39\n");
            const std::string before = f.Print();
            // A geometry shader has no vertex index; GeometryToCompute rejects it.
            if (asCompute && stage == ShaderStage::Geometry) {
                EXPECT_THROW(f.Run(), Common::NotImplementedException);
                continue;
            }
            const std::string after = f.Run(asCompute ? FeatureFlags::VtgAsCompute : FeatureFlags::None);
            EXPECT_EQ(after == before, !asCompute);
        }
    }
}

// Geometry shader, triangles in, triangle strip of at most M = 4 vertices
// out, T = 2 invocations: index slots per invocation S = 4 + 4 / 3 = 5.
// Local memories: 0 "local_vertex_data", 1 "local_topology_remap", 2 and 3
// the vertex and index counts; storage buffers: 0 "vertex_output", 1
// "geometry_vb_output", 2 "geometry_ib_output". The vertex shader before it
// wrote user attribute 1 (input words Position 0-3, PointSize 4, 5-8).
StageFixture GeometryFixture(IoUsage outputs) {
    GpuGraphicsState state;
    state.Topology = InputTopology::Triangles;
    return StageFixture(ShaderStage::Geometry, outputs, IoUsage(FeatureFlags::None, 0, 0x2), state, 2,
                        OutputTopology::TriangleStrip, 4);
}

TEST(GeometryToCompute, InputsAndBuiltIns) {
    // Output words: Position 0-3, PointSize 4, PrimitiveId 5, user attribute 0 6-9.
    StageFixture f = GeometryFixture(IoUsage(FeatureFlags::None, 0, 0x1, true));
    f.B.ParseBlocks(R"(B0:
  %0 = Load.Input 23, 1, 2
  %1 = Load.Input 37, 1, %2, 3
  %3 = Load.Input 18
  %4 = Load.Input 24
  Store.Output 37, 0, 0, %0
  Store.Output 37, 0, 1, %1
  Store.Output 37, 0, 2, %3
  Store.Output 24, %4
)");
    // Input word w of vertex n: (GlobalId.y x vb_info.x + remap[n]) x 9 + w;
    // InvocationId is GlobalId.z; the primitive id read is GlobalId.x (the
    // real pipeline numbers each instance's primitives from 0).
    EXPECT_EQ(f.Run(), R"(B0:
  %0 = Load.ConstantBuffer 1, 0, 0
  %1 = Load.LocalMemory 1, 1
  %2 = Load.Input 15, 1
  %3 = Multiply %2, %0
  %4 = Add %3, %1
  %5 = Multiply %4, 9
  %6 = Add %5, 2
  %7 = Load.StorageBuffer 0, 0, %6
  %8 = Load.ConstantBuffer 1, 0, 0
  %9 = Load.LocalMemory 1, %10
  %11 = Load.Input 15, 1
  %12 = Multiply %11, %8
  %13 = Add %12, %9
  %14 = Multiply %13, 9
  %15 = Add %14, 8
  %16 = Load.StorageBuffer 0, 0, %15
  %17 = Load.Input 15, 2
  %18 = Load.Input 15, 0
  Store.LocalMemory 0, 6, %7
  Store.LocalMemory 0, 7, %16
  Store.LocalMemory 0, 8, %17
  Store.LocalMemory 0, 5, %18
)");
}

TEST(GeometryToCompute, EmitVertexAndEndPrimitive) {
    // Output words: Position 0-3, PointSize 4.
    StageFixture f = GeometryFixture(IoUsage());
    f.B.ParseBlocks(R"(B0:
  EmitVertex
  EndPrimitive
)");
    // Vertex slot (GlobalId.y x vb_info.x + GlobalId.x) x T x M + GlobalId.z x M
    // + vertices so far; index slot likewise with S; the vertex's 5 words
    // copied from local_vertex_data. EndPrimitive writes -1 into the next
    // index slot, or, when the strip has no vertex yet, over the entry before
    // it without taking a slot.
    EXPECT_EQ(f.Run(), R"(B0:
  %0 = Load.LocalMemory 2
  %1 = Add %0, 1
  Store.LocalMemory 2, %1
  %2 = Load.ConstantBuffer 1, 0, 0
  %3 = Load.Input 15, 1
  %4 = Load.Input 15, 0
  %5 = Multiply %3, %2
  %6 = Add %5, %4
  %7 = Multiply %6, 8
  %8 = Load.Input 15, 2
  %9 = Multiply %8, 4
  %10 = Add %7, %9
  %11 = Add %10, %0
  %12 = Load.LocalMemory 3
  %13 = Add %12, 1
  Store.LocalMemory 3, %13
  %14 = Load.ConstantBuffer 1, 0, 0
  %15 = Load.Input 15, 1
  %16 = Load.Input 15, 0
  %17 = Multiply %15, %14
  %18 = Add %17, %16
  %19 = Multiply %18, 10
  %20 = Load.Input 15, 2
  %21 = Multiply %20, 5
  %22 = Add %19, %21
  %23 = Add %22, %12
  Store.StorageBuffer 2, 0, %23, %11
  %24 = Multiply %11, 5
  %25 = Load.LocalMemory 0, 0
  Store.StorageBuffer 1, 0, %24, %25
  %26 = Add %24, 1
  %27 = Load.LocalMemory 0, 1
  Store.StorageBuffer 1, 0, %26, %27
  %28 = Add %24, 2
  %29 = Load.LocalMemory 0, 2
  Store.StorageBuffer 1, 0, %28, %29
  %30 = Add %24, 3
  %31 = Load.LocalMemory 0, 3
  Store.StorageBuffer 1, 0, %30, %31
  %32 = Add %24, 4
  %33 = Load.LocalMemory 0, 4
  Store.StorageBuffer 1, 0, %32, %33
  %34 = Load.LocalMemory 3
  %35 = Load.ConstantBuffer 1, 0, 0
  %36 = Load.Input 15, 1
  %37 = Load.Input 15, 0
  %38 = Multiply %36, %35
  %39 = Add %38, %37
  %40 = Multiply %39, 10
  %41 = Load.Input 15, 2
  %42 = Multiply %41, 5
  %43 = Add %40, %42
  %44 = CompareNotEqual %34, 0
  %45 = Subtract %34, 1
  %46 = ConditionalSelect %44, %45, 0
  %47 = Add %43, %46
  %48 = Load.StorageBuffer 2, 0, %47
  %49 = CompareNotEqual %48, -1
  %50 = LogicalAnd %44, %49
  %51 = Add %43, %34
  %52 = ConditionalSelect %50, %51, %47
  Store.StorageBuffer 2, 0, %52, -1
  %53 = ConditionalSelect %50, 1, 0
  %54 = Add %34, %53
  Store.LocalMemory 3, %54
)");
}

// What the rewritten geometry program writes, run for one invocation (the
// fixture's T = 2, M = 4, S = 5; primitive 1 of instance 0, invocation 1, so
// its vertex slots start at 1 x 8 + 4 = 12 and its index slots at
// 1 x 10 + 5 = 15). 'E' emits a vertex whose x is its emission number, 'C'
// ends the primitive. An EndPrimitive on a strip without vertices does
// nothing, as in the real pipeline, and so never spills into the slots of
// the next invocation.
TEST(GeometryToCompute, EmittedStripsAndRestarts) {
    constexpr uint32_t Unwritten = 0xEEEEEEEEu;
    constexpr uint32_t Restart = 0xFFFFFFFFu;
    struct Row {
        const char* Program;
        std::vector<uint32_t> Indices; // index slots 15-19
    };
    const Row rows[] = {
        {"EEEC", {12, 13, 14, Restart, Unwritten}},
        {"EEEEC", {12, 13, 14, 15, Restart}},
        {"CEECCEC", {12, 13, Restart, 14, Restart}},
        {"EECCCC", {12, 13, Restart, Unwritten, Unwritten}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Program);
        StageFixture f = GeometryFixture(IoUsage());
        // Position x of each emitted vertex is its emission number.
        std::string program = "B0:\n";
        uint32_t emitted = 0;
        for (const char* c = row.Program; *c != 0; c++) {
            if (*c == 'E') {
                program += "  Store.Output 23, 0, " + std::to_string(emitted++) + "\n  EmitVertex\n";
            } else {
                program += "  EndPrimitive\n";
            }
        }
        f.B.ParseBlocks(program + "  Return\n");
        f.Run();

        std::map<int32_t, std::vector<uint32_t>> local = {
            {0, std::vector<uint32_t>(5)}, {1, {0, 1, 2}}, {2, {0}}, {3, {0}}};
        std::map<int32_t, std::vector<uint32_t>> buffers = {{1, std::vector<uint32_t>(2 * 8 * 5 * 2, Unwritten)},
                                                            {2, std::vector<uint32_t>(2 * 10 * 2, Unwritten)}};
        Testing::IrEvaluator evaluator;
        evaluator.OnLoad = [&](StorageKind kind, std::span<const uint32_t> s) -> uint32_t {
            switch (kind) {
            case StorageKind::ConstantBuffer:
                return 3; // vb_info vertex_counts.x
            case StorageKind::Input: {
                const uint32_t globalId[] = {1, 0, 1};
                return globalId[s[1]];
            }
            case StorageKind::LocalMemory:
                return local.at(static_cast<int32_t>(s[0])).at(s.size() > 1 ? s[1] : 0);
            case StorageKind::StorageBuffer:
                return buffers.at(static_cast<int32_t>(s[0])).at(s[2]);
            default:
                throw std::logic_error("unexpected load");
            }
        };
        evaluator.OnStore = [&](StorageKind kind, std::span<const uint32_t> s) {
            if (kind == StorageKind::LocalMemory) {
                local.at(static_cast<int32_t>(s[0])).at(s.size() > 2 ? s[1] : 0) = s.back();
            } else {
                buffers.at(static_cast<int32_t>(s[0])).at(s[2]) = s.back();
            }
        };
        IR::Function* function = f.B.Arena.NewFunction(f.B.Blocks, "main", false, 0, 0);
        evaluator.Run(*function);

        const std::vector<uint32_t>& indices = buffers.at(2);
        EXPECT_EQ(std::vector<uint32_t>(indices.begin() + 15, indices.begin() + 20), row.Indices);
        // Nothing outside the invocation's slots.
        for (std::size_t i = 0; i < indices.size(); i++) {
            if (i < 15 || i >= 20) {
                EXPECT_EQ(indices[i], Unwritten) << i;
            }
        }
        // Vertex 12 + k holds the x of emission k, in its 5-word record.
        for (uint32_t k = 0; k < emitted; k++)
            EXPECT_EQ(buffers.at(1).at((12 + k) * 5), k);
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Translation::Transforms
