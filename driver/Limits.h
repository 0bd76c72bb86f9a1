#pragma once
// Sizes the tool accepts from its users. Each is far above anything a real
// shader or job needs (the largest real shaders are tens of kilobytes of
// code and their jobs a few kilobytes of JSON), and each bounds the time and
// memory one request can take: everything the tool does grows linearly with
// these sizes. Past a limit the job or request fails with an error that
// names the limit, before the large input is read or parsed.
#include <cstddef>
#include <cstdint>

namespace Zerivox::FenkVanter {

// A code file: 2 MiB holds about 175,000 instructions.
inline constexpr std::size_t MaxCodeBytes = std::size_t{2} << 20;

// One serve request line, without its line end. A job's largest member is
// "c1", at most 128 KiB of hexadecimal text for a 64 KiB constant buffer.
inline constexpr std::size_t MaxRequestBytes = std::size_t{4} << 20;

// The jobs file of a one-shot run, and the number of jobs in it.
inline constexpr std::size_t MaxJobsFileBytes = std::size_t{64} << 20;
inline constexpr std::size_t MaxJobs = 100000;

} // namespace Zerivox::FenkVanter
