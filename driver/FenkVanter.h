#pragma once
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Graphics.Shader/Translation/ShaderProgram.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"
#include "driver/FileIo.h"
#include "driver/JobJson.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::FenkVanter {

// Runs one translation: decode at address 0 with the job's accessor, then
// translate. Replaceable so the tool's behaviour around the translator can
// be exercised on its own.
using TranslateFunction = std::function<Graphics::Shader::Translation::ShaderProgram(
    Graphics::Shader::IGpuAccessor&, const Graphics::Shader::Translation::TranslationOptions&)>;

// The translator's own pipeline.
Graphics::Shader::Translation::ShaderProgram
RunTranslator(Graphics::Shader::IGpuAccessor& accessor,
              const Graphics::Shader::Translation::TranslationOptions& options);

// The command-line tool: one-shot mode over a jobs file, or serve mode with
// one JSON request per input line. Single-threaded; every job gets its own
// accessor and translator objects, so nothing of one job reaches the next.
// Console lines end with CR LF.
class FenkVanter {
  public:
    FenkVanter(std::istream& in, std::ostream& out, std::ostream& err, TranslateFunction translate = RunTranslator);

    // Exactly one argument "--serve" selects serve mode; otherwise argument 0
    // is the jobs file and argument 1 the output directory. Returns the
    // process exit code.
    static int Main(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

    int Run(const std::vector<std::string>& args);

    // Translates one job into outDir/<key>.spv and outDir/<key>.res.json.
    // Returns the error text of a failed job, nothing on success. A job that
    // is not an object, or whose "key" is not a string or holds a line break,
    // throws instead: such a job has no key to report.
    std::optional<std::string> Translate(const Json& job, const std::string& outDir);

    int RunOneShot(const std::string& jobsPath, const std::string& outDir);
    int RunServe();

    // Answer line (without line end) of one non-empty serve request.
    std::string ServeRequest(std::string_view line);

  private:
    std::istream& _in;
    std::ostream& _out;
    std::ostream& _err;
    TranslateFunction _translate;
    OutputWriter _output;
};

// The job's "key": nothing when absent. Throws when the job is no object, the
// key is no string, or it holds CR or LF (it would split console and
// protocol lines).
std::optional<std::string> ReadJobKey(const Json& job);

} // namespace Zerivox::FenkVanter
