#include "file_handle.h"

#include <fcntl.h>

#include <climits>
#include <cstdint>

namespace tqplat {

int OpenDescriptor(HANDLE h) {
    // Null is no handle on Windows, so descriptor 0 cannot be named by one;
    // CreateFileW never hands it out.
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(h);
    if (value <= 0 || value > INT_MAX || fcntl(static_cast<int>(value), F_GETFD) == -1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return static_cast<int>(value);
}

}  // namespace tqplat
