#pragma once
// File system access of the tool. Failures become IOException (or
// FileNotFoundException) with the path quoted safely, so a job fails with a
// readable one-line error instead of the process failing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zerivox::FenkVanter {

std::vector<uint8_t> ReadAllBytes(const std::string& path);
std::string ReadAllText(const std::string& path);

// Creates the directory and any missing parents; an existing directory is fine.
void CreateDirectories(const std::string& path);

// Writes the whole file through a temporary file in the same directory and
// a rename, so an interrupted run leaves either the old file or the complete
// new one, never a truncated one. An existing file is replaced.
void WriteAllBytesAtomically(const std::string& path, std::string_view bytes);

// Rejects a job key whose output files would land outside the output
// directory (an absolute key, or one with a ".." component) or whose name
// the file system would silently cut (a NUL character). ArgumentException.
void CheckKeyStaysInside(std::string_view key);

// dir joined with name (name is relative).
std::string JoinPath(const std::string& dir, const std::string& name);

} // namespace Zerivox::FenkVanter
