// Reading an input whole on Windows: files through the library's own open
// (shared for reading, waiting out a writer's lock), standard input and
// devices as streams. Paths are in the ANSI code page, as main's arguments.
#include "input.h"

#include <windows.h>

#include "input_sources.h"
#include "windows/wide_path.h"

namespace tqxmltool {
namespace {

constexpr DWORD kLockTimeoutMs = 2000;
constexpr DWORD kChunk = 1 << 16;

void Fail(Input& in, std::string problem) {
    in.status = ReadStatus::Unreadable;
    in.problem = std::move(problem);
    in.bytes.clear();
}

std::string ErrorText(DWORD error) {
    return error == ERROR_ACCESS_DENIED ? std::string("access denied")
                                        : "cannot be read (error " + std::to_string(error) + ")";
}

// Appends everything up to the end of the input; `expected` sizes the buffer
// for a file.
void ReadToEnd(HANDLE handle, Input& in, std::uint64_t expected) {
    if (expected >= kMaxInputBytes) return Fail(in, "4 GiB or more, larger than the parser takes");
    std::size_t used = 0;
    in.bytes.resize(static_cast<std::size_t>(expected) + kChunk);
    for (;;) {
        if (in.bytes.size() - used < kChunk) in.bytes.resize(in.bytes.size() * 2);
        DWORD got = 0;
        if (!ReadFile(handle, in.bytes.data() + used, kChunk, &got, nullptr)) {
            // A pipe whose writer has gone is at its end.
            if (GetLastError() == ERROR_BROKEN_PIPE) break;
            return Fail(in, ErrorText(GetLastError()));
        }
        if (got == 0) break;
        used += got;
        if (used >= kMaxInputBytes) return Fail(in, "4 GiB or more, larger than the parser takes");
    }
    in.bytes.resize(used);
    in.status = ReadStatus::Read;
}

}  // namespace

void ReadStandardInput(Input& in) {
    ReadToEnd(GetStdHandle(STD_INPUT_HANDLE), in, 0);
}

void ReadPath(const std::string& path, Input& in) {
    const std::wstring name = WidePath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Fail(in, "a directory");
    const DWORD start = GetTickCount();
    HANDLE file;
    while ((file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            in.status = ReadStatus::Missing;
            return;
        }
        if (error != ERROR_SHARING_VIOLATION) return Fail(in, ErrorText(error));
        if (GetTickCount() - start >= kLockTimeoutMs) {
            in.status = ReadStatus::Locked;
            return;
        }
        Sleep(10);
    }
    LARGE_INTEGER size{};
    const bool disk = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
    ReadToEnd(file, in, disk ? static_cast<std::uint64_t>(size.QuadPart) : 0);
    CloseHandle(file);
}

}  // namespace tqxmltool
