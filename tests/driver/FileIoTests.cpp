#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "driver/FileIo.h"

using namespace Zerivox::FenkVanter;
namespace fs = std::filesystem;
namespace C = Zerivox::Common;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Scratch {
    fs::path Path;
    explicit Scratch(const std::string& name) {
        Path = fs::temp_directory_path() / ("fv-fileio-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~Scratch() { fs::remove_all(Path); }
};

int CountTemporaries(const fs::path& dir) {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        pid_t pid = 0;
        count += OutputWriter::IsTemporaryName(entry.path().filename().string(), pid);
    }
    return count;
}

// The id of a process that has ended.
pid_t DeadProcessId() {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void Write(OutputWriter& writer, const std::string& key, std::string_view spv, std::string_view res) {
    const OutputFile files[] = {{".spv", spv}, {".res.json", res}};
    writer.WriteResult(key, files);
}

} // namespace

// A result replaces the old one whole, in a real subdirectory too, and
// leaves no temporary behind.
TEST(FileIo, ResultsReplaceWholeFiles) {
    Scratch dir("replace");
    fs::path out = dir.Path / "out";
    fs::create_directories(out / "sub");
    OutputWriter writer;
    writer.Open(out.string());
    Write(writer, "a", "first, longer module", "first record");
    Write(writer, "a", "second", "");
    EXPECT_EQ(ReadFile(out / "a.spv"), "second");
    EXPECT_EQ(ReadFile(out / "a.res.json"), "");
    Write(writer, "sub/b", "m", "r");
    Write(writer, "./sub//c", "m2", "r2");
    EXPECT_EQ(ReadFile(out / "sub/b.spv"), "m");
    EXPECT_EQ(ReadFile(out / "sub/c.res.json"), "r2");
    EXPECT_EQ(CountTemporaries(out), 0);
}

// Nothing but regular files is ever replaced or removed, and no key can
// lead a write through a link or anything else that is not a directory.
TEST(FileIo, ResultsNeverReplaceOrPassThroughOtherThings) {
    Scratch dir("hostile");
    fs::path out = dir.Path / "out";
    fs::path outside = dir.Path / "outside";
    fs::create_directories(out);
    fs::create_directories(outside);
    std::ofstream(outside / "victim") << "keep";

    struct Case {
        const char* Name;
        std::string Key;
        std::function<void()> Plant;
        std::function<bool()> Untouched;
    };
    const Case cases[] = {
        {"directory as module", "d", [&] { fs::create_directories(out / "d.spv/x"); },
         [&] { return fs::is_directory(out / "d.spv/x"); }},
        {"link as module", "l", [&] { fs::create_symlink(outside / "victim", out / "l.spv"); },
         [&] { return fs::is_symlink(out / "l.spv") && ReadFile(outside / "victim") == "keep"; }},
        {"link as record", "r", [&] { fs::create_symlink(outside / "victim", out / "r.res.json"); },
         [&] { return fs::is_symlink(out / "r.res.json") && ReadFile(outside / "victim") == "keep"; }},
        {"FIFO as module", "f", [&] { ::mkfifo((out / "f.spv").c_str(), 0600); },
         [&] { return fs::is_fifo(out / "f.spv"); }},
        {"linked subdirectory", "ln/x", [&] { fs::create_directory_symlink(outside, out / "ln"); },
         [&] { return !fs::exists(outside / "x.spv") && !fs::exists(outside / "x.res.json"); }},
        {"file as subdirectory", "file/x", [&] { std::ofstream(out / "file") << "f"; },
         [&] { return ReadFile(out / "file") == "f"; }},
        {"missing subdirectory", "none/x", [] {}, [&] { return !fs::exists(out / "none"); }},
    };
    OutputWriter writer;
    writer.Open(out.string());
    for (const Case& c : cases) {
        c.Plant();
        EXPECT_THROW(Write(writer, c.Key, "module", "record"), C::IOException) << c.Name;
        EXPECT_TRUE(c.Untouched()) << c.Name;
        // Never a commit record beside files it does not belong to.
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(out / (c.Key + ".res.json")))) << c.Name;
    }
    EXPECT_EQ(CountTemporaries(dir.Path), 0);
    EXPECT_EQ(ReadFile(outside / "victim"), "keep");
}

// Temporaries of processes that have ended are removed the first time a
// directory is written; those of live processes and other files stay.
TEST(FileIo, StaleTemporariesAreRemoved) {
    Scratch dir("stale");
    fs::path out = dir.Path;
    const std::string dead = ".fenkvanter-" + std::to_string(DeadProcessId()) + "-0123456789abcdef.tmp";
    const std::string live = ".fenkvanter-" + std::to_string(::getppid()) + "-0123456789abcdef.tmp";
    const std::string others[] = {".fenkvanter-1-0123456789ABCDEF.tmp", ".fenkvanter-1-x.tmp", "a.spv.tmp"};
    for (const std::string& name : {dead, live})
        std::ofstream(out / name) << "partial";
    for (const std::string& name : others)
        std::ofstream(out / name) << "other";
    fs::create_directories(out / ("x" + dead)); // only its exact name counts

    OutputWriter writer;
    writer.Open(out.string());
    Write(writer, "k", "m", "r");
    EXPECT_FALSE(fs::exists(out / dead));
    EXPECT_TRUE(fs::exists(out / live));
    for (const std::string& name : others)
        EXPECT_TRUE(fs::exists(out / name)) << name;
}

// Only regular files within the limit are read; anything else fails at
// once, without reading (a FIFO would block, /dev/zero would never end).
TEST(FileIo, ReadAllBytesReadsOnlyRegularFilesWithinTheLimit) {
    Scratch dir("read");
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); i++)
        big[i] = static_cast<char>(i * 7);
    std::ofstream(dir.Path / "code.bin", std::ios::binary) << big;
    ::mkfifo((dir.Path / "fifo").c_str(), 0600);

    std::vector<uint8_t> bytes = ReadAllBytes((dir.Path / "code.bin").string(), big.size(), "code size limit");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), big); // larger than one read, exactly at the limit

    struct Case {
        std::string Path;
        std::string Error;
    };
    const Case cases[] = {
        {dir.Path.string(), "IOException: Cannot read \"" + dir.Path.string() +
                                "\": it is a directory, not a "
                                "regular file."},
        {(dir.Path / "fifo").string(),
         "IOException: Cannot read \"" + (dir.Path / "fifo").string() + "\": it is a FIFO, not a regular file."},
        {"/dev/zero", "IOException: Cannot read \"/dev/zero\": it is a character device, not a regular file."},
        {(dir.Path / "missing").string(),
         "FileNotFoundException: Cannot open \"" + (dir.Path / "missing").string() + "\": No such file or directory."},
        {(dir.Path / "code.bin").string(), "ArgumentOutOfRangeException: The file \"" +
                                               (dir.Path / "code.bin").string() +
                                               "\" is 200000 bytes, more than the code size limit of 199999 bytes."},
    };
    for (const Case& c : cases) {
        try {
            ReadAllBytes(c.Path, big.size() - 1, "code size limit");
            ADD_FAILURE() << c.Path;
        } catch (const C::Exception& e) {
            EXPECT_EQ(C::ErrorText(e), c.Error);
        }
    }
}
