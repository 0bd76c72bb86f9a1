#pragma once
// Runs vkrun on run descriptions written into one scratch directory and
// reads back the files it dumps.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace VtgTest {

class VkRun {
  public:
    VkRun(std::string vkrun, std::string directory);

    const std::string& Directory() const { return _directory; }
    // Writes a file into the directory; returns its name.
    std::string Write(const std::string& name, std::span<const uint8_t> bytes) const;
    std::vector<uint8_t> Read(const std::string& name) const;
    // Writes `description` as NAME.json and runs vkrun on it from the
    // directory. Empty on success, else vkrun's message.
    std::string Run(const std::string& name, const nlohmann::json& description) const;

  private:
    std::string _vkrun;
    std::string _directory;
};

} // namespace VtgTest
