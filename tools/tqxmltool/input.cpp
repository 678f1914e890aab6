#include "input.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <tqplatform/filenames.h>
#include <tqplatform/files.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "input_sources.h"

namespace tqxmltool {

namespace {

constexpr std::uint32_t kLockTimeoutMs = 2000;
constexpr auto kWriterWait = std::chrono::milliseconds(2000);
constexpr auto kWriterPoll = std::chrono::milliseconds(10);
constexpr std::size_t kChunk = 1 << 16;

void Fail(Input& in, std::string problem) {
    in.status = ReadStatus::Unreadable;
    in.problem = std::move(problem);
    in.bytes.clear();
}

void FailTooLarge(Input& in) {
    Fail(in, "4 GiB or more, larger than the parser takes");
}

// Appends everything up to the end of the input. `expected` sizes the buffer
// for a regular file; streams grow it as they go.
void ReadToEnd(int fd, Input& in, std::uint64_t expected) {
    if (expected >= kMaxInputBytes) return FailTooLarge(in);
    std::size_t used = in.bytes.size();
    in.bytes.resize(std::max<std::size_t>(used + kChunk, static_cast<std::size_t>(expected) + 1));
    for (;;) {
        if (used == in.bytes.size()) in.bytes.resize(used * 2);
        ssize_t got = read(fd, in.bytes.data() + used, in.bytes.size() - used);
        if (got > 0) {
            used += static_cast<std::size_t>(got);
            if (used >= kMaxInputBytes) return FailTooLarge(in);
        } else if (got == 0) {
            break;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor handed over in non-blocking mode: wait for data.
            pollfd ready{fd, POLLIN, 0};
            poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            return Fail(in, std::strerror(errno));
        }
    }
    in.bytes.resize(used);
    in.status = ReadStatus::Read;
}

// A FIFO opened without blocking reads as empty until a writer opens it, and
// then as "no data yet" while the writer is silent. Waits a bounded time for
// a writer; true once there is one.
bool AwaitWriter(int fd, Input& in) {
    const auto deadline = std::chrono::steady_clock::now() + kWriterWait;
    for (;;) {
        unsigned char first[4096];
        ssize_t got = read(fd, first, sizeof first);
        if (got > 0) {
            in.bytes.assign(first, first + got);
            return true;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (got < 0 && errno != EINTR) {
            Fail(in, std::strerror(errno));
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Fail(in, "a FIFO that no program writes to (waited 2 s)");
            return false;
        }
        std::this_thread::sleep_for(kWriterPoll);
    }
}

// Pipes, FIFOs and devices: read as streams, never waited on forever for a
// writer that does not exist.
void ReadStream(const std::string& path, bool fifo, Input& in) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(in, std::strerror(errno));
    if (!fifo || AwaitWriter(fd, in)) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ReadToEnd(fd, in, 0);
    }
    close(fd);
}

void ReadDirectly(const std::string& path, Input& in, std::uint64_t size) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(in, std::strerror(errno));
    ReadToEnd(fd, in, size);
    close(fd);
}

// Opened as the library opens files, so a program holding the file without
// sharing it keeps us out until it lets go (or the wait ends). A path the
// library's file functions refuse (longer than Windows allows) is read
// directly.
void ReadRegularFile(const std::string& path, Input& in, std::uint64_t size) {
    const std::u16string wide = tqplat::WideFileName(path);
    const auto* name = reinterpret_cast<const unsigned short*>(wide.c_str());
    const std::uint32_t start = tqplat::GetTickCount();
    tqplat::HANDLE file;
    while ((file = tqplat::CreateFileW(name, tqplat::GENERIC_READ, tqplat::FILE_SHARE_READ, nullptr,
                                       tqplat::OPEN_EXISTING, tqplat::FILE_FLAG_SEQUENTIAL_SCAN,
                                       nullptr)) == tqplat::INVALID_HANDLE_VALUE) {
        const std::uint32_t error = tqplat::GetLastError();
        if (error == tqplat::ERROR_FILE_NOT_FOUND) {
            in.status = ReadStatus::Missing;
            return;
        }
        if (error == tqplat::ERROR_PATH_NOT_FOUND || error == tqplat::ERROR_INVALID_NAME ||
            error == tqplat::ERROR_FILENAME_EXCED_RANGE)
            return ReadDirectly(path, in, size);
        if (error != tqplat::ERROR_SHARING_VIOLATION) {
            return Fail(in, error == tqplat::ERROR_ACCESS_DENIED
                                ? std::string("access denied")
                                : "cannot be opened (error " + std::to_string(error) + ")");
        }
        if (tqplat::GetTickCount() - start >= kLockTimeoutMs) {
            in.status = ReadStatus::Locked;
            return;
        }
        tqplat::Sleep(10);
    }
    ReadToEnd(tqplat::FdFromHandle(file), in, size);
    tqplat::CloseHandle(file);
}

}  // namespace

void ReadStandardInput(Input& in) {
    struct stat info {};
    if (fstat(STDIN_FILENO, &info) != 0) return Fail(in, std::strerror(errno));
    ReadToEnd(STDIN_FILENO, in,
              S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0);
}

void ReadPath(const std::string& path, Input& in) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            in.status = ReadStatus::Missing;
        else
            Fail(in, std::strerror(errno));
        return;
    }
    if (S_ISDIR(info.st_mode)) return Fail(in, "a directory");
    if (S_ISREG(info.st_mode))
        return ReadRegularFile(path, in, static_cast<std::uint64_t>(info.st_size));
    ReadStream(path, S_ISFIFO(info.st_mode), in);
}

}  // namespace tqxmltool
