#pragma once
// Reading an input whole into memory: a regular file, a pipe, a FIFO, a
// device or standard input.
#include <cstdint>
#include <string>
#include <vector>

namespace tqxmltool {

enum class ReadStatus { Read, Missing, Locked, Unreadable };

struct Input {
    ReadStatus status = ReadStatus::Unreadable;
    std::vector<unsigned char> bytes;
    std::string problem;  // why it could not be read, for Unreadable
};

// The parser takes less than 4 GiB; larger inputs are refused, not cut.
constexpr std::uint64_t kMaxInputBytes = std::uint64_t{1} << 32;

// `path` "-" reads standard input. A regular file is opened as the library
// opens files (shared for reading, waiting out a writer's lock); a FIFO
// without a writer is given a short time to get one.
Input ReadInput(const std::string& path);

}  // namespace tqxmltool
