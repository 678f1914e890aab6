#include "native_path.h"

#include <sys/stat.h>

#include "tqplatform/filenames.h"
#include "tqplatform/files.h"

namespace tqplat {

bool NativePath(const unsigned short* name, std::string& path) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::size_t length = 0;
    while (length < MAX_PATH && name[length] != 0) ++length;
    // Never a shortened path, which would name another file.
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return NativeFileName(name, path);
}

std::uint32_t MissingPathError(const std::string& path) {
    std::string::size_type end = path.find_last_not_of('/');
    if (end == std::string::npos) return ERROR_PATH_NOT_FOUND;
    const std::string::size_type slash = path.rfind('/', end);
    const std::string directory =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    struct stat info {};
    if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

}  // namespace tqplat
