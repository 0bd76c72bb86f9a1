#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "driver/FileIo.h"

using namespace Zerivox::FenkVanter;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

// Outputs are replaced by swapping in a complete new file: the replaced
// contents must not survive anywhere (no temporary left behind), a shorter
// file must not keep the old tail, and something that is not a regular file
// in the way must fail the write without being moved or removed.
TEST(FileIo, WriteAllBytesAtomicallyReplacesWholeFilesOnly) {
    fs::path dir = fs::temp_directory_path() / ("fv-fileio-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = (dir / "a.spv").string();

    WriteAllBytesAtomically(file, "first, longer contents");
    EXPECT_EQ(ReadFile(file), "first, longer contents");
    WriteAllBytesAtomically(file, "second");
    EXPECT_EQ(ReadFile(file), "second");
    WriteAllBytesAtomically(file, "");
    EXPECT_EQ(ReadFile(file), "");

    fs::create_directories(dir / "taken.spv" / "inside");
    EXPECT_THROW(WriteAllBytesAtomically((dir / "taken.spv").string(), "x"), Zerivox::Common::IOException);
    EXPECT_TRUE(fs::is_directory(dir / "taken.spv" / "inside"));

    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        entries++;
    }
    EXPECT_EQ(entries, 2); // a.spv and the directory: no temporaries
    fs::remove_all(dir);
}

// A code path naming a directory or nothing must fail the job with its own
// error, never translate an empty or partial code buffer.
TEST(FileIo, ReadAllBytesReadsWholeFilesAndRejectsTheRest) {
    fs::path dir = fs::temp_directory_path() / ("fv-fileio-read-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); i++) big[i] = static_cast<char>(i * 7);
    std::ofstream(dir / "code.bin", std::ios::binary) << big;

    std::vector<uint8_t> bytes = ReadAllBytes((dir / "code.bin").string());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), big); // larger than one read

    EXPECT_THROW(ReadAllBytes(dir.string()), Zerivox::Common::IOException);
    EXPECT_THROW(ReadAllBytes((dir / "missing.bin").string()), Zerivox::Common::FileNotFoundException);
    fs::remove_all(dir);
}
