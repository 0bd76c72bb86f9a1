#include "driver/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Zerivox.Common/Exceptions.h"
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

std::vector<uint8_t> ReadAllBytes(const std::string& path) {
    CheckPath(path);
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Value < 0)
        ThrowIo("Cannot open", path, errno);
    // No fstat first: a directory fails the read with EISDIR all the same,
    // and code files fit the buffer, so one read and the end-of-file read
    // are all the system calls a file costs.
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.Value, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowIo("Cannot read", path, errno);
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    return bytes;
}

std::string ReadAllText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadAllBytes(path);
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

void WriteAllBytesAtomically(const std::string& path, std::string_view bytes) {
    CheckPath(path);
    // The process id never changes while the tool runs; asking the kernel
    // for it per file was two system calls per job.
    static const std::string pidSuffix = ".tmp" + std::to_string(::getpid());
    std::string temp;
    temp.reserve(path.size() + pidSuffix.size());
    temp.append(path).append(pidSuffix);
    {
        Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.Value < 0)
            ThrowIo("Cannot write", path, errno);
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            ssize_t n = ::write(fd.Value, p, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                int err = errno;
                ::unlink(temp.c_str());
                ThrowIo("Cannot write", path, err);
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        int closed = ::close(fd.Value);
        fd.Value = -1;
        if (closed != 0) {
            int err = errno;
            ::unlink(temp.c_str());
            ThrowIo("Cannot write", path, err);
        }
    }
    // Replacing an existing file by swapping it with the new one keeps the
    // replacement atomic but avoids the forced write-back that ext4 starts
    // when a rename overwrites a file (a disk round trip per output file,
    // which dominated a serve run). The old contents end up under the
    // temporary name and are unlinked. The swap is tried first, without
    // looking at what is in the way: unlinking the swapped-out entry fails
    // only for a directory, which is then swapped back and reported by the
    // plain rename, like everything else the swap cannot take - no file yet,
    // a file system without exchange.
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        if (::unlink(temp.c_str()) == 0 || errno != EISDIR)
            return;
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) != 0)
            ThrowIo("Cannot write", path, errno);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        ThrowIo("Cannot write", path, err);
    }
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

} // namespace Zerivox::FenkVanter
