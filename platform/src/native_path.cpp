#include "native_path.h"

#include <sys/stat.h>

#include "tqplatform/codepage.h"
#include "tqplatform/files.h"

namespace tqplat {

bool NativePath(const unsigned short* name, std::string& path) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (name[0] == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Unpaired surrogates would silently turn into U+FFFD and name another file.
    const int bytes =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    path.assign(static_cast<std::size_t>(bytes), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, path.data(), bytes, nullptr,
                            nullptr) != bytes) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    path.pop_back();  // the converted terminator
    return true;
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
