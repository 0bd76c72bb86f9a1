#include "driver/FenkVanter.h"

#include <cstdlib>
#include <exception>
#include <istream>
#include <limits>
#include <memory>
#include <ostream>
#include <span>
#include <string_view>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "driver/FenkVanterAccessor.h"
#include "driver/FileIo.h"
#include "driver/Limits.h"
#include "driver/ResJson.h"

namespace Zerivox::FenkVanter {

namespace Tr = Graphics::Shader::Translation;

namespace {

constexpr std::string_view Eol = "\r\n";

void WriteStackTrace(const std::exception& e, std::ostream& err) {
    if (std::getenv("KTRV_STACK") == nullptr)
        return;
    std::string text;
    if (auto* z = dynamic_cast<const Common::Exception*>(&e))
        text = z->stackTrace();
    if (text.empty())
        text = "   (no stack trace was captured for " + Common::ErrorText(e) + ")";
    text += Eol;
    err << text;
}

} // namespace

std::optional<std::string> ReadJobKey(const Json& job) {
    if (!job.is_object())
        throw Common::ArgumentException("A job must be a JSON object, not " + std::string(KindName(job)) + ".");
    std::optional<std::string> key = GetString(job, "key");
    if (key && key->find_first_of("\r\n") != std::string::npos) {
        throw Common::ArgumentException("The job key must not contain a line break.");
    }
    return key;
}

FenkVanter::FenkVanter(std::istream& in, std::ostream& out, std::ostream& err, TranslateFunction translate)
    : _in(in), _out(out), _err(err), _translate(std::move(translate)) {}

std::optional<std::string> FenkVanter::Translate(const Json& job, const std::string& outDir) {
    std::optional<std::string> key = ReadJobKey(job);
    std::string stem = key.value_or("");
    try {
        // Before anything is read or written: a key must not lead outside.
        CheckKeyStaysInside(stem);

        std::optional<std::string> codePath = GetString(job, "code");
        if (!codePath)
            throw Common::ArgumentException("The job has no \"code\".");
        std::vector<uint8_t> code = ReadAllBytes(*codePath, MaxCodeBytes, "code size limit");

        FenkVanterAccessor accessor(code, job);

        Tr::TranslationFlags flags = Tr::TranslationFlags::None;
        if (GetBool(job, "debug").value_or(true))
            flags |= Tr::TranslationFlags::DebugMode;
        std::optional<std::string> stage = GetString(job, "stage");
        if (stage == "cs")
            flags |= Tr::TranslationFlags::Compute;

        Tr::TranslationOptions options(Tr::TargetLanguage::Spirv, Tr::TargetGraphicsApi::Vulkan, flags);
        Tr::ShaderProgram program = _translate(accessor, options);

        ResJsonContent content;
        content.Key = key;
        content.Stage = stage;
        content.Notes = accessor.Notes();
        content.Info = &program.Info;
        content.TexQueried = accessor.TexQueried();
        content.ImgQueried = accessor.ImgQueried();
        std::string res = WriteResJson(content);

        // The resource description is the commit record: it goes last. A
        // translation that also carries GLSL text (test tools that go through
        // the GLSL back end) leaves the text beside the module.
        const std::vector<uint8_t>& spv = program.BinaryCode;
        OutputFile files[3];
        std::size_t fileCount = 0;
        files[fileCount++] = {".spv", std::string_view(reinterpret_cast<const char*>(spv.data()), spv.size())};
        if (!program.Code.empty())
            files[fileCount++] = {".glsl", program.Code};
        files[fileCount++] = {".res.json", res};
        if (!_output.IsOpen() || _output.Path() != outDir)
            _output.Open(outDir);
        _output.WriteResult(stem, std::span<const OutputFile>(files, fileCount));
        return std::nullopt;
    } catch (const std::exception& e) {
        WriteStackTrace(e, _err);
        return Common::ErrorText(e);
    } catch (...) {
        return "Exception: Unknown error.";
    }
}

int FenkVanter::RunOneShot(const std::string& jobsPath, const std::string& outDir) {
    Json jobs;
    try {
        jobs = ParseJson(ReadAllText(jobsPath, MaxJobsFileBytes, "jobs file size limit"), /*skipByteOrderMark=*/true,
                         MaxJobs);
        if (!jobs.is_array())
            throw Common::JsonException("The jobs file must hold a JSON array.");
        _output.Open(outDir);
    } catch (const std::exception& e) {
        _err << "fenkvanter: " << Common::ErrorText(e) << Eol;
        return 2;
    }

    int32_t succeeded = 0;
    int32_t failed = 0;
    for (const Json& job : jobs) {
        std::optional<std::string> error;
        std::string key;
        try {
            error = Translate(job, outDir);
            if (error)
                key = ReadJobKey(job).value_or("");
        } catch (const std::exception& e) {
            // No usable key: the job is reported with an empty one.
            error = Common::ErrorText(e);
        }
        if (error) {
            ++failed;
            _err << "【红】" << key << "：" << *error << Eol;
        } else {
            ++succeeded;
        }
    }
    _out << "翻译 " + std::to_string(succeeded) + " 成功，" + std::to_string(failed) + " 失败" << Eol;
    _out.flush();
    return failed > 0 ? 1 : 0;
}

std::string FenkVanter::ServeRequest(std::string_view line) {
    std::string key = "?";
    try {
        Json request = ParseJson(line, /*skipByteOrderMark=*/false);
        if (!request.is_object())
            throw Common::JsonException("A request must be a JSON object.");
        const Json* job = FindMember(request, "job");
        if (job == nullptr || !job->is_object()) {
            throw Common::ArgumentException("The request's \"job\" must be a JSON object.");
        }
        std::optional<std::string> outDir = GetString(request, "out");
        key = ReadJobKey(*job).value_or("");
        if (!outDir)
            throw Common::ArgumentException("The request has no \"out\".");
        _output.Open(*outDir);
        std::optional<std::string> error = Translate(*job, *outDir);
        if (!error)
            return "ok " + key;
        return "fail " + key + " " + *error;
    } catch (const std::exception& e) {
        return "fail " + key + " " + Common::ErrorText(e);
    } catch (...) {
        return "fail " + key + " Exception: Unknown error.";
    }
}

int FenkVanter::RunServe() {
    // Lines are read into a buffer of the request size limit (plus a CR);
    // a longer line is answered and skipped without being stored, so no
    // input line can take more memory or time than its own length to pass.
    // Left uninitialised: zeroing it would touch every page of the limit in
    // each serve process, where lines use only the first few.
    const std::size_t size = MaxRequestBytes + 2;
    std::unique_ptr<char[]> storage = std::make_unique_for_overwrite<char[]>(size);
    const std::span<char> buffer(storage.get(), size);
    const auto capacity = static_cast<std::streamsize>(buffer.size());
    for (;;) {
        _in.getline(buffer.data(), capacity);
        std::streamsize count = _in.gcount();
        if (count == 0 && _in.fail())
            return 0;                           // end of input
        bool ended = !_in.eof() && !_in.fail(); // the line feed was taken
        if (_in.fail() && !_in.eof()) {
            // The line filled the buffer without ending.
            _in.clear();
            _in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            _out << "fail ? ArgumentOutOfRangeException: The request is longer than the request size limit of " +
                        std::to_string(MaxRequestBytes) + " bytes."
                 << Eol;
            _out.flush();
            continue;
        }
        std::size_t length = static_cast<std::size_t>(count) - (ended ? 1 : 0);
        if (length > 0 && buffer[length - 1] == '\r')
            --length;
        if (length == 0)
            continue;
        if (length > MaxRequestBytes) {
            _out << "fail ? ArgumentOutOfRangeException: The request is longer than the request size limit of " +
                        std::to_string(MaxRequestBytes) + " bytes."
                 << Eol;
        } else {
            _out << ServeRequest(std::string_view(buffer.data(), length)) << Eol;
        }
        _out.flush();
    }
}

int FenkVanter::Main(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    FenkVanter tool(in, out, err);
    return tool.Run(args);
}

int FenkVanter::Run(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--serve")
        return RunServe();
    if (args.size() < 2) {
        _err << "usage: fenkvanter <jobs.json> <output-directory>" << Eol << "       fenkvanter --serve" << Eol;
        return 2;
    }
    return RunOneShot(args[0], args[1]);
}

} // namespace Zerivox::FenkVanter
