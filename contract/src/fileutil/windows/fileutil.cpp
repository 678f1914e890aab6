// Directory creation and names of open files, over the system's own calls.
#include "tqcore/fileutil.h"

#include <windows.h>

#include <string>

namespace tqcore {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Makes one directory; an existing directory (a drive's root among them) is
// fine, anything else in the way is not.
bool MakeDirectory(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) || IsDirectory(path);
}

}  // namespace

bool FU_CreatePath(const unsigned short* directory) {
    if (directory == nullptr || directory[0] == 0) return false;
    const std::wstring path(reinterpret_cast<const wchar_t*>(directory));
    // Each prefix that ends before a separator (a leading one is the root).
    for (std::size_t at = 1; at < path.size(); ++at) {
        if (!IsSeparator(path[at]) || IsSeparator(path[at - 1])) continue;
        if (!MakeDirectory(path.substr(0, at))) return false;
    }
    return MakeDirectory(path);
}

bool FU_FilenameFromHandle(void* handle, unsigned short* buffer, unsigned int capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    buffer[0] = 0;
    wchar_t name[32768];
    const DWORD length =
        GetFinalPathNameByHandleW(handle, name, sizeof name / sizeof name[0], FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof name / sizeof name[0]) return false;
    // The system names the file in its long form, \\?\C:\...; callers want C:\...
    std::wstring text(name, length);
    if (text.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        text.replace(0, 8, L"\\\\");
    else if (text.compare(0, 4, L"\\\\?\\") == 0)
        text.erase(0, 4);
    if (text.size() >= capacity) return false;
    for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<unsigned short>(text[i]);
    buffer[text.size()] = 0;
    return true;
}

}  // namespace tqcore
