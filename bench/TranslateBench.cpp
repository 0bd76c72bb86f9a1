// Translation speed in-process, with glslang as the yardstick:
//   library/corpus and library/shader/KEY  every corpus shader translated
//                                          repeatedly (items: shaders);
//   glslang/corpus                         glslang compiling the same
//                                          shaders' GLSL to SPIR-V 1.3 in
//                                          this process (items: shaders);
//                                          absent without glslang-dev;
//   shape/KIND/N                           the generated shaders in
//                                          ZV_SHAPES_DIR (KIND-N.bin, made
//                                          by bench/gen_shader.py; items:
//                                          instructions).
// The corpus directory is ZV_CORPUS_DIR when set, else the shared corpus;
// jobs come from its jobs.json, as the command-line tool reads them.
// bench/ratios.py turns the figures into ratios against glslang.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <malloc.h>

#ifdef ZV_HAVE_GLSLANG
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#endif

#include "driver/FenkVanter.h"
#include "driver/FenkVanterAccessor.h"
#include "driver/JobJson.h"

namespace {

namespace Fv = Zerivox::FenkVanter;
namespace Tr = Zerivox::Graphics::Shader::Translation;

struct Shader {
    std::string Key;
    Fv::Json Job;
    std::vector<uint8_t> Code;
    int64_t Instructions = 0; // generated shapes: what one translation counts as items
};

struct GlslSource {
    std::string Key;
    std::string Text;
    int Stage = 0; // EShLanguage
};

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// The same flags the tool derives from a job.
std::size_t TranslateOnce(const Shader& s) {
    Fv::FenkVanterAccessor accessor(s.Code, s.Job);
    Tr::TranslationFlags flags = Tr::TranslationFlags::None;
    if (Fv::GetBool(s.Job, "debug").value_or(true))
        flags |= Tr::TranslationFlags::DebugMode;
    if (Fv::GetString(s.Job, "stage") == "cs")
        flags |= Tr::TranslationFlags::Compute;
    Tr::TranslationOptions options(Tr::TargetLanguage::Spirv, Tr::TargetGraphicsApi::Vulkan, flags);
    return Fv::RunTranslator(accessor, options).BinaryCode.size();
}

bool Translates(const Shader& s) {
    try {
        TranslateOnce(s);
        return true;
    } catch (const std::exception& e) {
        // A shader that fails to translate would measure the error path.
        std::cerr << "skipped " << s.Key << ": " << e.what() << "\n";
        return false;
    }
}

std::string CorpusDir() {
    const char* env = std::getenv("ZV_CORPUS_DIR");
    return env ? env : ZV_SHARED_DIR "/corpus";
}

#ifdef ZV_HAVE_GLSLANG

struct GlslStage {
    const char* Extension;
    EShLanguage Language;
};
constexpr GlslStage GlslStages[] = {
    {".comp", EShLangCompute},     {".vert", EShLangVertex},   {".tesc", EShLangTessControl},
    {".tese", EShLangTessEvaluation}, {".geom", EShLangGeometry}, {".frag", EShLangFragment},
};

// What a user of glslang does for one shader: parse, link, generate SPIR-V
// 1.3 for Vulkan 1.1. Returns the module's size in words (0 on failure).
std::size_t CompileGlsl(const GlslSource& source) {
    const auto language = static_cast<EShLanguage>(source.Stage);
    glslang::TShader shader(language);
    const char* text = source.Text.c_str();
    const int length = static_cast<int>(source.Text.size());
    shader.setStringsWithLengths(&text, &length, 1);
    shader.setEnvInput(glslang::EShSourceGlsl, language, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_1);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_3);
    const auto messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules);
    if (!shader.parse(GetDefaultResources(), 450, false, messages))
        return 0;
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages))
        return 0;
    std::vector<uint32_t> words;
    glslang::SpvOptions options;
    options.validate = false;
    spv::SpvBuildLogger logger;
    glslang::GlslangToSpv(*program.getIntermediate(language), words, &logger, &options);
    return words.size();
}

// The GLSL beside each translated corpus shader (NAME.bin -> NAME.<stage>).
std::vector<GlslSource> LoadGlsl(const std::string& dir, const std::vector<Shader>& shaders) {
    std::vector<GlslSource> sources;
    for (const Shader& s : shaders) {
        std::string code = Fv::GetString(s.Job, "code").value_or("");
        std::string stem = code.substr(0, code.rfind('.'));
        for (const GlslStage& stage : GlslStages) {
            std::string path = dir + "/" + stem + stage.Extension;
            if (!std::filesystem::exists(path))
                continue;
            GlslSource source{s.Key, ReadFile(path), static_cast<int>(stage.Language)};
            if (CompileGlsl(source) == 0)
                std::cerr << "glslang rejects " << path << ": left out of the reference\n";
            else
                sources.push_back(std::move(source));
            break;
        }
    }
    return sources;
}

void BM_Glslang(benchmark::State& state, const std::vector<GlslSource>* sources) {
    for (auto _ : state)
        for (const GlslSource& s : *sources)
            benchmark::DoNotOptimize(CompileGlsl(s));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sources->size()));
}

#endif

std::vector<Shader> LoadCorpus(const std::string& dir) {
    std::vector<Shader> shaders;
    Fv::Json jobs = Fv::ParseJson(ReadFile(dir + "/jobs.json"), true);
    for (const Fv::Json& job : jobs) {
        Shader s;
        s.Key = Fv::GetString(job, "key").value_or("?");
        s.Job = job;
        std::string code = ReadFile(dir + "/" + Fv::GetString(job, "code").value_or(""));
        s.Code.assign(code.begin(), code.end());
        if (Translates(s))
            shaders.push_back(std::move(s));
    }
    return shaders;
}

// Generated compute shaders named KIND-N.bin, in name order.
std::vector<Shader> LoadShapes(const std::string& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".bin")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Shader> shapes;
    for (const auto& file : files) {
        std::string name = file.stem().string();
        std::size_t dash = name.rfind('-');
        if (dash == std::string::npos)
            continue;
        Shader s;
        s.Key = name.substr(0, dash) + "/" + name.substr(dash + 1);
        s.Instructions = std::atoll(name.c_str() + dash + 1);
        s.Job = Fv::ParseJson(R"({"stage":"cs","local":[64,1,1],"shared":0})", false);
        std::string code = ReadFile(file.string());
        s.Code.assign(code.begin(), code.end());
        if (Translates(s))
            shapes.push_back(std::move(s));
    }
    return shapes;
}

void BM_Shader(benchmark::State& state, const Shader* s) {
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslateOnce(*s));
    state.SetItemsProcessed(state.iterations() * (s->Instructions > 0 ? s->Instructions : 1));
}

void BM_Corpus(benchmark::State& state, const std::vector<Shader>* shaders) {
    for (auto _ : state)
        for (const Shader& s : *shaders)
            benchmark::DoNotOptimize(TranslateOnce(s));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(shaders->size()));
}

} // namespace

int main(int argc, char** argv) {
    // The same heap settings as the tool, so the figures match serve mode.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
    benchmark::Initialize(&argc, argv);

    std::vector<Shader> corpus;
    const std::string dir = CorpusDir();
    try {
        corpus = LoadCorpus(dir);
    } catch (const std::exception& e) {
        std::cerr << "no corpus: " << e.what() << "\n";
    }
    std::vector<Shader> shapes;
    if (const char* shapesDir = std::getenv("ZV_SHAPES_DIR")) {
        try {
            shapes = LoadShapes(shapesDir);
        } catch (const std::exception& e) {
            std::cerr << "no shapes: " << e.what() << "\n";
        }
    }
#ifdef ZV_HAVE_GLSLANG
    glslang::InitializeProcess();
    std::vector<GlslSource> glsl = LoadGlsl(dir, corpus);
    if (!glsl.empty())
        benchmark::RegisterBenchmark("glslang/corpus", BM_Glslang, &glsl);
#else
    std::cerr << "built without glslang: no glslang reference\n";
#endif
    if (!corpus.empty())
        benchmark::RegisterBenchmark("library/corpus", BM_Corpus, &corpus);
    for (const Shader& s : corpus)
        benchmark::RegisterBenchmark(("library/shader/" + s.Key).c_str(), BM_Shader, &s);
    for (const Shader& s : shapes)
        benchmark::RegisterBenchmark(("shape/" + s.Key).c_str(), BM_Shader, &s);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
#ifdef ZV_HAVE_GLSLANG
    glslang::FinalizeProcess();
#endif
    return 0;
}
