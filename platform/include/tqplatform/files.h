#pragma once
// Files and handles with Windows semantics over POSIX descriptors.
// A handle is (void*)(intptr_t)fd; INVALID_HANDLE_VALUE is (void*)-1.
#include <cstdint>

#include "tqplatform/export.h"

namespace tqplat {

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

inline HANDLE HandleFromFd(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}
inline int FdFromHandle(HANDLE h) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}

// Access rights.
constexpr std::uint32_t GENERIC_READ = 0x80000000u;
constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
// Share modes.
constexpr std::uint32_t FILE_SHARE_READ = 0x1;
constexpr std::uint32_t FILE_SHARE_WRITE = 0x2;
constexpr std::uint32_t FILE_SHARE_DELETE = 0x4;
// Creation dispositions.
constexpr std::uint32_t CREATE_NEW = 1;
constexpr std::uint32_t CREATE_ALWAYS = 2;
constexpr std::uint32_t OPEN_EXISTING = 3;
constexpr std::uint32_t OPEN_ALWAYS = 4;
constexpr std::uint32_t TRUNCATE_EXISTING = 5;
// Flags and attributes (accepted; only the sequential hint has an effect).
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr std::uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;
// SetFilePointer methods and failure values.
constexpr std::uint32_t FILE_BEGIN = 0;
constexpr std::uint32_t FILE_CURRENT = 1;
constexpr std::uint32_t FILE_END = 2;
constexpr std::uint32_t INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr std::uint32_t INVALID_FILE_SIZE = 0xFFFFFFFFu;

// Windows error codes given by GetLastError.
constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_INVALID_DATA = 13;
constexpr std::uint32_t ERROR_OUTOFMEMORY = 14;
constexpr std::uint32_t ERROR_WRITE_PROTECT = 19;
constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr std::uint32_t ERROR_LOCK_VIOLATION = 33;
constexpr std::uint32_t ERROR_HANDLE_EOF = 38;
constexpr std::uint32_t ERROR_HANDLE_DISK_FULL = 39;
constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_DISK_FULL = 112;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t ERROR_MOD_NOT_FOUND = 126;
constexpr std::uint32_t ERROR_NEGATIVE_SEEK = 131;
constexpr std::uint32_t ERROR_DIR_NOT_EMPTY = 145;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr std::uint32_t ERROR_NO_UNICODE_TRANSLATION = 1113;

// Last error, per thread.
TQPLATFORM_API std::uint32_t GetLastError();
TQPLATFORM_API void SetLastError(std::uint32_t code);
// Maps an errno value to the nearest Windows error code.
TQPLATFORM_API std::uint32_t ErrorFromErrno(int err);

// `name` is a UTF-16 path (converted to UTF-8 for the system). Share modes
// are honoured between handles of this process and across processes.
TQPLATFORM_API HANDLE CreateFileW(const unsigned short* name, std::uint32_t access,
                                  std::uint32_t share, void* security, std::uint32_t disposition,
                                  std::uint32_t flags, HANDLE templateFile);
TQPLATFORM_API bool ReadFile(HANDLE h, void* buffer, std::uint32_t toRead, std::uint32_t* read,
                             void* overlapped);
TQPLATFORM_API bool WriteFile(HANDLE h, const void* buffer, std::uint32_t toWrite,
                              std::uint32_t* written, void* overlapped);
TQPLATFORM_API std::uint32_t SetFilePointer(HANDLE h, std::int32_t distanceLow,
                                            std::int32_t* distanceHigh, std::uint32_t method);
TQPLATFORM_API std::uint32_t GetFileSize(HANDLE h, std::uint32_t* sizeHigh);
TQPLATFORM_API bool GetFileSizeEx(HANDLE h, std::int64_t* size);
TQPLATFORM_API bool SetEndOfFile(HANDLE h);
TQPLATFORM_API bool CloseHandle(HANDLE h);
TQPLATFORM_API bool DeleteFileW(const unsigned short* name);

TQPLATFORM_API void Sleep(std::uint32_t milliseconds);
// Milliseconds since an arbitrary start, wrapping at 2^32 like the original.
TQPLATFORM_API std::uint32_t GetTickCount();

}  // namespace tqplat
