#pragma once
// File system access of the tool. Failures become IOException (or
// FileNotFoundException) with the path quoted safely, so a job fails with a
// readable one-line error instead of the process failing.
#include <sys/types.h>

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Zerivox::FenkVanter {

// Reads a whole regular file of at most maxBytes bytes. Anything else - a
// directory, FIFO, device or socket - fails at once without being read (a
// FIFO would block for ever, a device might never end), and so does a file
// larger than maxBytes, with an ArgumentOutOfRangeException that names the
// limit (limitName, for example "code size limit").
std::vector<uint8_t> ReadAllBytes(const std::string& path, std::size_t maxBytes, std::string_view limitName);
std::string ReadAllText(const std::string& path, std::size_t maxBytes, std::string_view limitName);

// Creates the directory and any missing parents; an existing directory is fine.
void CreateDirectories(const std::string& path);

// Rejects a job key whose output files would land outside the output
// directory (an absolute key, or one with a ".." component) or whose name
// the file system would silently cut (a NUL character). ArgumentException.
void CheckKeyStaysInside(std::string_view key);

// dir joined with name (name is relative).
std::string JoinPath(const std::string& dir, const std::string& name);

// One file of a job's result: the ending added to the key, and the bytes.
struct OutputFile {
    std::string_view Suffix;
    std::string_view Bytes;
};

// Writes job results below one output directory at a time.
//
// Everything below the directory is reached through its file descriptor,
// one path component at a time and without following symbolic links, so no
// key and no link planted in the directory can send a write elsewhere.
//
// A result is a list of files whose last one is the commit record. Writing
// one first removes the old commit record, then the old files, and then puts
// each new file in place through an exclusively created temporary with an
// unpredictable name in the same directory and a rename that never replaces
// anything; the commit record comes last. So whenever a commit record exists,
// the files beside it are complete and belong to it, whatever point a run
// was killed at. Processes writing to the same directory take turns through
// an advisory lock on it, so two of them cannot mix their files either.
// Nothing that is not a regular file is ever removed or replaced.
class OutputWriter {
  public:
    OutputWriter();
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // Makes path (created with any missing parents) the directory of the
    // following writes. Cheap when it is the directory already open.
    void Open(const std::string& path);
    const std::string& Path() const noexcept { return _path; }
    bool IsOpen() const noexcept { return _dirFd >= 0; }

    // Writes <key><suffix> for every file, in order, below the open
    // directory. The key may name an existing subdirectory ("sub/name"),
    // which must be a real directory, not a link. The key must have passed
    // CheckKeyStaysInside.
    void WriteResult(std::string_view key, std::span<const OutputFile> files);

    // Names of the temporaries this tool creates: ".fenkvanter-<pid>-<16 hex
    // digits>.tmp". A directory's temporaries left by processes that no
    // longer run are removed the first time a writer writes there.
    static bool IsTemporaryName(std::string_view name, pid_t& pid);

  private:
    void MakeTemporaryName(std::string& name);
    void RemoveStaleTemporaries(int dirFd);
    void WriteFile(int dirFd, const std::string& name, std::string_view bytes, std::string_view key,
                   std::string_view suffix);

    std::string _path;
    int _dirFd = -1;
    dev_t _device = 0;
    ino_t _inode = 0;
    pid_t _pid;
    std::string _tempPrefix; // ".fenkvanter-<pid>-"
    // Scratch storage of one result's file names, kept so that a session
    // does not allocate them afresh for every job; WriteResult sets them
    // before each use.
    std::vector<std::string> _names;
    std::string _temp;
    std::set<std::pair<dev_t, ino_t>> _cleaned;
    uint64_t _random[32] = {};
    std::size_t _randomLeft = 0;
};

} // namespace Zerivox::FenkVanter
