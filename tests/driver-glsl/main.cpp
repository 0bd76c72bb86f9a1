// fenkvanter-glsl: the command-line tool with the GLSL back end in place of
// the SPIR-V one. Every job is translated to GLSL, the text is compiled to
// SPIR-V for Vulkan by glslang in-process, and the tool writes <key>.glsl,
// <key>.spv and <key>.res.json exactly as fenkvanter writes its two files.
// A text glslang rejects fails the job with glslang's first error line.
// Built with the tests, so that the corpus differential test can run the
// GLSL back end's output; not installed.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "driver-glsl/GlslTranslate.h"
#include "driver/FenkVanter.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    Zerivox::FenkVanter::FenkVanter tool(std::cin, std::cout, std::cerr, Zerivox::FenkVanter::TranslateThroughGlsl);
    return tool.Run(args);
}
