// Files and handles: the system's own, with the UTF-16 and 32-bit types of
// this layer cast at the boundary.
#include "tqplatform/files.h"

#include <windows.h>

namespace tqplat {
namespace {

LPCWSTR Wide(const unsigned short* text) {
    return reinterpret_cast<LPCWSTR>(text);
}

}  // namespace

std::uint32_t GetLastError() {
    return ::GetLastError();
}

void SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

HANDLE CreateFileW(const unsigned short* name, std::uint32_t access, std::uint32_t share,
                   void* security, std::uint32_t disposition, std::uint32_t flags,
                   HANDLE templateFile) {
    return ::CreateFileW(Wide(name), access, share, static_cast<LPSECURITY_ATTRIBUTES>(security),
                         disposition, flags, templateFile);
}

bool ReadFile(HANDLE h, void* buffer, std::uint32_t toRead, std::uint32_t* read, void* overlapped) {
    DWORD done = 0;
    const BOOL ok = ::ReadFile(h, buffer, toRead, &done, static_cast<LPOVERLAPPED>(overlapped));
    if (read != nullptr) *read = done;
    return ok != FALSE;
}

bool WriteFile(HANDLE h, const void* buffer, std::uint32_t toWrite, std::uint32_t* written,
               void* overlapped) {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(h, buffer, toWrite, &done, static_cast<LPOVERLAPPED>(overlapped));
    if (written != nullptr) *written = done;
    return ok != FALSE;
}

std::uint32_t SetFilePointer(HANDLE h, std::int32_t distanceLow, std::int32_t* distanceHigh,
                             std::uint32_t method) {
    LONG high = distanceHigh != nullptr ? *distanceHigh : 0;
    const DWORD low =
        ::SetFilePointer(h, distanceLow, distanceHigh != nullptr ? &high : nullptr, method);
    if (distanceHigh != nullptr) *distanceHigh = high;
    return low;
}

std::uint32_t GetFileSize(HANDLE h, std::uint32_t* sizeHigh) {
    DWORD high = 0;
    const DWORD low = ::GetFileSize(h, sizeHigh != nullptr ? &high : nullptr);
    if (sizeHigh != nullptr) *sizeHigh = high;
    return low;
}

bool GetFileSizeEx(HANDLE h, std::int64_t* size) {
    LARGE_INTEGER value{};
    if (size == nullptr || !::GetFileSizeEx(h, &value)) {
        if (size == nullptr) ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *size = value.QuadPart;
    return true;
}

bool SetEndOfFile(HANDLE h) {
    return ::SetEndOfFile(h) != FALSE;
}

bool CloseHandle(HANDLE h) {
    return ::CloseHandle(h) != FALSE;
}

bool DeleteFileW(const unsigned short* name) {
    return ::DeleteFileW(Wide(name)) != FALSE;
}

void Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::uint32_t GetTickCount() {
    return ::GetTickCount();
}

}  // namespace tqplat
