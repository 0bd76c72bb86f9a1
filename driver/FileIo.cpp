#include "driver/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"
#include "driver/JobJson.h"

namespace Zerivox::FenkVanter {

using Common::IOException;

namespace {

[[noreturn]] void ThrowIo(std::string_view what, const std::string& path, int err) {
    std::string message = std::string(what) + " " + QuoteForMessage(path) + ": " + std::strerror(err) + ".";
    if (err == ENOENT)
        throw Common::FileNotFoundException(message);
    throw IOException(message);
}

// The operating system reads paths up to the first NUL, so a path holding one
// would silently name a different file.
void CheckPath(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        throw Common::ArgumentException("The path " + QuoteForMessage(path) + " contains a NUL character.");
    }
}

const char* KindOfFile(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISLNK(mode))
        return "a symbolic link";
    return "a special file";
}

// Closes on every path out of a function.
struct Fd {
    int Value;
    explicit Fd(int v) : Value(v) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (Value >= 0)
            ::close(Value);
    }
};

} // namespace

std::vector<uint8_t> ReadAllBytes(const std::string& path, std::size_t maxBytes, std::string_view limitName) {
    CheckPath(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer; for a regular file it changes nothing.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Value < 0)
        ThrowIo("Cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd.Value, &st) != 0)
        ThrowIo("Cannot read", path, errno);
    if (!S_ISREG(st.st_mode)) {
        throw IOException("Cannot read " + QuoteForMessage(path) + ": it is " + KindOfFile(st.st_mode) +
                          ", not a regular file.");
    }
    auto tooLarge = [&](std::size_t size, bool atLeast) {
        return Common::ArgumentOutOfRangeException(
            "The file " + QuoteForMessage(path) + " is " + (atLeast ? "more than " : "") + std::to_string(size) +
            " bytes, more than the " + std::string(limitName) + " of " + std::to_string(maxBytes) + " bytes.");
    };
    if (static_cast<uint64_t>(st.st_size) > maxBytes)
        throw tooLarge(static_cast<std::size_t>(st.st_size), false);
    // One byte more than the file holds, so that its end shows in the first
    // read; a file that grows meanwhile is still cut off at the limit.
    std::vector<uint8_t> bytes(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > maxBytes)
                throw tooLarge(maxBytes, true);
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
        }
        ssize_t n = ::read(fd.Value, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowIo("Cannot read", path, errno);
        }
        if (n == 0)
            break;
        const bool shortRead = static_cast<std::size_t>(n) < bytes.size() - used;
        used += static_cast<std::size_t>(n);
        // A regular file reads short only at its end: asking again would
        // cost one more system call per job to be told so.
        if (shortRead)
            break;
    }
    bytes.resize(used);
    return bytes;
}

std::string ReadAllText(const std::string& path, std::size_t maxBytes, std::string_view limitName) {
    std::vector<uint8_t> bytes = ReadAllBytes(path, maxBytes, limitName);
    return std::string(bytes.begin(), bytes.end());
}

void CreateDirectories(const std::string& path) {
    if (path.empty())
        throw IOException("The output directory path is empty.");
    CheckPath(path);
    // Serve mode asks for the same existing directory on every request: one
    // stat answers that, where creating it would cost two.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec)
        ThrowIo("Cannot create directory", path, ec.value());
    if (!std::filesystem::is_directory(path, ec))
        ThrowIo("Cannot create directory", path, ENOTDIR);
}

void CheckKeyStaysInside(std::string_view key) {
    if (key.find('\0') != std::string_view::npos) {
        throw Common::ArgumentException("The job key must not contain a NUL character.");
    }
    if (key.starts_with('/')) {
        throw Common::ArgumentException("The job key " + QuoteForMessage(key) +
                                        " is an absolute path; outputs must stay in the output directory.");
    }
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t slash = key.find('/', start);
        std::size_t end = slash == std::string_view::npos ? key.size() : slash;
        if (key.substr(start, end - start) == "..") {
            throw Common::ArgumentException("The job key " + QuoteForMessage(key) +
                                            " has a \"..\" component; outputs must stay in the output directory.");
        }
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

namespace {

constexpr std::string_view TempPrefix = ".fenkvanter-";
constexpr std::string_view TempSuffix = ".tmp";

// Waiting for another writer of the same directory: it holds the lock for a
// few file operations, so a lock held longer than this is someone else's.
constexpr int LockWaitMilliseconds = 10000;

// Holds the directory's advisory lock for one result. The directory's path
// for the message is built only when the wait fails.
struct DirectoryLock {
    int Fd;
    template <typename ShownPath> DirectoryLock(int fd, ShownPath shownPath) : Fd(fd) {
        for (int waited = 0;; waited++) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                return;
            int err = errno;
            if (err == EINTR)
                continue;
            if (err != EWOULDBLOCK) {
                // A file system without locks: nothing to take turns with.
                Fd = -1;
                return;
            }
            if (waited >= LockWaitMilliseconds) {
                throw IOException("Cannot write in " + QuoteForMessage(shownPath()) +
                                  ": another process has held its lock for " +
                                  std::to_string(LockWaitMilliseconds / 1000) + " s.");
            }
            ::usleep(1000);
        }
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    ~DirectoryLock() {
        if (Fd >= 0)
            ::flock(Fd, LOCK_UN);
    }
};

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

} // namespace

OutputWriter::OutputWriter() : _pid(::getpid()) {
    _tempPrefix.append(TempPrefix).append(std::to_string(_pid)).append("-");
}

OutputWriter::~OutputWriter() {
    if (_dirFd >= 0)
        ::close(_dirFd);
}

void OutputWriter::Open(const std::string& path) {
    if (path.empty())
        throw IOException("The output directory path is empty.");
    CheckPath(path);
    // Serve mode names the same directory in every request: one stat tells
    // that it is still the directory already open.
    struct stat st {};
    bool isDirectory = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (isDirectory && _dirFd >= 0 && path == _path && st.st_dev == _device && st.st_ino == _inode)
        return;
    if (!isDirectory)
        CreateDirectories(path);
    Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Value < 0)
        ThrowIo("Cannot open directory", path, errno);
    if (::fstat(fd.Value, &st) != 0)
        ThrowIo("Cannot open directory", path, errno);
    if (_dirFd >= 0)
        ::close(_dirFd);
    _dirFd = fd.Value;
    fd.Value = -1;
    _path = path;
    _device = st.st_dev;
    _inode = st.st_ino;
}

bool OutputWriter::IsTemporaryName(std::string_view name, pid_t& pid) {
    if (!name.starts_with(TempPrefix) || !name.ends_with(TempSuffix))
        return false;
    name.remove_prefix(TempPrefix.size());
    name.remove_suffix(TempSuffix.size());
    std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || name.size() - dash - 1 != 16)
        return false;
    int64_t value = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    for (char c : name.substr(dash + 1)) {
        if (!IsHex(c))
            return false;
    }
    pid = static_cast<pid_t>(value);
    return true;
}

void OutputWriter::MakeTemporaryName(std::string& name) {
    if (_randomLeft == 0) {
        // The kernel's generator: nobody can guess the next name, and one
        // call serves many files.
        std::size_t got = 0;
        auto* bytes = reinterpret_cast<unsigned char*>(_random);
        while (got < sizeof _random) {
            ssize_t n = ::getrandom(bytes + got, sizeof _random - got, 0);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ThrowIo("Cannot make a temporary name in", _path, errno);
            }
            got += static_cast<std::size_t>(n);
        }
        _randomLeft = std::size(_random);
    }
    uint64_t value = _random[--_randomLeft];
    char digits[Common::MaxHexDigits];
    Common::PutHex(digits, value, 16, Common::HexCase::Lower);
    name.assign(_tempPrefix).append(digits, 16).append(TempSuffix);
}

void OutputWriter::RemoveStaleTemporaries(int dirFd) {
    int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return;
    }
    // Names first, removal after: removing while reading could skip entries.
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        if (!IsTemporaryName(entry->d_name, pid))
            continue;
        // Only temporaries of processes that have ended: another live
        // process may be about to rename its own. This process has written
        // nothing here yet, so one with its own id is from an earlier one.
        if (pid == _pid || (::kill(pid, 0) != 0 && errno == ESRCH))
            stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : stale) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(dirFd, name.c_str(), 0);
    }
}

void OutputWriter::WriteFile(int dirFd, const std::string& name, std::string_view bytes, std::string_view key,
                             std::string_view suffix) {
    // The path in messages; built only for one.
    auto shown = [&] { return JoinPath(_path, std::string(key).append(suffix)); };
    std::string& temp = _temp;
    Fd fd(-1);
    for (int attempt = 0; fd.Value < 0; attempt++) {
        MakeTemporaryName(temp);
        fd.Value = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd.Value < 0 && (errno != EEXIST || attempt == 8))
            ThrowIo("Cannot write", shown(), errno);
    }
    auto fail = [&](int err) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        ThrowIo("Cannot write", shown(), err);
    };
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd.Value, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    int closed = ::close(fd.Value);
    fd.Value = -1;
    if (closed != 0)
        fail(errno);
    // Never replaces: the old file was removed before, and whatever stands
    // under the name now is not ours to replace. (Removing first is also
    // what keeps a rename cheap on ext4: a rename over an existing file makes
    // it write the new file's data out at once, which took serve mode's CPU
    // time per job up by a third.)
    if (::renameat2(dirFd, temp.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) == 0)
        return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // A file system without the no-replace rename: a hard link fails in
        // the same way when the name is taken.
        if (::linkat(dirFd, temp.c_str(), dirFd, name.c_str(), 0) == 0) {
            ::unlinkat(dirFd, temp.c_str(), 0);
            return;
        }
        err = errno;
    }
    if (err == EEXIST) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        struct stat st {};
        std::string what = "something else";
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode))
            what = KindOfFile(st.st_mode);
        throw IOException("Cannot write " + QuoteForMessage(shown()) + ": " + what +
                          " is in the way, and only regular files are replaced.");
    }
    fail(err);
}

void OutputWriter::WriteResult(std::string_view key, std::span<const OutputFile> files) {
    if (_dirFd < 0)
        throw Common::InvalidOperationException("No output directory is open.");
    std::size_t slash = key.rfind('/');
    std::string_view subdirectories = slash == std::string_view::npos ? std::string_view() : key.substr(0, slash);
    std::string_view stem = slash == std::string_view::npos ? key : key.substr(slash + 1);

    // Walk down to the key's directory without following links.
    int dirFd = _dirFd;
    Fd owned(-1);
    std::size_t start = 0;
    while (start < subdirectories.size()) {
        std::size_t end = subdirectories.find('/', start);
        if (end == std::string_view::npos)
            end = subdirectories.size();
        std::string part(subdirectories.substr(start, end - start));
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        int next = ::openat(dirFd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            int err = errno;
            std::string shown = JoinPath(_path, std::string(key.substr(0, end)));
            if (err == ELOOP || err == ENOTDIR) {
                throw IOException("Cannot write below " + QuoteForMessage(shown) +
                                  ": it is a symbolic link or no directory; a job key may only name real "
                                  "subdirectories of the output directory.");
            }
            ThrowIo("Cannot open directory", shown, err);
        }
        if (owned.Value >= 0)
            ::close(owned.Value);
        owned.Value = next;
        dirFd = next;
    }

    std::pair<dev_t, ino_t> id{_device, _inode};
    if (dirFd != _dirFd) {
        struct stat st {};
        if (::fstat(dirFd, &st) != 0)
            ThrowIo("Cannot open directory", JoinPath(_path, std::string(subdirectories)), errno);
        id = {st.st_dev, st.st_ino};
    }
    if (_cleaned.insert(id).second)
        RemoveStaleTemporaries(dirFd);

    DirectoryLock lock(dirFd, [&] { return JoinPath(_path, std::string(subdirectories)); });

    // The old result goes first, commit record first, so that from here on
    // no reader can take the old commit record for the new files. Only
    // regular files are removed; anything else makes the write fail below.
    // The names' storage is reused from job to job; their text is this job's.
    std::vector<std::string>& names = _names;
    names.resize(files.size());
    for (std::size_t i = 0; i < files.size(); i++)
        names[i].assign(stem).append(files[i].Suffix);
    for (std::size_t i = names.size(); i-- > 0;) {
        struct stat st {};
        if (::fstatat(dirFd, names[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            ::unlinkat(dirFd, names[i].c_str(), 0) != 0 && errno != ENOENT) {
            ThrowIo("Cannot replace", JoinPath(_path, std::string(key).append(files[i].Suffix)), errno);
        }
    }
    for (std::size_t i = 0; i < files.size(); i++)
        WriteFile(dirFd, names[i], files[i].Bytes, key, files[i].Suffix);
}

} // namespace Zerivox::FenkVanter
