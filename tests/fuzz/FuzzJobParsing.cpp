// libFuzzer target: the driver's reading of job JSON and serve requests.
//
// The input is one serve request line. It goes through the strict JSON
// reader (with and without byte-order-mark skipping), the typed member
// reads, the job accessor's answers, and the serve request handler. The
// handler would create the request's "out" directory and read its "code"
// file, so a request that parses is re-pointed at a scratch directory and
// a missing code file first; translation itself is stubbed out (the
// translation target covers it).
#include <cstddef>
#include <cstdint>
#include <exception>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "driver/FenkVanter.h"
#include "driver/FenkVanterAccessor.h"
#include "driver/JobJson.h"
#include "Zerivox.Common/Exceptions.h"

namespace {

namespace Fv = Zerivox::FenkVanter;
namespace Tr = Zerivox::Graphics::Shader::Translation;

// Relative, so it lands in the fuzzing run's own working directory.
const std::string& ScratchDir() {
    static const std::string dir = "scratch-" + std::to_string(getpid());
    return dir;
}

template <typename F> void Try(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

// Every question the translator may ask of a job, so each member reader runs.
void AskAccessor(const Fv::Json& job) {
    static const uint8_t code[16] = {};
    Try([&] {
        Fv::FenkVanterAccessor a(code, job);
        Try([&] { a.GetCode(0, 8); });
        Try([&] { a.QueryConstantBuffer1Size(); });
        Try([&] { a.ConstantBuffer1Read(0); });
        Try([&] { a.ConstantBuffer1Read(4); });
        for (int32_t handle : {0, 0x28, 0x48, 0x7FFFF})
            Try([&] {
                a.QuerySamplerType(handle);
                a.QueryTextureFormat(handle);
            });
        Try([&] { a.QueryGraphicsState(); });
        Try([&] { a.QueryComputeSharedMemorySize(); });
        Try([&] { a.QueryTransformFeedbackEnabled(); });
        for (int32_t i = 0; i < 4; ++i) {
            Try([&] { a.QueryTransformFeedbackVaryingLocations(i); });
            Try([&] { a.QueryTransformFeedbackBufferStride(i); });
        }
        Try([&] { a.QueryHostSupportsShaderFloat64(); });
        Try([&] { a.QueryHostGatherBiasPrecision(); });
        Try([&] { a.QueryHostReducedPrecision(); });
        Try([&] { a.QueryHasUnalignedStorageBuffer(); });
        Try([&] { a.QueryHostStorageBufferOffsetAlignment(); });
        Try([&] { a.QueryHostSubgroupSize(); });
        Try([&] { a.QueryWorkgroupSizeX(); });
        Try([&] { a.QueryWorkgroupSizeY(); });
        Try([&] { a.QueryWorkgroupSizeZ(); });
        Try([&] { a.AllocateConstantBufferBinding(0); });
        Try([&] { a.AllocateStorageBufferBinding(0); });
        Try([&] { a.AllocateTextureBinding(1); });
        Try([&] { a.AllocateImageBinding(1); });
    });
}

Tr::ShaderProgram NoTranslation(Zerivox::Graphics::Shader::IGpuAccessor&, const Tr::TranslationOptions&) {
    throw Zerivox::Common::InvalidOperationException("Translation is not part of this target.");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Try([&] { Fv::ParseJson(text, /*skipByteOrderMark=*/true); });
    Fv::Json request;
    try {
        request = Fv::ParseJson(text, /*skipByteOrderMark=*/false);
    } catch (const std::exception&) {
        request = nullptr;
    }

    std::string line(text);
    if (request.is_object()) {
        if (Fv::FindMember(request, "out") != nullptr)
            request["out"] = ScratchDir();
        if (Fv::Json* job = request.contains("job") ? &request["job"] : nullptr; job && job->is_object()) {
            Try([&] { Fv::ReadJobKey(*job); });
            AskAccessor(*job);
            if (Fv::FindMember(*job, "code") != nullptr && (*job)["code"].is_string())
                (*job)["code"] = ScratchDir() + "/no-such-code.bin";
        }
        line = request.dump();
    }
    // A serve line never holds a line break: the serve loop splits on them.
    if (line.find_first_of("\r\n") != std::string::npos)
        return 0;
    std::istringstream in;
    std::ostringstream out, err;
    Fv::FenkVanter tool(in, out, err, NoTranslation);
    const std::string answer = tool.ServeRequest(line);
    // Every answer is one protocol line.
    if ((answer.rfind("ok ", 0) != 0 && answer.rfind("fail ", 0) != 0) ||
        answer.find_first_of("\r\n") != std::string::npos)
        __builtin_trap();
    return 0;
}
