// Vertex and geometry shaders translated to run as compute shaders compute
// what the real pipeline computes.
//
// For every corpus vertex shader, and every corpus geometry shader with the
// corpus vertex shader that feeds it, the test translates the shaders twice
// through the library: as compute shaders (asCompute) and normally. The
// compute forms run on lavapipe through vkrun with the vertex data in buffer
// textures and "vb_info"; the normal forms run in a real draw of the same
// vertices whose outputs transform feedback captures. Every output word of
// every vertex (for geometry: every emitted vertex of every primitive, in
// order, rebuilt from the strips and restarts of the index output) must be
// equal bit for bit.
//
// Both forms run the same SPIR-V arithmetic on the same device, so nothing
// needs a tolerance. The one value the two pipelines produce along different
// paths is a scaled attribute: the real draw's host hands the shader floats
// (a scaled vertex format converts in fixed function; here the test converts),
// the compute form converts the fetched integer in the shader. The two may
// round differently only for integers of 2^24 or more in magnitude, which
// lose bits as floats (at most one unit in the last place apart); the test
// data (-4 to 10) converts exactly, so here too the words must be equal.
//
// vkrun draws with first vertex and first instance 0. A base vertex B is
// therefore drawn as B extra vertices at the front (gl_VertexIndex and the
// attribute fetch of vertex k are then those of vertex B + k), and a base
// instance by starting the per-instance vertex buffers that many elements
// later. This is exact for shaders that do not read gl_BaseVertex or
// gl_BaseInstance themselves, which no corpus shader does (the translator's
// own instance id, InstanceIndex - BaseInstance, is the instance number in
// both forms).
//
// usage: VtgAsComputeTest SHARED_DIR VKRUN SCRATCH_DIR
// Exit status 0 when every comparison passes, 1 otherwise, 77 (skipped) when
// SHARED_DIR has no corpus.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <spirv/unified1/spirv.hpp11>

#include "TestTools/SpirvValidator.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/VertexInfoBuffer.h"
#include "tests/e2e/vtg_as_compute/SpirvPatch.h"
#include "tests/e2e/vtg_as_compute/TestAccessor.h"
#include "tests/e2e/vtg_as_compute/VkRun.h"

namespace {

namespace fs = std::filesystem;
namespace Shader = Zerivox::Graphics::Shader;
namespace Translation = Zerivox::Graphics::Shader::Translation;
namespace IR = Zerivox::Graphics::Shader::IntermediateRepresentation;
using Json = nlohmann::json;
using Shader::AttributeType;
using Shader::InputTopology;

// Set 0 bindings of the support buffer; the shader's own resources start at
// FirstBinding, above the reserved constant and storage buffer numbers of the
// compute emulation (which share the buffer number space of set 0).
constexpr int32_t SupportBufferBinding = 0;
constexpr int32_t FirstBinding = 3;
constexpr int32_t FirstGeometryBinding = 40;
constexpr uint32_t WorkgroupSize = 32; // x and y of the compute form
constexpr uint32_t UnwrittenMarker = 0xEEEEEEEEu;
constexpr int32_t ConstantBufferBytes = 65536;
constexpr int32_t StorageBufferBytes = 65536;

// One vertex attribute as the host feeds it.
struct AttributeSetup {
    int32_t Location;
    AttributeType Type; // Float, Sint, Uint, Sscaled or Uscaled
    int32_t Components; // components the buffer holds, 1-4
    int32_t Stride;     // elements from one vertex (or instance) to the next
    int32_t First;      // element of vertex (or instance) 0
    bool PerInstance;
};

// The vertices and instances of one comparison.
struct DrawSetup {
    std::vector<uint32_t> Indices; // index buffer of the vertex stage
    uint32_t IndexOffset;          // first used entry of the index buffer texture
    uint32_t BaseVertex;
    uint32_t BaseInstance;
    uint32_t Instances;
};

// A word of a constant buffer the test sets instead of the generated data.
struct Override {
    int32_t Slot;
    int32_t ByteOffset;
    uint32_t Value;
};

struct VertexCase {
    const char* Name;
    std::vector<AttributeSetup> Attributes;
    std::vector<Override> Overrides;
};

struct GeometryCase {
    const char* Name;
    const char* VertexShader;
    InputTopology Topology;
    uint32_t Primitives;
    std::vector<Override> Overrides;
};

const std::vector<AttributeSetup> SkinningAttributes = {
    {0, AttributeType::Float, 4, 6, 3, false},   // stride larger than the attribute, first element 3
    {1, AttributeType::Float, 2, 2, 0, false},   // read as vec3: z missing, reads 0
    {2, AttributeType::Uint, 3, 4, 1, true},     // per instance; read as uvec4: w missing, reads integer 1
    {3, AttributeType::Sscaled, 4, 4, 0, false}, // integers the shader reads as floats
};
const std::vector<AttributeSetup> TransformAttributes = {
    {0, AttributeType::Float, 3, 5, 2, false},
    {1, AttributeType::Float, 3, 3, 0, false},
    {2, AttributeType::Uscaled, 2, 2, 1, true}, // per instance
    {3, AttributeType::Float, 2, 3, 0, false},  // read as vec4: z reads 0, w reads 1.0
};

// Grid.columnShift of vertex_procedural_points (c3 byte 32) and the face mask
// of geometry_layered_cubemap (c3 byte 384): small integers, so that the grid
// has rows and columns and some cube faces are skipped.
const std::vector<VertexCase> VertexCases = {
    {"vertex_procedural_points", {}, {{3, 32, 2}}},
    {"vertex_skinning", SkinningAttributes, {}},
    {"vertex_transform_ubo", TransformAttributes, {}},
};

const std::vector<GeometryCase> GeometryCases = {
    {"geometry_point_sprite_quad", "vertex_procedural_points", InputTopology::Points, 35, {{3, 32, 2}}},
    {"geometry_layered_cubemap", "vertex_transform_ubo", InputTopology::Triangles, 12, {{3, 384, 0x2D}}},
};

// 37 vertices (two workgroups wide), read through an index buffer that
// repeats and skips vertices, from its third entry on; base vertex 5, base
// instance 2, three instances.
DrawSetup MakeVertexDraw() {
    DrawSetup draw{{}, 2, 5, 2, 3};
    for (uint32_t k = 0; k < 37; k++)
        draw.Indices.push_back((k * 7 + 3) % 29);
    return draw;
}

std::vector<AttributeSetup> AttributesOf(const std::string& name) {
    for (const VertexCase& c : VertexCases) {
        if (name == c.Name)
            return c.Attributes;
    }
    return {};
}

class Failure : public std::exception {
  public:
    explicit Failure(std::string message) : _message(std::move(message)) {}
    const char* what() const noexcept override { return _message.c_str(); }

  private:
    std::string _message;
};

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::span<const uint8_t> AsBytes(const std::vector<uint32_t>& words) {
    return std::span(reinterpret_cast<const uint8_t*>(words.data()), words.size() * 4);
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, std::size_t word) {
    if (word * 4 + 4 > bytes.size())
        throw Failure("read beyond a dumped buffer");
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + word * 4, 4);
    return value;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

uint32_t Groups(uint32_t count) { return (count + WorkgroupSize - 1) / WorkgroupSize; }

// ---- Translation ----

struct Translated {
    std::unique_ptr<VtgTest::TestAccessor> Accessor;
    std::optional<Translation::TranslatorContext> Context;
    std::optional<Translation::ShaderProgram> Program;
    // Output word offsets of the compute form, by (variable, location, component).
    std::vector<std::pair<Zerivox::Graphics::Shader::StructuredIr::IoDefinition, int32_t>> Outputs;
    int32_t OutputWords = 0;
};

Shader::GpuGraphicsState StateFor(InputTopology topology, const std::vector<AttributeSetup>& attributes) {
    Shader::GpuGraphicsState state;
    state.Topology = topology;
    state.PointSize = 1.0f;
    state.AlphaTestFunction = Shader::AlphaTestOp::Always;
    state.OriginUpperLeft = true;
    for (const AttributeSetup& a : attributes)
        state.AttributeTypes[static_cast<std::size_t>(a.Location)] = a.Type;
    return state;
}

// Decodes a corpus shader. Its resources take bindings from firstBinding on:
// the vertex and geometry shaders of one draw share set 0.
std::unique_ptr<Translated> Decode(const fs::path& corpus, const std::string& name, InputTopology topology,
                                   const std::vector<AttributeSetup>& attributes, int32_t firstBinding) {
    auto t = std::make_unique<Translated>();
    const std::vector<uint8_t> code = ReadFile(corpus / (name + ".bin"));
    // The host has scaled vertex formats: the real draw converts scaled
    // attributes itself, the compute form in the shader.
    t->Accessor = std::make_unique<VtgTest::TestAccessor>(code, StateFor(topology, attributes), true, firstBinding);
    Translation::TranslationOptions options(Translation::TargetLanguage::Spirv, Translation::TargetGraphicsApi::Vulkan,
                                            Translation::TranslationFlags::DebugMode);
    t->Context.emplace(Translation::Translator::DecodeShader(0, *t->Accessor, options));
    return t;
}

void Translate(Translated& t, const std::string& name, bool asCompute) {
    try {
        t.Program.emplace(t.Context->Translate(asCompute));
    } catch (const std::exception& e) {
        throw Failure(name + (asCompute ? " as compute" : "") + ": " + Zerivox::Common::ErrorText(e));
    }
    const std::string invalid = Zerivox::TestTools::ValidateSpirv(t.Program->BinaryCode);
    if (!invalid.empty())
        throw Failure(name + (asCompute ? " as compute" : "") + ": invalid module: " + invalid);
    if (asCompute) {
        Translation::ResourceReservations reservations = t.Context->GetResourceReservations();
        for (const auto& [key, offset] : reservations.IoOffsetMap) {
            if (key.StorageKind == IR::StorageKind::Output)
                t.Outputs.emplace_back(key, offset);
        }
        t.OutputWords = reservations.OutputSizePerInvocation;
    }
}

// ---- Data ----

// Deterministic test data: small binary fractions, so that sums and
// products stay exact where the shaders add and multiply them.
uint32_t DataWord(uint32_t seed, uint32_t index) {
    uint32_t h = (index + 1) * 2654435761u ^ (seed * 40503u);
    h ^= h >> 13;
    const int32_t value = static_cast<int32_t>(h % 33) - 16;
    return std::bit_cast<uint32_t>(static_cast<float>(value) / 8.0f);
}

std::vector<uint32_t> ConstantBufferData(int32_t slot, const std::vector<Override>& overrides) {
    std::vector<uint32_t> words(ConstantBufferBytes / 4);
    if (slot == 0) {
        // Driver constants: storage buffer N of the vertex (0x10) and
        // geometry (0x4F0) stages has its 64-bit address at B + 0xA0 + 16N
        // and its size after it; distinct, aligned, with a high word.
        for (uint32_t base : {0x10u, 0x4F0u}) {
            for (uint32_t n = 0; n < 16; n++) {
                const uint32_t at = (base + 0xA0 + 16 * n) / 4;
                words[at] = 0x100000u * (n + 1);
                words[at + 1] = 1;
                words[at + 2] = StorageBufferBytes;
            }
        }
    } else {
        for (std::size_t i = 0; i < words.size(); i++)
            words[i] = DataWord(static_cast<uint32_t>(slot), static_cast<uint32_t>(i));
    }
    for (const Override& o : overrides) {
        if (o.Slot == slot)
            words[static_cast<std::size_t>(o.ByteOffset / 4)] = o.Value;
    }
    return words;
}

std::vector<uint32_t> StorageBufferData(int32_t index) {
    std::vector<uint32_t> words(StorageBufferBytes / 4);
    for (std::size_t i = 0; i < words.size(); i++)
        words[i] = DataWord(100u + static_cast<uint32_t>(index), static_cast<uint32_t>(i));
    return words;
}

// Value of element e of an attribute, as the guest stores it.
uint32_t AttributeElement(const AttributeSetup& a, uint32_t e) {
    const uint32_t h = e * 7 + static_cast<uint32_t>(a.Location) * 3;
    switch (a.Type) {
    case AttributeType::Uint:
        return h % 32;
    case AttributeType::Sint:
    case AttributeType::Sscaled:
        return static_cast<uint32_t>(static_cast<int32_t>(h % 9) - 4);
    case AttributeType::Uscaled:
        return h % 11;
    default:
        return std::bit_cast<uint32_t>(static_cast<float>(static_cast<int32_t>(h % 23) - 11) / 8.0f);
    }
}

// The same element as the real draw's vertex buffer holds it: a host with
// scaled formats hands the shader floats, which the test converts here.
uint32_t DrawElement(const AttributeSetup& a, uint32_t raw) {
    if (a.Type == AttributeType::Sscaled)
        return std::bit_cast<uint32_t>(static_cast<float>(static_cast<int32_t>(raw)));
    if (a.Type == AttributeType::Uscaled)
        return std::bit_cast<uint32_t>(static_cast<float>(raw));
    return raw;
}

std::string DrawFormat(const AttributeSetup& a) {
    static const char* const Sizes[] = {"r32", "rg32", "rgb32", "rgba32"};
    const char* suffix = a.Type == AttributeType::Uint ? "ui" : a.Type == AttributeType::Sint ? "i" : "f";
    return std::string(Sizes[a.Components - 1]) + suffix;
}

// Elements the attribute buffer needs for the highest vertex or instance index.
std::vector<uint32_t> AttributeData(const AttributeSetup& a, uint32_t highestIndex) {
    std::vector<uint32_t> elements(static_cast<std::size_t>(a.First) +
                                   (highestIndex + 1) * static_cast<uint32_t>(a.Stride));
    for (uint32_t e = 0; e < elements.size(); e++)
        elements[e] = AttributeElement(a, e);
    return elements;
}

// ---- Bindings shared by both forms ----

Json UniformBuffer(int32_t binding, const std::string& file) {
    return Json{{"binding", binding}, {"kind", "ubo"}, {"init", {{"file", file}}}};
}

Json StorageBuffer(int32_t binding, uint64_t size, const std::string& file, const std::string& dump = {}) {
    Json j{{"binding", binding}, {"kind", "ssbo"}, {"size", size}};
    if (!file.empty())
        j["init"] = {{"file", file}};
    if (!dump.empty())
        j["dump"] = dump;
    return j;
}

Json TexelBuffer(int32_t binding, const std::string& file, std::size_t elements) {
    return Json{{"binding", binding},
                {"kind", "uniform_texel_buffer"},
                {"format", "r32f"},
                {"elements", elements},
                {"init", {{"file", file}}}};
}

// The shader's own constant and storage buffers and the support buffer, at
// the bindings its program info lists, with the same data in every run.
void AddShaderResources(Json& bindings, const VtgTest::VkRun& run, const Translation::ShaderProgram& program,
                        const std::vector<Override>& overrides, std::map<int32_t, bool>& taken) {
    auto take = [&](int32_t binding) {
        if (taken[binding])
            return false;
        taken[binding] = true;
        return true;
    };
    if (take(SupportBufferBinding)) {
        std::vector<uint32_t> support(1024, std::bit_cast<uint32_t>(1.0f)); // point size, render scales 1.0
        bindings.push_back(UniformBuffer(SupportBufferBinding, run.Write("support.bin", AsBytes(support))));
    }
    for (const Shader::BufferDescriptor& d : program.Info.CBuffers) {
        if (!take(d.Binding))
            continue;
        const std::string file = "c" + std::to_string(d.Slot) + ".bin";
        bindings.push_back(UniformBuffer(d.Binding, run.Write(file, AsBytes(ConstantBufferData(d.Slot, overrides)))));
    }
    for (const Shader::BufferDescriptor& d : program.Info.SBuffers) {
        if (!take(d.Binding))
            continue;
        const std::string file = "s" + std::to_string(d.Slot) + ".bin";
        bindings.push_back(
            StorageBuffer(d.Binding, StorageBufferBytes, run.Write(file, AsBytes(StorageBufferData(d.Slot)))));
    }
    if (!program.Info.Textures.empty() || !program.Info.Images.empty()) {
        throw Failure("the shader uses textures or images, which this test does not bind");
    }
}

// ---- Compute form ----

std::vector<uint32_t> VertexInfo(uint32_t vertices, uint32_t instances, uint32_t baseVertex, uint32_t baseInstance,
                                 uint32_t primitives, uint32_t indexOffset,
                                 const std::vector<AttributeSetup>& attributes) {
    // std140: vertex_counts, geometry_counts, vertex_strides[32], vertex_offsets[32], one uvec4 each.
    std::vector<uint32_t> words(
        4 * (2 + Shader::VertexInfoBuffer::VertexStridesCount + Shader::VertexInfoBuffer::VertexOffsetsCount));
    const uint32_t counts[] = {vertices, instances, baseVertex, baseInstance, primitives, 0, 0, indexOffset};
    std::copy(std::begin(counts), std::end(counts), words.begin());
    for (const AttributeSetup& a : attributes) {
        const std::size_t strides = 8 + 4 * static_cast<std::size_t>(a.Location);
        const std::size_t offsets =
            8 + 4 * (Shader::VertexInfoBuffer::VertexStridesCount + static_cast<std::size_t>(a.Location));
        words[strides] = static_cast<uint32_t>(a.Stride);
        for (int32_t c = 1; c < 4; c++)
            words[strides + static_cast<std::size_t>(c)] = a.Components > c ? 1u : 0u;
        words[offsets] = static_cast<uint32_t>(a.First);
        words[offsets + 1] = a.PerInstance ? 1u : 0u;
    }
    return words;
}

// Runs the vertex shader as compute; returns the dumped "vertex_output".
std::vector<uint8_t> RunVertexCompute(const VtgTest::VkRun& run, const Translated& vertex, const DrawSetup& draw,
                                      const std::vector<AttributeSetup>& attributes, uint32_t highestVertex,
                                      const std::vector<Override>& overrides) {
    const Translation::ResourceReservations reservations = vertex.Context->GetResourceReservations();
    const auto vertices = static_cast<uint32_t>(draw.Indices.size());
    Json bindings = Json::array();
    std::map<int32_t, bool> taken;
    AddShaderResources(bindings, run, *vertex.Program, overrides, taken);
    const std::vector<uint32_t> info =
        VertexInfo(vertices, draw.Instances, draw.BaseVertex, draw.BaseInstance, 0, draw.IndexOffset, attributes);
    bindings.push_back(
        UniformBuffer(reservations.VertexInfoConstantBufferBinding, run.Write("vb_info.bin", AsBytes(info))));

    std::vector<uint32_t> indices(draw.IndexOffset, 0xFFFFu); // entries before the first are never read
    indices.insert(indices.end(), draw.Indices.begin(), draw.Indices.end());
    bindings.push_back(TexelBuffer(VtgTest::FlatBinding(2, reservations.IndexBufferTextureBinding),
                                   run.Write("ib_data.bin", AsBytes(indices)), indices.size()));
    for (const AttributeSetup& a : attributes) {
        const uint32_t highest = a.PerInstance ? draw.BaseInstance + draw.Instances - 1 : highestVertex;
        const std::vector<uint32_t> data = AttributeData(a, highest);
        bindings.push_back(
            TexelBuffer(VtgTest::FlatBinding(2, reservations.VertexBufferTextureBaseBinding + a.Location),
                        run.Write("vb_data" + std::to_string(a.Location) + ".bin", AsBytes(data)), data.size()));
    }
    const uint64_t outputBytes = uint64_t{4} * vertices * draw.Instances * static_cast<uint32_t>(vertex.OutputWords);
    std::vector<uint32_t> unwritten(outputBytes / 4, UnwrittenMarker);
    bindings.push_back(StorageBuffer(VtgTest::FlatBinding(1, reservations.VertexOutputStorageBufferBinding),
                                     outputBytes, run.Write("vertex_output.init", AsBytes(unwritten)),
                                     "vertex_output.bin"));

    const std::vector<uint32_t> module = VtgTest::FlattenDescriptorSets(VtgTest::ToWords(vertex.Program->BinaryCode));
    Json description{{"spv", run.Write("vertex_compute.spv", AsBytes(module))},
                     {"groups", {Groups(vertices), Groups(draw.Instances), 1}},
                     {"bindings", bindings}};
    if (std::string error = run.Run("vertex_compute", description); !error.empty())
        throw Failure("compute run: " + error);
    return run.Read("vertex_output.bin");
}

// ---- Real draw ----

struct Capture {
    std::vector<uint8_t> Records;
    VtgTest::CaptureLayout Layout;
    uint64_t Primitives = 0;
};

Json VertexBuffers(const VtgTest::VkRun& run, const std::vector<AttributeSetup>& attributes, uint32_t highestVertex,
                   const DrawSetup& draw) {
    Json buffers = Json::array();
    for (std::size_t i = 0; i < attributes.size(); i++) {
        const AttributeSetup& a = attributes[i];
        const uint32_t highest = a.PerInstance ? draw.BaseInstance + draw.Instances - 1 : highestVertex;
        const std::vector<uint32_t> data = AttributeData(a, highest);
        // The base instance: the draw's instance 0 starts that many strides later.
        const std::size_t start =
            static_cast<std::size_t>(a.First) +
            (a.PerInstance ? static_cast<std::size_t>(draw.BaseInstance) * static_cast<std::size_t>(a.Stride) : 0);
        std::vector<uint32_t> elements;
        for (std::size_t e = start; e < data.size(); e++)
            elements.push_back(DrawElement(a, data[e]));
        const std::string file = run.Write("attribute" + std::to_string(a.Location) + ".bin", AsBytes(elements));
        buffers.push_back(Json{{"binding", i},
                               {"stride", 4 * a.Stride},
                               {"input_rate", a.PerInstance ? "instance" : "vertex"},
                               {"init", {{"file", file}}},
                               {"attributes", {{{"location", a.Location}, {"format", DrawFormat(a)}, {"offset", 0}}}}});
    }
    return buffers;
}

const char* DrawTopology(InputTopology topology) {
    switch (topology) {
    case InputTopology::Points:
        return "point_list";
    case InputTopology::Lines:
        return "line_list";
    case InputTopology::LinesAdjacency:
        return "line_list_with_adjacency";
    case InputTopology::TrianglesAdjacency:
        return "triangle_list_with_adjacency";
    default:
        return "triangle_list";
    }
}

// Draws vertexCount vertices and `instances` instances with transform
// feedback capturing the last stage, the rasterizer off.
Capture RunDraw(const VtgTest::VkRun& run, const Translated& vertex, const Translated* geometry,
                const std::vector<AttributeSetup>& attributes, const DrawSetup& draw, uint32_t vertexCount,
                InputTopology topology, uint64_t records, const std::vector<Override>& overrides) {
    Capture capture;
    const Translated& last = geometry != nullptr ? *geometry : vertex;
    const std::vector<uint32_t> captured =
        VtgTest::AddTransformFeedback(VtgTest::ToWords(last.Program->BinaryCode), capture.Layout);
    const std::string invalid = Zerivox::TestTools::ValidateSpirv(captured);
    if (!invalid.empty())
        throw Failure("the capturing copy of the module is invalid: " + invalid);

    Json bindings = Json::array();
    std::map<int32_t, bool> taken;
    AddShaderResources(bindings, run, *vertex.Program, overrides, taken);
    Json graphics{
        {"vert",
         run.Write("draw_vertex.spv", geometry != nullptr ? vertex.Program->BinaryCode : VtgTest::ToBytes(captured))},
        {"topology", DrawTopology(topology)},
        {"vertex_count", vertexCount},
        {"instance_count", draw.Instances},
        {"width", 1},
        {"height", 1},
        {"rasterizer_discard", true},
        {"vertex_buffers", VertexBuffers(run, attributes, vertexCount - 1, draw)},
        {"transform_feedback", {{{"buffer", 0}, {"size", records * capture.Layout.Stride + 16}, {"dump", "xfb.bin"}}}},
        {"primitives_dump", "primitives.bin"}};
    if (geometry != nullptr) {
        // The geometry shader sees the vertex shader's constant buffers under
        // the same slots: both programs take their numbers from their own
        // counter, so the slots of each must land on the same data.
        AddShaderResources(bindings, run, *geometry->Program, overrides, taken);
        graphics["geom"] = run.Write("draw_geometry.spv", VtgTest::ToBytes(captured));
    }
    Json description{{"graphics", graphics}, {"bindings", bindings}};
    if (std::string error = run.Run("draw", description); !error.empty())
        throw Failure("real draw: " + error);
    capture.Records = run.Read("xfb.bin");
    const std::vector<uint8_t> primitives = run.Read("primitives.bin");
    if (primitives.size() < 16)
        throw Failure("short primitives dump");
    std::memcpy(&capture.Primitives, primitives.data(), 8);
    return capture;
}

// ---- Comparison ----

// Where an output of the compute layout is in a captured record.
std::optional<uint32_t> CapturedOffset(const VtgTest::CaptureLayout& layout,
                                       const Shader::StructuredIr::IoDefinition& key) {
    VtgTest::CaptureKey capture;
    uint32_t extra = 0;
    switch (key.IoVariable) {
    case IR::IoVariable::Position:
        capture.BuiltIn = static_cast<int32_t>(spv::BuiltIn::Position);
        extra = 4 * static_cast<uint32_t>(key.Component);
        break;
    case IR::IoVariable::PointSize:
        capture.BuiltIn = static_cast<int32_t>(spv::BuiltIn::PointSize);
        break;
    case IR::IoVariable::ClipDistance:
        capture.BuiltIn = static_cast<int32_t>(spv::BuiltIn::ClipDistance);
        extra = 4 * static_cast<uint32_t>(key.Component);
        break;
    case IR::IoVariable::Layer:
        capture.BuiltIn = static_cast<int32_t>(spv::BuiltIn::Layer);
        break;
    case IR::IoVariable::ViewportIndex:
        capture.BuiltIn = static_cast<int32_t>(spv::BuiltIn::ViewportIndex);
        break;
    case IR::IoVariable::PrimitiveId:
        capture.BuiltIn = static_cast<int32_t>(spv::BuiltIn::PrimitiveId);
        break;
    case IR::IoVariable::UserDefined:
        capture.Location = key.Location;
        extra = 4 * static_cast<uint32_t>(key.Component);
        break;
    default:
        return std::nullopt;
    }
    auto found = layout.Offsets.find(capture);
    if (found == layout.Offsets.end())
        return std::nullopt;
    return found->second + extra;
}

struct Comparison {
    uint64_t Vertices = 0;
    uint64_t Words = 0;
    uint64_t Differences = 0;
    std::string First;

    void Word(const std::string& where, const Shader::StructuredIr::IoDefinition& key, uint32_t expected,
              uint32_t got) {
        Words++;
        if (expected == got)
            return;
        if (Differences++ == 0) {
            First = where + " " + key.ToString() + ": real draw " + Hex(expected) + ", compute " + Hex(got);
        }
    }
};

// Compares one compute vertex record with one captured record; outputs the
// shader leaves undefined in both (`skip`) are not compared.
void CompareVertex(Comparison& comparison, const std::string& where, const Translated& computed,
                   const std::vector<uint8_t>& computeWords, uint64_t computeRecord, const Capture& capture,
                   uint64_t captureRecord, IR::IoVariable skip) {
    comparison.Vertices++;
    for (const auto& [key, offset] : computed.Outputs) {
        if (key.IoVariable == skip)
            continue;
        const std::optional<uint32_t> at = CapturedOffset(capture.Layout, key);
        if (!at)
            throw Failure("the real draw has no place for " + key.ToString());
        const uint32_t expected = WordAt(capture.Records, (captureRecord * capture.Layout.Stride + *at) / 4);
        const uint32_t got = WordAt(computeWords, computeRecord * static_cast<uint32_t>(computed.OutputWords) +
                                                      static_cast<uint32_t>(offset));
        comparison.Word(where, key, expected, got);
    }
}

std::string Summary(const Comparison& c) {
    return std::to_string(c.Vertices) + " vertices, " + std::to_string(c.Words) + " words";
}

// ---- Cases ----

Comparison RunVertexCase(const fs::path& corpus, const VtgTest::VkRun& run, const VertexCase& c) {
    const DrawSetup draw = MakeVertexDraw();
    auto reference = Decode(corpus, c.Name, InputTopology::Points, c.Attributes, FirstBinding);
    Translate(*reference, c.Name, false);
    auto compute = Decode(corpus, c.Name, InputTopology::Points, c.Attributes, FirstBinding);
    Translate(*compute, c.Name, true);

    const uint32_t highestIndex = *std::max_element(draw.Indices.begin(), draw.Indices.end());
    const uint32_t drawnVertices = draw.BaseVertex + highestIndex + 1;
    const std::vector<uint8_t> output =
        RunVertexCompute(run, *compute, draw, c.Attributes, draw.BaseVertex + highestIndex, c.Overrides);
    const Capture capture = RunDraw(run, *reference, nullptr, c.Attributes, draw, drawnVertices, InputTopology::Points,
                                    uint64_t{drawnVertices} * draw.Instances, c.Overrides);
    if (capture.Primitives != uint64_t{drawnVertices} * draw.Instances) {
        throw Failure("the real draw captured " + std::to_string(capture.Primitives) + " points");
    }

    Comparison comparison;
    const auto vertices = static_cast<uint32_t>(draw.Indices.size());
    for (uint32_t instance = 0; instance < draw.Instances; instance++) {
        for (uint32_t k = 0; k < vertices; k++) {
            const uint64_t drawn = uint64_t{instance} * drawnVertices + draw.BaseVertex + draw.Indices[k];
            const std::string where = "instance " + std::to_string(instance) + " vertex " + std::to_string(k);
            CompareVertex(comparison, where, *compute, output, uint64_t{instance} * vertices + k, capture, drawn,
                          IR::IoVariable::Invalid);
        }
    }
    return comparison;
}

int32_t VerticesPerPrimitive(Shader::OutputTopology topology) {
    switch (topology) {
    case Shader::OutputTopology::LineStrip:
        return 2;
    case Shader::OutputTopology::TriangleStrip:
        return 3;
    default:
        return 1;
    }
}

Comparison RunGeometryCase(const fs::path& corpus, const VtgTest::VkRun& run, const GeometryCase& c) {
    const std::vector<AttributeSetup> attributes = AttributesOf(c.VertexShader);
    const uint32_t perPrimitive =
        static_cast<uint32_t>(Shader::InputTopologyExtensions::get_InputVertexCount(c.Topology));
    const uint32_t vertices = c.Primitives * perPrimitive;
    DrawSetup draw{{}, 1, 0, 2, 2};
    for (uint32_t v = 0; v < vertices; v++)
        draw.Indices.push_back(v);

    auto vertexReference = Decode(corpus, c.VertexShader, c.Topology, attributes, FirstBinding);
    Translate(*vertexReference, c.VertexShader, false);
    auto geometryReference = Decode(corpus, c.Name, c.Topology, {}, FirstGeometryBinding);
    Translate(*geometryReference, c.Name, false);
    auto vertexCompute = Decode(corpus, c.VertexShader, c.Topology, attributes, FirstBinding);
    Translate(*vertexCompute, c.VertexShader, true);
    auto geometryCompute = Decode(corpus, c.Name, c.Topology, {}, FirstGeometryBinding);
    // The geometry shader reads its inputs in the layout the vertex shader wrote.
    geometryCompute->Context->VertexOutputUsage = vertexCompute->Context->Program().GetIoUsage();
    Translate(*geometryCompute, c.Name, true);

    // Vertex stage as compute.
    const std::vector<uint8_t> vertexOutput =
        RunVertexCompute(run, *vertexCompute, draw, attributes, vertices - 1, c.Overrides);

    // Geometry stage as compute.
    const Translation::ShaderDefinitions& definitions = geometryCompute->Context->Definitions();
    const auto invocations = static_cast<uint32_t>(definitions.ThreadsPerInputPrimitive);
    const auto maxVertices = static_cast<uint32_t>(definitions.MaxOutputVertices);
    const auto indexStride = static_cast<uint32_t>(definitions.GetGeometryOutputIndexBufferStridePerInstance());
    const Translation::ResourceReservations reservations = geometryCompute->Context->GetResourceReservations();
    const uint64_t slots =
        uint64_t{vertices} * draw.Instances * invocations; // primitive numbers run up to instances x vertices
    Json bindings = Json::array();
    std::map<int32_t, bool> taken;
    AddShaderResources(bindings, run, *geometryCompute->Program, c.Overrides, taken);
    const std::vector<uint32_t> info = VertexInfo(vertices, draw.Instances, 0, draw.BaseInstance, c.Primitives, 0, {});
    bindings.push_back(
        UniformBuffer(reservations.VertexInfoConstantBufferBinding, run.Write("gs_vb_info.bin", AsBytes(info))));
    std::vector<uint32_t> remap(vertices);
    for (uint32_t v = 0; v < vertices; v++)
        remap[v] = v;
    bindings.push_back(TexelBuffer(VtgTest::FlatBinding(2, reservations.TopologyRemapBufferTextureBinding),
                                   run.Write("trb_data.bin", AsBytes(remap)), remap.size()));
    bindings.push_back(StorageBuffer(VtgTest::FlatBinding(1, reservations.VertexOutputStorageBufferBinding),
                                     vertexOutput.size(), run.Write("gs_vertex_output.bin", vertexOutput)));
    const uint64_t vertexBytes = 4 * slots * maxVertices * static_cast<uint32_t>(geometryCompute->OutputWords);
    const uint64_t indexBytes = 4 * slots * indexStride;
    std::vector<uint32_t> unwrittenVertices(vertexBytes / 4, UnwrittenMarker);
    std::vector<uint32_t> unwrittenIndices(indexBytes / 4, UnwrittenMarker);
    bindings.push_back(StorageBuffer(VtgTest::FlatBinding(1, reservations.GeometryVertexOutputStorageBufferBinding),
                                     vertexBytes, run.Write("gs_vb.init", AsBytes(unwrittenVertices)), "gs_vb.bin"));
    bindings.push_back(StorageBuffer(VtgTest::FlatBinding(1, reservations.GeometryIndexOutputStorageBufferBinding),
                                     indexBytes, run.Write("gs_ib.init", AsBytes(unwrittenIndices)), "gs_ib.bin"));
    const std::vector<uint32_t> module =
        VtgTest::FlattenDescriptorSets(VtgTest::ToWords(geometryCompute->Program->BinaryCode));
    Json description{{"spv", run.Write("geometry_compute.spv", AsBytes(module))},
                     {"groups", {Groups(c.Primitives), Groups(draw.Instances), invocations}},
                     {"bindings", bindings}};
    if (std::string error = run.Run("geometry_compute", description); !error.empty()) {
        throw Failure("geometry compute run: " + error);
    }
    const std::vector<uint8_t> vb = run.Read("gs_vb.bin");
    const std::vector<uint8_t> ib = run.Read("gs_ib.bin");

    // Rebuild the primitive stream: instance by instance, primitive by
    // primitive, invocation by invocation, each slice's strips split at the
    // restarts into independent primitives as transform feedback records them.
    const int32_t primitiveVertices = VerticesPerPrimitive(definitions.OutputTopology);
    std::vector<std::vector<uint32_t>> primitives;
    for (uint32_t instance = 0; instance < draw.Instances; instance++) {
        for (uint32_t p = 0; p < c.Primitives; p++) {
            for (uint32_t i = 0; i < invocations; i++) {
                const uint64_t slice = ((uint64_t{instance} * vertices + p) * invocations + i) * indexStride;
                std::vector<uint32_t> strip;
                for (uint32_t j = 0; j <= indexStride; j++) {
                    const uint32_t index = j < indexStride ? WordAt(ib, slice + j) : 0xFFFFFFFFu;
                    if (index == UnwrittenMarker)
                        throw Failure("index slot " + std::to_string(slice + j) + " was never written");
                    if (index != 0xFFFFFFFFu) {
                        strip.push_back(index);
                        continue;
                    }
                    for (std::size_t k = 0; k + static_cast<std::size_t>(primitiveVertices) <= strip.size(); k++) {
                        std::vector<uint32_t> primitive(strip.begin() + static_cast<std::ptrdiff_t>(k),
                                                        strip.begin() + static_cast<std::ptrdiff_t>(k) +
                                                            primitiveVertices);
                        // Odd triangles of a strip keep the strip's winding.
                        if (primitiveVertices == 3 && k % 2 == 1)
                            std::swap(primitive[1], primitive[2]);
                        primitives.push_back(primitive);
                    }
                    strip.clear();
                }
            }
        }
    }

    const Capture capture =
        RunDraw(run, *vertexReference, geometryReference.get(), attributes, draw, vertices, c.Topology,
                primitives.size() * static_cast<uint64_t>(primitiveVertices) + 64, c.Overrides);
    if (capture.Primitives != primitives.size()) {
        throw Failure("the real draw made " + std::to_string(capture.Primitives) + " primitives, the compute form " +
                      std::to_string(primitives.size()));
    }
    Comparison comparison;
    for (std::size_t p = 0; p < primitives.size(); p++) {
        for (std::size_t v = 0; v < primitives[p].size(); v++) {
            const std::string where = "primitive " + std::to_string(p) + " vertex " + std::to_string(v);
            // gl_PointSize: neither corpus geometry shader writes it, so it is
            // undefined in both forms.
            CompareVertex(comparison, where, *geometryCompute, vb, primitives[p][v], capture,
                          p * static_cast<uint64_t>(primitiveVertices) + v, IR::IoVariable::PointSize);
        }
    }
    return comparison;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: VtgAsComputeTest SHARED_DIR VKRUN SCRATCH_DIR\n");
        return 2;
    }
    const fs::path corpus = fs::path(argv[1]) / "corpus";
    if (!fs::is_directory(corpus)) {
        std::printf("%s absent: skipped\n", corpus.string().c_str());
        return 77;
    }
    const std::string vkrun = fs::absolute(argv[2]).string();
    if (!fs::exists(vkrun)) {
        std::printf("vkrun not built at %s (scripts/test.sh builds it)\n", vkrun.c_str());
        return 1;
    }
    const fs::path scratch = fs::absolute(argv[3]);
    fs::remove_all(scratch);

    int failed = 0;
    uint64_t shaders = 0, vertices = 0, words = 0;
    auto report = [&](const std::string& name, auto&& body) {
        try {
            const Comparison c = body(VtgTest::VkRun(vkrun, (scratch / name).string()));
            if (c.Differences != 0) {
                std::printf("FAIL %s: %llu of %s differ; first at %s\n", name.c_str(),
                            static_cast<unsigned long long>(c.Differences), Summary(c).c_str(), c.First.c_str());
                failed++;
                return;
            }
            std::printf("PASS %s: %s compared\n", name.c_str(), Summary(c).c_str());
            vertices += c.Vertices;
            words += c.Words;
        } catch (const std::exception& e) {
            std::printf("FAIL %s: %s\n", name.c_str(), e.what());
            failed++;
        }
    };
    for (const VertexCase& c : VertexCases) {
        shaders++;
        report(c.Name, [&](const VtgTest::VkRun& run) { return RunVertexCase(corpus, run, c); });
    }
    for (const GeometryCase& c : GeometryCases) {
        shaders++;
        report(std::string(c.VertexShader) + "+" + c.Name,
               [&](const VtgTest::VkRun& run) { return RunGeometryCase(corpus, run, c); });
    }
    std::printf("%llu shaders, %llu vertices, %llu output words compared; %d failed\n",
                static_cast<unsigned long long>(shaders), static_cast<unsigned long long>(vertices),
                static_cast<unsigned long long>(words), failed);
    return failed == 0 ? 0 : 1;
}
