// Reading, writing, cutting and closing through a handle.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "file_handle.h"
#include "share_table.h"
#include "tqplatform/files.h"

namespace tqplat {

namespace {

// One system call moves at most this much; larger requests loop.
constexpr std::uint32_t kMaxChunk = 1u << 30;

bool Fail(std::uint32_t error) {
    SetLastError(error);
    return false;
}

// A descriptor that exists but was opened without the right gives EBADF.
std::uint32_t TransferError(int err) {
    return err == EBADF ? ERROR_ACCESS_DENIED : ErrorFromErrno(err);
}

}  // namespace

bool ReadFile(HANDLE h, void* buffer, std::uint32_t toRead, std::uint32_t* read, void* overlapped) {
    if (read != nullptr) *read = 0;
    const int fd = OpenDescriptor(h);
    if (fd < 0) return false;
    if ((buffer == nullptr && toRead != 0) || overlapped != nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!HandleGrants(fd, GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);

    auto* bytes = static_cast<unsigned char*>(buffer);
    std::uint32_t total = 0;
    while (total < toRead) {
        const std::uint32_t chunk = std::min(toRead - total, kMaxChunk);
        const ssize_t got = ::read(fd, bytes + total, chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (read != nullptr) *read = total;
            return Fail(TransferError(errno));
        }
        total += static_cast<std::uint32_t>(got);
        // End of file, or a pipe that has no more for now: return what came.
        if (static_cast<std::uint32_t>(got) < chunk) break;
    }
    if (read != nullptr) *read = total;
    return true;
}

bool WriteFile(HANDLE h, const void* buffer, std::uint32_t toWrite, std::uint32_t* written,
               void* overlapped) {
    if (written != nullptr) *written = 0;
    const int fd = OpenDescriptor(h);
    if (fd < 0) return false;
    if ((buffer == nullptr && toWrite != 0) || overlapped != nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!HandleGrants(fd, GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);

    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t total = 0;
    while (total < toWrite) {
        const ssize_t put = ::write(fd, bytes + total, std::min(toWrite - total, kMaxChunk));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (written != nullptr) *written = total;
            return Fail(put == 0 ? ERROR_DISK_FULL : TransferError(errno));
        }
        total += static_cast<std::uint32_t>(put);
    }
    if (written != nullptr) *written = total;
    return true;
}

bool SetEndOfFile(HANDLE h) {
    const int fd = OpenDescriptor(h);
    if (fd < 0) return false;
    const int mode = fcntl(fd, F_GETFL) & O_ACCMODE;
    if (mode == O_RDONLY || !HandleGrants(fd, GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0) return Fail(ErrorFromErrno(errno));
    int result;
    do {
        result = ftruncate(fd, position);
    } while (result != 0 && errno == EINTR);
    return result == 0 || Fail(ErrorFromErrno(errno));
}

bool CloseHandle(HANDLE h) {
    const int fd = OpenDescriptor(h);
    if (fd < 0) return false;
    ForgetShare(fd);
    // Linux releases the descriptor even when close reports EINTR; never retry.
    if (close(fd) != 0 && errno != EINTR) return Fail(ErrorFromErrno(errno));
    return true;
}

}  // namespace tqplat
