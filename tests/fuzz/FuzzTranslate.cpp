// libFuzzer target: one translation of arbitrary code bytes.
//
// Input layout: 8 fact bytes, then the code file (for graphics stages the
// 0x50-byte program header followed by the instruction words, as in the
// driver's code files). The fact bytes pick the stage (compute or
// graphics) and small job facts, so both translation entries and the
// accessor's answers are explored. Typed errors are the expected outcome of
// bad code; crashes, leaks, sanitizer reports, hangs and a translation that
// succeeds with a module the validator rejects are the faults.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "TestTools/GlslCompiler.h"
#include "TestTools/SpirvValidator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"
#include "driver/FenkVanter.h"
#include "driver/FenkVanterAccessor.h"

namespace {

namespace Fv = Zerivox::FenkVanter;
namespace Tr = Zerivox::Graphics::Shader::Translation;

constexpr std::size_t FactBytes = 8;

const char* Pick(uint8_t b, std::span<const char* const> names) { return names[b % names.size()]; }

Fv::Json MakeJob(const uint8_t* f) {
    static constexpr const char* Topologies[] = {"points", "lines", "lines_adjacency", "triangles",
                                                 "triangles_adjacency"};
    static constexpr const char* TexTypes[] = {"2d", "1d", "3d", "cube", "2darray", "cubearray", "2dms",
                                               "2d_depth", "buffer", "1darray", "2dmsarray"};
    static constexpr const char* ImgFormats[] = {"r32ui", "rgba8", "r32f", "rgba32f", "r32i", ""};
    static constexpr const char* AttrTypes[] = {"float", "sint", "uint"};

    Fv::Json job = Fv::Json::object();
    job["key"] = "fuzz";
    job["code"] = "fuzz.bin";
    const bool compute = (f[0] & 1) != 0;
    if (compute) {
        job["stage"] = "cs";
        job["local"] = Fv::Json::array({1 + (f[1] & 63), 1 + ((f[1] >> 6) & 1), 1});
        job["shared"] = (f[2] & 0x3F) * 256;
    }
    job["debug"] = (f[0] & 2) != 0;
    if (f[0] & 4)
        job["softfloat64"] = true;
    if (f[0] & 8)
        job["reduced"] = true;
    if (f[0] & 16)
        job["early_fragment_tests"] = true;
    if (f[0] & 32) {
        Fv::Json buffer = Fv::Json::object();
        buffer["stride"] = 16;
        buffer["words"] = Fv::Json::array({f[6] & 0x7F, (f[6] + 1) & 0x7F, 0xFF, 0});
        job["tf"] = Fv::Json::array({buffer});
    }
    if (f[0] & 64)
        job["c1"] = "0000000000000080000080bf";
    job["topology"] = Pick(f[3], Topologies);
    Fv::Json tex = Fv::Json::object();
    Fv::Json img = Fv::Json::object();
    for (int slot = 0; slot < 4; ++slot) {
        tex[std::to_string(slot)] = Pick(static_cast<uint8_t>(f[4] + slot * 3), TexTypes);
        Fv::Json entry = Fv::Json::object();
        entry["type"] = Pick(static_cast<uint8_t>(f[4] >> 4), TexTypes);
        entry["fmt"] = Pick(static_cast<uint8_t>(f[5] + slot), ImgFormats);
        img[std::to_string(slot)] = entry;
    }
    job["tex"] = tex;
    job["img"] = img;
    Fv::Json attr = Fv::Json::array();
    for (int i = 0; i < 4; ++i)
        attr.push_back(Pick(static_cast<uint8_t>(f[6] >> (2 * i)), AttrTypes));
    job["attr"] = attr;
    job["fout"] = attr;
    job["subgroup"] = (f[7] & 1) ? 64 : 32;
    job["sbuf_align"] = 1 << (f[7] >> 1 & 7);
    job["gather_bias"] = f[7] >> 4;
    return job;
}

// A translation that succeeds must give a whole module that the Vulkan 1.1
// validator accepts: a host hands it to a driver as it is.
void CheckModule(const std::vector<uint8_t>& spv) {
    if (spv.size() < 20 || spv.size() % 4 != 0 || spv[0] != 0x03 || spv[1] != 0x02 || spv[2] != 0x23 || spv[3] != 0x07)
        __builtin_trap();
    const std::string error = Zerivox::TestTools::ValidateSpirv(spv);
    if (!error.empty()) {
        std::fprintf(stderr, "invalid module: %s\n", error.c_str());
        __builtin_trap();
    }
}

// The same job through the GLSL back end: a translation that succeeds must
// give text that glslang compiles. A typed error is as fine here as it is
// for SPIR-V; a rejected text is a finding.
void TranslateToGlsl(const Fv::Json& job, std::span<const uint8_t> code, Tr::TranslationFlags flags) {
    std::string text;
    Zerivox::Graphics::Shader::ShaderStage stage;
    try {
        Fv::FenkVanterAccessor accessor(code, job);
        Tr::TranslationOptions options(Tr::TargetLanguage::Glsl, Tr::TargetGraphicsApi::Vulkan, flags);
        Tr::ShaderProgram program = Fv::RunTranslator(accessor, options);
        text = std::move(program.Code);
        stage = program.Info.Stage;
    } catch (const std::exception&) {
        return;
    }
    if (!Zerivox::TestTools::CompileGlsl(text, stage).Ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    uint8_t facts[FactBytes] = {};
    const std::size_t factCount = size < FactBytes ? size : FactBytes;
    for (std::size_t i = 0; i < factCount; ++i)
        facts[i] = data[i];
    std::span<const uint8_t> code(data + factCount, size - factCount);
    const Fv::Json job = MakeJob(facts);
    Tr::TranslationFlags flags = Tr::TranslationFlags::None;
    if (facts[0] & 2)
        flags |= Tr::TranslationFlags::DebugMode;
    if (facts[0] & 1)
        flags |= Tr::TranslationFlags::Compute;
    try {
        Fv::FenkVanterAccessor accessor(code, job);
        Tr::TranslationOptions options(Tr::TargetLanguage::Spirv, Tr::TargetGraphicsApi::Vulkan, flags);
        Tr::ShaderProgram program = Fv::RunTranslator(accessor, options);
        CheckModule(program.BinaryCode);
    } catch (const std::exception&) {
        // Rejected input: the translator reported it with a typed error.
    }
    TranslateToGlsl(job, code, flags);
    return 0;
}
