#include "tests/e2e/vtg_as_compute/VkRun.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace VtgTest {

namespace fs = std::filesystem;

namespace {

// Quoted for the shell: the paths are the test's own, but may hold blanks.
std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

VkRun::VkRun(std::string vkrun, std::string directory) : _vkrun(std::move(vkrun)), _directory(std::move(directory)) {
    fs::create_directories(_directory);
}

std::string VkRun::Write(const std::string& name, std::span<const uint8_t> bytes) const {
    std::ofstream out(fs::path(_directory) / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + name);
    return name;
}

std::vector<uint8_t> VkRun::Read(const std::string& name) const {
    std::ifstream in(fs::path(_directory) / name, std::ios::binary);
    if (!in)
        throw std::runtime_error("vkrun dumped no " + name);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string VkRun::Run(const std::string& name, const nlohmann::json& description) const {
    const std::string file = name + ".json";
    const std::string text = description.dump(1);
    Write(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    const std::string errors = name + ".err";
    const std::string command = "cd " + Quote(_directory) + " && " + Quote(_vkrun) + " " + Quote(file) + " 2> " +
                                Quote(errors) + " > /dev/null";
    const int status = std::system(command.c_str());
    if (status == 0)
        return {};
    std::string message = ReadText(fs::path(_directory) / errors);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message.empty() ? "vkrun ended with status " + std::to_string(status) : message;
}

} // namespace VtgTest
