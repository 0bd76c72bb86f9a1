// Translates every corpus shader in-process, repeatedly: one benchmark per
// shader (time per translation, shaders per second) plus one over the whole
// corpus. The corpus directory is ZV_CORPUS_DIR when set, else the shared
// corpus; jobs come from its jobs.json, as the command-line tool reads them.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <malloc.h>

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

std::vector<Shader>& LoadCorpus() {
    static std::vector<Shader> shaders;
    const char* env = std::getenv("ZV_CORPUS_DIR");
    const std::string dir = env ? env : ZV_SHARED_DIR "/corpus";
    Fv::Json jobs = Fv::ParseJson(ReadFile(dir + "/jobs.json"), true);
    for (const Fv::Json& job : jobs) {
        Shader s;
        s.Key = Fv::GetString(job, "key").value_or("?");
        s.Job = job;
        std::string code = ReadFile(dir + "/" + Fv::GetString(job, "code").value_or(""));
        s.Code.assign(code.begin(), code.end());
        try {
            TranslateOnce(s);
        } catch (const std::exception& e) {
            // A shader that fails to translate would measure the error path.
            std::cerr << "skipped " << s.Key << ": " << e.what() << "\n";
            continue;
        }
        shaders.push_back(std::move(s));
    }
    return shaders;
}

void BM_Shader(benchmark::State& state, const Shader* s) {
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslateOnce(*s));
    state.SetItemsProcessed(state.iterations());
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
    std::vector<Shader>* shaders = nullptr;
    try {
        shaders = &LoadCorpus();
    } catch (const std::exception& e) {
        std::cerr << "no corpus: " << e.what() << "\n";
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("corpus", BM_Corpus, shaders);
    for (const Shader& s : *shaders)
        benchmark::RegisterBenchmark(("shader/" + s.Key).c_str(), BM_Shader, &s);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
