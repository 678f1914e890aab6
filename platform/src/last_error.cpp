// The per-thread last error and the errno to Windows code mapping.
#include <cerrno>

#include "tqplatform/files.h"

namespace tqplat {

namespace {
thread_local std::uint32_t t_lastError = ERROR_SUCCESS;
}

std::uint32_t GetLastError() {
    return t_lastError;
}

void SetLastError(std::uint32_t code) {
    t_lastError = code;
}

std::uint32_t ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case ETXTBSY:
        case EBUSY:
            return ERROR_SHARING_VIOLATION;
        case ENOLCK:
            return ERROR_LOCK_VIOLATION;
        case ENOSYS:
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EINVAL:
        case EFAULT:
            return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EILSEQ:
            return ERROR_NO_UNICODE_TRANSLATION;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

}  // namespace tqplat
