#pragma once
// Share modes of the handles CreateFileW opens. A handle the caller opened
// itself is unknown here and shares everything.
#include <cstdint>

namespace tqplat {

// Records `fd` (freshly opened, not yet used) with its access and share mode
// when no open handle, in this or another process, conflicts with it.
// Returns ERROR_SUCCESS, ERROR_SHARING_VIOLATION or the code of a failed fstat.
std::uint32_t AdmitShare(int fd, std::uint32_t access, std::uint32_t share);
// Drops the record of `fd`; its cross-process marks go with the descriptor.
void ForgetShare(int fd);
// False when `fd` was opened by CreateFileW without all of `access`.
bool HandleGrants(int fd, std::uint32_t access);

}  // namespace tqplat
