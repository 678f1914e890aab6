#include "output.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tqxmltool {

namespace {

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t done = write(fd, at, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = EIO;
            return false;
        }
        at += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

Written Failure(int error) {
    return {false, std::strerror(error)};
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Devices and FIFOs cannot be replaced, only written. A FIFO without a
// reader is an error rather than a wait.
Written WriteInPlace(const std::string& path, const void* data, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENXIO ? Written{false, "a FIFO that no program reads"} : Failure(errno);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool ok = WriteAll(fd, data, size);
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? Written{true, {}} : Failure(error);
}

}  // namespace

Written ReplaceFile(const std::string& path, const void* data, std::size_t size) {
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) return {false, "a directory"};
    if (exists && !S_ISREG(info.st_mode)) return WriteInPlace(path, data, size);

    std::string target = path;
    if (char* resolved = exists ? realpath(path.c_str(), nullptr) : nullptr) {
        target = resolved;
        std::free(resolved);
    }
    const std::string directory = DirectoryOf(target);
    std::string temporary = directory + "/.tqxmltool-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return Failure(errno);
    const mode_t mode = exists ? (info.st_mode & 07777) : NewFileMode();
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data, size) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return Failure(error);
    }
    // The rename itself reaches the disk with the directory.
    const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return {true, {}};
}

}  // namespace tqxmltool
