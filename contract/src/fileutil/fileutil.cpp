// Directory creation and names of open files, over POSIX.
#include "tqcore/fileutil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>

#include "tqplatform/codepage.h"

namespace tqcore {
namespace {

// UTF-16 to the system's UTF-8; false when it does not convert.
bool toSystemPath(const unsigned short* path, std::string& out) {
    const int size =
        tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    out.resize(static_cast<std::size_t>(size));
    if (tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, path, -1, &out[0], size, nullptr,
                                    nullptr) != size)
        return false;
    out.resize(static_cast<std::size_t>(size) - 1);
    return true;
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes one directory; an existing directory is fine, anything else in the
// way is not.
bool makeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && isDirectory(path);
}

// Descriptor carried by a handle, or -1 for a value no descriptor can have.
int descriptorOf(void* handle) {
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(handle);
    return value >= 0 && value <= INT_MAX ? static_cast<int>(value) : -1;
}

// The name a descriptor was opened under, if that name still leads to the
// same file (not for pipes, sockets, deleted or renamed files).
bool nameOfDescriptor(int fd, std::string& name) {
    struct stat opened;
    if (fd < 0 || ::fstat(fd, &opened) != 0) return false;
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    name.resize(PATH_MAX);
    const ssize_t length = ::readlink(link.c_str(), &name[0], name.size());
    // A full buffer may mean a cut name.
    if (length <= 0 || static_cast<std::size_t>(length) >= name.size()) return false;
    name.resize(static_cast<std::size_t>(length));
    struct stat named;
    return name[0] == '/' && ::stat(name.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
           named.st_ino == opened.st_ino;
}

}  // namespace

bool FU_CreatePath(const unsigned short* directory) {
    std::string path;
    if (directory == nullptr || !toSystemPath(directory, path) || path.empty()) return false;
    // Each prefix that ends before a '/' (a leading one is the root).
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (path[slash - 1] == '/') continue;
        if (!makeDirectory(path.substr(0, slash))) return false;
    }
    return makeDirectory(path);
}

bool FU_FilenameFromHandle(void* handle, unsigned short* buffer, unsigned int capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    buffer[0] = 0;
    std::string name;
    if (!nameOfDescriptor(descriptorOf(handle), name)) return false;
    const int length = static_cast<int>(name.size());
    const int units =
        tqplat::MultiByteToWideChar(tqplat::CP_UTF8, 0, name.data(), length, nullptr, 0);
    if (units <= 0 || static_cast<unsigned int>(units) >= capacity) return false;
    if (tqplat::MultiByteToWideChar(tqplat::CP_UTF8, 0, name.data(), length, buffer, units) !=
        units) {
        buffer[0] = 0;
        return false;
    }
    buffer[units] = 0;
    return true;
}

}  // namespace tqcore
