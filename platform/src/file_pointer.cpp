// File pointer and size, split into 32-bit halves as the callers expect.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_handle.h"
#include "tqplatform/files.h"

namespace tqplat {

namespace {

bool SizeOf(HANDLE h, std::int64_t& size) {
    const int fd = OpenDescriptor(h);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    size = info.st_size;
    return true;
}

std::uint32_t FailSeek(std::uint32_t error) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
}

}  // namespace

std::uint32_t SetFilePointer(HANDLE h, std::int32_t distanceLow, std::int32_t* distanceHigh,
                             std::uint32_t method) {
    const int fd = OpenDescriptor(h);
    if (fd < 0) return INVALID_SET_FILE_POINTER;
    // Without a high part the low part is a signed 32-bit distance.
    const std::int64_t distance =
        distanceHigh == nullptr
            ? static_cast<std::int64_t>(distanceLow)
            : static_cast<std::int64_t>(
                  (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                  static_cast<std::uint32_t>(distanceLow));
    std::int64_t origin = 0;
    if (method == FILE_CURRENT) {
        origin = lseek(fd, 0, SEEK_CUR);
        if (origin < 0) return FailSeek(ErrorFromErrno(errno));
    } else if (method == FILE_END) {
        if (!SizeOf(h, origin)) return INVALID_SET_FILE_POINTER;
    } else if (method != FILE_BEGIN) {
        return FailSeek(ERROR_INVALID_PARAMETER);
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(origin, distance, &target)) return FailSeek(ERROR_INVALID_PARAMETER);
    if (target < 0) return FailSeek(ERROR_NEGATIVE_SEEK);
    // A position beyond 4 GiB cannot be reported without a high part.
    if (distanceHigh == nullptr && target > 0xFFFFFFFFLL) return FailSeek(ERROR_INVALID_PARAMETER);
    if (lseek(fd, static_cast<off_t>(target), SEEK_SET) < 0) return FailSeek(ErrorFromErrno(errno));

    if (distanceHigh != nullptr) *distanceHigh = static_cast<std::int32_t>(target >> 32);
    // The low part may itself read 0xFFFFFFFF; a cleared last error tells success.
    SetLastError(ERROR_SUCCESS);
    return static_cast<std::uint32_t>(target);
}

std::uint32_t GetFileSize(HANDLE h, std::uint32_t* sizeHigh) {
    std::int64_t size = 0;
    if (!SizeOf(h, size)) return INVALID_FILE_SIZE;
    if (sizeHigh != nullptr)
        *sizeHigh = static_cast<std::uint32_t>(static_cast<std::uint64_t>(size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<std::uint32_t>(size);
}

bool GetFileSizeEx(HANDLE h, std::int64_t* size) {
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return SizeOf(h, *size);
}

}  // namespace tqplat
