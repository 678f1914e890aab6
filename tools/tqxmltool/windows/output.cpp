// Putting output bytes in place on Windows: a temporary file beside the
// target, flushed to disk, then moved over it; devices are written directly.
#include <windows.h>
// The system names a function of its own so; this file defines ours.
#undef ReplaceFile

#include "output.h"
#include "windows/wide_path.h"

namespace tqxmltool {
namespace {

Written Failure(DWORD error) {
    return {false, error == ERROR_ACCESS_DENIED
                       ? std::string("access denied")
                       : "cannot be written (error " + std::to_string(error) + ")"};
}

std::wstring DirectoryOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    if (slash == std::wstring::npos) return L".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

bool WriteAll(HANDLE file, const void* data, std::size_t size) {
    const auto* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(file, at, piece, &done, nullptr) || done == 0) return false;
        at += done;
        size -= done;
    }
    return true;
}

// True when `name` is a device (NUL, CON, COM1 ...) rather than a file.
bool IsDevice(const std::wstring& name) {
    HANDLE h = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool device = GetFileType(h) != FILE_TYPE_DISK;
    CloseHandle(h);
    return device;
}

Written WriteInPlace(const std::wstring& name, const void* data, std::size_t size) {
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failure(GetLastError());
    bool ok = WriteAll(h, data, size);
    DWORD error = GetLastError();
    if (!CloseHandle(h) && ok) {
        ok = false;
        error = GetLastError();
    }
    return ok ? Written{true, {}} : Failure(error);
}

}  // namespace

Written ReplaceFile(const std::string& path, const void* data, std::size_t size) {
    const std::wstring target = WidePath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {false, "a directory"};
    if (IsDevice(target)) return WriteInPlace(target, data, size);

    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(DirectoryOf(target).c_str(), L"tqx", 0, temporary) == 0)
        return Failure(GetLastError());
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = file != INVALID_HANDLE_VALUE && WriteAll(file, data, size) && FlushFileBuffers(file);
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && ok) {
        ok = false;
        error = GetLastError();
    }
    if (ok && !MoveFileExW(temporary, target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileW(temporary);
        return Failure(error);
    }
    return {true, {}};
}

}  // namespace tqxmltool
