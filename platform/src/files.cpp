// Opening and deleting files by name.
#include "tqplatform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "native_path.h"
#include "share_table.h"

namespace tqplat {

namespace {

constexpr std::uint32_t kKnownShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The last error for a failed system call on `path`.
std::uint32_t PathError(int err, const std::string& path) {
    return err == ENOENT ? MissingPathError(path) : ErrorFromErrno(err);
}

int OpenRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Write access opens read-write where allowed: the share marks need a
// readable descriptor. ReadFile still refuses such a handle.
int OpenForAccess(const std::string& path, std::uint32_t access, int creation) {
    if ((access & GENERIC_WRITE) == 0) return OpenRetrying(path, O_RDONLY | creation);
    if ((access & GENERIC_READ) != 0) return OpenRetrying(path, O_RDWR | creation);
    const int fd = OpenRetrying(path, O_RDWR | creation);
    return fd >= 0 || errno != EACCES ? fd : OpenRetrying(path, O_WRONLY | creation);
}

// Opens with the creation rule of `disposition`; `existed` tells whether the
// file was there before.
int OpenByDisposition(const std::string& path, std::uint32_t access, std::uint32_t disposition,
                      bool& existed) {
    existed = true;
    switch (disposition) {
        case CREATE_NEW:
            existed = false;
            return OpenForAccess(path, access, O_CREAT | O_EXCL);
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            // Exclusive creation first, so that `existed` is exact even when
            // another process creates or deletes the file meanwhile.
            for (int attempt = 0; attempt < 8; ++attempt) {
                int fd = OpenForAccess(path, access, O_CREAT | O_EXCL);
                if (fd >= 0 || errno != EEXIST) {
                    existed = false;
                    return fd;
                }
                fd = OpenForAccess(path, access, 0);
                if (fd >= 0 || errno != ENOENT) return fd;
            }
            errno = EBUSY;
            return -1;
        default:
            return OpenForAccess(path, access, 0);
    }
}

// Keeps descriptor 0 free: a handle of 0 reads as null.
int AvoidDescriptorZero(int fd) {
    if (fd != 0) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    return moved;
}

HANDLE Fail(std::uint32_t error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

HANDLE FailAndClose(int fd, std::uint32_t error) {
    ForgetShare(fd);
    close(fd);
    return Fail(error);
}

}  // namespace

HANDLE CreateFileW(const unsigned short* name, std::uint32_t access, std::uint32_t share,
                   void* /*security*/, std::uint32_t disposition, std::uint32_t flags,
                   HANDLE /*templateFile*/) {
    std::string path;
    if (!NativePath(name, path)) return INVALID_HANDLE_VALUE;
    if ((share & ~kKnownShare) != 0 || disposition < CREATE_NEW ||
        disposition > TRUNCATE_EXISTING ||
        (disposition == TRUNCATE_EXISTING && (access & GENERIC_WRITE) == 0))
        return Fail(ERROR_INVALID_PARAMETER);

    bool existed = false;
    const int fd = AvoidDescriptorZero(OpenByDisposition(path, access, disposition, existed));
    if (fd < 0) return Fail(PathError(errno, path));

    struct stat info {};
    if (fstat(fd, &info) != 0) return FailAndClose(fd, ErrorFromErrno(errno));
    if (S_ISDIR(info.st_mode)) return FailAndClose(fd, ERROR_ACCESS_DENIED);

    // The share check comes before any truncation: a refused open leaves the file alone.
    const std::uint32_t admitted = AdmitShare(fd, access, share);
    if (admitted != ERROR_SUCCESS) {
        close(fd);
        return Fail(admitted);
    }
    const bool truncate =
        disposition == TRUNCATE_EXISTING || (disposition == CREATE_ALWAYS && existed);
    if (truncate && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0)
        return FailAndClose(fd, ErrorFromErrno(errno));
    if ((flags & FILE_FLAG_SEQUENTIAL_SCAN) != 0) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    const bool reportExisting =
        existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return HandleFromFd(fd);
}

bool DeleteFileW(const unsigned short* name) {
    std::string path;
    if (!NativePath(name, path)) return false;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        SetLastError(PathError(errno, path));
        return false;
    }
    // Files and links only: a directory, a device or a FIFO is not a file
    // to delete.
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (unlink(path.c_str()) != 0) {
        SetLastError(PathError(errno, path));
        return false;
    }
    return true;
}

}  // namespace tqplat
